// The Firebird-to-Oracle reinstallation.
#include "engine/VaultMigrationManager.h"

namespace movrano {

namespace {
[[noreturn]] void NotAvailable() {
  RaiseMigrationError("The migration from Firebird to Oracle is not available in this build.");
}
}  // namespace

void TVaultMigrationManager::BackupSourceData() {
  NotAvailable();
}
void TVaultMigrationManager::MigrateFirebirdToOracle() {
  NotAvailable();
}

}  // namespace movrano
