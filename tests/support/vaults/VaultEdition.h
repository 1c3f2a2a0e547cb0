#pragma once
// The vault editions sample vaults come in, and the choices a test makes
// about a sample's database.
#include <ostream>
#include <string>
#include <vector>

namespace movrano::testing {

enum class VaultEdition { Outpost, Solo, Server };

const char* VaultEditionName(VaultEdition edition);  // "Outpost", "Solo", "Server"
inline void PrintTo(VaultEdition edition, std::ostream* out) {
  *out << VaultEditionName(edition);
}

enum class VaultContent {
  FreshInstall,  // what the installer leaves: the vault row, versions, default organisation
  Sample,        // the sample vault: every table holds rows
};

// The shapes of the schema version table that the version gates tell apart.
// An Outpost vault has no such table and is always Current.
enum class VersionTables {
  Current,
  Outdated,           // an earlier release: no TBL_VERSION2 at all
  UnfinishedUpgrade,  // TBL_VERSION2's "Database" row has an empty version
};

// Server vault only; the other editions never have a part catalog.
enum class PartCatalog { None, Empty, Filled };

struct VaultOptions {
  VaultContent content = VaultContent::Sample;
  VersionTables versions = VersionTables::Current;
  PartCatalog partCatalog = PartCatalog::Empty;
  std::string vaultVersion;  // replaces the edition's vault version text when not empty
  // With the sample: rows at the edges of what a vault holds (seed/sample-edges.sql) and, in
  // the file store, files whose names are as long as the file system allows (EdgeFileNames()).
  bool edges = false;
};

// The two usual choices: a freshly installed destination, a sample source.
inline VaultOptions FreshInstall(PartCatalog catalog = PartCatalog::Empty) {
  return {VaultContent::FreshInstall, VersionTables::Current, catalog, ""};
}
inline VaultOptions SampleContent(PartCatalog catalog = PartCatalog::Empty) {
  return {VaultContent::Sample, VersionTables::Current, catalog, ""};
}

// A sample source with the edge rows and files.
inline VaultOptions SampleWithEdges() {
  VaultOptions o = SampleContent();
  o.edges = true;
  return o;
}

// The file store's long-named files of a sample with edges, relative to
// its root: 255 bytes of ASCII, of two-byte and of four-byte UTF-8
// characters, and a 236-byte name in a nested folder.
const std::vector<std::string>& EdgeFileNames();

// The vault version text each edition's installer writes into TBL_VERSION.
std::string DefaultVaultVersion(VaultEdition edition);

// The organisation every Solo Vault and server vault installation starts with.
inline constexpr const char* kDefaultOrganisationGuid = "46d061bc-5bd6-481d-96b0-a12256ee7e56";
// The identity service's organisation of the Outpost sample's rights; the
// Solo Vault sample has it as its second organisation.
inline constexpr const char* kSampleOrganisationGuid = "c5d6e7f8-1a2b-4c3d-9e4f-5a6b7c8d9e01";

// The users the samples refer to: the Outpost sample by GUID only (its
// rows' authors and its user-scoped rights; the last one appears only in
// rights), the Solo Vault sample as its own IDS_USER rows.
const std::vector<std::string>& SampleUserGuids();

}  // namespace movrano::testing
