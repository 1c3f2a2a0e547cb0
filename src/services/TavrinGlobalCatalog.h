#pragma once
// The global catalog service client: the interface TavrinGlobalCatalogPort
// with its 50 operations (each takes its request wrapper and returns its
// response wrapper), the unit's own header classes, the port getter with
// its time-outs, and the start-up registration. Records are in
// TavrinGlobalCatalogTypes.h, wrappers in TavrinGlobalCatalogWrappers.h.
//
// Calling contract: a fresh client per request; attach SessionID, then
// APIVersion "1.0.0" through SOAPHeaders() before the call. The request
// stays the caller's; the response (possibly null for a nil body) and all
// it holds are the caller's to free.
#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "services/TavrinGlobalCatalogWrappers.h"
#include "services/soap/HTTPRIO.h"
#include "services/soap/IInvokable.h"

namespace movrano {

namespace TavrinGlobalCatalog {
// The catalog's own headers, distinct from the identity unit's pair.
// clang-format off
MOVRANO_SOAP_CLASS(APIVersion, soap::SOAPHeader, (std::string, Value));
MOVRANO_SOAP_CLASS(SessionID, soap::SOAPHeader, (std::string, Value));
// clang-format on

// Every client's connect, send and receive time-out.
inline constexpr uint32_t kTimeoutMS = 300000;
}  // namespace TavrinGlobalCatalog

// Member names hide the wrapper classes of the same names inside the
// interface, so the classes are named with their namespace.
#define MOVRANO_TGC_DECLARE_METHOD(shape, Op, type) \
  virtual std::unique_ptr<::movrano::Op##Response> Op(const ::movrano::Op& parameters) = 0;

class TavrinGlobalCatalogPort : public soap::IInvokable {
 public:
  MOVRANO_TGC_OPERATIONS(MOVRANO_TGC_DECLARE_METHOD)
};

#undef MOVRANO_TGC_DECLARE_METHOD

// The 50 operation names in the interface's order.
const std::array<std::string_view, 50>& TavrinGlobalCatalogOperations();

// A client of the global catalog service with a TSoapOptionSetter giving
// every request 300000 ms connect, send and receive time-outs. An empty
// address takes the default endpoint; WSDL mode points the client nowhere
// (ServiceUnits.h).
// A given client object is used, never freed; a setter already on it makes
// this fail with EAssertionFailed before anything is handed out.
std::shared_ptr<TavrinGlobalCatalogPort> GetTavrinGlobalCatalogPort(
    bool UseWSDL = false, const std::string& Addr = {},
    std::shared_ptr<soap::HTTPRIO> client = nullptr);

// Tells the SOAP layer about the catalog interface, its headers and its
// types. Run once at start-up, after RegisterIDSTypes; running it again
// changes nothing.
void RegisterTavrinGlobalCatalogTypes(soap::Registries& registries = soap::GlobalRegistries());

}  // namespace movrano
