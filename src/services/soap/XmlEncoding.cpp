#include "services/soap/XmlEncoding.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>

#include "platform/Text.h"
#include "services/soap/Errors.h"

namespace movrano::soap {
namespace {

using namespace std::string_view_literals;

// The encoding named by the XML declaration of a document that starts in
// an ASCII-compatible form; empty when there is none.
std::string DeclaredEncoding(std::string_view bytes) {
  if (!StartsWithXmlDeclaration(bytes)) return {};
  const std::string_view declaration = bytes.substr(0, bytes.find("?>"));
  const size_t key = declaration.find("encoding");
  if (key == std::string_view::npos) return {};
  size_t pos = declaration.find_first_not_of(" \t\r\n", key + 8);
  if (pos == std::string_view::npos || declaration[pos] != '=') return {};
  pos = declaration.find_first_not_of(" \t\r\n", pos + 1);
  if (pos == std::string_view::npos || (declaration[pos] != '"' && declaration[pos] != '\''))
    return {};
  const size_t end = declaration.find(declaration[pos], pos + 1);
  if (end == std::string_view::npos) return {};
  return std::string(declaration.substr(pos + 1, end - pos - 1));
}

// Declared encodings whose bytes are read as they are: UTF-8 and its
// subset, and the Unicode forms, which are told by their bytes instead.
bool ReadAsUtf8(const std::string& encoding) {
  const std::string e = LowerCase(encoding);
  return e.empty() || e == "utf-8" || e == "utf8" || e == "us-ascii" || e == "ascii" ||
         e.rfind("utf-16", 0) == 0 || e.rfind("utf-32", 0) == 0 || e == "ucs-2" || e == "ucs-4";
}

// The bytes as UTF-8, decoded from `encoding` (an XML encoding name).
std::string Convert(std::string_view bytes, const std::string& encoding) {
  const auto unsupported = [&] {
    return ESOAPMessageError(
        Format("The response's encoding %s cannot be decoded", encoding.substr(0, 40)));
  };
  // Only an XML encoding name; it also keeps conversion suffixes out.
  for (const char c : encoding)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-'))
      throw unsupported();
  const iconv_t cd = iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) throw unsupported();
  struct Close {
    iconv_t cd;
    ~Close() { iconv_close(cd); }
  } close{cd};
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char chunk[16384];
  while (inLeft > 0) {
    char* next = chunk;
    size_t chunkLeft = sizeof chunk;
    const size_t rc = iconv(cd, &in, &inLeft, &next, &chunkLeft);
    out.append(chunk, next);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      throw ESOAPMessageError(Format("The response is not valid %s text (at offset %s)", encoding,
                                     std::to_string(bytes.size() - inLeft)));
    }
  }
  return out;
}

// A Unicode form told by a byte-order mark or by how "<" is written; the
// mark's length goes to `mark`.
const char* UnicodeForm(std::string_view b, size_t& mark) {
  struct Form {
    std::string_view start;
    const char* name;
    bool isMark;
  };
  static constexpr Form kForms[] = {
      {"\x00\x00\xFE\xFF"sv, "UTF-32BE", true},  {"\xFF\xFE\x00\x00"sv, "UTF-32LE", true},
      {"\xFE\xFF"sv, "UTF-16BE", true},          {"\xFF\xFE"sv, "UTF-16LE", true},
      {"\xEF\xBB\xBF"sv, "UTF-8", true},         {"\x00\x00\x00\x3C"sv, "UTF-32BE", false},
      {"\x3C\x00\x00\x00"sv, "UTF-32LE", false}, {"\x00\x3C"sv, "UTF-16BE", false},
      {"\x3C\x00"sv, "UTF-16LE", false}};
  for (const Form& f : kForms)
    if (b.substr(0, f.start.size()) == f.start) {
      mark = f.isMark ? f.start.size() : 0;
      return f.name;
    }
  mark = 0;
  return nullptr;
}

}  // namespace

bool StartsWithXmlDeclaration(std::string_view bytes) {
  return bytes.size() > 5 && bytes.substr(0, 5) == "<?xml" &&
         std::string_view(" \t\r\n").find(bytes[5]) != std::string_view::npos;
}

std::string ToUtf8(std::string bytes) {
  size_t mark = 0;
  if (const char* form = UnicodeForm(bytes, mark)) {
    if (std::string_view(form) == "UTF-8") return bytes.erase(0, mark);
    return Convert(std::string_view(bytes).substr(mark), form);
  }
  const std::string encoding = DeclaredEncoding(bytes);
  return ReadAsUtf8(encoding) ? std::move(bytes) : Convert(bytes, encoding);
}

}  // namespace movrano::soap
