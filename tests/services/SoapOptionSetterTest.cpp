#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "services/IDS.h"
#include "services/SoapHelpers.h"
#include "services/TavrinGlobalCatalog.h"
#include "support/services/FakeCatalogService.h"
#include "support/services/FakeIdentityService.h"
#include "support/services/ServiceTypes.h"

namespace movrano {
namespace {

using soap::HttpOption;
using Options = std::vector<std::pair<HttpOption, uint32_t>>;

// Records the options set; refuses one kind when asked to.
class RecordingRequest final : public soap::HttpRequestHandle {
 public:
  void SetOption(HttpOption option, uint32_t value) override {
    if (refuse && *refuse == option) throw EOSError(87, "The parameter is incorrect");
    set.emplace_back(option, value);
  }
  Options set;
  std::optional<HttpOption> refuse;
};

TEST(SoapOptionSetter, SetsTheNonZeroTimeOutsConnectSendReceive) {
  soap::HTTPRIO rio;
  const auto setter = TSoapOptionSetter::Create(rio);
  RecordingRequest request;
  setter->DoBeforePost(rio.HTTPWebNode(), request);
  EXPECT_TRUE(request.set.empty());

  setter->SoapReceiveTimeoutMS = 3;
  setter->SoapConnectTimeoutMS = 1;
  rio.HTTPWebNode().OnBeforePost(rio.HTTPWebNode(), request);
  EXPECT_EQ(request.set,
            (Options{{HttpOption::ConnectTimeout, 1}, {HttpOption::ReceiveTimeout, 3}}));

  RecordingRequest refusing;
  refusing.refuse = HttpOption::ConnectTimeout;
  setter->SoapSendTimeoutMS = 2;
  EXPECT_THROW(setter->DoBeforePost(rio.HTTPWebNode(), refusing), EOSError);
  EXPECT_TRUE(refusing.set.empty());
}

TEST(SoapOptionSetter, ASecondSetterOnOneClientIsAnAssertionFailure) {
  soap::HTTPRIO rio;
  const auto first = TSoapOptionSetter::Create(rio);
  first->SoapSendTimeoutMS = 7;
  EXPECT_THROW(TSoapOptionSetter::Create(rio), EAssertionFailed);
  RecordingRequest request;
  rio.HTTPWebNode().OnBeforePost(rio.HTTPWebNode(), request);
  EXPECT_EQ(request.set, (Options{{HttpOption::SendTimeout, 7}}));
}

TEST(SoapOptionSetter, AFailingSetterKeepsTheRequestFromBeingSent) {
  testing::RegisterServiceTypesOnce();
  testing::FakeIdentityService ids;
  auto rio = std::make_shared<soap::HTTPRIO>();
  rio->HTTPWebNode().OnBeforePost = [](soap::HttpTransport&, soap::HttpRequestHandle&) {
    throw EOSError(12002, "The operation timed out");
  };
  EXPECT_THROW(GetIDSPort(false, ids.Url(), rio)->Login("a", "b", false), EOSError);
  EXPECT_TRUE(ids.Server().Requests().empty());
}

TEST(SoapOptionSetter, CatalogRequestsGetTheTimeOutsAndIdentityRequestsNone) {
  testing::RegisterServiceTypesOnce();
  testing::FakeIdentityService ids;
  testing::FakeCatalogService catalog;
  catalog.SetRecords("GetCAT_MOrganizations", {});

  auto idsClient = std::make_shared<soap::HTTPRIO>();
  GetIDSPort(false, ids.Url(), idsClient)->Login("a", "b", false);
  EXPECT_TRUE(idsClient->HTTPWebNode().LastRequestOptions().empty());

  auto catalogClient = std::make_shared<soap::HTTPRIO>();
  const auto port = GetTavrinGlobalCatalogPort(false, catalog.Url(), catalogClient);
  for (int request = 0; request < 2; ++request) {
    port->GetCAT_MOrganizations(GetCAT_MOrganizations());
    EXPECT_EQ(catalogClient->HTTPWebNode().LastRequestOptions(),
              (Options{{HttpOption::ConnectTimeout, 300000},
                       {HttpOption::SendTimeout, 300000},
                       {HttpOption::ReceiveTimeout, 300000}}));
  }
}

}  // namespace
}  // namespace movrano
