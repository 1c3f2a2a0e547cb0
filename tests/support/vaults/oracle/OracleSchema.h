#pragma once
// Oracle schemas for the "oracle" stand-in driver: the empty schema file a
// database administrator hands over, and what the server vault's installer
// writes into it: the server vault's tables in Oracle's types (the same
// tables as this folder's Firebird schema scripts, translated) and the
// installer's own rows.
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/Connection.h"
#include "support/vaults/VaultEdition.h"

namespace movrano::testing {

inline constexpr const char* kOracleSchemaName = "MOVRANO";
inline constexpr const char* kOracleUser = "movrano";
inline constexpr const char* kOraclePassword = "oracle secret";

// One table of the server vault, created in Oracle's types.
struct OracleTable {
  std::string name;
  std::string createStatement;
};

// The server vault's tables in the order of the schema scripts, without
// their CHECK constraints (which compare with the empty text that Oracle
// keeps as NULL).
std::vector<OracleTable> OracleServerTables(PartCatalog catalog = PartCatalog::Empty);

// The statement with the table created under another name (quoted, so the
// letter case stays).
std::string RenamedTable(const OracleTable& table, const std::string& name);

struct OracleInstallOptions {
  PartCatalog catalog = PartCatalog::Empty;
  std::map<std::string, std::string> renamed;  // table name -> the name it is created under
  std::vector<std::string> omitted;            // tables not created
  bool installerRows = true;                   // the installer's own rows (install-server.sql)
  std::vector<std::string> afterwards;         // statements run last
};

// An empty schema file, as one made for the server before its installation.
void CreateEmptyOracleSchema(const std::filesystem::path& file);

// The connection the engine makes to the schema file (the TNS alias).
std::unique_ptr<db::Connection> ConnectOracleSchema(const std::string& file);

// What the installer does to the empty schema.
void InstallOracleServerSchema(const std::string& file, const OracleInstallOptions& options = {});

}  // namespace movrano::testing
