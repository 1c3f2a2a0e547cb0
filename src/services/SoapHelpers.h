#pragma once
// TSoapOptionSetter: gives every request of one client its connect, send
// and receive time-outs, from the before-post event of the client's
// transport. A transport holds one such event, so a client carries at most
// one setter; the event keeps the setter alive as long as the client.
#include <cstdint>
#include <memory>

#include "services/soap/HTTPRIO.h"

namespace movrano {

class TSoapOptionSetter {
 public:
  // Installs a new setter (all time-outs 0) on the client's transport.
  // Fails with EAssertionFailed when the transport already has a
  // before-post event.
  static std::shared_ptr<TSoapOptionSetter> Create(soap::HTTPRIO& AHTTPRIO);

  // Milliseconds; 0 leaves the transport's default.
  uint32_t SoapConnectTimeoutMS = 0;
  uint32_t SoapSendTimeoutMS = 0;
  uint32_t SoapReceiveTimeoutMS = 0;

  // Sets the non-zero time-outs on the request: connect, send, receive. The
  // first failure propagates at once; the request is then not sent.
  void DoBeforePost(soap::HttpTransport& transport, soap::HttpRequestHandle& request) const;

 private:
  explicit TSoapOptionSetter(soap::HTTPRIO& rio) : FRIO(&rio) {}
  soap::HTTPRIO* FRIO;  // not owned
};

}  // namespace movrano
