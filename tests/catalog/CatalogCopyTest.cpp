// The catalog copies against a real server vault and the loopback catalog
// service: what is written, what each request carries, the paging, the
// log, and the one transaction that a failure rolls back.
#include <gtest/gtest.h>

#include <algorithm>

#include "catalog/CatalogFixture.h"
#include "catalog/ZipFixture.h"
#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "platform/Exceptions.h"
#include "services/ServiceEndpoints.h"
#include "services/soap/Errors.h"
#include "services/soap/XSDateTime.h"
#include "statements/uSQLManager.h"
#include "statements/uSQLUtils.h"
#include "support/platform/ScopedTimeZone.h"
#include "support/platform/TempDir.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

using Lines = std::vector<std::string>;
using Rows = std::vector<std::vector<std::string>>;

const Lines kListTitles = {"Copy manufacturers", "Copy manufacturer's synonyms",
                           "Copy manufacturer's categories", "Copy supplier's organizations",
                           "Copy supplier's categories"};

// The log of a copy whose five lists each fit on one page.
Lines OnePageLists() {
  Lines lines;
  for (const std::string& title : kListTitles) {
    lines.push_back(title);
    lines.push_back("Done");
  }
  return lines;
}

std::string LocalText(const char* xsdDateTime) {
  const soap::XSDateTime::Parts p = soap::XSDateTime::Parse(xsdDateTime).AsLocal();
  return db::DateTime::FromParts(p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond)
      .toString();
}

class CatalogCopy : public ::testing::Test {
 protected:
  // Discovery on the sample vault, then the copy.
  void run(TPCLMigrationManager& manager) {
    manager.GetPCLGUIDs();
    manager.CopyPCLData();
  }
  // A catalog migration object whose discovery found exactly `guids`, in
  // a storage of its own: the first component's archive lists them, the
  // others' none. What the discovery logged is left out.
  std::unique_ptr<TPCLMigrationManager> managerFor(const std::vector<std::string>& guids) {
    const std::unique_ptr<db::Query> components = CreateQuery(*bench.dest, "sql_mitems_select");
    components->open();
    for (bool first = true; !components->eof(); components->next(), first = false) {
      const std::string hrid = components->fieldByName("HRID").asString();
      WriteZip(storage.folder() + "ItemRevisions/" + hrid + "/" + hrid + ".zip",
               {{"Revision.ini", PartGuidListIni(first ? guids : std::vector<std::string>{})}});
    }
    auto manager = bench.ManagerFor(storage.folder());
    manager->GetPCLGUIDs();
    EXPECT_EQ(manager->PCLGUIDs(), guids);
    bench.log.clear();
    return manager;
  }
  std::vector<std::string> actions() const {
    std::vector<std::string> actions;
    for (const ReceivedRequest& r : bench.service.Server().Requests())
      actions.push_back(r.soapAction);
    return actions;
  }

  DeployedStatements statements;
  CatalogBench bench;
  TempDir storage;
};

TEST_F(CatalogCopy, FillsTheCatalogAsTheSampleVaultHoldsIt) {
  ServeSampleCatalog(bench.service);
  run(*bench.Manager());
  EXPECT_EQ(bench.log, Concat(Concat({"Get manufacturer's items"}, OnePageLists()),
                              {"Copy catalog items", "1/3", "2/3", "3/3"}));
  EXPECT_EQ(CatalogRowCount(*bench.dest), 23);
  CatalogBench filled(SampleContent(PartCatalog::Filled));
  EXPECT_EQ(AsCopied(DumpTables(*bench.dest, CatalogTables())),
            AsCopied(DumpTables(*filled.dest, CatalogTables())));
}

