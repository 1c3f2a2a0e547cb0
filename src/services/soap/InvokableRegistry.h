#pragma once
// The invokable-interface registry: for each service interface its
// namespace, SOAP action rule, invoke options, header classes and external
// parameter names. An entry that belongs to an interface is accepted only
// once the interface itself is registered.
#include <deque>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

namespace movrano::soap {

enum IntfInvokeOption : unsigned {
  ioDocument = 1u << 0,  // document style: no encoding-style attributes
  ioLiteral = 1u << 1,   // a literal parameter object is the body itself
};

enum class HeaderMethodType { hmtAll, hmtRequest, hmtResponse };

struct HeaderEntry {
  std::type_index cls{typeid(void)};
  std::string name, xmlNamespace;
  HeaderMethodType methodType = HeaderMethodType::hmtAll;
  bool required = false;
};

struct ParamNameEntry {
  std::string method, internalName, externalName;
};

struct InterfaceEntry {
  std::type_index type{typeid(void)};
  std::string xmlNamespace, wsdlEncoding;
  std::string defaultSOAPAction;
  unsigned invokeOptions = 0;
  std::vector<HeaderEntry> headers;
  std::vector<ParamNameEntry> paramNames;

  // The default action with "%operationName%" replaced by the operation.
  std::string SOAPActionFor(const std::string& operation) const;
  const HeaderEntry* HeaderFor(std::type_index cls) const;
  std::string ExternalParamName(const std::string& method, const std::string& internal) const;
};

class InvokableRegistry {
 public:
  // Registering an interface again updates its entry in place.
  void RegisterInterface(std::type_index intf, std::string ns, std::string wsdlEncoding);
  void RegisterDefaultSOAPAction(std::type_index intf, std::string action);
  void RegisterInvokeOptions(std::type_index intf, IntfInvokeOption option);
  void RegisterHeaderClass(std::type_index intf, std::type_index headerClass,
                           std::string headerName, std::string headerNamespace,
                           HeaderMethodType methodType = HeaderMethodType::hmtAll,
                           bool required = false);
  void RegisterExternalParamName(std::type_index intf, std::string method, std::string internalName,
                                 std::string externalName);

  const InterfaceEntry* Find(std::type_index intf) const;

 private:
  InterfaceEntry* find(std::type_index intf);

  mutable std::mutex mutex_;
  std::deque<InterfaceEntry> entries_;
};

}  // namespace movrano::soap
