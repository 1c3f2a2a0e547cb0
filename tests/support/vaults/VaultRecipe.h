#pragma once
// The scripts that make an edition's database, and where the sample data
// lies in the source tree.
#include <filesystem>
#include <string>
#include <vector>

#include "support/vaults/VaultEdition.h"

namespace movrano::testing {

struct VaultRecipe {
  std::vector<std::string> schemaScripts;  // below VaultDataFolder(), in order
  std::vector<std::string> rowScripts;     // run after the schema, in order
  std::string fileStore;                   // folder to copy as the file store; empty: none
  // Run last: the version tables' shape, which many samples share the
  // rest of the database with.
  std::vector<std::string> shapeScripts = {};
};

// Throws std::invalid_argument for options the edition cannot have.
VaultRecipe RecipeFor(VaultEdition edition, const VaultOptions& options);

// tests/support/vaults in the source tree: schema/, seed/ and filestore/.
std::filesystem::path VaultDataFolder();

}  // namespace movrano::testing
