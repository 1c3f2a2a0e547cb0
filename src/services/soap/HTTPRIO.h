#pragma once
// The client object: turns a call of a registered service interface into a
// SOAP request, posts it and reads the answer. Made without an owner and
// shared (std::shared_ptr) by the interfaces handed out for it; the port
// getters make one when the caller gives none.
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

#include "services/soap/HttpTransport.h"
#include "services/soap/Registries.h"
#include "services/soap/Serializer.h"
#include "services/soap/SoapHeaders.h"

namespace movrano::soap {

class HTTPRIO {
 public:
  explicit HTTPRIO(Registries& registries = GlobalRegistries()) : registries_(registries) {}
  HTTPRIO(const HTTPRIO&) = delete;
  HTTPRIO& operator=(const HTTPRIO&) = delete;

  // The endpoint; a call without one fails before sending.
  std::string URL;

  HttpTransport& HTTPWebNode() { return transport_; }
  ISOAPHeaders& SOAPHeaders() { return headers_; }
  Registries& registries() { return registries_; }

  // The entry of a registered interface; EIntfCastError otherwise.
  const InterfaceEntry& InterfaceFor(std::type_index intf) const;

  // One call: the pending headers go with it and are forgotten. A SOAP fault
  // raises ERemotableException, a transport failure, time-out or HTTP error
  // status ESOAPHTTPException, a response it cannot read ESOAPMessageError.
  // With ioLiteral and one argument object marked xoLiteralParam, that object
  // is the body and the response element is read as the result object;
  // otherwise the body is an element named after the operation holding the
  // arguments, and the result is the first element inside "<op>Response".
  ResultValue Invoke(std::type_index intf, const std::string& operation,
                     const std::vector<Argument>& args, const ResultSpec& result);

 private:
  Registries& registries_;
  HttpTransport transport_;
  PendingHeaders headers_;
};

}  // namespace movrano::soap
