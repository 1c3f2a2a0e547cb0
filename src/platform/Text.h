#pragma once
// Text helpers shared by every subsystem. Text is UTF-8 in std::string;
// conversions to other encodings happen only at the edges, through the
// codec (TextCodec.h).
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/TextCodec.h"

namespace movrano {

// One argument of Format: a text or a whole number.
class FormatArg {
 public:
  FormatArg(std::string_view s) : value_(std::string(s)) {}
  FormatArg(const std::string& s) : value_(s) {}
  FormatArg(const char* s) : value_(std::string(s ? s : "")) {}
  FormatArg(int v) : value_(static_cast<int64_t>(v)) {}
  FormatArg(long v) : value_(static_cast<int64_t>(v)) {}
  FormatArg(long long v) : value_(static_cast<int64_t>(v)) {}
  FormatArg(unsigned v) : value_(static_cast<int64_t>(v)) {}
  FormatArg(unsigned long v) : value_(static_cast<int64_t>(v)) {}
  FormatArg(unsigned long long v) : value_(static_cast<int64_t>(v)) {}

  bool isText() const { return std::holds_alternative<std::string>(value_); }
  const std::string& text() const { return std::get<std::string>(value_); }
  int64_t number() const { return std::get<int64_t>(value_); }

 private:
  std::variant<std::string, int64_t> value_;
};

// Fills "%s", "%d" and "%%" in order. A "%d" given a text, a "%s" given a
// number, or a missing argument raises EConvertError with the format.
std::string FormatList(std::string_view format, const std::vector<FormatArg>& args);

template <typename... Args>
std::string Format(std::string_view format, const Args&... args) {
  return FormatList(format, {FormatArg(args)...});
}

// Removes characters with codes 0 to 32 from both ends (or one end).
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// ASCII case folding, as the program's case-insensitive names need.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);  // <0, 0, >0
bool StartsText(std::string_view prefix, std::string_view s);

// Characters of UTF-8 text, counted by their first bytes, and the byte
// length of its first `characters` characters (never a character cut).
size_t Utf8CharacterCount(std::string_view s);
size_t Utf8PrefixBytes(std::string_view s, size_t characters);

// Bytes of a file without a byte-order mark: UTF-8 when valid, else
// Windows-1252.
std::string DecodeUnmarkedBytes(std::string_view bytes);

// Decodes a whole file's bytes: a byte-order mark selects UTF-16 LE,
// UTF-16 BE or UTF-8 (the mark removed; invalid bytes become U+FFFD);
// otherwise DecodeUnmarkedBytes.
std::string DecodeTextFileBytes(std::string_view bytes);

}  // namespace movrano
