#pragma once
// Reads a received XML document into a compact tree: element and attribute
// names, namespaces and texts stay in the document's own bytes, and each
// element takes a few dozen bytes beside them, so that reading an answer
// takes memory of a small multiple of its size. No DTD is accepted and no
// entity beyond XML's own is expanded. Namespaces are resolved while
// reading, so that looking one up costs the same however many declarations
// or attributes an element carries.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace movrano::soap {

inline constexpr const char* kXmlSchemaInstanceNamespace =
    "http://www.w3.org/2001/XMLSchema-instance";

class XmlTree;

// One element of a document, or the null node (false), which has no name,
// attributes, children or text. Valid while its document lives.
class XmlNode {
 public:
  XmlNode() = default;
  explicit operator bool() const { return tree_ != nullptr; }

  // The name as written, with its prefix.
  std::string_view Name() const;
  // The namespace URI of the element's prefix (or the default namespace).
  std::string_view Namespace() const;
  // The value of the attribute of that name as written, if there is one.
  std::optional<std::string_view> Attribute(std::string_view name) const;
  size_t AttributeCount() const;
  // The n-th attribute's name as written, the namespace URI of its prefix
  // (empty without one) and its value.
  std::string_view AttributeName(size_t n) const;
  std::string_view AttributeNamespace(size_t n) const;
  std::string_view AttributeValue(size_t n) const;

  XmlNode FirstChild() const;
  XmlNode NextSibling() const;
  // All character data directly inside the element, CDATA included.
  std::string Text() const;

  const XmlTree& Tree() const { return *tree_; }

 private:
  friend class XmlTree;
  XmlNode(const XmlTree* tree, uint32_t index, uint32_t limit)
      : tree_(tree), index_(index), limit_(limit) {}

  const XmlTree* tree_ = nullptr;
  uint32_t index_ = 0;
  uint32_t limit_ = 0;  // past the last element of the parent's subtree
};

// What a parsed document holds: its bytes, decoded in place, and per element
// and attribute where its name, namespace and text lie in them.
class XmlTree {
 public:
  XmlNode Root() const;
  // The size of the document as it arrived.
  size_t SourceSize() const { return sourceSize_; }
  // Elements and attributes.
  size_t PartCount() const { return elements_.size() + attributes_.size(); }
  // Every element in document order.
  void ForEachElement(const std::function<void(XmlNode)>& visit) const;

 private:
  friend class XmlNode;
  friend class XmlParser;
  friend class XmlDocument;

  struct Span {
    uint32_t offset = 0, length = 0;
  };
  struct Element {
    Span name;
    uint32_t ns = 0;              // index into namespaces_
    uint32_t end = 0;             // past the last element of its subtree
    uint32_t firstAttribute = 0;  // its attributes run up to the next element's
    uint32_t firstText = 0;       // 1-based index into texts_, 0 for none
  };
  struct Attr {
    Span name, value;
    uint32_t ns = 0;
  };
  struct TextChunk {
    Span text;
    uint32_t next = 0;  // 1-based, 0 for the last
  };

  std::string_view view(Span s) const {
    return std::string_view(bytes_).substr(s.offset, s.length);
  }
  std::string_view namespaceAt(uint32_t index) const;
  uint32_t attributesEnd(uint32_t element) const;

  std::string bytes_;
  size_t sourceSize_ = 0;
  std::deque<Element> elements_;
  std::deque<Attr> attributes_;
  std::deque<TextChunk> texts_;
  // 0: no namespace, 1: the "xml" prefix's, then one per namespace
  // declared, however often and by whatever prefix.
  std::deque<Span> namespaces_{Span{}, Span{}};
};

class XmlDocument {
 public:
  // Throws ESOAPMessageError for a document that is not well-formed or that
  // declares a document type. Takes the bytes over, to read them in place.
  // `charset` is the one the document was labelled with, if any
  // (XmlEncoding.h tells which word counts). The calling thread's
  // cancellation check runs while it reads, and what it raises ends the
  // reading.
  static XmlDocument Parse(std::string bytes, std::string_view charset = {});
  XmlNode Root() const { return tree_->Root(); }

 private:
  std::unique_ptr<XmlTree> tree_;
};

std::string_view LocalName(XmlNode node);
bool Is(XmlNode element, std::string_view ns, std::string_view localName);

XmlNode FirstChildElement(XmlNode parent);
XmlNode NextElement(XmlNode element);
XmlNode ChildNamed(XmlNode parent, std::string_view localName);
// All character data directly inside the element.
std::string TextOf(XmlNode element);
// xsi:nil="true" (or "1").
bool IsNil(XmlNode element);

}  // namespace movrano::soap
