#include "services/TavrinGlobalCatalog.h"

#include "services/ServiceEndpoints.h"
#include "services/ServiceUnits.h"
#include "services/SoapHelpers.h"
#include "services/soap/Call.h"

namespace movrano {
namespace {

#define MOVRANO_TGC_DEFINE_METHOD(shape, Op, type)                                         \
  std::unique_ptr<::movrano::Op##Response> Op(const ::movrano::Op& parameters) override {  \
    return call<std::unique_ptr<::movrano::Op##Response>>(                                 \
        #Op, {{"parameters",                                                               \
               soap::ArgValue(std::in_place_type<const soap::Remotable*>, &parameters)}}); \
  }

class TavrinGlobalCatalogProxy final : public soap::RioProxy<TavrinGlobalCatalogPort> {
 public:
  using RioProxy::RioProxy;
  MOVRANO_TGC_OPERATIONS(MOVRANO_TGC_DEFINE_METHOD)
};

#undef MOVRANO_TGC_DEFINE_METHOD

}  // namespace

const std::array<std::string_view, 50>& TavrinGlobalCatalogOperations() {
#define MOVRANO_TGC_NAME(shape, Op, type) #Op,
  static const std::array<std::string_view, 50> names{MOVRANO_TGC_OPERATIONS(MOVRANO_TGC_NAME)};
#undef MOVRANO_TGC_NAME
  return names;
}

std::shared_ptr<TavrinGlobalCatalogPort> GetTavrinGlobalCatalogPort(
    bool UseWSDL, const std::string& Addr, std::shared_ptr<soap::HTTPRIO> client) {
  if (!client) client = std::make_shared<soap::HTTPRIO>();
  const std::shared_ptr<TSoapOptionSetter> setter = TSoapOptionSetter::Create(*client);
  setter->SoapSendTimeoutMS = TavrinGlobalCatalog::kTimeoutMS;
  setter->SoapReceiveTimeoutMS = TavrinGlobalCatalog::kTimeoutMS;
  setter->SoapConnectTimeoutMS = TavrinGlobalCatalog::kTimeoutMS;
  std::shared_ptr<TavrinGlobalCatalogPort> port =
      soap::CastTo<TavrinGlobalCatalogPort, TavrinGlobalCatalogProxy>(client);
  services::PointClientAt(*client, UseWSDL, Addr, kDefaultTavrinGlobalCatalogEndpoint);
  return port;
}

}  // namespace movrano
