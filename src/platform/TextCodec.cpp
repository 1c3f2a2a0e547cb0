#include "platform/TextCodec.h"

namespace movrano {

namespace {

bool IsContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

bool IsLeadingSurrogate(char32_t u) {
  return u >= 0xD800 && u <= 0xDBFF;
}

bool IsTrailingSurrogate(char32_t u) {
  return u >= 0xDC00 && u <= 0xDFFF;
}

// What a sequence's first byte asks of the rest.
struct Utf8Lead {
  size_t length;  // 0: the byte starts no sequence
  char32_t bits;
  // The range of the second byte, which rules out overlong forms,
  // surrogates and code points above U+10FFFF.
  unsigned char low, high;
};

Utf8Lead LeadOf(unsigned char c) {
  if (c >= 0xC2 && c <= 0xDF) return {2, c & 0x1Fu, 0x80, 0xBF};
  if (c == 0xE0) return {3, c & 0x0Fu, 0xA0, 0xBF};
  if (c == 0xED) return {3, c & 0x0Fu, 0x80, 0x9F};
  if (c >= 0xE1 && c <= 0xEF) return {3, c & 0x0Fu, 0x80, 0xBF};
  if (c == 0xF0) return {4, c & 0x07u, 0x90, 0xBF};
  if (c == 0xF4) return {4, c & 0x07u, 0x80, 0x8F};
  if (c >= 0xF1 && c <= 0xF3) return {4, c & 0x07u, 0x80, 0xBF};
  return {0, 0, 0, 0};
}

}  // namespace

Utf8Character DecodeUtf8At(std::string_view s, size_t at) {
  const auto first = static_cast<unsigned char>(s[at]);
  if (first < 0x80) return {first, 1, true};
  const Utf8Lead lead = LeadOf(first);
  if (lead.length == 0) return {kReplacementCharacter, 1, false};
  char32_t cp = lead.bits;
  size_t read = 1;
  for (; read < lead.length && at + read < s.size(); ++read) {
    const auto c = static_cast<unsigned char>(s[at + read]);
    const bool fits = read == 1 ? c >= lead.low && c <= lead.high : IsContinuation(c);
    if (!fits) break;
    cp = (cp << 6) | (c & 0x3Fu);
  }
  if (read < lead.length) return {kReplacementCharacter, read, false};
  return {cp, read, true};
}

bool IsValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const Utf8Character c = DecodeUtf8At(s, i);
    if (!c.valid) return false;
    i += c.length;
  }
  return true;
}

size_t OpenUtf8Tail(std::string_view s) {
  for (size_t k = 1; k <= 3 && k <= s.size(); ++k) {
    const size_t at = s.size() - k;
    if (IsContinuation(static_cast<unsigned char>(s[at]))) continue;
    const Utf8Character c = DecodeUtf8At(s, at);
    const bool cutByTheEnd = c.length == k && LeadOf(static_cast<unsigned char>(s[at])).length > k;
    return !c.valid && cutByTheEnd ? k : 0;
  }
  return 0;
}

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

void AppendUtf8(std::string& out, char32_t cp) {
  char bytes[4];
  out.append(bytes, EncodeUtf8(cp, bytes));
}

std::string ReplaceInvalidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const Utf8Character c = DecodeUtf8At(s, i);
    if (c.valid) {
      out.append(s.substr(i, c.length));
    } else {
      AppendUtf8(out, kReplacementCharacter);
    }
    i += c.length;
  }
  return out;
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    const Utf8Character c = DecodeUtf8At(s, i);
    i += c.length;
    if (c.codePoint >= 0x10000) {
      const char32_t v = c.codePoint - 0x10000;
      out += static_cast<char16_t>(0xD800 + (v >> 10));
      out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
    } else {
      out += static_cast<char16_t>(c.codePoint);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (IsLeadingSurrogate(cp) && i + 1 < s.size() && IsTrailingSurrogate(s[i + 1])) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (IsLeadingSurrogate(cp) || IsTrailingSurrogate(cp)) {
      cp = kReplacementCharacter;  // a lone surrogate cannot be written as UTF-8
    }
    AppendUtf8(out, cp);
  }
  return out;
}

namespace {

char16_t UnitAt(const uint8_t* pair, ByteOrder order) {
  return static_cast<char16_t>(order == ByteOrder::LittleEndian ? pair[0] | (pair[1] << 8)
                                                                : (pair[0] << 8) | pair[1]);
}

std::span<const uint8_t> AsBytes(std::string_view bytes) {
  return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

}  // namespace

std::u16string Utf16Units(std::span<const uint8_t> bytes, ByteOrder order) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < units.size(); ++i)
    units[i] = UnitAt(&bytes[2 * i], order);
  return units;
}

std::u16string Utf16Units(std::string_view bytes, ByteOrder order) {
  return Utf16Units(AsBytes(bytes), order);
}

std::u16string Utf16UnitsUpToZero(std::span<const uint8_t> bytes, ByteOrder order) {
  size_t units = 0;
  while (2 * units + 1 < bytes.size() && UnitAt(&bytes[2 * units], order) != 0)
    ++units;
  return Utf16Units(bytes.first(2 * units), order);
}

void WriteUtf16Bytes(std::u16string_view units, ByteOrder order, uint8_t* out) {
  for (const char16_t u : units) {
    const auto low = static_cast<uint8_t>(u & 0xFF);
    const auto high = static_cast<uint8_t>(u >> 8);
    *out++ = order == ByteOrder::LittleEndian ? low : high;
    *out++ = order == ByteOrder::LittleEndian ? high : low;
  }
}

std::string Utf16Bytes(std::u16string_view units, ByteOrder order) {
  std::string bytes(2 * units.size(), '\0');
  WriteUtf16Bytes(units, order, reinterpret_cast<uint8_t*>(bytes.data()));
  return bytes;
}

std::string Utf16BytesToUtf8(std::string_view bytes, ByteOrder order) {
  return Utf16ToUtf8(Utf16Units(bytes, order));
}

size_t OpenUtf16Tail(std::string_view bytes, ByteOrder order) {
  const size_t odd = bytes.size() % 2;
  const size_t whole = bytes.size() - odd;
  if (whole >= 2 && IsLeadingSurrogate(UnitAt(AsBytes(bytes).data() + whole - 2, order)))
    return odd + 2;
  return odd;
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

}  // namespace movrano
