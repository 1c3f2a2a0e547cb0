// The configuration readers of TVaultPathFinder. All four follow the same
// steps; a ReaderRules value holds what differs between them.
#include <filesystem>
#include <functional>
#include <vector>

#include "common/Utils.h"
#include "discovery/VaultMigrationPathFinder.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"

namespace movrano {

namespace {

constexpr const char* kDataSourceTypeMessage = "Could not use %s DataSourceType for data import";
constexpr const char* kFileStorageTypeMessage = "Could not use %s FileStorageType for data import";
constexpr const char* kLocalVaultIni = "LocalVault.ini";

struct ReaderRules {
  std::vector<std::string> candidates;
  std::string edition;  // given before the path in the messages, when set
  const char* configMissing;
  const char* dataSourceSection;
  const char* requiredDataSource;
  const char* databaseMissing;  // null: the reader reads no database file
  const char* storageSection;
  const char* storageMissing;
  bool relativeToRoot;  // values are appended to the vault folder text
  std::function<std::string(const IniFile&)> version;  // null: no version
};

[[noreturn]] void Fail(const ReaderRules& rules, const char* format, const std::string& value) {
  if (rules.edition.empty()) RaiseMigrationErrorFmt(format, {value});
  RaiseMigrationErrorFmt(format, {rules.edition, value});
}

void ReadVaultConfig(const ReaderRules& rules, const std::string& rootPath,
                     std::string* databaseFile, std::string& fileRepositoryPath,
                     std::string* version) {
  const std::string* config = nullptr;
  for (const auto& candidate : rules.candidates) {
    if (FileExists(candidate)) {
      config = &candidate;
      break;
    }
  }
  if (!config) Fail(rules, rules.configMissing, rules.candidates.back());
  // Opened by the path that was found, ".." resolved the same way.
  const IniFile ini(std::filesystem::path(*config).lexically_normal());
  const std::string prefix = rules.relativeToRoot ? rootPath : std::string();

  const std::string dataSource = ini.readString(rules.dataSourceSection, "DataSourceType", "");
  if (dataSource != rules.requiredDataSource)
    RaiseMigrationErrorFmt(kDataSourceTypeMessage, {dataSource});

  if (databaseFile) {
    *databaseFile = prefix + ini.readString("DataSource", "DatabaseFile", "");
    if (!FileExists(*databaseFile)) Fail(rules, rules.databaseMissing, *databaseFile);
  }

  const std::string storageType = ini.readString(rules.storageSection, "FileStorageType", "");
  if (storageType != "FileSystem") RaiseMigrationErrorFmt(kFileStorageTypeMessage, {storageType});
  fileRepositoryPath = prefix + ini.readString(rules.storageSection, "RootFolder", "");
  if (!DirectoryExists(fileRepositoryPath)) Fail(rules, rules.storageMissing, fileRepositoryPath);

  if (version) *version = rules.version(ini);
  fileRepositoryPath = IncludeTrailingPathDelimiter(fileRepositoryPath);
}

std::string Above(const std::string& rootPath) {
  return rootPath + "../" + kLocalVaultIni;
}

std::string ProductsVersion(const IniFile& ini) {
  const std::string server = ini.readString("Products", "Tavrin Vault Server", "");
  return server.empty() ? ini.readString("Products", "Tavrin Vault", "") : server;
}

}  // namespace

bool TVaultPathFinder::GetTVSInfo(const std::string& rootPath, std::string& databaseFile,
                                  std::string& fileRepositoryPath, std::string& version,
                                  bool soloVault) {
  const ReaderRules rules{{rootPath + "/" + kLocalVaultIni, Above(rootPath)},
                          soloVault ? "Solo" : "Tavrin",
                          "Could not find %s Vault configuration file %s",
                          "General",
                          "Firebird",
                          "Could not find %s Vault database file %s",
                          "Vault",
                          "Could not find %s Vault file storage directory %s",
                          false,
                          ProductsVersion};
  ReadVaultConfig(rules, rootPath, &databaseFile, fileRepositoryPath, &version);
  return true;
}

bool TVaultPathFinder::GetTVSInfoOra(const std::string& rootPath, std::string& fileRepositoryPath,
                                     std::string& version) {
  const ReaderRules rules{
      {Above(rootPath)},
      "",
      "Could not find Tavrin Vault configuration file %s",
      "General",
      "Oracle",
      nullptr,
      "Vault",
      "Could not find Tavrin Vault file storage directory %s",
      false,
      [](const IniFile& ini) { return ini.readString("Products", "Tavrin Vault", ""); }};
  ReadVaultConfig(rules, rootPath, nullptr, fileRepositoryPath, &version);
  return true;
}

bool TVaultPathFinder::GetSoloPaths(const std::string& rootPath, std::string& databaseFile,
                                    std::string& fileRepositoryPath, std::string& version) {
  const ReaderRules rules{
      {Above(rootPath)},
      "",
      "Could not find Solo Vault configuration file %s",
      "General",
      "Firebird",
      "Could not find Solo Vault database file %s",
      "Vault",
      "Could not find Solo Vault file storage directory %s",
      false,
      [](const IniFile& ini) { return ini.readString("General", "KelmServerVer", ""); }};
  ReadVaultConfig(rules, rootPath, &databaseFile, fileRepositoryPath, &version);
  return true;
}

bool TVaultPathFinder::GetOutpostPaths(const std::string& rootPath, std::string& databaseFile,
                                       std::string& fileRepositoryPath) {
  const ReaderRules rules{{rootPath + "_TavrinVaultResources/Private/Config.ini"},
                          "",
                          "Could not find OutpostVault configuration file %s",
                          "DataSource",
                          "Firebird",
                          "Could not find OutpostVault database file %s",
                          "FileStorage",
                          "Could not find OutpostVault file storage directory %s",
                          true,
                          nullptr};
  ReadVaultConfig(rules, rootPath, &databaseFile, fileRepositoryPath, nullptr);
  return true;
}

}  // namespace movrano
