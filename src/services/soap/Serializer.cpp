#include "services/soap/Serializer.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "platform/Text.h"
#include "services/soap/Errors.h"

namespace movrano::soap {
namespace {

constexpr int kMaxDepth = 200;

[[noreturn]] void WrongForm(std::string_view what, std::string_view text,
                            std::string_view element) {
  throw ESOAPMessageError(Format("'%s' is not a valid %s (element %s)",
                                 std::string(text.substr(0, 40)), std::string(what),
                                 std::string(element)));
}

// The SOAP 1.1 encoding's reference attributes carry no namespace.
pugi::xml_attribute Unqualified(pugi::xml_node element, const char* name) {
  return element.attribute(name);
}

}  // namespace

// Resolves href="#id" references within one response. Once a response
// uses references, every element read counts against a budget of a few
// times its size, so that shared values that themselves hold references
// cannot multiply a small response into an unbounded number of objects.
class Serializer::References {
 public:
  // The element that stands for `element`: itself, or what it refers to.
  pugi::xml_node Resolve(pugi::xml_node element) {
    for (int hops = 0;; ++hops) {
      const pugi::xml_attribute href = Unqualified(element, "href");
      if (!href) return element;
      const std::string_view target = href.value();
      if (target.empty() || target[0] != '#')
        throw ESOAPMessageError(Format("The response refers to %s outside itself (element %s)",
                                       std::string(target.substr(0, 40)),
                                       std::string(LocalName(element))));
      if (hops >= kMaxHops)
        throw ESOAPMessageError("The response's references form a chain or loop");
      index(element);
      const auto it = ids_.find(std::string(target.substr(1)));
      if (it == ids_.end())
        throw ESOAPMessageError(Format("The response refers to %s, which it does not hold",
                                       std::string(target.substr(0, 40))));
      element = it->second;
    }
  }

  // Counts one element read.
  void Visit() {
    if (++visited_ > budget_)
      throw ESOAPMessageError("The response's references expand past a sane size");
  }

 private:
  static constexpr int kMaxHops = 32;

  void index(pugi::xml_node from) {
    if (indexed_) return;
    indexed_ = true;
    // pugixml walks the tree without recursion.
    struct Walker : pugi::xml_tree_walker {
      std::unordered_map<std::string, pugi::xml_node>& ids;
      size_t elements = 0;
      explicit Walker(std::unordered_map<std::string, pugi::xml_node>& i) : ids(i) {}
      bool for_each(pugi::xml_node& n) override {
        if (n.type() != pugi::node_element) return true;
        ++elements;
        if (const pugi::xml_attribute id = Unqualified(n, "id")) ids.emplace(id.value(), n);
        return true;
      }
    } walker(ids_);
    from.root().traverse(walker);
    budget_ = 16 * walker.elements + (size_t{1} << 16);
  }

  bool indexed_ = false;
  std::unordered_map<std::string, pugi::xml_node> ids_;
  size_t visited_ = 0;
  size_t budget_ = std::numeric_limits<size_t>::max();  // until a reference is met
};

std::string BooleanText(bool value) {
  return value ? "true" : "false";
}

std::string DoubleText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  char buffer[64];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, r.ptr);
}

bool ParseBoolean(std::string_view text, std::string_view element) {
  const std::string t = Trim(text);
  if (t.empty() || t == "false" || t == "0") return false;
  if (t == "true" || t == "1") return true;
  WrongForm("Boolean", text, element);
}

int32_t ParseInteger(std::string_view text, std::string_view element) {
  std::string t = Trim(text);
  if (t.empty()) return 0;
  if (t[0] == '+') t.erase(0, 1);
  int32_t value = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size()) WrongForm("Integer", text, element);
  return value;
}

