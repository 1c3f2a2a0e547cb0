#pragma once
// What the catalog tests share: a server vault with the loopback catalog
// service and catalog migration objects on the vault's database, catalog
// records as the service sends them, the sample vault's catalog as the
// service would serve it, and ways to read the catalog tables back.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "catalog/PCLMigrationManager.h"
#include "support/services/FakeCatalogService.h"
#include "support/vaults/SampleVault.h"

namespace movrano::testing {

inline constexpr const char* kCatalogSession = "SESSION-C";

// The class name and message of what the call raised, "" when nothing.
std::string Raised(const std::function<void()>& call);
std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b);

// The author of the sample catalog's records.
inline constexpr const char* kCatalogAuthor = "f0e1d2c3-b4a5-4968-8776-655443322101";
// The part GUIDs the sample vault's component archives list, in their order.
const std::vector<std::string>& SamplePartGuids();

// The nine tables of the part catalog, in the order the copy fills them.
const std::vector<std::string>& CatalogTables();

// Every row of the query, each value as text ("<null>" for NULL).
std::vector<std::vector<std::string>> QueryRows(db::Connection& connection, const std::string& sql);
int64_t CountRows(db::Connection& connection, const std::string& table);
// The rows of all nine catalog tables.
int64_t CatalogRowCount(db::Connection& connection);

// A record with the common fields; the dates are local times (no offset).
CatalogRecord Record(std::string type, std::string guid,
                     std::string createdAt = "2020-01-01T00:00:00",
                     std::string lastModifiedAt = "2020-01-01T00:00:00");

// The five paged reads the copy makes, in its order.
const std::vector<std::string>& PagedReads();
// Answers every paged read with no records.
void ServeEmptyLists(FakeCatalogService& service);
// The catalog of the sample server vault (seed/sample-partcatalog.sql) as
// the service sends it, plus an older history of one supplier item, which
// the copy must leave out.
void ServeSampleCatalog(FakeCatalogService& service);

class CatalogBench {
 public:
  explicit CatalogBench(VaultOptions options = SampleContent());

  // A catalog migration object on `dest`, logging into `log`, for the
  // vault's storage (or another root) and the loopback service.
  std::unique_ptr<TPCLMigrationManager> Manager(bool withLog = true,
                                                std::string session = kCatalogSession);
  std::unique_ptr<TPCLMigrationManager> ManagerFor(const std::string& storageRoot);

  SampleVault vault;
  std::unique_ptr<db::Connection> dest;
  FakeCatalogService service;
  std::vector<std::string> log;
};

}  // namespace movrano::testing
