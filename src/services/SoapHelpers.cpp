#include "services/SoapHelpers.h"

#include "platform/Exceptions.h"

namespace movrano {

std::shared_ptr<TSoapOptionSetter> TSoapOptionSetter::Create(soap::HTTPRIO& AHTTPRIO) {
  std::shared_ptr<TSoapOptionSetter> setter(new TSoapOptionSetter(AHTTPRIO));
  soap::HttpTransport& transport = setter->FRIO->HTTPWebNode();
  if (transport.OnBeforePost) throw EAssertionFailed("Assertion failure (SoapHelpers)");
  transport.OnBeforePost = [setter](soap::HttpTransport& t, soap::HttpRequestHandle& request) {
    setter->DoBeforePost(t, request);
  };
  return setter;
}

void TSoapOptionSetter::DoBeforePost(soap::HttpTransport&, soap::HttpRequestHandle& request) const {
  using soap::HttpOption;
  if (SoapConnectTimeoutMS != 0)
    request.SetOption(HttpOption::ConnectTimeout, SoapConnectTimeoutMS);
  if (SoapSendTimeoutMS != 0) request.SetOption(HttpOption::SendTimeout, SoapSendTimeoutMS);
  if (SoapReceiveTimeoutMS != 0)
    request.SetOption(HttpOption::ReceiveTimeout, SoapReceiveTimeoutMS);
}

}  // namespace movrano
