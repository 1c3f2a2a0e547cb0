#pragma once
// The base of every service interface: a client reached through one also
// offers its header interface, so callers can attach headers to the next call.
#include "services/soap/SoapHeaders.h"

namespace movrano::soap {

class IInvokable {
 public:
  virtual ~IInvokable() = default;
  virtual ISOAPHeaders& SOAPHeaders() = 0;
};

}  // namespace movrano::soap

namespace movrano {
using soap::ISOAPHeaders;
}  // namespace movrano