TEST_F(CatalogCopy, EveryRequestGoesThroughANewClientWithTheSessionHeaders) {
  ServeSampleCatalog(bench.service);
  bench.service.RequireSession(kCatalogSession);
  run(*bench.Manager());
  EXPECT_EQ(actions(),
            Concat(PagedReads(), {"GETCat_FullItem", "GETCat_FullItem", "GETCat_FullItem"}));
  // A client forgets its headers with its first call: each request that
  // carries them had a client of its own.
  for (const ReceivedRequest& r : bench.service.Server().Requests()) {
    SCOPED_TRACE(r.soapAction);
    EXPECT_EQ(r.target, "/?cls=soap");
    EXPECT_EQ(r.bodyNs, kTavrinServicesNamespace);
    ASSERT_EQ(r.headers.size(), 2u);
    EXPECT_EQ(r.headers[0].name + "=" + r.headers[0].text,
              std::string("SessionID=") + kCatalogSession);
    EXPECT_EQ(r.headers[1].name + "=" + r.headers[1].text, "APIVersion=1.0.0");
  }
  const std::vector<CatalogRead> reads = bench.service.Reads();
  ASSERT_EQ(reads.size(), 8u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(reads[i].children, (Lines{"Options", "Filter", "InputCursor"}));
    EXPECT_EQ(reads[i].filter, "ORDER BY GUID");
    EXPECT_EQ(reads[i].inputCursor, "");
    EXPECT_TRUE(reads[i].options.empty());
  }
  for (size_t i = 0; i < 3; ++i) {
    const CatalogRead& read = reads[5 + i];
    EXPECT_EQ(read.children, (Lines{"Guids", "Options", "Filter", "InputCursor"}));
    EXPECT_EQ(read.guids, Lines{SamplePartGuids()[i]});
    EXPECT_EQ(read.filter, "");
    EXPECT_EQ(read.inputCursor, "");
    EXPECT_TRUE(read.options.empty());
  }
}

TEST_F(CatalogCopy, AnotherSessionIsRefusedAndNothingStays) {
  ServeSampleCatalog(bench.service);
  bench.service.RequireSession("SESSION-OTHER");
  auto manager = bench.Manager();
  manager->GetPCLGUIDs();
  EXPECT_EQ(Raised([&] { manager->CopyPCLData(); }).rfind("ERemotableException", 0), 0u);
  EXPECT_EQ(CatalogRowCount(*bench.dest), 0);
  EXPECT_FALSE(bench.dest->inTransaction());
}

TEST_F(CatalogCopy, PagesFollowTheOutputCursorUntilNoMoreDataIsAvailable) {
  ServeEmptyLists(bench.service);
  std::vector<CatalogRecord> suppliers;
  for (int i = 0; i < 5; ++i) {
    suppliers.push_back(Record("CAT_SOrganization", "s" + std::to_string(i))
                            .Set("Name", "Supplier " + std::to_string(i)));
  }
  bench.service.SetRecords("GetCAT_SOrganizations", suppliers);
  bench.service.SetPageSize(2);
  managerFor({"unknown"})->CopyPCLData();
  EXPECT_EQ(bench.log, (Lines{"Copy manufacturers", "Done", "Copy manufacturer's synonyms", "Done",
                              "Copy manufacturer's categories", "Done",
                              "Copy supplier's organizations", "cursor-2", "cursor-4", "Done",
                              "Copy supplier's categories", "Done", "Copy catalog items", "1/1"}));
  std::vector<std::string> cursors;
  for (const CatalogRead& read : bench.service.Reads()) {
    if (read.operation == "GetCAT_SOrganizations") cursors.push_back(read.inputCursor);
  }
  EXPECT_EQ(cursors, (Lines{"", "cursor-2", "cursor-4"}));
  EXPECT_EQ(
      QueryRows(*bench.dest, "select GUID, NAME, ACTIVE from CAT_SORGANIZATION order by GUID"),
      (Rows{{"s0", "Supplier 0", "1"},
            {"s1", "Supplier 1", "1"},
            {"s2", "Supplier 2", "1"},
            {"s3", "Supplier 3", "1"},
            {"s4", "Supplier 4", "1"}}));
}

// One page of manufacturers, written by hand.
Failure ManufacturersPage(const std::string& cursor, bool more) {
  return Failure::Raw(200, AnswerEnvelope([&](soap::XmlWriter& w) {
                        w.Start("GetCAT_MOrganizationsResponse");
                        w.Attribute("xmlns", kTavrinServicesNamespace);
                        w.Start("MethodResult");
                        w.Element("MoreDataAvailable", more ? "true" : "false");
                        w.Element("OutputCursor", cursor);
                        w.End();
                        w.Start("Records");
                        w.End();
                        w.End();
                      }));
}

