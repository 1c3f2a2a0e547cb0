// Every edition's sample builds with its layout, configuration file and
// file store, from a copy of a database that holds what its scripts make.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "support/db/FirebirdFixture.h"
#include "support/platform/TempDir.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"
#include "support/vaults/VaultRecipe.h"

namespace movrano::testing {
namespace {

namespace fs = std::filesystem;

struct BuildCase {
  const char* name;
  VaultEdition edition;
  VaultOptions options;
  size_t tables;
};

void PrintTo(const BuildCase& c, std::ostream* out) {
  *out << c.name;
}

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

class SampleVaultBuild : public ::testing::TestWithParam<BuildCase> {};

TEST_P(SampleVaultBuild, HasItsTablesLayoutAndFiles) {
  const BuildCase& c = GetParam();
  SampleVault vault(c.edition, c.options);
  auto connection = vault.connect();
  const DatabaseRows tables = DumpTables(*connection);
  EXPECT_EQ(tables.size(), c.tables);
  if (c.options.content == VaultContent::Sample) {
    for (const auto& [name, rows] : tables)
      EXPECT_FALSE(rows.rows.empty()) << name;
  }

  const std::string config = ReadFileBytes(vault.configFile());
  EXPECT_TRUE(fs::is_directory(vault.vaultFolder()));
  EXPECT_TRUE(fs::exists(vault.databaseFile()));
  EXPECT_EQ(vault.fileStorageFolder().back(), '/');
  if (c.edition == VaultEdition::Outpost) {
    // Config.ini names both relative to the vault folder.
    EXPECT_EQ(vault.configFile(), vault.vaultFolder() + "_TavrinVaultResources/Private/Config.ini");
    EXPECT_NE(config.find("DatabaseFile=_TavrinVaultResources/Private/Data/OUTPOST.FDB\n"),
              std::string::npos);
    EXPECT_NE(config.find("[FileStorage]\nFileStorageType=FileSystem\n"), std::string::npos);
  } else {
    // LocalVault.ini lies one folder above the vault folder.
    EXPECT_EQ(fs::path(vault.configFile()).parent_path(),
              fs::path(vault.vaultFolder()).parent_path().parent_path());
    EXPECT_NE(config.find("DatabaseFile=" + vault.databaseFile() + "\n"), std::string::npos);
    const std::string storage = vault.fileStorageFolder();
    EXPECT_NE(config.find("RootFolder=" + storage.substr(0, storage.size() - 1) + "\n"),
              std::string::npos);
    EXPECT_NE(config.find("[General]\nDataSourceType=Firebird\n"), std::string::npos);
    EXPECT_NE(config.find("Tavrin Vault=" + DefaultVaultVersion(c.edition)), std::string::npos);
  }

  const fs::path store = vault.fileStorageFolder();
  const bool sample = c.options.content == VaultContent::Sample;
  EXPECT_EQ(fs::exists(store / ".vaultindex"), sample);
  EXPECT_EQ(fs::exists(store / "ItemRevisions/CMP-0001/CMP-0001.zip"), sample);
  EXPECT_EQ(fs::exists(store / "Documents/Übersicht.pdf"), sample);
  EXPECT_EQ(fs::is_empty(store), !sample);
}

INSTANTIATE_TEST_SUITE_P(
    Editions, SampleVaultBuild,
    ::testing::Values(BuildCase{"OutpostSample", VaultEdition::Outpost, SampleContent(), 24},
                      BuildCase{"SoloSample", VaultEdition::Solo, SampleContent(), 29},
                      BuildCase{"ServerSample", VaultEdition::Server,
                                SampleContent(PartCatalog::Filled), 49},
                      BuildCase{"ServerFresh", VaultEdition::Server, FreshInstall(), 49},
                      BuildCase{"ServerWithoutPartCatalog", VaultEdition::Server,
                                FreshInstall(PartCatalog::None), 40},
                      BuildCase{"SoloFresh", VaultEdition::Solo, FreshInstall(), 29}),
    CaseName<BuildCase>);

TEST(SampleVault, SampleDatabaseKeepsNullsEmptiesAndBytesApart) {
  SampleVault vault(VaultEdition::Solo);
  auto connection = vault.connect();
  const TableRows types = DumpTable(*connection, "TLU_FOLDERTYPE");
  const size_t icon = 4, description = 3;
  ASSERT_EQ(types.columns[icon], "ICON");
  ASSERT_EQ(types.rows.size(), 3u);
  EXPECT_EQ(types.rows[0][icon], std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
  EXPECT_EQ(types.rows[1][icon], std::nullopt);
  EXPECT_EQ(types.rows[2][icon], std::string());
  EXPECT_EQ(types.rows[1][description], std::nullopt);
  EXPECT_EQ(types.rows[2][description], "Design projects – Entwürfe");

  // What the copy makes of them.
  const TableRows copied = AsCopied(types);
  EXPECT_EQ(copied.rows[1][description], std::string());
  EXPECT_EQ(copied.rows[2][icon], std::nullopt);
}

// A sample's database is a copy of one built once: it holds what a build
// from the scripts holds, belongs to the server's user as a built one
// does, and no sample sees another's changes.
TEST(SampleVault, ACopiedDatabaseHoldsWhatABuiltOneHoldsAndIsItsSamplesAlone) {
  VaultOptions options = SampleContent();
  options.versions = VersionTables::Outdated;
  const SampleVault first(VaultEdition::Solo, options);
  const SampleVault second(VaultEdition::Solo, options);
  const VaultRecipe recipe = RecipeFor(VaultEdition::Solo, options);
  const VaultDatabase built(FirebirdTempFolder() + "/built-" + std::to_string(::getpid()) + ".fdb");
  for (const auto& script : recipe.schemaScripts)
    built.run(ReadFileBytes(VaultDataFolder() / script), false);
  for (const auto* scripts : {&recipe.rowScripts, &recipe.shapeScripts})
    for (const auto& script : *scripts)
      built.run(ReadFileBytes(VaultDataFolder() / script), true);
  const DatabaseRows expected = DumpTables(*built.connect());
  EXPECT_EQ(DumpTables(*first.connect()), expected);

  struct stat copy {
  }, original{};
  ASSERT_EQ(::stat(first.databaseFile().c_str(), &copy), 0);
  ASSERT_EQ(::stat(built.path().c_str(), &original), 0);
  EXPECT_EQ(copy.st_uid, original.st_uid);
  EXPECT_EQ(copy.st_gid, original.st_gid);
  EXPECT_EQ(copy.st_mode, original.st_mode);

  first.connect()->executeDirect("UPDATE TBL_VERSION SET VERSIONVALUE = 'changed'");
  EXPECT_NE(DumpTable(*first.connect(), "TBL_VERSION"), expected.at("TBL_VERSION"));
  EXPECT_EQ(DumpTables(*second.connect()), expected);
}

// The finished database is copied only once the server has closed it.
TEST(VaultDatabase, WaitsUntilTheServerHasClosedTheFile) {
  const TempFirebirdDatabase database("held");
  std::unique_ptr<db::Connection> connection = database.connect();
  std::atomic<bool> detached{false};
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    detached = true;
    connection.reset();
  });
  WaitUntilClosed(database.path());
  EXPECT_TRUE(detached);
  closer.join();
}

}  // namespace
}  // namespace movrano::testing
