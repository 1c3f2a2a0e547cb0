#pragma once
// Reads a received XML document with pugixml: no DTD is accepted and no
// entity beyond XML's own is expanded. Helpers resolve element names by
// local name and namespace, since pugixml itself ignores namespaces.
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace movrano::soap {

inline constexpr const char* kXmlSchemaInstanceNamespace =
    "http://www.w3.org/2001/XMLSchema-instance";

class XmlDocument {
 public:
  // Throws ESOAPMessageError for a document that is not well-formed or that
  // declares a document type.
  static XmlDocument Parse(std::string_view bytes);
  pugi::xml_node Root() const { return doc_->document_element(); }

 private:
  std::unique_ptr<pugi::xml_document> doc_;
};

std::string_view LocalName(pugi::xml_node node);
// The namespace URI of an element's or attribute's prefix, looked up through
// the xmlns declarations of the element and its ancestors.
std::string NamespaceOf(pugi::xml_node element);
bool Is(pugi::xml_node element, std::string_view ns, std::string_view localName);

pugi::xml_node FirstChildElement(pugi::xml_node parent);
pugi::xml_node NextElement(pugi::xml_node element);
pugi::xml_node ChildNamed(pugi::xml_node parent, std::string_view localName);
// All character data directly inside the element.
std::string TextOf(pugi::xml_node element);
// xsi:nil="true" (or "1").
bool IsNil(pugi::xml_node element);

}  // namespace movrano::soap
