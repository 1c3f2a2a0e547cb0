#include "platform/CommandLine.h"

namespace movrano {

namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t';
}

class Splitter {
 public:
  explicit Splitter(std::string_view text) : text_(text) {}

  std::vector<std::string> split() {
    std::vector<std::string> items;
    skipSeparators();
    if (atEnd()) return items;
    items.push_back(program());
    for (skipSeparators(); !atEnd(); skipSeparators())
      items.push_back(argument());
    return items;
  }

 private:
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek(size_t ahead = 0) const {
    return pos_ + ahead < text_.size() ? text_[pos_ + ahead] : '\0';
  }
  void skipSeparators() {
    while (!atEnd() && IsSeparator(text_[pos_]))
      ++pos_;
  }

  std::string program() {
    std::string item;
    bool quoted = false;
    for (; !atEnd(); ++pos_) {
      const char c = text_[pos_];
      if (c == '"') {
        quoted = !quoted;
      } else if (IsSeparator(c) && !quoted) {
        break;
      } else {
        item += c;
      }
    }
    return item;
  }

  std::string argument() {
    std::string item;
    bool quoted = false;
    while (!atEnd()) {
      const char c = text_[pos_];
      if (IsSeparator(c) && !quoted) break;
      if (c == '\\') {
        size_t count = 0;
        while (peek() == '\\') {
          ++count;
          ++pos_;
        }
        if (peek() != '"') {
          item.append(count, '\\');
          continue;
        }
        item.append(count / 2, '\\');
        if (count % 2 == 1) {
          item += '"';
          ++pos_;
          continue;
        }
      }
      if (peek() == '"') {
        if (quoted && peek(1) == '"') {
          item += '"';
          pos_ += 2;
        } else {
          quoted = !quoted;
          ++pos_;
        }
        continue;
      }
      item += peek();
      ++pos_;
    }
    return item;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
  return Splitter(commandLine).split();
}

bool CanQuote(std::string_view text) {
  return text.find('"') == std::string_view::npos;
}

std::string EscapeQuotedText(std::string_view text) {
  size_t trailing = 0;
  while (trailing < text.size() && text[text.size() - 1 - trailing] == '\\')
    ++trailing;
  return std::string(text) + std::string(trailing, '\\');
}

std::string QuoteCommandLineItem(std::string_view text) {
  return '"' + EscapeQuotedText(text) + '"';
}

}  // namespace movrano