double ParseDouble(std::string_view text, std::string_view element) {
  std::string t = Trim(text);
  if (t.empty()) return 0;
  if (t == "INF" || t == "+INF") return std::numeric_limits<double>::infinity();
  if (t == "-INF") return -std::numeric_limits<double>::infinity();
  if (t == "NaN") return std::numeric_limits<double>::quiet_NaN();
  if (t[0] == '+') t.erase(0, 1);
  double value = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
  if (r.ec != std::errc() || r.ptr != t.data() + t.size() || !std::isfinite(value))
    WrongForm("Double", text, element);
  return value;
}

const ClassEntry& Serializer::EntryOf(std::type_index type) const {
  const ClassEntry* entry = types_.FindClass(type);
  if (!entry)
    throw ESOAPMessageError(
        Format("Class %s is not registered with the SOAP layer", std::string(type.name())));
  return *entry;
}

void Serializer::writeNil(XmlWriter& w, std::string_view element) const {
  w.Start(element);
  w.Attribute("xsi:nil", "true");
  w.End();
}

void Serializer::WriteObject(XmlWriter& w, std::string_view element,
                             const Remotable* object) const {
  if (!object) return writeNil(w, element);
  w.Start(element);
  WriteProperties(w, *object);
  w.End();
}

void Serializer::WriteProperties(XmlWriter& w, const Remotable& object) const {
  const ClassEntry& cls = EntryOf(typeid(object));
  const bool simple = (types_.OptionsOf(object) & xoSimpleTypeWrapper) != 0;
  if (simple && cls.properties.size() == 1 && cls.properties[0].kind == PropKind::Text)
    return w.Text(FieldValue<std::string>(cls.properties[0], object));
  for (const PropertyInfo& p : cls.properties)
    writeProperty(w, cls, p, object);
}

void Serializer::writeProperty(XmlWriter& w, const ClassEntry& cls, const PropertyInfo& p,
                               const Remotable& object) const {
  const std::string name = types_.XmlPropertyName(cls, p);
  switch (p.kind) {
    case PropKind::Text:
      return w.Element(name, FieldValue<std::string>(p, object));
    case PropKind::Boolean:
      return w.Element(name, BooleanText(FieldValue<bool>(p, object)));
    case PropKind::Integer:
      return w.Element(name, std::to_string(FieldValue<int32_t>(p, object)));
    case PropKind::Double:
      return w.Element(name, DoubleText(FieldValue<double>(p, object)));
    case PropKind::DateTime: {
      const auto& date = FieldValue<std::optional<XSDateTime>>(p, object);
      return date ? w.Element(name, date->ToString()) : writeNil(w, name);
    }
    case PropKind::TextArray:
      w.Start(name);
      for (const std::string& s : FieldValue<TextList>(p, object))
        w.Element("string", s);
      return w.End();
    case PropKind::Object:
      return WriteObject(w, name, p.object(object));
    case PropKind::ObjectArray: {
      const std::string& item = EntryOf(p.objectType).xmlName;
      w.Start(name);
      for (size_t i = 0, n = p.count(object); i < n; ++i)
        WriteObject(w, item, p.element(object, i));
      return w.End();
    }
  }
}

void Serializer::WriteArgument(XmlWriter& w, const std::string& element,
                               const ArgValue& value) const {
  struct Visitor {
    const Serializer& s;
    XmlWriter& w;
    const std::string& element;
    void operator()(const std::string& v) const { w.Element(element, v); }
    void operator()(bool v) const { w.Element(element, BooleanText(v)); }
    void operator()(int32_t v) const { w.Element(element, std::to_string(v)); }
    void operator()(double v) const { w.Element(element, DoubleText(v)); }
    void operator()(const std::optional<XSDateTime>& v) const {
      v ? w.Element(element, v->ToString()) : s.writeNil(w, element);
    }
    void operator()(const TextList& v) const {
      w.Start(element);
      for (const std::string& item : v)
        w.Element("string", item);
      w.End();
    }
    void operator()(const Remotable* v) const { s.WriteObject(w, element, v); }
  };
  std::visit(Visitor{*this, w, element}, value);
}

std::unique_ptr<Remotable> Serializer::ReadObject(pugi::xml_node element,
                                                  std::type_index type) const {
  References refs;
  return readObject(element, type, 0, refs);
}

