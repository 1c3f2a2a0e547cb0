#pragma once
// The two registries a client consults, and the process-wide pair that the
// service units fill at start-up. Tests may make a pair of their own.
#include "services/soap/InvokableRegistry.h"
#include "services/soap/TypeRegistry.h"

namespace movrano::soap {

// The namespace of the XML Schema built-in types; header elements live in it.
inline constexpr const char* kXmlSchemaNamespace = "http://www.w3.org/2001/XMLSchema";

struct Registries {
  InvokableRegistry interfaces;
  RemotableTypeRegistry types;
};

Registries& GlobalRegistries();

}  // namespace movrano::soap
