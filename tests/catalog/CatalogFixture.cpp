#include "catalog/CatalogFixture.h"

#include "db/Query.h"
#include "platform/Exceptions.h"
#include "support/services/ServiceTypes.h"

namespace movrano::testing {

namespace {

// The sample catalog's GUIDs differ in their first block only.
std::string G(const char* first) {
  return std::string("{") + first + "-5D2E-4F8B-A1C3-9E7D5B3F1A01}";
}

const char* const kDay = "2020-01-01T00:00:00";

CatalogRecord Authored(std::string type, const char* guid, std::string hrid, std::string createdAt,
                       std::string lastModifiedAt, std::string lastModifiedBy = "") {
  CatalogRecord r{std::move(type), {}, {}};
  r.Set("GUID", G(guid))
      .Set("HRID", std::move(hrid))
      .Set("CreatedAt", std::move(createdAt))
      .Set("LastModifiedAt", std::move(lastModifiedAt))
      .Set("CreatedByGUID", kCatalogAuthor)
      .Set("LastModifiedByGUID", std::move(lastModifiedBy))
      .Set("CreatedByName", "Catalog Team")
      .Set("LastModifiedByName", "");
  return r;
}

CatalogRecord Pricing(const char* guid, std::string hrid, const char* history, const char* qty,
                      const char* price) {
  return Authored("CAT_SItemPricing", guid, std::move(hrid), "2023-01-15T06:00:00",
                  "2023-01-15T06:00:00")
      .Set("SItemHistoryGUID", G(history))
      .Set("BreakQuantity", qty)
      .Set("Price", price);
}

CatalogRecord History(const char* guid, std::string hrid, const char* sitem, const char* qty,
                      const char* currency, const char* at, std::vector<CatalogRecord> pricing) {
  return Authored("CAT_SItemHistory", guid, std::move(hrid), at, at)
      .Set("SItemGUID", G(sitem))
      .Set("AvailableQuantity", qty)
      .Set("Currency", currency)
      .Array("SItemPricing", std::move(pricing));
}

}  // namespace

std::string Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::exception& e) {
    return std::string(ExceptionClassName(e)) + " " + e.what();
  }
  return {};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<std::string>& SamplePartGuids() {
  static const std::vector<std::string> guids = {G("7C0A0001"), G("7C0A0002"), G("7C0A0003")};
  return guids;
}

const std::vector<std::string>& CatalogTables() {
  static const std::vector<std::string> tables = {
      "CAT_MORGANIZATION", "CAT_MORGANIZATIONSYNONYM", "CAT_MITEMCATEGORY",
      "CAT_SORGANIZATION", "CAT_SITEMCATEGORY",        "CAT_MITEM",
      "CAT_SITEM",         "CAT_SITEMHISTORY",         "CAT_SITEMPRICING"};
  return tables;
}

std::vector<std::vector<std::string>> QueryRows(db::Connection& connection,
                                                const std::string& sql) {
  db::Query q(connection);
  q.setSql(sql);
  q.open();
  std::vector<std::vector<std::string>> rows;
  for (; !q.eof(); q.next()) {
    std::vector<std::string> row;
    for (int i = 0; i < q.fieldCount(); ++i)
      row.push_back(q.field(i).isNull() ? "<null>" : q.field(i).asString());
    rows.push_back(row);
  }
  return rows;
}

int64_t CountRows(db::Connection& connection, const std::string& table) {
  return std::stoll(QueryRows(connection, "select count(*) from " + table).at(0).at(0));
}

int64_t CatalogRowCount(db::Connection& connection) {
  int64_t rows = 0;
  for (const std::string& table : CatalogTables())
    rows += CountRows(connection, table);
  return rows;
}

CatalogRecord Record(std::string type, std::string guid, std::string createdAt,
                     std::string lastModifiedAt) {
  CatalogRecord r{std::move(type), {}, {}};
  r.Set("GUID", guid)
      .Set("HRID", "HR-" + guid)
      .Set("CreatedAt", std::move(createdAt))
      .Set("LastModifiedAt", std::move(lastModifiedAt))
      .Set("CreatedByGUID", "creator-" + guid)
      .Set("LastModifiedByGUID", "modifier-" + guid);
  return r;
}

const std::vector<std::string>& PagedReads() {
  static const std::vector<std::string> reads = {
      "GetCAT_MOrganizations", "GetCAT_MOrganizationSynonyms", "GetCAT_MItemCategories",
      "GetCAT_SOrganizations", "GetCAT_SItemCategories"};
  return reads;
}

