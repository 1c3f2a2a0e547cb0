// The catalog migration's driver: the existence and emptiness checks, the
// part GUIDs of the item revision archives, the catalog clients with their
// session headers, and the log routines.
#include "catalog/PCLMigrationManager.h"

#include "catalog/ArchiveIniText.h"
#include "catalog/ZipArchiveReader.h"
#include "db/Query.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "services/TavrinGlobalCatalog.h"
#include "services/soap/Cancellation.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace {
constexpr const char* kCatalogApiVersion = "1.0.0";
// The most part GUIDs one archive may list, all its entries together.
constexpr int kArchiveListLimit = TPartGuidListReader::kDefaultListLimit;
}  // namespace

TPCLMigrationManager::TPCLMigrationManager(db::Connection& aDestDatabase, TLogCallBack aLogCallBack,
                                           std::string aDestFileStoragePath, std::string aSessionID,
                                           std::string aCatalogEndpoint)
    : FDestDatabase(aDestDatabase),
      FSessionID(std::move(aSessionID)),
      FDestFileStoragePath(IncludeTrailingPathDelimiter(aDestFileStoragePath)),
      FLogProc(std::move(aLogCallBack)),
      FCatalogEndpoint(std::move(aCatalogEndpoint)) {}

// The connection stays open; it belongs to the engine.
TPCLMigrationManager::~TPCLMigrationManager() = default;

bool TPCLMigrationManager::PCLExists() {
  const std::unique_ptr<db::Query> query = CreateQuery(FDestDatabase, "sql_mitem_exists");
  query->open();
  return !query->eof();
}

void TPCLMigrationManager::CheckPCLIsEmpty() {
  db::Variant value;
  GetValue(FDestDatabase, "sql_total_PCLRow_count", value);
  const int32_t rows = value.toInt32();  // Null raises EVariantTypeCastError
  if (rows > 0) {
    RaiseMigrationErrorFmt("Destination Catalog database is not empty - it already has %d rows!",
                           {rows});
  }
}

void TPCLMigrationManager::GetPCLGUIDs() {
  LogMessage("Get manufacturer's items");
  const std::unique_ptr<db::Query> query = CreateQuery(FDestDatabase, "sql_mitems_select");
  query->open();
  for (; !query->eof(); query->next()) {
    const std::string hrid = query->fieldByName("HRID").asString();
    LoadPCLGUIDsFromZip(FDestFileStoragePath + "ItemRevisions/" + hrid + "/" + hrid + ".zip");
  }
}

void TPCLMigrationManager::LoadPCLGUIDsFromZip(const std::string& path) {
  if (!FileExists(path)) {
    LogMessageFmt("%s - does not exist!", path);
    return;
  }
  // A termination asked for ends the reading of any archive within moments.
  const TZipArchiveReader archive(path, [] { soap::CheckCancellation(); });
  const int64_t count = archive.NumberOfItems();
  size_t found = 0;
  for (int64_t i = 0; i < count; ++i) {
    if (archive.ItemIsFolder(i)) continue;
    // Streamed: an entry of any size, a model file too, takes little memory.
    TPartGuidListReader list(Format("%s in %s", archive.ItemPath(i), path), kArchiveListLimit);
    archive.ReadItem(i, [&list](std::string_view bytes) { list.Feed(bytes); });
    std::vector<std::string> guids = list.Finish();
    found += guids.size();
    if (found > kArchiveListLimit) {
      RaiseMigrationErrorFmt("%s lists more than %d part GUIDs, which no item's archive does",
                             {path, kArchiveListLimit});
    }
    for (std::string& guid : guids)
      FPCLGUIDs.push_back(std::move(guid));
  }
}

std::shared_ptr<TavrinGlobalCatalogPort> TPCLMigrationManager::GetCatalogPort() {
  std::shared_ptr<TavrinGlobalCatalogPort> port =
      GetTavrinGlobalCatalogPort(false, FCatalogEndpoint, nullptr);
  auto session = std::make_unique<TavrinGlobalCatalog::SessionID>();
  session->Value = FSessionID;
  auto version = std::make_unique<TavrinGlobalCatalog::APIVersion>();
  version->Value = kCatalogApiVersion;
  soap::ISOAPHeaders& headers = port->SOAPHeaders();
  headers.Send(session.get());
  headers.Send(version.get());
  // The previous request has completed: its headers can go.
  FSessionHeader = std::move(session);
  FAPIVersionHeader = std::move(version);
  return port;
}

void TPCLMigrationManager::LogMessage(const std::string& text) {
  if (FLogProc) FLogProc(text);
}

}  // namespace movrano
