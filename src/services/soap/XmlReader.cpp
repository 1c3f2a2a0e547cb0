#include "services/soap/XmlReader.h"

#include <charconv>
#include <limits>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "platform/Text.h"
#include "platform/TextCodec.h"
#include "services/soap/Cancellation.h"
#include "services/soap/Errors.h"
#include "services/soap/XmlEncoding.h"
#include "services/soap/XmlWriter.h"

namespace movrano::soap {
namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";

// How much of the document is read between two cancellation checks.
constexpr size_t kCheckpointBytes = size_t{1} << 20;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsNameStart(uint32_t cp) {
  if (cp < 0x80)
    return (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') || cp == '_' || cp == ':';
  return (cp >= 0xC0 && cp <= 0xD6) || (cp >= 0xD8 && cp <= 0xF6) || (cp >= 0xF8 && cp <= 0x2FF) ||
         (cp >= 0x370 && cp <= 0x37D) || (cp >= 0x37F && cp <= 0x1FFF) ||
         (cp >= 0x200C && cp <= 0x200D) || (cp >= 0x2070 && cp <= 0x218F) ||
         (cp >= 0x2C00 && cp <= 0x2FEF) || (cp >= 0x3001 && cp <= 0xD7FF) ||
         (cp >= 0xF900 && cp <= 0xFDCF) || (cp >= 0xFDF0 && cp <= 0xFFFD) ||
         (cp >= 0x10000 && cp <= 0xEFFFF);
}

bool IsNameChar(uint32_t cp) {
  return IsNameStart(cp) || (cp >= '0' && cp <= '9') || cp == '-' || cp == '.' || cp == 0xB7 ||
         (cp >= 0x300 && cp <= 0x36F) || (cp >= 0x203F && cp <= 0x2040);
}

bool IsXmlChar(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

}  // namespace

// Reads the document in one pass, building the tree and resolving
// namespaces as it goes; texts and attribute values are decoded where they
// stand, since their decoded form is never longer.
class XmlParser {
 public:
  explicit XmlParser(XmlTree& tree) : t_(tree), s_(tree.bytes_) {}

  // Reads the document whose text starts at `start`.
  void Run(size_t start) {
    p_ = start;
    if (const std::optional<XmlDeclaration> declaration = ReadXmlDeclaration(s_, p_))
      p_ = declaration->end;
    while (p_ < s_.size()) {
      checkpoint(p_);
      if (open_.empty()) {
        topLevel();
        continue;
      }
      if (s_[p_] != '<') {
        text();
      } else if (startsWith("</")) {
        endTag();
      } else if (startsWith("<!--")) {
        comment();
      } else if (startsWith("<![CDATA[")) {
        cdata();
      } else if (startsWith("<?")) {
        instruction();
      } else if (startsWith("<!")) {
        NotWellFormed("markup declaration inside an element", p_);
      } else {
        startTag();
      }
    }
    if (!open_.empty()) NotWellFormed("element not closed", p_);
    if (t_.elements_.empty())
      throw ESOAPMessageError("The response is not well-formed XML (one root element expected)");
  }

 private:
  using Span = XmlTree::Span;
  static constexpr uint32_t kNone = 0;

  // Where characters stand, which decides how they are decoded.
  enum class Content { Text, AttributeValue, CData };

  struct Frame {
    uint32_t element;
    uint32_t lastText;  // 1-based
    uint32_t bindings;  // how many bindings were in force before it
  };
  struct Binding {
    std::string_view prefix;
    uint32_t ns;
    uint32_t previous;  // the binding it hides, 1-based
  };

  bool startsWith(std::string_view what) const { return s_.compare(p_, what.size(), what) == 0; }

  void skipSpace() {
    while (p_ < s_.size() && IsSpace(s_[p_]))
      ++p_;
  }

  // Lets a cancellation end the reading, once in so many bytes.
  void checkpoint(size_t at) {
    if (at < nextCheckpoint_) return;
    CheckCancellation();
    nextCheckpoint_ = at + kCheckpointBytes;
  }

  void skipPast(std::string_view end, size_t from) {
    const size_t at = s_.find(end, p_ + from);
    if (at == std::string::npos) NotWellFormed("markup not closed", p_);
    p_ = at + end.size();
  }

  size_t nameEnd(size_t from) const {
    size_t q = from;
    while (q < s_.size()) {
      const Utf8Character c = DecodeUtf8At(s_, q);
      if (!(q == from ? IsNameStart(c.codePoint) : IsNameChar(c.codePoint))) break;
      q += c.length;
    }
    return q;
  }

  static uint32_t Index(size_t n) {
    if (n >= std::numeric_limits<uint32_t>::max())
      throw ESOAPMessageError("The response is too large");
    return static_cast<uint32_t>(n);
  }

  void topLevel() {
    skipSpace();
    if (p_ >= s_.size()) return;
    if (s_[p_] != '<') NotWellFormed("text outside the root element", p_);
    if (startsWith("<!--")) return comment();
    if (startsWith("<?")) return instruction();
    if (startsWith("<!DOCTYPE"))
      throw ESOAPMessageError("The response declares a document type, which is not accepted");
    if (startsWith("<!") || startsWith("</")) NotWellFormed("unexpected markup", p_);
    if (!t_.elements_.empty())
      throw ESOAPMessageError("The response is not well-formed XML (one root element expected)");
    startTag();
  }

  // "--" may only end a comment.
  void comment() {
    const size_t dashes = s_.find("--", p_ + 4);
    if (dashes == std::string::npos) NotWellFormed("comment not closed", p_);
    if (dashes + 2 >= s_.size() || s_[dashes + 2] != '>')
      NotWellFormed("'--' in a comment", dashes);
    p_ = dashes + 3;
  }

  void instruction() {
    const size_t end = nameEnd(p_ + 2);
    if (end == p_ + 2) NotWellFormed("processing instruction without target", p_);
    const std::string_view target = std::string_view(s_).substr(p_ + 2, end - p_ - 2);
    if (LowerCase(target) == "xml") NotWellFormed("XML declaration not at the start", p_);
    if (target.find(':') != std::string_view::npos)
      NotWellFormed("':' in a processing instruction's target", p_);
    if (end >= s_.size() || (!IsSpace(s_[end]) && s_.compare(end, 2, "?>") != 0))
      NotWellFormed("space expected after the processing instruction's target", end);
    skipPast("?>", end - p_);
  }

  void startTag() {
    const size_t nameStart = p_ + 1;
    const size_t end = nameEnd(nameStart);
    if (end == nameStart) NotWellFormed("element name expected", p_);
    checkQName(nameStart, end);
    const uint32_t index = Index(t_.elements_.size());
    XmlTree::Element& e = t_.elements_.emplace_back();
    e.name = {Index(nameStart), Index(end - nameStart)};
    e.firstAttribute = Index(t_.attributes_.size());
    p_ = end;
    const bool empty = attributes();
    const uint32_t bindings = Index(bindings_.size());
    declareNamespaces(e.firstAttribute);
    const std::string_view elementPrefix = PrefixOf(t_.view(e.name));
    if (elementPrefix == "xmlns") NotWellFormed("element with the prefix xmlns", nameStart);
    e.ns = resolve(elementPrefix, nameStart);
    for (size_t a = e.firstAttribute; a < t_.attributes_.size(); ++a) {
      XmlTree::Attr& attr = t_.attributes_[a];
      const std::string_view name = t_.view(attr.name);
      const std::string_view prefix = PrefixOf(name);
      if (!prefix.empty() && prefix != "xmlns") attr.ns = resolve(prefix, attr.name.offset);
    }
    checkUnique(e.firstAttribute);
    if (empty) {
      e.end = index + 1;
      undeclare(bindings);
    } else {
      open_.push_back({index, kNone, bindings});
    }
  }

  // Reads the attributes up to the end of the start tag; true for "/>".
  bool attributes() {
    while (true) {
      checkpoint(p_);
      const size_t before = p_;
      skipSpace();
      if (p_ >= s_.size()) NotWellFormed("start tag not closed", before);
      if (s_[p_] == '>') {
        ++p_;
        break;
      }
      if (startsWith("/>")) {
        p_ += 2;
        return true;
      }
      if (p_ == before) NotWellFormed("space expected before an attribute", p_);
      const size_t nameStart = p_;
      p_ = nameEnd(p_);
      if (p_ == nameStart) NotWellFormed("attribute name expected", nameStart);
      checkQName(nameStart, p_);
      const Span name{Index(nameStart), Index(p_ - nameStart)};
      const auto [begin, close] = ReadQuotedValue(s_, p_, "attribute value not closed");
      t_.attributes_.push_back({name, decode(begin, close, Content::AttributeValue), 0});
    }
    return false;
  }

  // One colon at most, between a prefix and a local part.
  void checkQName(size_t begin, size_t end) const {
    const std::string_view name = std::string_view(s_).substr(begin, end - begin);
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos) return;
    if (colon == 0 || colon + 1 == name.size() ||
        !IsNameStart(DecodeUtf8At(name, colon + 1).codePoint) ||
        name.find(':', colon + 1) != std::string_view::npos)
      NotWellFormed("misplaced ':' in a name", begin);
  }

  // An attribute by its namespace and local name: two prefixes bound to
  // one namespace do not make two attributes of one name. A namespace is
  // its id, so that a long URI is compared once, when it is declared.
  using ExpandedName = std::pair<uint32_t, std::string_view>;
  struct ExpandedNameHash {
    size_t operator()(const ExpandedName& n) const {
      return std::hash<std::string_view>()(n.second) * 31 + n.first;
    }
  };

  ExpandedName expandedName(const XmlTree::Attr& attr) const {
    const std::string_view name = t_.view(attr.name);
    if (attr.ns == kNone) return {kNone, name};
    return {attr.ns, name.substr(name.find(':') + 1)};
  }

  void checkUnique(uint32_t first) {
    const size_t count = t_.attributes_.size() - first;
    const auto duplicate = [&](size_t a) {
      NotWellFormed("attribute given twice", t_.attributes_[a].name.offset);
    };
    if (count <= 8) {
      for (size_t a = first; a < t_.attributes_.size(); ++a)
        for (size_t b = first; b < a; ++b)
          if (expandedName(t_.attributes_[a]) == expandedName(t_.attributes_[b])) duplicate(a);
      return;
    }
    std::unordered_set<ExpandedName, ExpandedNameHash> seen;
    seen.reserve(count);
    for (size_t a = first; a < t_.attributes_.size(); ++a)
      if (!seen.insert(expandedName(t_.attributes_[a])).second) duplicate(a);
  }

  static std::string_view PrefixOf(std::string_view qname) {
    const size_t colon = qname.find(':');
    return colon == std::string_view::npos ? std::string_view{} : qname.substr(0, colon);
  }

  void declareNamespaces(uint32_t first) {
    for (size_t a = first; a < t_.attributes_.size(); ++a) {
      const XmlTree::Attr& attr = t_.attributes_[a];
      const std::string_view name = t_.view(attr.name);
      std::string_view prefix;
      if (name == "xmlns")
        prefix = {};
      else if (name.substr(0, 6) == "xmlns:")
        prefix = name.substr(6);
      else
        continue;
      const std::string_view uri = t_.view(attr.value);
      if (prefix == "xml") {
        // Binding "xml" to its own namespace changes nothing.
        if (uri != kXmlNamespace) NotWellFormed("the prefix xml bound elsewhere", attr.name.offset);
        continue;
      }
      if (prefix == "xmlns" || uri == kXmlNamespace || uri == kXmlnsNamespace)
        NotWellFormed("reserved prefix or namespace declared", attr.name.offset);
      if (!prefix.empty() && uri.empty())
        NotWellFormed("namespace prefix declared empty", attr.name.offset);
      uint32_t ns = kNone;  // an empty default namespace undeclares it
      if (attr.value.length > 0) {
        const auto [known, added] =
            namespaceIds_.try_emplace(t_.view(attr.value), Index(t_.namespaces_.size()));
        if (added) t_.namespaces_.push_back(attr.value);
        ns = known->second;
      }
      uint32_t& current = current_[prefix];
      bindings_.push_back({prefix, ns, current});
      current = Index(bindings_.size());
    }
  }

  void undeclare(uint32_t bindings) {
    while (bindings_.size() > bindings) {
      current_[bindings_.back().prefix] = bindings_.back().previous;
      bindings_.pop_back();
    }
  }

  // The namespace of a prefix, or the default namespace; `at` is where
  // the name stands, for the error.
  uint32_t resolve(std::string_view prefix, size_t at) const {
    if (prefix == "xml") return 1;
    const auto it = current_.find(prefix);
    const uint32_t ns =
        it == current_.end() || it->second == kNone ? kNone : bindings_[it->second - 1].ns;
    if (ns == kNone && !prefix.empty()) NotWellFormed("namespace prefix not declared", at);
    return ns;
  }

  void endTag() {
    const size_t nameStart = p_ + 2;
    const size_t end = nameEnd(nameStart);
    const Frame frame = open_.back();
    XmlTree::Element& e = t_.elements_[frame.element];
    if (std::string_view(s_).substr(nameStart, end - nameStart) != t_.view(e.name))
      NotWellFormed("end tag does not match its start tag", p_);
    p_ = end;
    skipSpace();
    if (p_ >= s_.size() || s_[p_] != '>') NotWellFormed("'>' expected", p_);
    ++p_;
    e.end = Index(t_.elements_.size());
    undeclare(frame.bindings);
    open_.pop_back();
  }

  void text() {
    const size_t end = s_.find('<', p_);
    if (end == std::string::npos) NotWellFormed("element not closed", p_);
    const size_t marker = std::string_view(s_).substr(p_, end - p_).find("]]>");
    if (marker != std::string_view::npos) NotWellFormed("']]>' in text", p_ + marker);
    addText(decode(p_, end, Content::Text));
    p_ = end;
  }

  void cdata() {
    const size_t start = p_ + 9;
    const size_t end = s_.find("]]>", start);
    if (end == std::string::npos) NotWellFormed("CDATA section not closed", p_);
    addText(decode(start, end, Content::CData));
    p_ = end + 3;
  }

  void addText(Span text) {
    if (text.length == 0) return;
    t_.texts_.push_back({text, kNone});
    const uint32_t chunk = Index(t_.texts_.size());
    Frame& frame = open_.back();
    if (frame.lastText == kNone)
      t_.elements_[frame.element].firstText = chunk;
    else
      t_.texts_[frame.lastText - 1].next = chunk;
    frame.lastText = chunk;
  }

  // Decodes [begin, end) where it stands: line ends become "\n" (a space in
  // an attribute value, as do tabs and line feeds), and references outside
  // CDATA their characters. Only XML's own references are known.
  Span decode(size_t begin, size_t end, Content content) {
    const bool attribute = content == Content::AttributeValue;
    size_t w = begin;
    for (size_t r = begin; r < end; ++r) {
      checkpoint(r);
      const char c = s_[r];
      if (c == '\r') {
        s_[w++] = attribute ? ' ' : '\n';
        if (r + 1 < end && s_[r + 1] == '\n') ++r;
      } else if (attribute && (c == '\n' || c == '\t')) {
        s_[w++] = ' ';
      } else if (attribute && c == '<') {
        NotWellFormed("'<' in an attribute value", r);
      } else if (c == '&' && content != Content::CData) {
        r = reference(r, end, w);
      } else {
        s_[w++] = c;
      }
    }
    return {Index(begin), Index(w - begin)};
  }

  // Writes the character of the reference at `at` to `w`; returns where
  // the reference ends (its ';').
  size_t reference(size_t at, size_t end, size_t& w) {
    const auto unknown = [] {
      return ESOAPMessageError("The response is not well-formed XML (unknown entity reference)");
    };
    const size_t semicolon = s_.find(';', at);
    if (semicolon == std::string::npos || semicolon >= end) throw unknown();
    const std::string_view ref = std::string_view(s_).substr(at + 1, semicolon - at - 1);
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    for (const auto& [name, c] : kNamed)
      if (ref == name) {
        s_[w++] = c;
        return semicolon;
      }
    if (ref.size() < 2 || ref[0] != '#') throw unknown();
    const bool hex = ref[1] == 'x';
    const std::string_view digits = ref.substr(hex ? 2 : 1);
    uint32_t cp = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
    if (digits.empty() || r.ec != std::errc() || r.ptr != digits.data() + digits.size() ||
        !IsXmlChar(cp))
      throw unknown();
    w += EncodeUtf8(cp, &s_[w]);
    return semicolon;
  }

  XmlTree& t_;
  std::string& s_;
  size_t p_ = 0;
  std::vector<Frame> open_;
  std::vector<Binding> bindings_;
  std::unordered_map<std::string_view, uint32_t> current_;       // prefix: binding, 1-based
  std::unordered_map<std::string_view, uint32_t> namespaceIds_;  // URI: its namespaces_ index
  size_t nextCheckpoint_ = 0;
};

XmlDocument XmlDocument::Parse(std::string bytes, std::string_view charset) {
  XmlDocument d;
  d.tree_ = std::make_unique<XmlTree>();
  d.tree_->sourceSize_ = bytes.size();
  d.tree_->bytes_ = std::move(bytes);
  const size_t start = DecodeToUtf8(d.tree_->bytes_, charset);
  CheckCancellation();
  if (!IsXmlText(std::string_view(d.tree_->bytes_).substr(start)))
    throw ESOAPMessageError(
        "The response is not well-formed XML (it holds bytes that are no XML character)");
  XmlParser(*d.tree_).Run(start);
  return d;
}

XmlNode XmlTree::Root() const {
  return elements_.empty() ? XmlNode() : XmlNode(this, 0, static_cast<uint32_t>(elements_.size()));
}

void XmlTree::ForEachElement(const std::function<void(XmlNode)>& visit) const {
  // The ends of the open ancestors give each element its siblings' bound.
  std::vector<uint32_t> ends;
  for (uint32_t i = 0; i < elements_.size(); ++i) {
    while (!ends.empty() && ends.back() <= i)
      ends.pop_back();
    visit(XmlNode(this, i, ends.empty() ? static_cast<uint32_t>(elements_.size()) : ends.back()));
    if (elements_[i].end > i + 1) ends.push_back(elements_[i].end);
  }
}

std::string_view XmlTree::namespaceAt(uint32_t index) const {
  if (index == 0) return {};
  if (index == 1) return kXmlNamespace;
  return view(namespaces_[index]);
}

uint32_t XmlTree::attributesEnd(uint32_t element) const {
  return element + 1 < elements_.size() ? elements_[element + 1].firstAttribute
                                        : static_cast<uint32_t>(attributes_.size());
}

std::string_view XmlNode::Name() const {
  if (!tree_) return {};
  return tree_->view(tree_->elements_[index_].name);
}

std::string_view XmlNode::Namespace() const {
  if (!tree_) return {};
  return tree_->namespaceAt(tree_->elements_[index_].ns);
}

std::optional<std::string_view> XmlNode::Attribute(std::string_view name) const {
  for (size_t n = 0, count = AttributeCount(); n < count; ++n)
    if (AttributeName(n) == name) return AttributeValue(n);
  return std::nullopt;
}

size_t XmlNode::AttributeCount() const {
  if (!tree_) return 0;
  return tree_->attributesEnd(index_) - tree_->elements_[index_].firstAttribute;
}

std::string_view XmlNode::AttributeName(size_t n) const {
  return tree_->view(tree_->attributes_[tree_->elements_[index_].firstAttribute + n].name);
}

std::string_view XmlNode::AttributeNamespace(size_t n) const {
  return tree_->namespaceAt(tree_->attributes_[tree_->elements_[index_].firstAttribute + n].ns);
}

std::string_view XmlNode::AttributeValue(size_t n) const {
  return tree_->view(tree_->attributes_[tree_->elements_[index_].firstAttribute + n].value);
}

XmlNode XmlNode::FirstChild() const {
  if (!tree_) return {};
  const uint32_t end = tree_->elements_[index_].end;
  return end > index_ + 1 ? XmlNode(tree_, index_ + 1, end) : XmlNode();
}

XmlNode XmlNode::NextSibling() const {
  if (!tree_) return {};
  const uint32_t end = tree_->elements_[index_].end;
  return end < limit_ ? XmlNode(tree_, end, limit_) : XmlNode();
}

std::string XmlNode::Text() const {
  std::string text;
  if (!tree_) return text;
  for (uint32_t c = tree_->elements_[index_].firstText; c != 0; c = tree_->texts_[c - 1].next)
    text += tree_->view(tree_->texts_[c - 1].text);
  return text;
}

std::string_view LocalName(XmlNode node) {
  const std::string_view name = node.Name();
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool Is(XmlNode element, std::string_view ns, std::string_view localName) {
  return element && LocalName(element) == localName && element.Namespace() == ns;
}

// The null node answers as empty, so these need no checks of their own.
XmlNode FirstChildElement(XmlNode parent) {
  return parent.FirstChild();
}

XmlNode NextElement(XmlNode element) {
  return element.NextSibling();
}

XmlNode ChildNamed(XmlNode parent, std::string_view localName) {
  for (XmlNode n = FirstChildElement(parent); n; n = NextElement(n))
    if (LocalName(n) == localName) return n;
  return {};
}

std::string TextOf(XmlNode element) {
  return element.Text();
}

bool IsNil(XmlNode element) {
  for (size_t n = 0, count = element.AttributeCount(); n < count; ++n) {
    const std::string_view name = element.AttributeName(n);
    const size_t colon = name.find(':');
    if (colon == std::string_view::npos || name.substr(colon + 1) != "nil") continue;
    if (element.AttributeNamespace(n) != kXmlSchemaInstanceNamespace) continue;
    const std::string value = Trim(element.AttributeValue(n));
    return value == "true" || value == "1";
  }
  return false;
}

}  // namespace movrano::soap
