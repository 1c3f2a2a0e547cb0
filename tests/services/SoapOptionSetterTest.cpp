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
#include "support/services/RequestOptionsRecorder.h"
#include "support/services/ServiceTypes.h"

namespace movrano {
namespace {

using soap::HttpOption;
using Options = testing::RequestOptions;

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
  const auto port = GetIDSPort(false, ids.Url(), rio);
  rio->HTTPWebNode().OnBeforePost = [](soap::HttpTransport&, soap::HttpRequestHandle&) {
    throw EOSError(12002, "The operation timed out");
  };
  EXPECT_THROW(port->Login("a", "b", false), EOSError);
  EXPECT_TRUE(ids.Server().Requests().empty());
}

TEST(SoapOptionSetter, CatalogRequestsGetAllThreeTimeOutsAndIdentityRequestsTheReceiveOne) {
  testing::RegisterServiceTypesOnce();
  testing::FakeIdentityService ids;
  testing::FakeCatalogService catalog;
  catalog.SetRecords("GetCAT_MOrganizations", {});

  auto idsClient = std::make_shared<soap::HTTPRIO>();
  const auto idsPort = GetIDSPort(false, ids.Url(), idsClient);
  auto catalogClient = std::make_shared<soap::HTTPRIO>();
  const auto catalogPort = GetTavrinGlobalCatalogPort(false, catalog.Url(), catalogClient);
  const testing::RequestOptionsRecorder idsOptions(*idsClient), catalogOptions(*catalogClient);
  for (int request = 0; request < 2; ++request) {
    idsPort->Login("a", "b", false);
    catalogPort->GetCAT_MOrganizations(GetCAT_MOrganizations());
  }
  EXPECT_EQ(idsOptions.Requests(), std::vector(2, Options{{HttpOption::ReceiveTimeout, 300000}}));
  EXPECT_EQ(catalogOptions.Requests(),
            std::vector(2, Options{{HttpOption::ConnectTimeout, 300000},
                                   {HttpOption::SendTimeout, 300000},
                                   {HttpOption::ReceiveTimeout, 300000}}));
  EXPECT_EQ(ids.Server().CountOf("Login"), 2u);
  EXPECT_EQ(catalog.Server().CountOf("GetCAT_MOrganizations"), 2u);
}

}  // namespace
}  // namespace movrano
