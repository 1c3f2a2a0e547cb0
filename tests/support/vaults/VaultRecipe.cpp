#include "support/vaults/VaultRecipe.h"

#include <stdexcept>

namespace movrano::testing {

namespace {

void AddVersionShape(VersionTables versions, std::vector<std::string>& rows) {
  if (versions == VersionTables::Outdated) rows.push_back("seed/outdated.sql");
  if (versions == VersionTables::UnfinishedUpgrade) rows.push_back("seed/upgrade-unfinished.sql");
}

VaultRecipe OutpostRecipe(const VaultOptions& options) {
  if (options.versions != VersionTables::Current) {
    throw std::invalid_argument("An Outpost vault has no schema version table");
  }
  VaultRecipe r{{"schema/shared.sql", "schema/outpost.sql"}, {"seed/install-outpost.sql"}, ""};
  if (options.content == VaultContent::Sample) {
    r.rowScripts.insert(r.rowScripts.end(), {"seed/sample-content.sql", "seed/sample-outpost.sql"});
  }
  return r;
}

VaultRecipe SoloRecipe(const VaultOptions& options) {
  VaultRecipe r{{"schema/shared.sql", "schema/solo.sql"}, {"seed/install-solo.sql"}, ""};
  if (options.content == VaultContent::Sample) {
    r.rowScripts.insert(r.rowScripts.end(), {"seed/sample-content.sql", "seed/sample-solo.sql"});
  }
  return r;
}

VaultRecipe ServerRecipe(const VaultOptions& options) {
  VaultRecipe r{{"schema/shared.sql", "schema/solo.sql", "schema/server.sql"},
                {"seed/install-server.sql"},
                ""};
  if (options.partCatalog != PartCatalog::None) r.schemaScripts.push_back("schema/partcatalog.sql");
  if (options.content == VaultContent::Sample) {
    r.rowScripts.insert(r.rowScripts.end(), {"seed/sample-content.sql", "seed/sample-solo.sql",
                                             "seed/sample-server.sql"});
  }
  if (options.partCatalog == PartCatalog::Filled)
    r.rowScripts.push_back("seed/sample-partcatalog.sql");
  return r;
}

}  // namespace

const char* VaultEditionName(VaultEdition edition) {
  switch (edition) {
    case VaultEdition::Outpost:
      return "Outpost";
    case VaultEdition::Solo:
      return "Solo";
    case VaultEdition::Server:
      return "Server";
  }
  return "?";
}

std::string DefaultVaultVersion(VaultEdition edition) {
  return edition == VaultEdition::Outpost ? "TavrinVault-1.0.1" : "ZaredorEvovu-1.0.1";
}

const std::vector<std::string>& SampleUserGuids() {
  static const std::vector<std::string> guids = {
      "a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f601",
      "a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f602",
      "a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f603",
      "a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f604",
  };
  return guids;
}

const std::vector<std::string>& EdgeFileNames() {
  auto repeat = [](const std::string& unit, size_t times) {
    std::string s;
    for (size_t i = 0; i < times; ++i)
      s += unit;
    return s;
  };
  static const std::vector<std::string> names = {
      "Documents/" + repeat("Datenblatt-", 22) + "Rev-A-fin.pdf",  // 255 bytes
      "Documents/" + repeat("\xc3\xbc", 125) + "a.pdf",            // 255 bytes, 2-byte characters
      "Documents/" + repeat("\xf0\x9f\x93\x90", 63) + "a.b",       // 255 bytes, 4-byte characters
      "Documents/Archive/2019/" + repeat("x", 232) + ".zip",       // 236 bytes
  };
  return names;
}

VaultRecipe RecipeFor(VaultEdition edition, const VaultOptions& options) {
  if (edition != VaultEdition::Server && options.partCatalog == PartCatalog::Filled) {
    throw std::invalid_argument("Only a server vault has a part catalog");
  }
  VaultRecipe r = edition == VaultEdition::Outpost ? OutpostRecipe(options)
                  : edition == VaultEdition::Solo  ? SoloRecipe(options)
                                                   : ServerRecipe(options);
  if (options.edges) {
    if (options.content != VaultContent::Sample || edition == VaultEdition::Server) {
      throw std::invalid_argument("Only a sample source has the edge rows");
    }
    r.rowScripts.push_back("seed/sample-edges.sql");
  }
  AddVersionShape(options.versions, r.shapeScripts);
  if (options.content == VaultContent::Sample) r.fileStore = "filestore/sample";
  return r;
}

std::filesystem::path VaultDataFolder() {
  return MOVRANO_VAULTS_DATA_DIR;
}

}  // namespace movrano::testing
