#include "services/soap/XmlReader.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <utility>

#include "platform/Text.h"
#include "services/soap/Errors.h"
#include "services/soap/XmlWriter.h"

namespace movrano::soap {
namespace {

std::string_view PrefixOf(std::string_view qname) {
  const size_t colon = qname.find(':');
  return colon == std::string_view::npos ? std::string_view{} : qname.substr(0, colon);
}

std::string ResolvePrefix(pugi::xml_node element, std::string_view prefix) {
  const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + std::string(prefix);
  for (pugi::xml_node n = element; n && n.type() == pugi::node_element; n = n.parent())
    if (pugi::xml_attribute a = n.attribute(attribute.c_str())) return a.value();
  return {};
}

std::string Utf8Of(uint32_t cp) {
  if (cp < 0x10000) return Utf16ToUtf8(std::u16string(1, static_cast<char16_t>(cp)));
  const uint32_t v = cp - 0x10000;
  const char16_t pair[] = {static_cast<char16_t>(0xD800 + (v >> 10)),
                           static_cast<char16_t>(0xDC00 + (v & 0x3FF))};
  return Utf16ToUtf8(std::u16string_view(pair, 2));
}

// Replaces XML's own entity and character references in a raw value; false
// for any other reference (pugixml would keep it as text).
bool DecodeReferences(std::string_view raw, std::string& out) {
  out.clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '&') {
      out += raw[i];
      continue;
    }
    const size_t end = raw.find(';', i);
    if (end == std::string_view::npos) return false;
    const std::string_view ref = raw.substr(i + 1, end - i - 1);
    i = end;
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    bool named = false;
    for (const auto& [name, c] : kNamed)
      if (ref == name) out += c, named = true;
    if (named) continue;
    if (ref.size() < 2 || ref[0] != '#') return false;
    const bool hex = ref[1] == 'x';
    const std::string_view digits = ref.substr(hex ? 2 : 1);
    uint32_t cp = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
    if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size())
      return false;
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    const std::string utf8 = Utf8Of(cp);
    if (!IsXmlText(utf8)) return false;
    out += utf8;
  }
  return true;
}

void DecodeAll(pugi::xml_document& doc) {
  std::string decoded;
  const auto fail = [] {
    throw ESOAPMessageError("The response is not well-formed XML (unknown entity reference)");
  };
  // Walks the tree without recursion: responses may nest deeply.
  for (pugi::xml_node n = doc.first_child(); n;) {
    if (n.type() == pugi::node_pcdata) {
      if (!DecodeReferences(n.value(), decoded)) fail();
      n.set_value(decoded.c_str());
    }
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      if (!DecodeReferences(a.value(), decoded)) fail();
      a.set_value(decoded.c_str());
    }
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && !n.next_sibling())
      n = n.parent();
    if (n) n = n.next_sibling();
  }
}

// The encoding named by the XML declaration of a document that starts in
// an ASCII-compatible form; empty when there is none.
std::string DeclaredEncoding(std::string_view bytes) {
  if (bytes.substr(0, 5) != "<?xml") return {};
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

// Encodings the XML parser reads itself (from the bytes or their mark).
bool ParserReadsItself(const std::string& encoding) {
  const std::string e = LowerCase(encoding);
  return e.empty() || e == "utf-8" || e == "utf8" || e == "us-ascii" || e == "ascii" ||
         e.rfind("utf-16", 0) == 0 || e.rfind("utf-32", 0) == 0 || e == "ucs-2" || e == "ucs-4";
}

// The document's bytes as UTF-8, decoded from a declared encoding such as
// windows-1252 or ISO-8859-15.
std::string DecodeDeclared(std::string_view bytes, const std::string& encoding) {
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

}  // namespace

XmlDocument XmlDocument::Parse(std::string_view bytes) {
  XmlDocument d;
  d.doc_ = std::make_unique<pugi::xml_document>();
  // parse_doctype keeps a DOCTYPE as a node so that it can be refused;
  // references are decoded afterwards, so that unknown ones are refused too.
  // Whitespace-only texts are values like any other.
  const unsigned options =
      (pugi::parse_default | pugi::parse_doctype | pugi::parse_ws_pcdata) & ~pugi::parse_escapes;
  const std::string encoding = DeclaredEncoding(bytes);
  std::string decoded;
  pugi::xml_encoding parsedAs = pugi::encoding_auto;
  if (!ParserReadsItself(encoding)) {
    decoded = DecodeDeclared(bytes, encoding);
    bytes = decoded;
    parsedAs = pugi::encoding_utf8;
  }
  const pugi::xml_parse_result r =
      d.doc_->load_buffer(bytes.data(), bytes.size(), options, parsedAs);
  if (!r)
    throw ESOAPMessageError(Format("The response is not well-formed XML (%s at offset %s)",
                                   r.description(), std::to_string(r.offset)));
  for (pugi::xml_node n = d.doc_->first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_doctype)
      throw ESOAPMessageError("The response declares a document type, which is not accepted");
  size_t roots = 0;
  for (pugi::xml_node n = d.doc_->first_child(); n; n = n.next_sibling())
    roots += n.type() == pugi::node_element;
  if (roots != 1)
    throw ESOAPMessageError("The response is not well-formed XML (one root element expected)");
  DecodeAll(*d.doc_);
  return d;
}

std::string_view LocalName(pugi::xml_node node) {
  const std::string_view name = node.name();
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string NamespaceOf(pugi::xml_node element) {
  return ResolvePrefix(element, PrefixOf(element.name()));
}

bool Is(pugi::xml_node element, std::string_view ns, std::string_view localName) {
  return element.type() == pugi::node_element && LocalName(element) == localName &&
         NamespaceOf(element) == ns;
}

pugi::xml_node FirstChildElement(pugi::xml_node parent) {
  for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element) return n;
  return {};
}

pugi::xml_node NextElement(pugi::xml_node element) {
  for (pugi::xml_node n = element.next_sibling(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element) return n;
  return {};
}

pugi::xml_node ChildNamed(pugi::xml_node parent, std::string_view localName) {
  for (pugi::xml_node n = FirstChildElement(parent); n; n = NextElement(n))
    if (LocalName(n) == localName) return n;
  return {};
}

std::string TextOf(pugi::xml_node element) {
  std::string text;
  for (pugi::xml_node n = element.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
  return text;
}

bool IsNil(pugi::xml_node element) {
  for (pugi::xml_attribute a = element.first_attribute(); a; a = a.next_attribute()) {
    const std::string_view name = a.name();
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos || name.substr(colon + 1) != "nil") continue;
    if (ResolvePrefix(element, name.substr(0, colon)) != kXmlSchemaInstanceNamespace) continue;
    const std::string value = Trim(a.value());
    return value == "true" || value == "1";
  }
  return false;
}

}  // namespace movrano::soap
