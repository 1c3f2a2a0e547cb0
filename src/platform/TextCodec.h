#pragma once
// The program's one codec between text (UTF-8 in std::string) and the
// bytes of files, registry data, resources and ciphers: UTF-8, UTF-16 in
// either byte order, Windows-1252. Decoding is strict and never fails: an
// ill-formed UTF-8 sequence (its longest well-formed start, else one byte)
// and a lone UTF-16 surrogate each give U+FFFD, so the decoder and
// IsValidUtf8 always give the same verdict.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace movrano {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// One character read from UTF-8 text.
struct Utf8Character {
  char32_t codePoint;  // kReplacementCharacter when not valid
  size_t length;       // bytes read, at least one
  bool valid;
};

// The character that starts at s[at] (at < s.size()).
Utf8Character DecodeUtf8At(std::string_view s, size_t at);
bool IsValidUtf8(std::string_view s);
// The bytes at the end of `s` that begin a well-formed character which
// more bytes could still complete (0 to 3); a reader of pieces keeps them
// for the next one.
size_t OpenUtf8Tail(std::string_view s);

// Writes the UTF-8 form of a code point (at most 4 bytes) at `out`;
// returns its length.
size_t EncodeUtf8(uint32_t cp, char* out);
void AppendUtf8(std::string& out, char32_t cp);
// UTF-8 with each ill-formed sequence replaced by U+FFFD.
std::string ReplaceInvalidUtf8(std::string_view s);

std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);

enum class ByteOrder { LittleEndian, BigEndian };

// Code units of UTF-16 bytes, two bytes each; an odd last byte is left out.
std::u16string Utf16Units(std::string_view bytes, ByteOrder order);
std::u16string Utf16Units(std::span<const uint8_t> bytes, ByteOrder order);
// The code units before the first zero unit (all of them when none is).
std::u16string Utf16UnitsUpToZero(std::span<const uint8_t> bytes, ByteOrder order);
// The two bytes of each unit, written at `out` (2 * units.size() bytes).
void WriteUtf16Bytes(std::u16string_view units, ByteOrder order, uint8_t* out);
std::string Utf16Bytes(std::u16string_view units, ByteOrder order);
// UTF-16 bytes as text (an odd last byte left out).
std::string Utf16BytesToUtf8(std::string_view bytes, ByteOrder order);
// The bytes at the end of UTF-16 bytes that more bytes could complete into
// a character: an odd byte, and a leading surrogate's two before it.
size_t OpenUtf16Tail(std::string_view bytes, ByteOrder order);

std::string Windows1252ToUtf8(std::string_view s);

}  // namespace movrano
