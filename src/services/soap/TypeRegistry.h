#pragma once
// The remotable-type registry: for each data class and array type its XML
// name and namespace, and for classes the factory, the properties (bases'
// first), external property names and serialization options. Entries are
// kept per C++ class or per array descriptor, in registration order; a
// lookup by XML name returns the first one registered.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <typeindex>
#include <unordered_map>
#include <utility>
#include <vector>

#include "services/soap/Properties.h"

namespace movrano::soap {

// Identity of an array type: each declared array type has one static
// descriptor, so two arrays of the same elements stay distinct entries.
struct ArrayInfo {
  PropKind elementKind;  // Text or Object
  std::type_index elementType{typeid(void)};
};

template <class T>
ArrayInfo ArrayOf() {
  if constexpr (std::is_same_v<T, std::string>)
    return ArrayInfo{PropKind::Text, typeid(std::string)};
  else
    return ArrayInfo{PropKind::Object, typeid(T)};
}

struct ClassEntry {
  std::type_index type{typeid(void)};
  std::string xmlNamespace, xmlName;
  std::function<std::unique_ptr<Remotable>()> create;
  size_t objectSize = 0;                             // what one object takes
  std::vector<std::type_index> chain;                // the class first, then its bases
  PropertyList properties;                           // the root base's first
  std::map<std::string, std::string> externalNames;  // declared by this class
  SerializationOptions options = 0;
};

struct ArrayEntry {
  const ArrayInfo* info = nullptr;
  std::string xmlNamespace, xmlName;
};

// What a class tells the registry about itself (see Describe.h).
struct ClassDescription {
  std::type_index type{typeid(void)};
  std::function<std::unique_ptr<Remotable>()> create;
  size_t objectSize = 0;
  std::vector<std::type_index> chain;
  PropertyList properties;
};

template <class C>
ClassDescription Describe() {
  ClassDescription d;
  d.type = typeid(C);
  d.create = [] { return std::unique_ptr<Remotable>(new C()); };
  d.objectSize = sizeof(C);
  // Walk up through SoapBase to the first class declared without one.
  auto walk = [&d]<class K>(auto& self) -> void {
    if constexpr (requires { typename K::SoapBase; }) {
      self.template operator()<typename K::SoapBase>(self);
      d.chain.insert(d.chain.begin(), typeid(K));
      K::DescribeOwnProperties(d.properties);
    }
  };
  walk.template operator()<C>(walk);
  return d;
}

class RemotableTypeRegistry {
 public:
  // Registering a class or array again updates its entry in place.
  void RegisterClass(ClassDescription description, std::string ns, std::string name);
  template <class C>
  void RegisterXSClass(std::string ns, std::string name) {
    RegisterClass(Describe<C>(), std::move(ns), std::move(name));
  }
  void RegisterXSInfo(const ArrayInfo& info, std::string ns, std::string name);
  // Both are dropped for a class that is not registered yet.
  void RegisterExternalPropName(std::type_index cls, const std::string& internalName,
                                const std::string& externalName);
  void RegisterSerializeOptions(std::type_index cls, SerializationOptions options);

  const ClassEntry* FindClass(std::type_index cls) const;
  // The first entry registered under that name, class or array.
  struct Found {
    const ClassEntry* cls = nullptr;
    const ArrayEntry* array = nullptr;
    explicit operator bool() const { return cls || array; }
  };
  Found FindByXmlName(std::string_view ns, std::string_view name) const;
  size_t CountByXmlName(std::string_view ns, std::string_view name) const;

  // The XML name of a property of an object of class `cls`: the mapping of
  // the nearest class in its chain that declares one, else its own name.
  std::string XmlPropertyName(const ClassEntry& cls, const PropertyInfo& property) const;
  SerializationOptions OptionsOf(const Remotable& object) const;

  size_t ClassCount() const;
  size_t ArrayCount() const;

 private:
  ClassEntry* findClass(std::type_index cls);

  mutable std::mutex mutex_;
  std::deque<ClassEntry> classes_;
  std::unordered_map<std::type_index, size_t> classIndex_;
  std::deque<ArrayEntry> arrays_;
  std::vector<std::pair<bool, size_t>> order_;  // (is class, index) in registration order
};

}  // namespace movrano::soap
