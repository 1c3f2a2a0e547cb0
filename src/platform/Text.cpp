#include "platform/Text.h"

#include <algorithm>

#include "platform/Exceptions.h"

namespace movrano {

std::string FormatList(std::string_view format, const std::vector<FormatArg>& args) {
  std::string out;
  out.reserve(format.size() + 16 * args.size());
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c != '%' || i + 1 == format.size()) {
      out += c;
      continue;
    }
    const char spec = format[++i];
    if (spec == '%') {
      out += '%';
      continue;
    }
    if (spec != 's' && spec != 'd') {
      out += '%';
      out += spec;
      continue;
    }
    if (next >= args.size())
      throw EConvertError("Format '" + std::string(format) +
                          "' invalid or incompatible with argument");
    const FormatArg& arg = args[next++];
    if (spec == 's' && arg.isText()) {
      out += arg.text();
    } else if (spec == 'd' && !arg.isText()) {
      out += std::to_string(arg.number());
    } else {
      throw EConvertError("Format '" + std::string(format) +
                          "' invalid or incompatible with argument");
    }
  }
  return out;
}

namespace {
bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}
char Upper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}
}  // namespace

std::string TrimLeft(std::string_view s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b]))
    ++b;
  return std::string(s.substr(b));
}

std::string TrimRight(std::string_view s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1]))
    --e;
  return std::string(s.substr(0, e));
}

std::string Trim(std::string_view s) {
  return TrimLeft(TrimRight(s));
}

std::string UpperCase(std::string_view s) {
  std::string r(s);
  for (auto& c : r)
    c = Upper(c);
  return r;
}

std::string LowerCase(std::string_view s) {
  std::string r(s);
  for (auto& c : r)
    c = Lower(c);
  return r;
}

int CompareText(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(Upper(a[i]));
    const auto y = static_cast<unsigned char>(Upper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareText(a, b) == 0;
}

bool StartsText(std::string_view prefix, std::string_view s) {
  return s.size() >= prefix.size() && SameText(prefix, s.substr(0, prefix.size()));
}

std::string DecodeUnmarkedBytes(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

std::string DecodeTextFileBytes(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE")) {
    return Utf16BytesToUtf8(bytes.substr(2), ByteOrder::LittleEndian);
  }
  if (bytes.starts_with("\xFE\xFF")) {
    return Utf16BytesToUtf8(bytes.substr(2), ByteOrder::BigEndian);
  }
  if (bytes.starts_with("\xEF\xBB\xBF")) {
    return ReplaceInvalidUtf8(bytes.substr(3));
  }
  return DecodeUnmarkedBytes(bytes);
}

namespace {
bool StartsUtf8Character(char byte) {
  return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
}
}  // namespace

size_t Utf8CharacterCount(std::string_view s) {
  return static_cast<size_t>(std::count_if(s.begin(), s.end(), StartsUtf8Character));
}

size_t Utf8PrefixBytes(std::string_view s, size_t characters) {
  size_t i = 0;
  for (size_t seen = 0; i < s.size(); ++i) {
    if (StartsUtf8Character(s[i]) && seen++ == characters) break;
  }
  return i;
}

}  // namespace movrano
