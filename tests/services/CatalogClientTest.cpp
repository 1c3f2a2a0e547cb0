#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "services/ServiceEndpoints.h"
#include "services/SoapHelpers.h"
#include "services/TavrinGlobalCatalog.h"
#include "services/soap/Errors.h"
#include "support/services/FakeCatalogService.h"
#include "support/services/HeapBlocks.h"
#include "support/services/ServiceTypes.h"

namespace movrano {
namespace {

using namespace std::chrono_literals;
using testing::CatalogRecord;
using testing::MakeCatalogRecord;

TEST(CatalogPortGetter, TakesTheDefaultOrTheGivenAddress) {
  testing::RegisterServiceTypesOnce();
  auto plain = std::make_shared<soap::HTTPRIO>();
  GetTavrinGlobalCatalogPort(false, "", plain);
  EXPECT_EQ(plain->URL, kDefaultTavrinGlobalCatalogEndpoint);
  auto wsdl = std::make_shared<soap::HTTPRIO>();
  GetTavrinGlobalCatalogPort(true, "http://c.test/wsdl", wsdl);
  EXPECT_EQ(wsdl->URL, "");
}

TEST(CatalogPortGetter, AGivenClientWithABeforePostEventFailsBeforeTheCast) {
  testing::RegisterServiceTypesOnce();
  auto client = std::make_shared<soap::HTTPRIO>();
  TSoapOptionSetter::Create(*client);
  EXPECT_THROW(GetTavrinGlobalCatalogPort(false, "http://c.test/?cls=soap", client),
               EAssertionFailed);
  EXPECT_EQ(client->URL, "");
  EXPECT_EQ(client.use_count(), 1);
}

class CatalogClient : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::RegisterServiceTypesOnce();
    catalog.RequireSession("session-1");
  }

  // The catalog migration's way: a fresh client per request with the
  // session headers.
  std::shared_ptr<TavrinGlobalCatalogPort> Port() {
    auto port = GetTavrinGlobalCatalogPort(false, catalog.Url());
    session.Value = "session-1";
    version.Value = "1.0.0";
    port->SOAPHeaders().Send(&session);
    port->SOAPHeaders().Send(&version);
    return port;
  }

  // Reads every page of one paged read; returns the GUIDs in order.
  template <class Request, class Response>
  std::vector<std::string> ReadAll(
      std::unique_ptr<Response> (TavrinGlobalCatalogPort::*read)(const Request&)) {
    Request request;
    request.Filter = "ORDER BY GUID";
    std::vector<std::string> guids;
    while (true) {
      std::unique_ptr<Response> page = (Port().get()->*read)(request);
      for (const auto& record : page->Records)
        guids.push_back(record->GUID);
      if (!page->MethodResult->MoreDataAvailable) return guids;
      request.InputCursor = page->MethodResult->OutputCursor;
    }
  }

  static std::vector<CatalogRecord> Records(const char* type, int count) {
    std::vector<CatalogRecord> records;
    for (int i = 0; i < count; ++i)
      records.push_back(MakeCatalogRecord(type, std::string(type) + "-" + std::to_string(i))
                            .Set("Name", "name " + std::to_string(i)));
    return records;
  }

  testing::FakeCatalogService catalog;
  TavrinGlobalCatalog::SessionID session;
  TavrinGlobalCatalog::APIVersion version;
};

