// The ".reg" export format: a header line, then "[key]" lines each followed
// by value lines ("name"=data or @=data). Data is a quoted string,
// dword:XXXXXXXX, hex:bytes or hex(type):bytes (lists may continue on the
// next line after a trailing "\"), or "-" to delete; "[-key]" deletes a key.
#include <optional>

#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/TextCodec.h"

namespace movrano {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

struct Malformed {
  std::string what;
};

// The lines of a text one at a time, without their line ends: an export
// of many short lines takes no more memory than its text.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  // False past the last line (the empty one after a final line end).
  bool next(std::string_view& line) {
    if (start_ > text_.size()) return false;
    size_t end = text_.find('\n', start_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(start_, end - start_);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start_ = end + 1;
    ++number_;
    return true;
  }
  // The 1-based number of the line `next` gave last.
  size_t number() const { return number_; }

 private:
  std::string_view text_;
  size_t start_ = 0;
  size_t number_ = 0;
};

// A quoted text starting at `pos` (on the quote); leaves `pos` after the
// closing quote.
std::string QuotedText(std::string_view line, size_t& pos) {
  std::string text;
  for (++pos; pos < line.size(); ++pos) {
    const char c = line[pos];
    if (c == '"') {
      ++pos;
      return text;
    }
    if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"')) {
      text += line[++pos];
    } else {
      text += c;
    }
  }
  throw Malformed{"missing closing quote"};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

uint64_t HexNumber(std::string_view digits, size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits) throw Malformed{"bad hexadecimal number"};
  uint64_t n = 0;
  for (const char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) throw Malformed{"bad hexadecimal number"};
    n = n * 16 + static_cast<uint64_t>(d);
  }
  return n;
}

std::vector<uint8_t> HexBytes(std::string_view list) {
  std::vector<uint8_t> bytes;
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string_view::npos) end = list.size();
    const std::string item = Trim(list.substr(start, end - start));
    if (!item.empty() || end < list.size()) {
      bytes.push_back(static_cast<uint8_t>(HexNumber(item, 2)));
    }
    start = end + 1;
  }
  return bytes;
}

std::string TextOfBytes(const std::vector<uint8_t>& bytes, bool wide) {
  if (wide) {
    std::u16string units = Utf16Units(bytes, ByteOrder::LittleEndian);
    while (!units.empty() && units.back() == 0)
      units.pop_back();
    return Utf16ToUtf8(units);
  }
  std::string narrow(bytes.begin(), bytes.end());
  while (!narrow.empty() && narrow.back() == '\0')
    narrow.pop_back();
  return DecodeUnmarkedBytes(narrow);
}

// The data part of a value line; nullopt for "-" (delete the value).
std::optional<RegistryValue> ValueData(std::string_view data, bool wideText) {
  RegistryValue value;
  if (data == "-") return std::nullopt;
  if (!data.empty() && data.front() == '"') {
    size_t pos = 0;
    value.type = RegistryValueType::String;
    value.text = QuotedText(data, pos);
    if (!Trim(data.substr(pos)).empty()) throw Malformed{"text after the closing quote"};
    return value;
  }
  if (StartsText("dword:", data)) {
    const auto n = static_cast<uint32_t>(HexNumber(Trim(data.substr(6)), 8));
    value.type = RegistryValueType::DWord;
    value.data = {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8),
                  static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 24)};
    return value;
  }
  if (!StartsText("hex", data)) throw Malformed{"unknown value data"};
  const size_t colon = data.find(':');
  if (colon == std::string_view::npos) throw Malformed{"unknown value data"};
  const std::string kind = Trim(data.substr(3, colon - 3));
  uint32_t type = static_cast<uint32_t>(RegistryValueType::Binary);
  if (!kind.empty()) {
    if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')') {
      throw Malformed{"unknown value data"};
    }
    type = static_cast<uint32_t>(HexNumber(kind.substr(1, kind.size() - 2), 8));
  }
  value.type = static_cast<RegistryValueType>(type);
  value.data = HexBytes(data.substr(colon + 1));
  if (value.type == RegistryValueType::String || value.type == RegistryValueType::ExpandString) {
    value.text = TextOfBytes(value.data, wideText);
    value.data.clear();
  }
  return value;
}

