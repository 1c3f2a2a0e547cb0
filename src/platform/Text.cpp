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

namespace {
// The length of the well-formed sequence at s[i] (valid), else that of its
// longest well-formed start, at least one byte (not valid).
struct Utf8Sequence {
  size_t length;
  bool valid;
};
Utf8Sequence NextUtf8Sequence(std::string_view s, size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) return {1, true};
  // The sequence's length and the range its second byte must fall in
  // (which rules out overlong forms, surrogates and code points above
  // U+10FFFF).
  size_t len = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  }
  if (len == 0) return {1, false};
  size_t valid = 1;
  while (valid < len && i + valid < s.size()) {
    const auto cc = static_cast<unsigned char>(s[i + valid]);
    if (valid == 1 ? (cc < low || cc > high) : (cc & 0xC0) != 0x80) break;
    ++valid;
  }
  return {valid, valid == len};
}
}  // namespace

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const Utf8Sequence next = NextUtf8Sequence(s, i);
    if (!next.valid) return false;
    i += next.length;
  }
  return true;
}

namespace {
void AppendUtf8(std::string& out, uint32_t cp) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(cp, bytes));
}
}  // namespace

size_t EncodeUtf8(uint32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate cannot be written as UTF-8
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
      cp = ((c & 0x1F) << 6) | (s[i + 1] & 0x3F);
      len = 2;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < s.size()) {
      cp = ((c & 0x0F) << 12) | ((s[i + 1] & 0x3F) << 6) | (s[i + 2] & 0x3F);
      len = 3;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < s.size()) {
      cp = ((c & 0x07) << 18) | ((s[i + 1] & 0x3F) << 12) | ((s[i + 2] & 0x3F) << 6) |
           (s[i + 3] & 0x3F);
      len = 4;
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Windows1252ToUtf8(std::string_view s) {
  // 0x80..0x9F differ from Latin-1; unassigned codes map to themselves.
  static const uint16_t kHigh[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  std::string out;
  out.reserve(s.size());
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    AppendUtf8(out, (c >= 0x80 && c < 0xA0) ? kHigh[c - 0x80] : c);
  }
  return out;
}

std::string ReplaceInvalidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const Utf8Sequence next = NextUtf8Sequence(s, i);
    if (next.valid) {
      out.append(s.substr(i, next.length));
    } else {
      AppendUtf8(out, 0xFFFD);
    }
    i += next.length;
  }
  return out;
}

std::string DecodeUnmarkedBytes(std::string_view bytes) {
  return IsValidUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

std::string DecodeTextFileBytes(std::string_view bytes) {
  auto u = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 2 && ((u(0) == 0xFF && u(1) == 0xFE) || (u(0) == 0xFE && u(1) == 0xFF))) {
    const bool little = u(0) == 0xFF;
    std::u16string w;
    w.reserve(bytes.size() / 2);
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      w += static_cast<char16_t>(little ? (u(i) | (u(i + 1) << 8)) : ((u(i) << 8) | u(i + 1)));
    }
    return Utf16ToUtf8(w);
  }
  if (bytes.size() >= 3 && u(0) == 0xEF && u(1) == 0xBB && u(2) == 0xBF) {
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
