#include "support/vaults/VaultLayout.h"

#include <sstream>

namespace movrano::testing {

namespace {

constexpr const char* kOutpostPrivate = "_TavrinVaultResources/Private";

VaultLayout InstalledLayout(const std::filesystem::path& install, const char* databaseName) {
  return {install / "Vault", install / "LocalVault.ini", install / "Database" / databaseName,
          install / "Revisions"};
}

}  // namespace

VaultLayout LayoutFor(VaultEdition edition, const std::filesystem::path& root) {
  switch (edition) {
    case VaultEdition::Outpost: {
      const auto vault = root / "Outpost Vault";
      const auto resources = vault / kOutpostPrivate;
      return {vault, resources / "Config.ini", resources / "Data" / "OUTPOST.FDB",
              resources / "FileStorage"};
    }
    case VaultEdition::Solo:
      return InstalledLayout(root / "Solo Vault", "SOLOVAULT.FDB");
    case VaultEdition::Server:
      return InstalledLayout(root / "Tavrin Vault", "VAULT.FDB");
  }
  return {};
}

std::string ConfigText(VaultEdition edition, const VaultLayout& layout) {
  std::ostringstream ini;
  if (edition == VaultEdition::Outpost) {
    const auto relative = [&](const std::filesystem::path& p) {
      return p.lexically_relative(layout.vaultFolder).generic_string();
    };
    ini << "[DataSource]\nDataSourceType=Firebird\nDatabaseFile=" << relative(layout.databaseFile)
        << "\n\n[FileStorage]\nFileStorageType=FileSystem\nRootFolder="
        << relative(layout.fileStorage) << "\n";
    return ini.str();
  }
  const std::string version = DefaultVaultVersion(edition);
  ini << "[General]\nDataSourceType=Firebird\n";
  if (edition == VaultEdition::Solo) ini << "KelmServerVer=" << version << "\n";
  ini << "\n[DataSource]\nDatabaseFile=" << layout.databaseFile.string()
      << "\n\n[Vault]\nFileStorageType=FileSystem\nRootFolder=" << layout.fileStorage.string()
      << "\n\n[Products]\n";
  if (edition == VaultEdition::Server) ini << "Tavrin Vault Server=" << version << "\n";
  ini << "Tavrin Vault=" << version << "\n";
  return ini.str();
}

}  // namespace movrano::testing