std::optional<RegistryRoot> ReadableRoot(std::string_view name, bool& known) {
  known = true;
  if (SameText(name, "HKEY_LOCAL_MACHINE")) return RegistryRoot::LocalMachine;
  if (SameText(name, "HKEY_CURRENT_USER")) return RegistryRoot::CurrentUser;
  known = SameText(name, "HKEY_CLASSES_ROOT") || SameText(name, "HKEY_USERS") ||
          SameText(name, "HKEY_CURRENT_CONFIG");
  return std::nullopt;
}

class Parser {
 public:
  Parser(RegistryContent& content, bool wideText) : content_(content), wideText_(wideText) {}

  void keyLine(std::string_view line) {
    if (line.size() < 2 || line.back() != ']') throw Malformed{"missing \"]\""};
    std::string_view inner = line.substr(1, line.size() - 2);
    const bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    const size_t cut = inner.find('\\');
    const auto rootName = inner.substr(0, cut);
    const auto path = cut == std::string_view::npos ? std::string_view() : inner.substr(cut + 1);
    bool known = false;
    root_ = ReadableRoot(rootName, known);
    if (!known) throw Malformed{"unknown root key " + std::string(rootName)};
    inKey_ = !remove;
    path_ = std::string(path);
    if (!root_) return;
    if (remove) {
      content_.removeKey(*root_, path_);
    } else {
      content_.addKey(*root_, path_);
    }
  }

  void valueLine(std::string_view line) {
    if (!inKey_) throw Malformed{"value outside a key"};
    size_t pos = 0;
    std::string name;
    if (line.front() == '@') {
      pos = 1;
    } else {
      name = QuotedText(line, pos);
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
      ++pos;
    if (pos >= line.size() || line[pos] != '=') throw Malformed{"missing \"=\""};
    const auto value = ValueData(Trim(line.substr(pos + 1)), wideText_);
    if (!root_) return;
    if (value) {
      content_.setValue(*root_, path_, name, *value);
    } else {
      content_.removeValue(*root_, path_, name);
    }
  }

 private:
  RegistryContent& content_;
  bool wideText_;
  bool inKey_ = false;
  std::optional<RegistryRoot> root_;
  std::string path_;
};

// Where the data of a value line begins (after its "="), npos if unknown.
size_t DataStart(std::string_view line) {
  size_t pos = 0;
  if (!line.empty() && line.front() == '"') {
    try {
      QuotedText(line, pos);
    } catch (const Malformed&) {
      return std::string_view::npos;
    }
  }
  const size_t eq = line.find('=', pos);
  return eq == std::string_view::npos ? eq : eq + 1;
}

// A value line whose hex list goes on over the following lines.
std::string JoinContinuations(std::string_view first, Lines& lines) {
  std::string line = Trim(first);
  const size_t data = DataStart(line);
  if (data == std::string::npos || !StartsText("hex", TrimLeft(line.substr(data)))) return line;
  std::string_view next;
  while (!line.empty() && line.back() == '\\' && lines.next(next)) {
    line.pop_back();
    line += Trim(next);
  }
  return line;
}

}  // namespace

RegistryContent RegistryContent::Parse(std::string_view fileBytes, std::string_view source) {
  RegistryContent content;
  const std::string text = DecodeTextFileBytes(fileBytes);
  Lines lines(text);
  std::string_view next;
  std::string header;
  while (header.empty() && lines.next(next))
    header = Trim(next);
  if (header != kHeader4 && header != kHeader5) {
    throw ERegistryException(Format("%s is not a registry export", source));
  }
  Parser parser(content, header == kHeader5);
  while (lines.next(next)) {
    const size_t lineNumber = lines.number();
    try {
      const std::string line = JoinContinuations(next, lines);
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        parser.keyLine(line);
      } else if (line.front() == '"' || line.front() == '@') {
        parser.valueLine(line);
      } else {
        throw Malformed{"unexpected text"};
      }
    } catch (const Malformed& m) {
      throw ERegistryException(
          Format("%s, line %d: %s", source, static_cast<int>(lineNumber), m.what));
    }
  }
  return content;
}

}  // namespace movrano
