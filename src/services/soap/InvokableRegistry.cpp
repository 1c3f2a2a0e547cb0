#include "services/soap/InvokableRegistry.h"

namespace movrano::soap {

std::string InterfaceEntry::SOAPActionFor(const std::string& operation) const {
  static const std::string kPlaceholder = "%operationName%";
  std::string action = defaultSOAPAction;
  for (size_t at = action.find(kPlaceholder); at != std::string::npos;
       at = action.find(kPlaceholder, at + operation.size()))
    action.replace(at, kPlaceholder.size(), operation);
  return action;
}

const HeaderEntry* InterfaceEntry::HeaderFor(std::type_index cls) const {
  for (const HeaderEntry& h : headers)
    if (h.cls == cls) return &h;
  return nullptr;
}

std::string InterfaceEntry::ExternalParamName(const std::string& method,
                                              const std::string& internal) const {
  for (const ParamNameEntry& p : paramNames)
    if (p.method == method && p.internalName == internal) return p.externalName;
  return internal;
}

InterfaceEntry* InvokableRegistry::find(std::type_index intf) {
  for (InterfaceEntry& e : entries_)
    if (e.type == intf) return &e;
  return nullptr;
}

const InterfaceEntry* InvokableRegistry::Find(std::type_index intf) const {
  std::lock_guard lock(mutex_);
  return const_cast<InvokableRegistry*>(this)->find(intf);
}

void InvokableRegistry::RegisterInterface(std::type_index intf, std::string ns,
                                          std::string wsdlEncoding) {
  std::lock_guard lock(mutex_);
  InterfaceEntry* e = find(intf);
  if (!e) e = &entries_.emplace_back();
  e->type = intf;
  e->xmlNamespace = std::move(ns);
  e->wsdlEncoding = std::move(wsdlEncoding);
}

void InvokableRegistry::RegisterDefaultSOAPAction(std::type_index intf, std::string action) {
  std::lock_guard lock(mutex_);
  if (InterfaceEntry* e = find(intf)) e->defaultSOAPAction = std::move(action);
}

void InvokableRegistry::RegisterInvokeOptions(std::type_index intf, IntfInvokeOption option) {
  std::lock_guard lock(mutex_);
  if (InterfaceEntry* e = find(intf)) e->invokeOptions |= option;
}

void InvokableRegistry::RegisterHeaderClass(std::type_index intf, std::type_index headerClass,
                                            std::string headerName, std::string headerNamespace,
                                            HeaderMethodType methodType, bool required) {
  std::lock_guard lock(mutex_);
  InterfaceEntry* e = find(intf);
  if (!e) return;
  HeaderEntry entry{headerClass, std::move(headerName), std::move(headerNamespace), methodType,
                    required};
  for (HeaderEntry& h : e->headers)
    if (h.cls == headerClass) {
      h = std::move(entry);
      return;
    }
  e->headers.push_back(std::move(entry));
}

void InvokableRegistry::RegisterExternalParamName(std::type_index intf, std::string method,
                                                  std::string internalName,
                                                  std::string externalName) {
  std::lock_guard lock(mutex_);
  InterfaceEntry* e = find(intf);
  if (!e) return;
  for (ParamNameEntry& p : e->paramNames)
    if (p.method == method && p.internalName == internalName) {
      p.externalName = std::move(externalName);
      return;
    }
  e->paramNames.push_back({std::move(method), std::move(internalName), std::move(externalName)});
}

}  // namespace movrano::soap
