#pragma once
// What the serializer knows about one property of a data class: its name,
// its kind and typed access to its field. MakeProperty<&Class::Field>
// derives all of it from the field's C++ type.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <typeindex>
#include <vector>

#include "services/soap/Remotable.h"
#include "services/soap/XSDateTime.h"

namespace movrano::soap {

enum class PropKind { Text, Boolean, Integer, Double, DateTime, TextArray, Object, ObjectArray };

using TextList = std::vector<std::string>;
template <class T>
using ObjectList = std::vector<std::unique_ptr<T>>;

struct PropertyInfo {
  std::string name;
  PropKind kind = PropKind::Text;
  // The class of an Object property or of an ObjectArray's elements.
  std::type_index objectType{typeid(void)};

  // Value kinds: the field, to be read as the C++ type that `kind` names.
  void* (*field)(Remotable&) = nullptr;
  // Object: the held object (or null) and its replacement.
  const Remotable* (*object)(const Remotable&) = nullptr;
  void (*setObject)(Remotable&, std::unique_ptr<Remotable>) = nullptr;
  // ObjectArray: element count, element (or null), appending an element.
  size_t (*count)(const Remotable&) = nullptr;
  const Remotable* (*element)(const Remotable&, size_t) = nullptr;
  void (*append)(Remotable&, std::unique_ptr<Remotable>) = nullptr;
};

using PropertyList = std::vector<PropertyInfo>;

// Reads a value-kind field; T must be the C++ type of the property's kind.
template <class T>
const T& FieldValue(const PropertyInfo& p, const Remotable& object) {
  return *static_cast<const T*>(p.field(const_cast<Remotable&>(object)));
}
template <class T>
T& FieldValue(const PropertyInfo& p, Remotable& object) {
  return *static_cast<T*>(p.field(object));
}

namespace detail {

template <class M>
struct Member;
template <class C, class T>
struct Member<T C::*> {
  using Class = C;
  using Field = T;
};

template <class T>
struct Kind;
template <>
struct Kind<std::string> {
  static constexpr PropKind value = PropKind::Text;
};
template <>
struct Kind<bool> {
  static constexpr PropKind value = PropKind::Boolean;
};
template <>
struct Kind<int32_t> {
  static constexpr PropKind value = PropKind::Integer;
};
template <>
struct Kind<double> {
  static constexpr PropKind value = PropKind::Double;
};
template <>
struct Kind<std::optional<XSDateTime>> {
  static constexpr PropKind value = PropKind::DateTime;
};
template <>
struct Kind<TextList> {
  static constexpr PropKind value = PropKind::TextArray;
};

template <class T>
std::unique_ptr<T> Downcast(std::unique_ptr<Remotable> p);

// Throws ESOAPMessageError; kept out of line so this header needs no
// exception declarations.
[[noreturn]] void WrongElementClass(const std::type_info& expected);

template <class T>
std::unique_ptr<T> Downcast(std::unique_ptr<Remotable> p) {
  if (!p) return nullptr;
  T* typed = dynamic_cast<T*>(p.get());
  if (!typed) WrongElementClass(typeid(T));
  p.release();
  return std::unique_ptr<T>(typed);
}

template <class T>
struct IsUniquePtr : std::false_type {};
template <class T>
struct IsUniquePtr<std::unique_ptr<T>> : std::true_type {
  using Element = T;
};
template <class T>
struct IsObjectList : std::false_type {};
template <class T>
struct IsObjectList<std::vector<std::unique_ptr<T>>> : std::true_type {
  using Element = T;
};

}  // namespace detail

template <auto M>
PropertyInfo MakeProperty(std::string name) {
  using C = typename detail::Member<decltype(M)>::Class;
  using F = typename detail::Member<decltype(M)>::Field;
  PropertyInfo p;
  p.name = std::move(name);
  if constexpr (detail::IsUniquePtr<F>::value) {
    using E = typename detail::IsUniquePtr<F>::Element;
    p.kind = PropKind::Object;
    p.objectType = typeid(E);
    p.object = [](const Remotable& o) -> const Remotable* {
      return (static_cast<const C&>(o).*M).get();
    };
    p.setObject = [](Remotable& o, std::unique_ptr<Remotable> v) {
      static_cast<C&>(o).*M = detail::Downcast<E>(std::move(v));
    };
  } else if constexpr (detail::IsObjectList<F>::value) {
    using E = typename detail::IsObjectList<F>::Element;
    p.kind = PropKind::ObjectArray;
    p.objectType = typeid(E);
    p.count = [](const Remotable& o) { return (static_cast<const C&>(o).*M).size(); };
    p.element = [](const Remotable& o, size_t i) -> const Remotable* {
      return (static_cast<const C&>(o).*M)[i].get();
    };
    p.append = [](Remotable& o, std::unique_ptr<Remotable> v) {
      (static_cast<C&>(o).*M).push_back(detail::Downcast<E>(std::move(v)));
    };
  } else {
    p.kind = detail::Kind<F>::value;
    p.field = [](Remotable& o) -> void* { return &(static_cast<C&>(o).*M); };
  }
  return p;
}

}  // namespace movrano::soap
