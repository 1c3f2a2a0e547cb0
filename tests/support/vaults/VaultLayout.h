#pragma once
// Where a vault of each edition keeps its parts below a root folder, laid
// out as its installer does, and the configuration file the program reads.
//
// Server vault and Solo Vault: <root>/<install>/LocalVault.ini beside the
// vault folder <root>/<install>/Vault/, the database in Database/ and the
// file store in Revisions/ of the installation, named by absolute paths.
// Outpost vault: the vault folder <root>/Outpost Vault/ with
// _TavrinVaultResources/Private/Config.ini, which names the database and
// the file store relative to the vault folder.
#include <filesystem>
#include <string>

#include "support/vaults/VaultEdition.h"

namespace movrano::testing {

struct VaultLayout {
  std::filesystem::path vaultFolder;  // what the program is given
  std::filesystem::path configFile;
  std::filesystem::path databaseFile;
  std::filesystem::path fileStorage;
};

VaultLayout LayoutFor(VaultEdition edition, const std::filesystem::path& root);

// The configuration file's text for the layout.
std::string ConfigText(VaultEdition edition, const VaultLayout& layout);

}  // namespace movrano::testing