std::unique_ptr<Remotable> Serializer::readObject(pugi::xml_node element, std::type_index type,
                                                  int depth, References& refs) const {
  element = refs.Resolve(element);
  refs.Visit();
  if (IsNil(element)) return nullptr;
  if (depth > kMaxDepth) throw ESOAPMessageError("The response nests objects too deeply");
  const ClassEntry& cls = EntryOf(type);
  std::unique_ptr<Remotable> object = cls.create();
  readProperties(element, cls, *object, depth, refs);
  return object;
}

void Serializer::readProperties(pugi::xml_node element, const ClassEntry& cls, Remotable& object,
                                int depth, References& refs) const {
  for (const PropertyInfo& p : cls.properties) {
    const pugi::xml_node found = ChildNamed(element, types_.XmlPropertyName(cls, p));
    if (!found) continue;
    const pugi::xml_node e = refs.Resolve(found);
    ResultValue value = readValue(e, p.kind, p.objectType, depth + 1, refs);
    switch (p.kind) {
      case PropKind::Text:
        FieldValue<std::string>(p, object) = std::get<std::string>(std::move(value));
        break;
      case PropKind::Boolean:
        FieldValue<bool>(p, object) = std::get<bool>(value);
        break;
      case PropKind::Integer:
        FieldValue<int32_t>(p, object) = std::get<int32_t>(value);
        break;
      case PropKind::Double:
        FieldValue<double>(p, object) = std::get<double>(value);
        break;
      case PropKind::DateTime:
        FieldValue<std::optional<XSDateTime>>(p, object) =
            std::get<std::optional<XSDateTime>>(value);
        break;
      case PropKind::TextArray:
        FieldValue<TextList>(p, object) = std::get<TextList>(std::move(value));
        break;
      case PropKind::Object:
        p.setObject(object, std::get<std::unique_ptr<Remotable>>(std::move(value)));
        break;
      case PropKind::ObjectArray:
        for (pugi::xml_node item = FirstChildElement(e); item; item = NextElement(item))
          p.append(object, readObject(item, p.objectType, depth + 1, refs));
        break;
    }
  }
}

ResultValue Serializer::ReadResult(pugi::xml_node e, const ResultSpec& spec) const {
  if (spec.none) return std::monostate{};
  References refs;
  return readValue(refs.Resolve(e), spec.kind, spec.objectType, 0, refs);
}

// One element, its references resolved, as a value of a kind; an
// ObjectArray is read by the caller.
ResultValue Serializer::readValue(pugi::xml_node e, PropKind kind, std::type_index objectType,
                                  int depth, References& refs) const {
  refs.Visit();
  const bool nil = IsNil(e);
  const std::string name(LocalName(e));
  switch (kind) {
    case PropKind::Text:
      return nil ? std::string() : TextOf(e);
    case PropKind::Boolean:
      return !nil && ParseBoolean(TextOf(e), name);
    case PropKind::Integer:
      return nil ? 0 : ParseInteger(TextOf(e), name);
    case PropKind::Double:
      return nil ? 0.0 : ParseDouble(TextOf(e), name);
    case PropKind::DateTime: {
      const std::string text = Trim(TextOf(e));
      if (nil || text.empty()) return std::optional<XSDateTime>();
      try {
        return std::optional<XSDateTime>(XSDateTime::Parse(text));
      } catch (const ESOAPMessageError& e) {
        throw ESOAPMessageError(Format("%s (element %s)", std::string(e.what()), name));
      }
    }
    case PropKind::TextArray: {
      TextList list;
      for (pugi::xml_node item = FirstChildElement(e); item; item = NextElement(item)) {
        const pugi::xml_node value = refs.Resolve(item);
        refs.Visit();
        list.push_back(IsNil(value) ? std::string() : TextOf(value));
      }
      return list;
    }
    case PropKind::Object:
      return readObject(e, objectType, depth, refs);
    case PropKind::ObjectArray:
      break;
  }
  return std::monostate{};
}

}  // namespace movrano::soap