TEST_F(CatalogCopy, PagingThatDoesNotAdvanceEndsTheCopyInsteadOfAskingForEver) {
  const std::string noCursor =
      "EMovrano The global catalog service announced more data for GetCAT_MOrganizations without "
      "a cursor to read it.";
  const auto readAgain = [](const std::string& cursor) {
    return "EMovrano The global catalog service answered GetCAT_MOrganizations with the cursor " +
           cursor + ", which was already read.";
  };
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, bool>> pages;  // cursor answered, more data
    std::string error;
  };
  const Case cases[] = {
      {"first page without a cursor", {{"", true}}, noCursor},
      {"a later page without a cursor", {{"c1", true}, {"", true}}, noCursor},
      {"the cursor it was given", {{"c1", true}, {"c1", true}}, readAgain("c1")},
      {"a cursor read before", {{"c1", true}, {"c2", true}, {"c1", true}}, readAgain("c1")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ServeEmptyLists(bench.service);
    for (const auto& [cursor, more] : c.pages)
      bench.service.Server().FailNext("GetCAT_MOrganizations", ManufacturersPage(cursor, more));
    const size_t asked = bench.service.Server().CountOf("GetCAT_MOrganizations");
    EXPECT_EQ(Raised([&] { managerFor({"g"})->CopyPCLData(); }), c.error);
    EXPECT_EQ(bench.service.Server().CountOf("GetCAT_MOrganizations") - asked, c.pages.size());
    EXPECT_EQ(CatalogRowCount(*bench.dest), 0);
    EXPECT_FALSE(bench.dest->inTransaction());
  }
}

TEST_F(CatalogCopy, AnAnswerWithoutItsResultEndsTheCopy) {
  ServeEmptyLists(bench.service);
  bench.service.Server().FailNext("GetCAT_MOrganizationSynonyms",
                                  Failure::Raw(200, AnswerEnvelope([](soap::XmlWriter& w) {
                                                 w.Start("GetCAT_MOrganizationSynonymsResponse");
                                                 w.Attribute("xmlns", kTavrinServicesNamespace);
                                                 w.Start("Records");
                                                 w.End();
                                                 w.End();
                                               })));
  EXPECT_EQ(Raised([&] { managerFor({"g"})->CopyPCLData(); }),
            "EMovrano The global catalog service's answer to GetCAT_MOrganizationSynonyms has no "
            "MethodResult.");
}