TEST_F(CatalogClient, PagedReadsCarryTheirHeadersAndFollowTheCursor) {
  struct Read {
    const char* operation;
    const char* type;
    std::function<std::vector<std::string>()> readAll;
  };
  using P = TavrinGlobalCatalogPort;
  const std::vector<Read> reads = {
      {"GetCAT_MOrganizations", "CAT_MOrganization",
       [&] { return ReadAll(&P::GetCAT_MOrganizations); }},
      {"GetCAT_MOrganizationSynonyms", "CAT_MOrganizationSynonym",
       [&] { return ReadAll(&P::GetCAT_MOrganizationSynonyms); }},
      {"GetCAT_MItemCategories", "CAT_MItemCategory",
       [&] { return ReadAll(&P::GetCAT_MItemCategories); }},
      {"GetCAT_SOrganizations", "CAT_SOrganization",
       [&] { return ReadAll(&P::GetCAT_SOrganizations); }},
      {"GetCAT_SItemCategories", "CAT_SItemCategory",
       [&] { return ReadAll(&P::GetCAT_SItemCategories); }},
  };
  catalog.SetPageSize(2);
  for (const Read& read : reads) {
    const std::vector<CatalogRecord> records = Records(read.type, 5);
    catalog.SetRecords(read.operation, records);
    std::vector<std::string> expected;
    for (const CatalogRecord& r : records)
      expected.push_back(r.Field("GUID"));
    EXPECT_EQ(read.readAll(), expected) << read.operation;
  }

  const std::vector<testing::ReceivedRequest> requests = catalog.Server().Requests();
  const std::vector<testing::CatalogRead> seen = catalog.Reads();
  ASSERT_EQ(seen.size(), 15u);  // three pages each
  for (size_t i = 0; i < seen.size(); ++i) {
    const testing::ReceivedRequest& r = requests[i];
    EXPECT_EQ(r.soapAction, reads[i / 3].operation);
    EXPECT_EQ(r.bodyName, reads[i / 3].operation);
    EXPECT_EQ(r.bodyNs, kTavrinServicesNamespace);
    EXPECT_EQ(r.bodyChildren, (std::vector<std::string>{"Options", "Filter", "InputCursor"}));
    ASSERT_EQ(r.headers.size(), 2u);
    EXPECT_EQ(r.headers[0].name + "=" + r.headers[0].text, "SessionID=session-1");
    EXPECT_EQ(r.headers[1].name + "=" + r.headers[1].text, "APIVersion=1.0.0");
    EXPECT_EQ(r.xml.find("parameters"), std::string::npos);
    EXPECT_EQ(seen[i].filter, "ORDER BY GUID");
    EXPECT_TRUE(seen[i].options.empty());
    EXPECT_EQ(seen[i].inputCursor.empty(), i % 3 == 0);
  }
}

TEST_F(CatalogClient, TheFullItemReadBringsTheWholeTree) {
  CatalogRecord pricing = MakeCatalogRecord("CAT_SItemPricing", "p-1")
                              .Set("SItemHistoryGUID", "h-1")
                              .Set("BreakQuantity", "10")
                              .Set("Price", "0.125");
  CatalogRecord history = MakeCatalogRecord("CAT_SItemHistory", "h-1")
                              .Set("SItemGUID", "s-1")
                              .Set("AvailableQuantity", "4000")
                              .Set("Currency", "USD")
                              .Array("SItemPricing", {pricing});
  CatalogRecord sitem = MakeCatalogRecord("CAT_SItem", "s-1")
                            .Set("SKU", "SKU-1")
                            .Set("MItemGUID", "m-1")
                            .Set("PricingLastCheckedAt", "2023-03-04T05:06:07.000Z")
                            .Array("SItemHistory", {history});
  catalog.AddFullItem(MakeCatalogRecord("CAT_MItem", "m-1")
                          .Set("Name", "Capacitor")
                          .Set("MItemCategoryGUID", "c-1")
                          .Array("SItems", {sitem}));
  catalog.AddFullItem(MakeCatalogRecord("CAT_MItem", "m-2"));

  GETCat_FullItem request;
  request.Guids = {"m-1"};
  const long before = testing::HeapBlocksOfThisThread();
  {
    const std::unique_ptr<GETCat_FullItemResponse> response = Port()->GETCat_FullItem(request);
    ASSERT_EQ(response->Records.size(), 1u);
    const CAT_MItem& item = *response->Records[0];
    EXPECT_EQ(item.Name_, "Capacitor");
    EXPECT_EQ(item.HRID, "HR-m-1");
    EXPECT_EQ(item.CreatedAt->ToString(), "2020-01-02T03:04:05.000Z");
    const CAT_SItem& s = *item.SItems.at(0);
    EXPECT_EQ(s.PricingLastCheckedAt->ToString(), "2023-03-04T05:06:07.000Z");
    const CAT_SItemHistory& h = *s.SItemHistory.at(0);
    EXPECT_EQ(h.AvailableQuantity, 4000);
    EXPECT_EQ(h.SItemPricing.at(0)->BreakQuantity, 10);
    EXPECT_EQ(h.SItemPricing.at(0)->Price, 0.125);
    EXPECT_FALSE(response->MethodResult->MoreDataAvailable);
  }
  EXPECT_EQ(testing::HeapBlocksOfThisThread(), before);

  const testing::ReceivedRequest r = catalog.Server().Requests().at(0);
  EXPECT_EQ(r.soapAction, "GETCat_FullItem");
  EXPECT_EQ(r.bodyChildren,
            (std::vector<std::string>{"Guids", "Options", "Filter", "InputCursor"}));
  EXPECT_EQ(catalog.Reads().at(0).guids, (std::vector<std::string>{"m-1"}));
}

