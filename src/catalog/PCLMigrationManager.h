#pragma once
// The part catalog migration: fills an empty part catalog of a destination
// vault from the global catalog service, for the part GUIDs its item
// revision archives list. Borrows the engine's destination connection.
//
// Four steps, called by the engine in this order: PCLExists; when it is
// true, CheckPCLIsEmpty, GetPCLGUIDs and CopyPCLData. The first three write
// nothing; CopyPCLData writes everything in one destination transaction.
// Every failure propagates unchanged (CopyPCLData rolls back first), but
// for a manufacturer item category whose insert fails, which is skipped.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/Utils.h"
#include "db/Connection.h"
#include "services/ServiceEndpoints.h"

namespace movrano {

namespace db {
class Query;
}
namespace TavrinGlobalCatalog {
class SessionID;
class APIVersion;
}  // namespace TavrinGlobalCatalog
class TavrinGlobalCatalogPort;
class TLU_Object;
class CAT_MItem;
class CAT_SItem;
class CAT_SItemHistory;
class CAT_SItemPricing;

class TPCLMigrationManager {
 public:
  // The catalog requests go to aCatalogEndpoint (path "/?cls=soap").
  TPCLMigrationManager(db::Connection& aDestDatabase, TLogCallBack aLogCallBack,
                       std::string aDestFileStoragePath, std::string aSessionID,
                       std::string aCatalogEndpoint = kDefaultTavrinGlobalCatalogEndpoint);
  ~TPCLMigrationManager();
  TPCLMigrationManager(const TPCLMigrationManager&) = delete;
  TPCLMigrationManager& operator=(const TPCLMigrationManager&) = delete;

  // Whether the destination's database has a part catalog at all
  // ("sql_mitem_exists" yields a row).
  bool PCLExists();
  // Raises EMovrano when "sql_total_PCLRow_count" counts more than 0 rows.
  void CheckPCLIsEmpty();
  // Appends the part GUIDs of the archive of each row of "sql_mitems_select".
  void GetPCLGUIDs();
  // Copies the five catalog lists and the full item of each part GUID in one
  // transaction; does nothing at all when no part GUID was found.
  void CopyPCLData();

  // The part GUIDs found so far, in discovery order, duplicates kept.
  const std::vector<std::string>& PCLGUIDs() const { return FPCLGUIDs; }
  // The storage root the archives are looked for in, with a trailing "/".
  const std::string& DestFileStoragePath() const { return FDestFileStoragePath; }

 private:
  // Part-GUID discovery (PCLMigrationManager.cpp).
  void LoadPCLGUIDsFromZip(const std::string& path);

  // A new catalog client carrying this run's SessionID and APIVersion
  // "1.0.0" headers, for exactly one request.
  std::shared_ptr<TavrinGlobalCatalogPort> GetCatalogPort();

  void LogMessage(const std::string& text);
  template <typename... Args>
  void LogMessageFmt(std::string_view format, const Args&... args) {
    if (FLogProc) FLogProc(Format(format, args...));
  }

  // The copies (CatalogCopies.cpp).
  void SetCommonParams(db::Query& query, const TLU_Object& record);
  void CopyMOrganizations();
  void CopyMOrganizationSynonyms();
  void CopyMItemCategories();
  void CopySOrganizations();
  void CopySItemCategories();
  void CopyCatalogItems();
  void InsertMItem(const CAT_MItem& item);
  void InsertSItem(const CAT_SItem& sitem);
  void InsertSItemHistory(const CAT_SItemHistory& history);
  void InsertSItemPricing(const CAT_SItemPricing& pricing);

  // One record through one insert statement: common, then own parameters.
  template <class Record, class BindOwn>
  void InsertRecord(const char* statement, const Record& record, const BindOwn& bindOwn);
  // The paged read of one list, inserting each page's records.
  template <class Request, class Response, class BindOwn>
  void CopyPages(const char* title, const char* operation,
                 std::unique_ptr<Response> (TavrinGlobalCatalogPort::*read)(const Request&),
                 const char* statement, const BindOwn& bindOwn, bool skipFailedInserts);

  db::Connection& FDestDatabase;
  std::string FSessionID;
  std::string FDestFileStoragePath;    // always with a trailing "/"
  std::vector<std::string> FPCLGUIDs;  // in discovery order, duplicates kept
  TLogCallBack FLogProc;
  std::string FCatalogEndpoint;
  // The headers of the latest request; the client does not own them.
  std::unique_ptr<TavrinGlobalCatalog::SessionID> FSessionHeader;
  std::unique_ptr<TavrinGlobalCatalog::APIVersion> FAPIVersionHeader;
};

}  // namespace movrano