TEST_F(CatalogCopy, BindsEveryFieldOfEveryKind) {
  bench.service.SetRecords(
      "GetCAT_MOrganizations",
      {Record("CAT_MOrganization", "mo", "2020-01-02T03:04:05.000Z", "2021-06-07T08:09:10.000Z")
           .Set("OrganizationGUID", "org")
           .Set("Name", "Maker & Söhne")
           .Set("Description", "desc")
           .Set("URL", "u")
           .Set("LogoURL", "logo")});
  bench.service.SetRecords("GetCAT_MOrganizationSynonyms",
                           {Record("CAT_MOrganizationSynonym", "syn")
                                .Set("MOrganizationGUID", "mo")
                                .Set("Name", "Maker")});
  bench.service.SetRecords("GetCAT_MItemCategories",
                           {Record("CAT_MItemCategory", "mc1").Set("Name", "Top"),
                            Record("CAT_MItemCategory", "mc2")
                                .Set("Name", "Sub")
                                .Set("Description", "d")
                                .Set("URL", "u")
                                .Set("OrganizationGUID", "org")
                                .Set("ParentMItemCategoryGUID", "mc1")});
  bench.service.SetRecords("GetCAT_SOrganizations",
                           {Record("CAT_SOrganization", "so").Set("Name", "Seller")});
  bench.service.SetRecords(
      "GetCAT_SItemCategories",
      {Record("CAT_SItemCategory", "sc1").Set("Name", "Top").Set("SOrganizationGUID", "so"),
       Record("CAT_SItemCategory", "sc2")
           .Set("Name", "Sub")
           .Set("SOrganizationGUID", "so")
           .Set("ParentSItemCategoryGUID", "sc1")});
  auto pricing = [](const char* guid, const char* history, const char* qty, const char* price) {
    return Record("CAT_SItemPricing", guid)
        .Set("SItemHistoryGUID", history)
        .Set("BreakQuantity", qty)
        .Set("Price", price);
  };
  auto history = [](const char* guid, const char* at, std::vector<CatalogRecord> pricings) {
    return Record("CAT_SItemHistory", guid, at, at)
        .Set("SItemGUID", "si1")
        .Set("AvailableQuantity", "-7")
        .Set("Currency", "EUR")
        .Array("SItemPricing", std::move(pricings));
  };
  bench.service.AddFullItem(
      Record("CAT_MItem", "mi")
          .Set("Name", "Part")
          .Set("SKU", "sku")
          .Set("Description", "A part")
          .Set("URL", "url")
          .Set("MItemCategoryGUID", "mc2")
          .Set("OrganizationName", "not copied")
          .Array("SItems", {Record("CAT_SItem", "si1")
                                .Set("SKU", "ssku")
                                .Set("Description", "sd")
                                .Set("URL", "su")
                                .Set("ImageURL", "img")
                                .Set("MItemGUID", "mi")
                                .Set("SItemCategoryGUID", "sc2")
                                .Set("PricingLastCheckedAt", "2023-03-04T05:06:07.890")
                                .Array("SItemHistory",
                                       {history("h-may1", "2023-05-01T00:00:00",
                                                {pricing("p-may1", "h-may1", "1", "9.5")}),
                                        history("h-may3a", "2023-05-03T00:00:00",
                                                {pricing("p1", "h-may3a", "10", "0.125"),
                                                 pricing("p2", "h-may3a", "2147483647", "1e-3")}),
                                        history("h-may3b", "2023-05-03T00:00:00",
                                                {pricing("p-may3b", "h-may3b", "1", "7")})}),
                            Record("CAT_SItem", "si2").Set("MItemGUID", "mi"),
                            Record("CAT_SItem", "si3")
                                .Set("MItemGUID", "mi")
                                .Array("SItemHistory", {Record("CAT_SItemHistory", "h-bare")
                                                            .Set("SItemGUID", "si3")
                                                            .Set("AvailableQuantity", "0")})}));
  managerFor({"mi"})->CopyPCLData();

  EXPECT_EQ(QueryRows(*bench.dest,
                      "select GUID, HRID, NAME, DESCRIPTION, URL, ORGANIZATIONGUID, LOGOURL, "
                      "CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT, LASTMODIFIEDBYGUID "
                      "from CAT_MORGANIZATION"),
            (Rows{{"mo", "HR-mo", "Maker & Söhne", "desc", "u", "org", "logo",
                   LocalText("2020-01-02T03:04:05.000Z"), "creator-mo",
                   LocalText("2021-06-07T08:09:10.000Z"), "modifier-mo"}}));
  EXPECT_EQ(QueryRows(*bench.dest,
                      "select GUID, NAME, MORGANIZATIONGUID, CREATEDAT from "
                      "CAT_MORGANIZATIONSYNONYM"),
            (Rows{{"syn", "Maker", "mo", "2020-01-01 00:00:00"}}));
  EXPECT_EQ(QueryRows(*bench.dest,
                      "select GUID, NAME, DESCRIPTION, URL, ORGANIZATIONGUID, "
                      "PARENTMITEMCATEGORYGUID from CAT_MITEMCATEGORY order by GUID"),
            (Rows{{"mc1", "Top", "", "", "", "<null>"}, {"mc2", "Sub", "d", "u", "org", "mc1"}}));
  EXPECT_EQ(QueryRows(*bench.dest, "select GUID, NAME, ACTIVE from CAT_SORGANIZATION"),
            (Rows{{"so", "Seller", "1"}}));
  EXPECT_EQ(QueryRows(*bench.dest,
                      "select GUID, SORGANIZATIONGUID, PARENTSITEMCATEGORYGUID from "
                      "CAT_SITEMCATEGORY order by GUID"),
            (Rows{{"sc1", "so", ""}, {"sc2", "so", "sc1"}}));
  EXPECT_EQ(
      QueryRows(*bench.dest,
                "select GUID, HRID, NAME, DESCRIPTION, URL, SKU, "
                "MITEMCATEGORYGUID, CREATEDBYGUID, LASTMODIFIEDBYGUID "
                "from CAT_MITEM"),
      (Rows{{"mi", "HR-mi", "Part", "A part", "url", "sku", "mc2", "creator-mi", "modifier-mi"}}));
  EXPECT_EQ(QueryRows(*bench.dest,
                      "select GUID, MITEMGUID, DESCRIPTION, URL, SKU, IMAGEURL, "
                      "SITEMCATEGORYGUID, PRICINGLASTCHECKEDAT from CAT_SITEM "
                      "order by GUID"),
            (Rows{{"si1", "mi", "sd", "su", "ssku", "img", "sc2", "2023-03-04 05:06:07.890"},
                  {"si2", "mi", "", "", "", "", "", "<null>"},
                  {"si3", "mi", "", "", "", "", "", "<null>"}}));
  // Only the latest history, the first of the two of 3 May, with its price breaks.
  EXPECT_EQ(QueryRows(*bench.dest,
                      "select GUID, SITEMGUID, AVAILABLEQUANTITY, CURRENCY, CREATEDAT "
                      "from CAT_SITEMHISTORY order by GUID"),
            (Rows{{"h-bare", "si3", "0", "", "2020-01-01 00:00:00"},
                  {"h-may3a", "si1", "-7", "EUR", "2023-05-03 00:00:00"}}));
  EXPECT_EQ(QueryRows(*bench.dest,
                      "select GUID, SITEMHISTORYGUID, BREAKQUANTITY, PRICE from "
                      "CAT_SITEMPRICING order by GUID"),
            (Rows{{"p1", "h-may3a", "10", "0.125"}, {"p2", "h-may3a", "2147483647", "0.001"}}));
}

