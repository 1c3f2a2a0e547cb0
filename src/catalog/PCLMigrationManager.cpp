#include "catalog/PCLMigrationManager.h"

#include "db/Query.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace {
[[noreturn]] void NotAvailable() {
  RaiseMigrationError("The part catalog migration is not available in this build.");
}
}  // namespace

TPCLMigrationManager::TPCLMigrationManager(db::Connection& aDestDatabase, TLogCallBack aLogCallBack,
                                           std::string aDestFileStoragePath, std::string aSessionID)
    : FDestDatabase(aDestDatabase),
      FLogCallBack(std::move(aLogCallBack)),
      FDestFileStoragePath(std::move(aDestFileStoragePath)),
      FSessionID(std::move(aSessionID)) {}

bool TPCLMigrationManager::PCLExists() {
  const std::unique_ptr<db::Query> query = CreateQuery(FDestDatabase, "sql_mitem_exists");
  query->open();
  return !query->eof();
}

void TPCLMigrationManager::CheckPCLIsEmpty() {
  NotAvailable();
}
void TPCLMigrationManager::GetPCLGUIDs() {
  NotAvailable();
}
void TPCLMigrationManager::CopyPCLData() {
  NotAvailable();
}

}  // namespace movrano
