// Version gates and the destination's emptiness check: nothing here writes.
#include <algorithm>

#include "engine/VaultMigrationManager.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace {

bool Supported(const std::vector<std::string>& versions, const std::string& version) {
  return std::any_of(versions.begin(), versions.end(),
                     [&](const std::string& v) { return SameText(v, version); });
}

// A database value for a "%s": Null cannot become text and raises
// EVariantTypeCastError.
FormatArg ValueArg(const db::Variant& value) {
  return FormatArg(value.toString());
}

db::Variant ReadValue(db::Connection& connection, const std::string& statement) {
  db::Variant value;
  GetValue(connection, statement, value);
  return value;
}

}  // namespace

void TVaultMigrationManager::CheckVersions(TMigrationMode mode) {
  const std::string destVersion = ReadValue(*FDestDatabase, "sql_vault_version").toString();
  WriteLogFmt("Desination vault version - %s", destVersion);
  if (!Supported(FDestSupportedVersions, destVersion)) {
    RaiseMigrationErrorFmt("Unsupported version of destination Vault - %s", {destVersion});
  }
  if (mode == TMigrationMode::mmOutpostToTVS || mode == TMigrationMode::mmOutpostToSVS) {
    const std::string sourceVersion = ReadValue(*FSourceDatabase, "sql_vault_version").toString();
    WriteLogFmt("Source Vault version - %s", sourceVersion);
    if (!Supported(FSourceSupportedVersions, sourceVersion)) {
      RaiseMigrationErrorFmt("Unsupported version of source Vault - %s", {sourceVersion});
    }
    CheckDestinationDatabaseVersion();
  } else if (mode == TMigrationMode::mmSVSToTVS) {
    if (ReadValue(*FSourceDatabase, "sql_check_new_version_table_exists").isNull()) {
      RaiseMigrationError(
          "Unsupported version of source database. Try to update to latest version of SVS.");
    }
    WriteLogFmt("Source database versions: %s",
                ValueArg(ReadValue(*FSourceDatabase, "sql_select_versions")));
    CheckDestinationDatabaseVersion();
  }
}

void TVaultMigrationManager::CheckDestinationDatabaseVersion() {
  if (ReadValue(*FDestDatabase, "sql_check_new_version_table_exists") == db::Variant("")) {
    RaiseMigrationError(
        "Unsupported version of destination database. Try to update to latest version of "
        "product.");
  }
  WriteLogFmt("Destination database versions: %s",
              ValueArg(ReadValue(*FDestDatabase, "sql_select_versions")));
}

void TVaultMigrationManager::CheckDestinationEmpty() {
  const int32_t rows = ReadValue(*FDestDatabase, "sql_total_row_count_dest").toInt32();
  if (rows > 0) {
    RaiseMigrationErrorFmt("Destination database is not empty - it already has %d rows!", {rows});
  }
  FTotalItems = ReadValue(*FSourceDatabase, "sql_total_row_count_source").toInt32();
}

}  // namespace movrano