TEST_F(CatalogCopy, TheLatestHistoryIsTheLatestMomentWhenTheClocksGoBack) {
  ScopedTimeZone berlin("Europe/Berlin");
  // At 03:00 summer time the clocks go back to 02:00: the history of 02:45
  // summer time is older than the one of 02:15 winter time.
  const char* summer = "2023-10-29T00:45:00Z";
  const char* winter = "2023-10-29T01:15:00Z";
  auto history = [](std::string guid, const char* at) {
    return Record("CAT_SItemHistory", guid, at, at)
        .Set("SItemGUID", guid.substr(0, guid.find('-')))
        .Array("SItemPricing", {Record("CAT_SItemPricing", "p-" + guid)
                                    .Set("SItemHistoryGUID", guid)
                                    .Set("BreakQuantity", "1")
                                    .Set("Price", "2.5")});
  };
  ServeEmptyLists(bench.service);
  bench.service.AddFullItem(
      Record("CAT_MItem", "mi")
          .Array("SItems", {Record("CAT_SItem", "sa")
                                .Set("MItemGUID", "mi")
                                .Array("SItemHistory", {history("sa-summer", summer),
                                                        history("sa-winter", winter)}),
                            Record("CAT_SItem", "sb")
                                .Set("MItemGUID", "mi")
                                .Array("SItemHistory", {history("sb-winter", winter),
                                                        history("sb-summer", summer)})}));
  managerFor({"mi"})->CopyPCLData();

  ASSERT_EQ(LocalText(winter), "2023-10-29 02:15:00");
  EXPECT_EQ(QueryRows(*bench.dest,
                      "select GUID, SITEMGUID, CREATEDAT from CAT_SITEMHISTORY order by GUID"),
            (Rows{{"sa-winter", "sa", LocalText(winter)}, {"sb-winter", "sb", LocalText(winter)}}));
  EXPECT_EQ(QueryRows(*bench.dest, "select GUID from CAT_SITEMPRICING order by GUID"),
            (Rows{{"p-sa-winter"}, {"p-sb-winter"}}));
}