TEST_F(CatalogClient, AnEditTravelsAndItsResultIsRead) {
  AddCAT_MOrganizations request;
  for (const char* guid : {"mo-1", "mo-2"}) {
    auto record = std::make_unique<CAT_MOrganization>();
    record->GUID = guid;
    record->Name_ = "Maker & Sons";
    record->MItemCategories.push_back(std::make_unique<CAT_MItemCategory>());
    request.Records.push_back(std::move(record));
  }
  const std::unique_ptr<AddCAT_MOrganizationsResponse> response =
      Port()->AddCAT_MOrganizations(request);
  EXPECT_EQ(catalog.Edits().at(0).guids, (std::vector<std::string>{"mo-1", "mo-2"}));
  EXPECT_NE(catalog.Server().Requests().at(0).xml.find("<Name>Maker &amp; Sons</Name>"),
            std::string::npos);
  const TLU_EditResultList& result = *response->MethodResult;
  EXPECT_TRUE(result.Success);
  EXPECT_EQ(result.Message_, "2 records stored");
  ASSERT_EQ(result.Results.size(), 2u);
  EXPECT_EQ(result.Results[1]->GUID, "mo-2");
  // The request is still the caller's.
  EXPECT_EQ(request.Records.size(), 2u);
}

TEST_F(CatalogClient, WhitespaceOnlyTextsArriveAsSent) {
  catalog.SetRecords("GetCAT_MOrganizations", {MakeCatalogRecord("CAT_MOrganization", "mo-1")
                                                   .Set("Name", "   ")
                                                   .Set("Description", " \n\t ")
                                                   .Set("URL", "")});
  const auto page = Port()->GetCAT_MOrganizations(GetCAT_MOrganizations());
  ASSERT_EQ(page->Records.size(), 1u);
  EXPECT_EQ(page->Records[0]->Name_, "   ");
  EXPECT_EQ(page->Records[0]->Description, " \n\t ");
  EXPECT_EQ(page->Records[0]->URL, "");
}

TEST_F(CatalogClient, AStalledReadTimesOutAsATransportError) {
  catalog.SetRecords("GetCAT_MOrganizations", {});
  auto client = std::make_shared<soap::HTTPRIO>();
  const auto port = GetTavrinGlobalCatalogPort(false, catalog.Url(), client);
  // A short time-out in place of the five minutes, to keep the test quick.
  client->HTTPWebNode().OnBeforePost = nullptr;
  TSoapOptionSetter::Create(*client)->SoapReceiveTimeoutMS = 300;
  catalog.Server().FailNext("GetCAT_MOrganizations", testing::Failure::Stall(10s));
  try {
    port->GetCAT_MOrganizations(GetCAT_MOrganizations());
    ADD_FAILURE() << "no time-out";
  } catch (const soap::ESOAPHTTPException& e) {
    EXPECT_NE(std::string(e.what()).find("timed out"), std::string::npos) << e.what();
  }
  catalog.Server().Stop();  // releases the stalled answer
}

TEST_F(CatalogClient, AnUnknownCursorComesBackAsTheServicesFault) {
  catalog.SetRecords("GetCAT_SOrganizations", {});
  GetCAT_SOrganizations request;
  request.InputCursor = "bogus";
  EXPECT_THROW(Port()->GetCAT_SOrganizations(request), soap::ERemotableException);
}

}  // namespace
}  // namespace movrano
