#include "statements/StatementMacros.h"

#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace movrano {
namespace {

constexpr char kDelimiter = '%';

bool IsMacroChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Every occurrence of pattern, without regard to case, left to right; a
// replacement is not searched again.
std::string ReplaceAllText(std::string_view text, std::string_view pattern,
                           std::string_view value) {
  const std::string upperText = UpperCase(text);
  const std::string upperPattern = UpperCase(pattern);
  std::string result;
  size_t from = 0;
  for (size_t at = upperText.find(upperPattern); at != std::string::npos;
       at = upperText.find(upperPattern, from)) {
    result.append(text.substr(from, at - from)).append(value);
    from = at + pattern.size();
  }
  return result.append(text.substr(from));
}

}  // namespace

bool HasMacroses(std::string_view text) {
  // A reference holds no "%", so it always lies between two neighbouring ones.
  size_t open = text.find(kDelimiter);
  while (open != std::string_view::npos) {
    const size_t close = text.find(kDelimiter, open + 1);
    if (close == std::string_view::npos) return false;
    bool word = true;
    for (size_t i = open + 1; i < close && word; ++i)
      word = IsMacroChar(text[i]);
    if (word) return true;
    open = close;
  }
  return false;
}

std::string ReplaceMacros(std::string text, const std::vector<std::string>& names,
                          const std::vector<std::string>& values) {
  if (names.size() != values.size()) {
    throw Exception("TSQLManager.FindMacros: Length of Names and Values should be equal!");
  }
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string reference = std::string(1, kDelimiter) + names[i] + kDelimiter;
    text = ReplaceAllText(text, reference, values[i]);
  }
  return text;
}

}  // namespace movrano