TEST_F(CatalogCopy, AManufacturerCategoryThatCannotBeWrittenIsSkippedSilently) {
  ServeEmptyLists(bench.service);
  bench.service.SetRecords(
      "GetCAT_MItemCategories",
      {Record("CAT_MItemCategory", "c1").Set("Name", "first"),
       Record("CAT_MItemCategory", "c1").Set("Name", "the same GUID again"),
       Record("CAT_MItemCategory", "c2").Set("Name", std::string(300, 'n')),  // too long
       Record("CAT_MItemCategory", "c3").Set("Name", "third")});
  bench.service.SetPageSize(10);
  bench.service.SetRecords("GetCAT_SOrganizations",
                           {Record("CAT_SOrganization", "s1").Set("Name", "Seller")});
  managerFor({"unknown"})->CopyPCLData();
  EXPECT_EQ(bench.log, Concat(OnePageLists(), {"Copy catalog items", "1/1"}));
  EXPECT_EQ(QueryRows(*bench.dest, "select GUID, NAME from CAT_MITEMCATEGORY order by GUID"),
            (Rows{{"c1", "first"}, {"c3", "third"}}));
  EXPECT_EQ(CountRows(*bench.dest, "CAT_SORGANIZATION"), 1);
  EXPECT_FALSE(bench.dest->inTransaction());
}

TEST_F(CatalogCopy, ASupplierOrganizationThatCannotBeWrittenRollsEverythingBack) {
  ServeSampleCatalog(bench.service);
  bench.service.SetRecords("GetCAT_SOrganizations",
                           {Record("CAT_SOrganization", "s1").Set("Name", "Seller"),
                            Record("CAT_SOrganization", "s1").Set("Name", "Seller again")});
  auto manager = bench.Manager();
  manager->GetPCLGUIDs();
  EXPECT_THROW(manager->CopyPCLData(), db::EDatabaseError);
  EXPECT_EQ(CatalogRowCount(*bench.dest), 0);
  EXPECT_FALSE(bench.dest->inTransaction());
  EXPECT_EQ(actions(), Lines(PagedReads().begin(), PagedReads().begin() + 4));
  EXPECT_EQ(bench.log.back(), "Copy supplier's organizations");
}

TEST_F(CatalogCopy, AServiceFailureRollsEverythingBack) {
  for (const char* action : {"GetCAT_SItemCategories", "GETCat_FullItem"}) {
    SCOPED_TRACE(action);
    CatalogBench fresh;
    ServeSampleCatalog(fresh.service);
    fresh.service.Server().FailNext(action, Failure::Fault("The catalog is being rebuilt"));
    auto manager = fresh.Manager();
    manager->GetPCLGUIDs();
    EXPECT_EQ(Raised([&] { manager->CopyPCLData(); }),
              "ERemotableException The catalog is being rebuilt");
    EXPECT_EQ(CatalogRowCount(*fresh.dest), 0);
  }
}

TEST_F(CatalogCopy, AFailingLogLineRollsEverythingBackAndPassesItsException) {
  ServeSampleCatalog(bench.service);
  auto manager = std::make_unique<TPCLMigrationManager>(
      *bench.dest,
      [](const std::string& line) {
        if (line == "2/3") RaiseMigrationError("Abort");
      },
      bench.vault.fileStorageFolder(), kCatalogSession, bench.service.Url());
  manager->GetPCLGUIDs();
  EXPECT_EQ(Raised([&] { manager->CopyPCLData(); }), "EMovrano Abort");
  EXPECT_EQ(CatalogRowCount(*bench.dest), 0);
  EXPECT_EQ(bench.service.Server().CountOf("GETCat_FullItem"), 2u);
}

