#include "services/soap/TypeRegistry.h"

#include <typeinfo>

#include "services/soap/Errors.h"

namespace movrano::soap {

namespace detail {
[[noreturn]] void WrongElementClass(const std::type_info& expected) {
  throw ESOAPMessageError(std::string("Object of the wrong class for a property of ") +
                          expected.name());
}
}  // namespace detail

void RemotableTypeRegistry::RegisterClass(ClassDescription d, std::string ns, std::string name) {
  std::lock_guard lock(mutex_);
  ClassEntry* entry = findClass(d.type);
  if (!entry) {
    order_.emplace_back(true, classes_.size());
    classIndex_.emplace(d.type, classes_.size());
    entry = &classes_.emplace_back();
  }
  entry->type = d.type;
  entry->create = std::move(d.create);
  entry->objectSize = d.objectSize;
  entry->chain = std::move(d.chain);
  entry->properties = std::move(d.properties);
  entry->xmlNamespace = std::move(ns);
  entry->xmlName = std::move(name);
}

void RemotableTypeRegistry::RegisterXSInfo(const ArrayInfo& info, std::string ns,
                                           std::string name) {
  std::lock_guard lock(mutex_);
  ArrayEntry* entry = nullptr;
  for (ArrayEntry& a : arrays_)
    if (a.info == &info) entry = &a;
  if (!entry) {
    order_.emplace_back(false, arrays_.size());
    entry = &arrays_.emplace_back();
  }
  entry->info = &info;
  entry->xmlNamespace = std::move(ns);
  entry->xmlName = std::move(name);
}

void RemotableTypeRegistry::RegisterExternalPropName(std::type_index cls,
                                                     const std::string& internalName,
                                                     const std::string& externalName) {
  std::lock_guard lock(mutex_);
  if (ClassEntry* entry = findClass(cls)) entry->externalNames[internalName] = externalName;
}

void RemotableTypeRegistry::RegisterSerializeOptions(std::type_index cls,
                                                     SerializationOptions options) {
  std::lock_guard lock(mutex_);
  if (ClassEntry* entry = findClass(cls)) entry->options = options;
}

ClassEntry* RemotableTypeRegistry::findClass(std::type_index cls) {
  auto it = classIndex_.find(cls);
  return it == classIndex_.end() ? nullptr : &classes_[it->second];
}

const ClassEntry* RemotableTypeRegistry::FindClass(std::type_index cls) const {
  std::lock_guard lock(mutex_);
  return const_cast<RemotableTypeRegistry*>(this)->findClass(cls);
}

RemotableTypeRegistry::Found RemotableTypeRegistry::FindByXmlName(std::string_view ns,
                                                                  std::string_view name) const {
  std::lock_guard lock(mutex_);
  for (const auto& [isClass, index] : order_) {
    if (isClass) {
      const ClassEntry& c = classes_[index];
      if (c.xmlNamespace == ns && c.xmlName == name) return Found{&c, nullptr};
    } else {
      const ArrayEntry& a = arrays_[index];
      if (a.xmlNamespace == ns && a.xmlName == name) return Found{nullptr, &a};
    }
  }
  return Found{};
}

size_t RemotableTypeRegistry::CountByXmlName(std::string_view ns, std::string_view name) const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const ClassEntry& c : classes_)
    n += c.xmlNamespace == ns && c.xmlName == name;
  for (const ArrayEntry& a : arrays_)
    n += a.xmlNamespace == ns && a.xmlName == name;
  return n;
}

std::string RemotableTypeRegistry::XmlPropertyName(const ClassEntry& cls,
                                                   const PropertyInfo& property) const {
  std::lock_guard lock(mutex_);
  for (std::type_index type : cls.chain) {
    const ClassEntry* entry = const_cast<RemotableTypeRegistry*>(this)->findClass(type);
    if (!entry) continue;
    auto it = entry->externalNames.find(property.name);
    if (it != entry->externalNames.end()) return it->second;
  }
  return property.name;
}

SerializationOptions RemotableTypeRegistry::OptionsOf(const Remotable& object) const {
  const ClassEntry* entry = FindClass(typeid(object));
  return object.serializationOptions | (entry ? entry->options : 0);
}

size_t RemotableTypeRegistry::ClassCount() const {
  std::lock_guard lock(mutex_);
  return classes_.size();
}

size_t RemotableTypeRegistry::ArrayCount() const {
  std::lock_guard lock(mutex_);
  return arrays_.size();
}

}  // namespace movrano::soap
