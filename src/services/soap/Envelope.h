#pragma once
// The SOAP 1.1 envelope: writing a request around its headers and body,
// and taking a response apart into its first body element or its fault.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "services/soap/InvokableRegistry.h"
#include "services/soap/Serializer.h"

namespace movrano::soap {

inline constexpr const char* kSoapEnvelopeNamespace = "http://schemas.xmlsoap.org/soap/envelope/";

// Each header becomes one element named and placed as its interface's header
// entry says; a header class the interface does not know is refused with
// ESOAPMessageError, so one service's headers never reach the other.
std::string WriteRequestEnvelope(const Serializer& serializer, const InterfaceEntry& intf,
                                 const std::vector<SOAPHeader*>& headers,
                                 const std::function<void(XmlWriter&)>& writeBody);

struct Fault {
  std::string code, text, actor;
};

class ResponseEnvelope {
 public:
  // Throws ESOAPMessageError for a text that is not a SOAP 1.1 envelope.
  // Takes the bytes over; `charset` is the one the answer was labelled with.
  explicit ResponseEnvelope(std::string bytes, std::string_view charset = {});
  ResponseEnvelope(const ResponseEnvelope&) = delete;
  ResponseEnvelope& operator=(const ResponseEnvelope&) = delete;

  const std::optional<Fault>& fault() const { return fault_; }
  // The body's first element (a null node for an empty body).
  XmlNode BodyElement() const { return body_; }

 private:
  XmlDocument doc_;
  XmlNode body_;
  std::optional<Fault> fault_;
};

}  // namespace movrano::soap
