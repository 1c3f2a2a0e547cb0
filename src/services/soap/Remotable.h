#pragma once
// The base of every object that travels in a SOAP message: data classes,
// request and response wrappers and header classes.
#include <string>

namespace movrano::soap {

// How the serializer treats a class (set per class in the type registry
// and, for wrappers, on the object itself).
enum SerializationOption : unsigned {
  xoSimpleTypeWrapper = 1u << 0,  // one simple value: the element's text
  xoLiteralParam = 1u << 1,       // the object is the literal message body
};
using SerializationOptions = unsigned;

class Remotable {
 public:
  Remotable() = default;
  Remotable(const Remotable&) = default;
  Remotable& operator=(const Remotable&) = default;
  virtual ~Remotable() = default;

  SerializationOptions serializationOptions = 0;
};

// A header object: its class names the header element. The must-understand
// flag and the actor keep their defaults unless a caller sets them.
class SOAPHeader : public Remotable {
 public:
  bool MustUnderstand = false;
  std::string Actor;
};

}  // namespace movrano::soap
