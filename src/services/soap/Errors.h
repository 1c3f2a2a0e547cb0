#pragma once
// The failures of the SOAP layer. Their class names appear in the worker's
// error line, so they are part of what the user sees.
#include <string>

#include "platform/Exceptions.h"

namespace movrano::soap {

// A SOAP fault returned by the service; the message is its fault string.
class ERemotableException : public Exception {
 public:
  ERemotableException(const std::string& faultString, std::string faultCode = {},
                      std::string faultActor = {})
      : Exception(faultString),
        faultCode_(std::move(faultCode)),
        faultActor_(std::move(faultActor)) {}
  const char* className() const noexcept override { return "ERemotableException"; }
  const std::string& faultCode() const { return faultCode_; }
  const std::string& faultActor() const { return faultActor_; }

 private:
  std::string faultCode_;
  std::string faultActor_;
};

// Transport failures, HTTP error statuses and time-outs. The status is 0
// when no HTTP answer arrived.
class ESOAPHTTPException : public Exception {
 public:
  explicit ESOAPHTTPException(const std::string& message, long statusCode = 0)
      : Exception(message), statusCode_(statusCode) {}
  const char* className() const noexcept override { return "ESOAPHTTPException"; }
  long statusCode() const noexcept { return statusCode_; }

 private:
  long statusCode_;
};

// A message that cannot be written (an unregistered class, a text XML
// cannot carry) or a response that cannot be read (not well-formed, not
// SOAP, missing the expected element, a value of the wrong form).
MOVRANO_DECLARE_EXCEPTION(ESOAPMessageError, Exception);

// A client object cast to a service interface that is not registered.
MOVRANO_DECLARE_EXCEPTION(EIntfCastError, Exception);

}  // namespace movrano::soap
