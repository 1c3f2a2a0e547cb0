#pragma once
// The bytes of a received XML document as UTF-8, and its XML declaration.
// The encoding is told, in this order, by a byte-order mark or by how "<"
// is written (the Unicode forms), by the XML declaration, by the charset
// the answer was labelled with, and else is UTF-8: the document's own word
// before the label's, so that a label stamped on every answer alike never
// makes one unreadable that says what it is. Any other encoding than UTF-8
// and its ASCII subset is read through iconv.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace movrano::soap {

// Throws ESOAPMessageError naming what is wrong where.
[[noreturn]] void NotWellFormed(std::string_view what, size_t offset);

// Reads `S? "=" S?` and a quoted value from `at`, and leaves `at` past its
// closing quote; returns where the value lies: [first, second).
std::pair<size_t, size_t> ReadQuotedValue(std::string_view text, size_t& at,
                                          std::string_view unclosed);

struct XmlDeclaration {
  size_t end = 0;        // past its "?>"
  std::string encoding;  // as written; empty when it names none
};

// The XML declaration that starts at `at`, if one does; throws
// ESOAPMessageError when it breaks XML's syntax for it.
std::optional<XmlDeclaration> ReadXmlDeclaration(std::string_view text, size_t at);

// Decodes the document to UTF-8 in `bytes`, in place where it already is,
// and returns where its text starts (past a UTF-8 byte-order mark).
// `charset` is the one the answer was labelled with, or empty; it stands in
// for a declared encoding that the bytes cannot be in (a Unicode form of 16
// or 32 bits in 8-bit bytes, US-ASCII holding 8-bit bytes), which is
// refused without it. Throws ESOAPMessageError for an encoding that cannot
// be decoded, bytes that are not valid in it, and a Unicode form whose
// declaration names another encoding. The calling thread's cancellation
// check runs while it decodes.
size_t DecodeToUtf8(std::string& bytes, std::string_view charset);

// The charset parameter of a Content-Type value, without its quotes;
// empty when it has none.
std::string CharsetOf(std::string_view contentType);

}  // namespace movrano::soap
