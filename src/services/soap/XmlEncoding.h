#pragma once
// The bytes of a received XML document as UTF-8: a Unicode form is told by
// its byte-order mark or by how "<" is written, any other encoding by the
// XML declaration (read through iconv).
#include <string>
#include <string_view>

namespace movrano::soap {

// Throws ESOAPMessageError for an encoding that cannot be decoded or bytes
// that are not valid in it.
std::string ToUtf8(std::string bytes);

// Whether the bytes open with the XML declaration: "<?xml" and a space, not
// an instruction such as "<?xml-stylesheet".
bool StartsWithXmlDeclaration(std::string_view bytes);

}  // namespace movrano::soap
