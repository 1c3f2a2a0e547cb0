#include "services/soap/Serializer.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <vector>

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

// What reading may make of a response, in bytes of objects and texts per
// byte of the response, beyond a fixed allowance: records as services
// write them take about their own size, while empty elements that each
// become an object of hundreds of bytes could multiply an answer.
constexpr size_t kValueBytesPerResponseByte = 8;
constexpr size_t kValueBytesAllowance = size_t{4} << 20;

// The schema's numbers may carry a "+", which from_chars does not take;
// one sign only, so "+-1" stays refused.
void DropPlusSign(std::string& number) {
  if (number.size() > 1 && number[0] == '+' && number[1] != '-') number.erase(0, 1);
}

}  // namespace

// Keeps one reading within bounds and resolves href="#id" references. What
// the values read take is counted against a budget of a few times the
// response's size. Once a response uses references, every element,
// attribute and child looked at counts against a budget of a few times the
// response's parts too, so that shared values that themselves hold
// references cannot multiply a small response into an unbounded number of
// objects or of steps.
class Serializer::References {
 public:
  explicit References(XmlNode any)
      : valueBudget_(kValueBytesAllowance +
                     kValueBytesPerResponseByte * (any ? any.Tree().SourceSize() : 0)) {}

  // The element that stands for `element`: itself, or what it refers to.
  XmlNode Resolve(XmlNode element) {
    for (int hops = 0;; ++hops) {
      // The SOAP 1.1 encoding's reference attributes carry no namespace.
      const std::optional<std::string_view> href = element.Attribute("href");
      if (!href) return element;
      const std::string_view target = *href;
      if (target.empty() || target[0] != '#')
        throw ESOAPMessageError(Format("The response refers to %s outside itself (element %s)",
                                       std::string(target.substr(0, 40)),
                                       std::string(LocalName(element))));
      if (hops >= kMaxHops)
        throw ESOAPMessageError("The response's references form a chain or loop");
      index(element);
      const auto it = ids_.find(target.substr(1));
      if (it == ids_.end())
        throw ESOAPMessageError(Format("The response refers to %s, which it does not hold",
                                       std::string(target.substr(0, 40))));
      element = it->second;
    }
  }

  // Counts one element read with its attributes, or `steps` other steps.
  void Visit(XmlNode element) { Step(1 + element.AttributeCount()); }
  void Step(size_t steps) {
    if ((visited_ += steps) > budget_)
      throw ESOAPMessageError("The response's references expand past a sane size");
  }

  // Counts what a value read takes.
  void Take(size_t bytes) {
    if ((taken_ += bytes) > valueBudget_)
      throw ESOAPMessageError("The response's values expand past a sane size");
  }

 private:
  static constexpr int kMaxHops = 32;

  void index(XmlNode from) {
    if (indexed_) return;
    indexed_ = true;
    const XmlTree& tree = from.Tree();
    tree.ForEachElement([&](XmlNode n) {
      if (const std::optional<std::string_view> id = n.Attribute("id")) ids_.emplace(*id, n);
    });
    budget_ = 16 * tree.PartCount() + (size_t{1} << 16);
  }

  bool indexed_ = false;
  std::unordered_map<std::string_view, XmlNode> ids_;
  size_t visited_ = 0;
  size_t budget_ = std::numeric_limits<size_t>::max();  // until a reference is met
  size_t taken_ = 0;
  size_t valueBudget_;
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
  DropPlusSign(t);
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
  DropPlusSign(t);
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

std::unique_ptr<Remotable> Serializer::ReadObject(XmlNode element, std::type_index type) const {
  References refs(element);
  return readObject(element, type, 0, refs);
}

std::unique_ptr<Remotable> Serializer::readObject(XmlNode element, std::type_index type, int depth,
                                                  References& refs) const {
  element = refs.Resolve(element);
  refs.Visit(element);
  if (IsNil(element)) return nullptr;
  if (depth > kMaxDepth) throw ESOAPMessageError("The response nests objects too deeply");
  const ClassEntry& cls = EntryOf(type);
  refs.Take(cls.objectSize);
  std::unique_ptr<Remotable> object = cls.create();
  readProperties(element, cls, *object, depth, refs);
  return object;
}

void Serializer::readProperties(XmlNode element, const ClassEntry& cls, Remotable& object,
                                int depth, References& refs) const {
  // One pass over the children finds each property's first element.
  std::vector<std::string> names;
  names.reserve(cls.properties.size());
  for (const PropertyInfo& p : cls.properties)
    names.push_back(types_.XmlPropertyName(cls, p));
  std::vector<XmlNode> found(names.size());
  size_t children = 0;
  for (XmlNode child = FirstChildElement(element); child; child = NextElement(child), ++children) {
    const std::string_view local = LocalName(child);
    for (size_t i = 0; i < names.size(); ++i)
      if (!found[i] && names[i] == local) found[i] = child;
  }
  refs.Step(children);

  for (size_t i = 0; i < cls.properties.size(); ++i) {
    const PropertyInfo& p = cls.properties[i];
    if (!found[i]) continue;
    const XmlNode e = refs.Resolve(found[i]);
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
        for (XmlNode item = FirstChildElement(e); item; item = NextElement(item)) {
          refs.Take(sizeof(std::unique_ptr<Remotable>));
          p.append(object, readObject(item, p.objectType, depth + 1, refs));
        }
        break;
    }
  }
}

ResultValue Serializer::ReadResult(XmlNode e, const ResultSpec& spec) const {
  if (spec.none) return std::monostate{};
  References refs(e);
  return readValue(refs.Resolve(e), spec.kind, spec.objectType, 0, refs);
}

// One element, its references resolved, as a value of a kind; an
// ObjectArray is read by the caller.
ResultValue Serializer::readValue(XmlNode e, PropKind kind, std::type_index objectType, int depth,
                                  References& refs) const {
  refs.Visit(e);
  const bool nil = IsNil(e);
  const std::string name(LocalName(e));
  const auto text = [&] {
    std::string t = TextOf(e);
    refs.Take(t.size());
    return t;
  };
  switch (kind) {
    case PropKind::Text:
      return nil ? std::string() : text();
    case PropKind::Boolean:
      return !nil && ParseBoolean(TextOf(e), name);
    case PropKind::Integer:
      return nil ? 0 : ParseInteger(TextOf(e), name);
    case PropKind::Double:
      return nil ? 0.0 : ParseDouble(TextOf(e), name);
    case PropKind::DateTime: {
      const std::string t = Trim(TextOf(e));
      if (nil || t.empty()) return std::optional<XSDateTime>();
      try {
        return std::optional<XSDateTime>(XSDateTime::Parse(t));
      } catch (const ESOAPMessageError& e) {
        throw ESOAPMessageError(Format("%s (element %s)", std::string(e.what()), name));
      }
    }
    case PropKind::TextArray: {
      TextList list;
      for (XmlNode item = FirstChildElement(e); item; item = NextElement(item)) {
        const XmlNode value = refs.Resolve(item);
        refs.Visit(value);
        list.push_back(IsNil(value) ? std::string() : TextOf(value));
        refs.Take(sizeof(std::string) + list.back().size());
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