TEST_F(CatalogCopy, AStatementWithoutOneOfItsParametersFailsTheBinding) {
  TempDir dir;
  DeployedStatements own(false);
  SQLManager().LoadFromFile(
      dir.write("own.sql",
                "--$ sql_sitemorganization_insert\n"
                "INSERT INTO CAT_SORGANIZATION (GUID, HRID, NAME, ACTIVE, CREATEDAT, "
                "CREATEDBYGUID, LASTMODIFIEDAT, LASTMODIFIEDBYGUID) VALUES (:GUID, :HRID, "
                ":Name, 1, :CreatedAt, :CreatedByGUID, :LastModifiedAt, :LastModifiedByGUID)\n")
          .string());
  SQLManager().LoadFromFile(DeployedStatementFile());
  ServeSampleCatalog(bench.service);
  auto manager = bench.Manager();
  manager->GetPCLGUIDs();
  EXPECT_EQ(Raised([&] { manager->CopyPCLData(); }),
            "EZSQLException Parameter 'Description' not found");
  EXPECT_EQ(CatalogRowCount(*bench.dest), 0);
}

TEST_F(CatalogCopy, AManufacturerCategoryStatementThatCannotRunSkipsEveryCategory) {
  TempDir dir;
  DeployedStatements own(false);
  SQLManager().LoadFromFile(
      dir.write("own.sql",
                "--$ sql_mitemcategory_insert\nINSERT INTO NO_SUCH_TABLE (GUID) "
                "VALUES (:GUID)\n")
          .string());
  SQLManager().LoadFromFile(DeployedStatementFile());
  ServeSampleCatalog(bench.service);
  run(*bench.Manager());
  EXPECT_EQ(CountRows(*bench.dest, "CAT_MITEMCATEGORY"), 0);
  EXPECT_EQ(CountRows(*bench.dest, "CAT_MITEM"), 3);
  EXPECT_EQ(bench.log.back(), "3/3");
}

TEST_F(CatalogCopy, APartGuidListedTwiceIsAskedForTwiceAndItsSecondInsertFails) {
  ServeSampleCatalog(bench.service);
  const std::string guid = SamplePartGuids()[1];
  EXPECT_THROW(managerFor({guid, guid})->CopyPCLData(), db::EDatabaseError);
  const std::vector<CatalogRead> reads = bench.service.Reads();
  ASSERT_EQ(reads.size(), 7u);
  EXPECT_EQ(reads[5].guids, Lines{guid});
  EXPECT_EQ(reads[6].guids, Lines{guid});
  EXPECT_EQ(bench.log.back(), "1/2");
  EXPECT_EQ(CatalogRowCount(*bench.dest), 0);
}

TEST_F(CatalogCopy, EachPartGuidIsOneRequestAndOneCountLine) {
  ServeEmptyLists(bench.service);
  std::vector<std::string> guids;
  for (int i = 0; i < 250; ++i)
    guids.push_back("unknown-" + std::to_string(i));
  managerFor(guids)->CopyPCLData();
  const auto items = std::find(bench.log.begin(), bench.log.end(), "Copy catalog items");
  ASSERT_EQ(bench.log.end() - items, 251);
  EXPECT_EQ(items[1], "1/250");
  EXPECT_EQ(items[2], "2/250");
  EXPECT_EQ(bench.log.back(), "250/250");
  EXPECT_EQ(bench.service.Server().CountOf("GETCat_FullItem"), 250u);
  EXPECT_EQ(bench.service.Reads().back().guids, Lines{"unknown-249"});
  EXPECT_EQ(CatalogRowCount(*bench.dest), 0);
}

TEST_F(CatalogCopy, ARecordWithoutItsDatesEndsTheCopy) {
  ServeEmptyLists(bench.service);
  CatalogRecord undated{"CAT_SOrganization", {}, {}};
  undated.Set("GUID", "s-undated").Set("HRID", "h").Set("Name", "Seller");
  bench.service.SetRecords("GetCAT_MOrganizations",
                           {Record("CAT_MOrganization", "m1").Set("Name", "Maker")});
  bench.service.SetRecords("GetCAT_SOrganizations", {undated});
  EXPECT_EQ(Raised([&] { managerFor({"g"})->CopyPCLData(); }),
            "EMovrano The global catalog service sent the record s-undated without CreatedAt.");
  EXPECT_EQ(CatalogRowCount(*bench.dest), 0);
}

}  // namespace
}  // namespace movrano::testing