void ServeEmptyLists(FakeCatalogService& service) {
  for (const std::string& read : PagedReads())
    service.SetRecords(read, {});
}

void ServeSampleCatalog(FakeCatalogService& service) {
  service.SetRecords("GetCAT_MOrganizations",
                     {Authored("CAT_MOrganization", "7C010001", "MORG-YAGEO", kDay,
                               "2021-06-01T00:00:00", kCatalogAuthor)
                          .Set("OrganizationGUID", G("7C990001"))
                          .Set("Name", "Yageo")
                          .Set("Description", "Passive components")
                          .Set("URL", "https://yageo.example")
                          .Set("LogoURL", "https://yageo.example/logo.png"),
                      Authored("CAT_MOrganization", "7C010002", "MORG-MURATA", kDay, kDay)
                          .Set("OrganizationGUID", "")
                          .Set("Name", "Murata Manufacturing")
                          .Set("Description", "村田製作所")
                          .Set("URL", "https://murata.example")
                          .Set("LogoURL", "")});
  service.SetRecords("GetCAT_MOrganizationSynonyms",
                     {Authored("CAT_MOrganizationSynonym", "7C020001", "SYN-PHYCOMP", kDay, kDay)
                          .Set("MOrganizationGUID", G("7C010001"))
                          .Set("Name", "Phycomp"),
                      Authored("CAT_MOrganizationSynonym", "7C020002", "SYN-MURATA", kDay, kDay)
                          .Set("MOrganizationGUID", G("7C010002"))
                          .Set("Name", "Murata")});
  service.SetRecords("GetCAT_MItemCategories",
                     {Authored("CAT_MItemCategory", "7C030001", "MCAT-RES-CHIP", kDay, kDay)
                          .Set("Name", "Chip resistors")
                          .Set("Description", "")
                          .Set("URL", "")
                          .Set("OrganizationGUID", G("7C990001"))
                          .Set("ParentMItemCategoryGUID", G("7C030002")),
                      Authored("CAT_MItemCategory", "7C030002", "MCAT-RES", kDay, kDay)
                          .Set("Name", "Resistors")
                          .Set("Description", "All resistors")
                          .Set("URL", "")
                          .Set("OrganizationGUID", G("7C990001"))
                          .Set("ParentMItemCategoryGUID", "")});
  service.SetRecords("GetCAT_SOrganizations",
                     {Authored("CAT_SOrganization", "7C040001", "SORG-DIGIKEY", kDay, kDay)
                          .Set("OrganizationGUID", G("7C990002"))
                          .Set("Name", "Digi-Key")
                          .Set("Description", "")
                          .Set("URL", "https://digikey.example")
                          .Set("LogoURL", ""),
                      Authored("CAT_SOrganization", "7C040002", "SORG-FARNELL", kDay, kDay)
                          .Set("OrganizationGUID", G("7C990003"))
                          .Set("Name", "Farnell")
                          .Set("Description", "element14")
                          .Set("URL", "")
                          .Set("LogoURL", "")});
  service.SetRecords("GetCAT_SItemCategories",
                     {Authored("CAT_SItemCategory", "7C050001", "SCAT-DK-RES", kDay, kDay)
                          .Set("Name", "Resistors")
                          .Set("SOrganizationGUID", G("7C040001"))
                          .Set("ParentSItemCategoryGUID", ""),
                      Authored("CAT_SItemCategory", "7C050002", "SCAT-DK-CAP", kDay, kDay)
                          .Set("Name", "Kondensatoren")
                          .Set("SOrganizationGUID", G("7C040001"))
                          .Set("ParentSItemCategoryGUID", G("7C050001"))});

  const CatalogRecord olderHistory =
      History("7C0C0009", "H-DK-311-2022-06-01", "7C0B0001", "900", "EUR", "2022-06-01T06:00:00",
              {Pricing("7C0D0009", "P-DK-311-1-OLD", "7C0C0009", "1", "0.11")});
  service.AddFullItem(
      Authored("CAT_MItem", "7C0A0001", "RC0603FR-0710KL", "2020-02-01T00:00:00",
               "2022-01-01T00:00:00")
          .Set("Name", "RC0603FR-0710KL")
          .Set("SKU", "RC0603FR-0710KL")
          .Set("Description", "RES SMD 10K OHM 1% 1/10W 0603")
          .Set("URL", "https://yageo.example/RC0603")
          .Set("MItemCategoryGUID", G("7C030001"))
          .Set("OrganizationName", "Yageo")
          .Array("SItems",
                 {Authored("CAT_SItem", "7C0B0001", "DK-311-10.0KHRCT-ND", "2020-03-01T00:00:00",
                           "2023-01-15T06:00:00")
                      .Set("SKU", "311-10.0KHRCT-ND")
                      .Set("Description", "RES 10K OHM 1% 1/10W 0603")
                      .Set("URL", "")
                      .Set("ImageURL", "")
                      .Set("MItemGUID", G("7C0A0001"))
                      .Set("SItemCategoryGUID", G("7C050001"))
                      .Set("PricingLastCheckedAt", "2023-01-15T06:00:00")
                      .Set("organizationName", "Digi-Key")
                      .Array("SItemHistory",
                             {olderHistory,
                              History(
                                  "7C0C0001", "H-DK-311-2023-01-15", "7C0B0001", "1250000", "EUR",
                                  "2023-01-15T06:00:00",
                                  {Pricing("7C0D0001", "P-DK-311-1", "7C0C0001", "1", "0.09"),
                                   Pricing("7C0D0002", "P-DK-311-100", "7C0C0001", "100", "0.0133"),
                                   Pricing("7C0D0003", "P-DK-311-5000", "7C0C0001", "5000",
                                           "0.00262")})}),
                  Authored("CAT_SItem", "7C0B0002", "FN-9330399", "2020-03-01T00:00:00",
                           "2020-03-01T00:00:00")
                      .Set("SKU", "9330399")
                      .Set("Description", "Widerstand 10 kΩ")
                      .Set("MItemGUID", G("7C0A0001"))
                      .Set("SItemCategoryGUID", "")
                      .Set("organizationName", "Farnell")
                      .Array("SItemHistory",
                             {History("7C0C0002", "H-FN-9330399-2022-11-02", "7C0B0002", "0", "GBP",
                                      "2022-11-02T06:00:00", {})})}));
  service.AddFullItem(Authored("CAT_MItem", "7C0A0002", "RC0603JR-0710KL", "2020-02-01T00:00:00",
                               "2020-02-01T00:00:00")
                          .Set("Name", "RC0603JR-0710KL")
                          .Set("SKU", "RC0603JR-0710KL")
                          .Set("Description", "RES SMD 10K OHM 5% 1/10W 0603")
                          .Set("URL", "")
                          .Set("MItemCategoryGUID", G("7C030001")));
  service.AddFullItem(
      Authored("CAT_MItem", "7C0A0003", "GRM188R71H104KA93D", "2020-02-01T00:00:00",
               "2020-02-01T00:00:00")
          .Set("Name", "GRM188R71H104KA93D")
          .Set("SKU", "GRM188R71H104KA93D")
          .Set("Description", "CAP CER 0.1µF 50V X7R 0603")
          .Set("URL", "https://murata.example/GRM188")
          .Set("MItemCategoryGUID", "")
          .Array("SItems",
                 {Authored("CAT_SItem", "7C0B0003", "DK-490-1532-1-ND", "2020-03-01T00:00:00",
                           "2023-01-15T06:00:00")
                      .Set("SKU", "490-1532-1-ND")
                      .Set("Description", "CAP CER 0.1UF 50V X7R 0603")
                      .Set("ImageURL", "https://digikey.example/img/490-1532.jpg")
                      .Set("MItemGUID", G("7C0A0003"))
                      .Set("SItemCategoryGUID", G("7C050002"))
                      .Set("PricingLastCheckedAt", "2023-01-15T06:00:00")
                      .Array("SItemHistory", {History("7C0C0003", "H-DK-490-2023-01-15", "7C0B0003",
                                                      "88000", "EUR", "2023-01-15T06:00:00",
                                                      {Pricing("7C0D0004", "P-DK-490-1", "7C0C0003",
                                                               "1", "0.1")})})}));
}

CatalogBench::CatalogBench(VaultOptions options)
    : vault(VaultEdition::Server, options), dest(vault.connect()) {
  RegisterServiceTypesOnce();
}

std::unique_ptr<TPCLMigrationManager> CatalogBench::Manager(bool withLog, std::string session) {
  TLogCallBack sink;
  if (withLog) sink = [this](const std::string& line) { log.push_back(line); };
  return std::make_unique<TPCLMigrationManager>(*dest, sink, vault.fileStorageFolder(),
                                                std::move(session), service.Url());
}

std::unique_ptr<TPCLMigrationManager> CatalogBench::ManagerFor(const std::string& storageRoot) {
  return std::make_unique<TPCLMigrationManager>(
      *dest, [this](const std::string& line) { log.push_back(line); }, storageRoot, kCatalogSession,
      service.Url());
}

}  // namespace movrano::testing
