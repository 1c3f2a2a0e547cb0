#pragma once
// What the identity and catalog units do alike: register their own pair of
// header classes, and point a client at its endpoint.
#include <string>
#include <typeindex>

#include "services/soap/HTTPRIO.h"
#include "services/soap/Registries.h"

namespace movrano::services {

// As header entries of the interface, APIVersion then SessionID.
template <class APIVersion, class SessionID>
void RegisterHeaderClasses(soap::InvokableRegistry& interfaces, std::type_index port) {
  interfaces.RegisterHeaderClass(port, typeid(APIVersion), "APIVersion", soap::kXmlSchemaNamespace,
                                 soap::HeaderMethodType::hmtAll, false);
  interfaces.RegisterHeaderClass(port, typeid(SessionID), "SessionID", soap::kXmlSchemaNamespace,
                                 soap::HeaderMethodType::hmtAll, false);
}

// As types: simple-value wrappers in the XML Schema namespace.
template <class APIVersion, class SessionID>
void RegisterHeaderTypes(soap::RemotableTypeRegistry& types) {
  types.RegisterXSClass<APIVersion>(soap::kXmlSchemaNamespace, "APIVersion");
  types.RegisterSerializeOptions(typeid(APIVersion), soap::xoSimpleTypeWrapper);
  types.RegisterXSClass<SessionID>(soap::kXmlSchemaNamespace, "SessionID");
  types.RegisterSerializeOptions(typeid(SessionID), soap::xoSimpleTypeWrapper);
}

// The address, or the default endpoint for an empty one. In WSDL mode the
// client is pointed nowhere: this layer reads no service description, so
// its calls fail before sending.
inline void PointClientAt(soap::HTTPRIO& client, bool useWSDL, const std::string& address,
                          const char* defaultEndpoint) {
  if (!useWSDL) client.URL = address.empty() ? defaultEndpoint : address;
}

}  // namespace movrano::services
