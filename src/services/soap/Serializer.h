#pragma once
// Turns registered objects and simple values into XML elements and back,
// from the descriptions in the type registry. Every property is written,
// in the class's order (bases first), under its XML name; an absent
// object or date is an element with xsi:nil="true"; an array is an
// element holding one item element per entry, named after the item's type
// ("string" for texts). Reading looks properties up by local name, leaves
// a missing one at its initial value and refuses values of the wrong form;
// wherever a value stands, an element with href="#id" stands for the
// element of the response that carries that id (a SOAP 1.1 multi-reference
// value).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeindex>
#include <variant>

#include "services/soap/Properties.h"
#include "services/soap/TypeRegistry.h"
#include "services/soap/XmlReader.h"
#include "services/soap/XmlWriter.h"

namespace movrano::soap {

// A parameter of a call, by its declared name. An object stays its
// caller's; null is sent as a nil element.
using ArgValue = std::variant<std::string, bool, int32_t, double, std::optional<XSDateTime>,
                              TextList, const Remotable*>;
struct Argument {
  std::string name;
  ArgValue value;
};

// What a call returns: nothing, a value of a kind, or an object of a class.
struct ResultSpec {
  bool none = true;
  PropKind kind = PropKind::Text;
  std::type_index objectType{typeid(void)};
};
using ResultValue = std::variant<std::monostate, std::string, bool, int32_t, double,
                                 std::optional<XSDateTime>, TextList, std::unique_ptr<Remotable>>;

class Serializer {
 public:
  explicit Serializer(const RemotableTypeRegistry& types) : types_(types) {}

  // The envelope must declare the prefix "xsi" for nil elements.
  void WriteObject(XmlWriter& w, std::string_view element, const Remotable* object) const;
  void WriteProperties(XmlWriter& w, const Remotable& object) const;
  void WriteArgument(XmlWriter& w, const std::string& element, const ArgValue& value) const;

  // Null for a nil element. Throws ESOAPMessageError for an unregistered
  // class, a value of the wrong form, a reference to nothing, or nesting,
  // references or values past a sane depth or size (the values read may
  // take a few times the response's size).
  std::unique_ptr<Remotable> ReadObject(XmlNode element, std::type_index type) const;
  ResultValue ReadResult(XmlNode element, const ResultSpec& spec) const;

  const ClassEntry& EntryOf(std::type_index type) const;

 private:
  void writeProperty(XmlWriter& w, const ClassEntry& cls, const PropertyInfo& p,
                     const Remotable& object) const;
  void writeNil(XmlWriter& w, std::string_view element) const;

  class References;  // the response's elements by id, for one reading
  void readProperties(XmlNode element, const ClassEntry& cls, Remotable& object, int depth,
                      References& refs) const;
  std::unique_ptr<Remotable> readObject(XmlNode element, std::type_index type, int depth,
                                        References& refs) const;
  ResultValue readValue(XmlNode element, PropKind kind, std::type_index objectType, int depth,
                        References& refs) const;

  const RemotableTypeRegistry& types_;
};

// The text forms of simple values, and their strict readers (which throw
// ESOAPMessageError naming `element`; an empty text reads as the initial value).
std::string BooleanText(bool value);
std::string DoubleText(double value);
bool ParseBoolean(std::string_view text, std::string_view element);
int32_t ParseInteger(std::string_view text, std::string_view element);
double ParseDouble(std::string_view text, std::string_view element);

}  // namespace movrano::soap
