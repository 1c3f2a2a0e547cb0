// The catalog migration in whole runs through the worker: the catalog
// update of a server vault and the Solo Vault migration with its catalog,
// against the loopback identity and catalog services.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "catalog/CatalogFixture.h"
#include "engine/EngineHarness.h"
#include "services/IDS.h"
#include "support/services/FakeIdentityService.h"
#include "support/services/ServiceTypes.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

namespace fs = std::filesystem;
using M = TMigrationMode;
using Lines = std::vector<std::string>;

const Lines kCatalogLog = {"Get manufacturer's items",
                           "Copy manufacturers",
                           "Done",
                           "Copy manufacturer's synonyms",
                           "Done",
                           "Copy manufacturer's categories",
                           "Done",
                           "Copy supplier's organizations",
                           "Done",
                           "Copy supplier's categories",
                           "Done",
                           "Copy catalog items",
                           "1/3",
                           "2/3",
                           "3/3"};

// The lines from `first` on.
Lines From(const RunResult& run, const std::string& first) {
  const int at = run.indexOf(first);
  return at < 0 ? Lines{} : Lines(run.lines.begin() + at, run.lines.end());
}

class CatalogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterServiceTypesOnce();
    identity_.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-C", "ACC-C", "U-C"});
    ServeSampleCatalog(catalog_);
    catalog_.RequireSession("SESSION-C");
  }

  RunRequest request(M mode, const SampleVault& dest) const {
    RunRequest r;
    r.MigrationMode = mode;
    r.DestVaultPath = dest.vaultFolder();
    r.IDSService = GetIDSPort(false, identity_.Url());
    r.CatalogEndpoint = catalog_.Url();
    return r;
  }
  RunRequest soloRequest(const SampleVault& dest) const {
    RunRequest r = request(M::mmSVSToTVS, dest);
    r.SourceDatabaseFile = solo_.databaseFile();
    r.SourceFileRepositoryPath = solo_.fileStorageFolder();
    return r;
  }

  static DatabaseRows Catalog(const SampleVault& vault) {
    return AsCopied(DumpTables(*vault.connect(), CatalogTables()));
  }
  DatabaseRows sampleCatalog() const {
    const SampleVault filled(VaultEdition::Server, SampleContent(PartCatalog::Filled));
    return Catalog(filled);
  }

  TestPlatform platform_;
  DeployedStatements statements_;
  FakeIdentityService identity_;
  FakeCatalogService catalog_;
  SampleVault solo_{VaultEdition::Solo};
};

TEST_F(CatalogRun, TheCatalogUpdateFillsAnEmptyCatalogFromTheService) {
  const SampleVault dest(VaultEdition::Server, SampleContent(PartCatalog::Empty));
  const int64_t items = CountRows(*dest.connect(), "TLU_ITEM");
  const RunResult run = RunMigration(request(M::mmUpdateTVSCatalog, dest));
  EXPECT_EQ(From(run, "Desination vault version - ZaredorEvovu-1.0.1"),
            Concat(Concat({"Desination vault version - ZaredorEvovu-1.0.1"}, kCatalogLog),
                   {"Migration succesfully finished"}));
  EXPECT_EQ(CatalogRowCount(*dest.connect()), 23);
  EXPECT_EQ(Catalog(dest), sampleCatalog());
  EXPECT_EQ(CountRows(*dest.connect(), "TLU_ITEM"), items);
  EXPECT_EQ(catalog_.Server().Requests().size(), 8u);
}

TEST_F(CatalogRun, TheCatalogUpdateRefusesACatalogThatHoldsRows) {
  const SampleVault dest(VaultEdition::Server, SampleContent(PartCatalog::Filled));
  const RunResult run = RunMigration(request(M::mmUpdateTVSCatalog, dest));
  EXPECT_EQ(From(run, "Desination vault version - ZaredorEvovu-1.0.1"),
            (Lines{"Desination vault version - ZaredorEvovu-1.0.1",
                   "ERROR - EMovrano Destination Catalog database is not empty - it already has "
                   "23 rows!",
                   "Import aborted"}));
  EXPECT_TRUE(catalog_.Server().Requests().empty());
}

TEST_F(CatalogRun, AnArchiveThatIsNoZipArchiveEndsTheCatalogUpdate) {
  const SampleVault dest(VaultEdition::Server, SampleContent(PartCatalog::Empty));
  const std::string archive = dest.fileStorageFolder() + "ItemRevisions/CMP-0002/CMP-0002.zip";
  std::ofstream(archive, std::ios::trunc) << "not a zip";
  const RunResult run = RunMigration(request(M::mmUpdateTVSCatalog, dest));
  EXPECT_EQ(From(run, "Get manufacturer's items"),
            (Lines{"Get manufacturer's items",
                   "ERROR - Exception Can not open file " + archive +
                       " as a ZIP archive: Not a zip archive",
                   "Import aborted"}));
  EXPECT_TRUE(catalog_.Server().Requests().empty());
}

TEST_F(CatalogRun, AMissingArchiveIsLoggedAndTheRunGoesOn) {
  const SampleVault dest(VaultEdition::Server, SampleContent(PartCatalog::Empty));
  const std::string archive = dest.fileStorageFolder() + "ItemRevisions/CMP-0001/CMP-0001.zip";
  fs::remove(archive);
  const RunResult run = RunMigration(request(M::mmUpdateTVSCatalog, dest));
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.lines[run.indexOf("Get manufacturer's items") + 1], archive + " - does not exist!");
  EXPECT_EQ(run.lines[run.lines.size() - 2], "1/1");
  EXPECT_EQ(CountRows(*dest.connect(), "CAT_MITEM"), 1);
}

TEST_F(CatalogRun, ACancellationDuringTheCopyRollsTheCatalogBack) {
  const SampleVault dest(VaultEdition::Server, SampleContent(PartCatalog::Empty));
  RunRequest r = request(M::mmUpdateTVSCatalog, dest);
  r.onLine = [](const std::string& line, TMigrationThread& worker) {
    if (line == "2/3") worker.Terminate();
  };
  const RunResult run = RunMigration(r);
  EXPECT_EQ(From(run, "2/3"), (Lines{"2/3", "ERROR - EMovrano Abort"}));
  EXPECT_EQ(CatalogRowCount(*dest.connect()), 0);
  EXPECT_EQ(catalog_.Server().CountOf("GETCat_FullItem"), 2u);
}

TEST_F(CatalogRun, TheSoloVaultMigrationCopiesTheVaultThenFillsItsCatalog) {
  const SampleVault dest(VaultEdition::Server, FreshInstall(PartCatalog::Empty));
  const RunResult run = RunMigration(soloRequest(dest));
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_LT(run.indexOf("File storage copying finished"), run.indexOf("Start copy TLU_Folder"));
  EXPECT_EQ(From(run, "Start copy Organizations").size(), 1 + kCatalogLog.size() + 1);
  EXPECT_EQ(From(run, "Get manufacturer's items"),
            Concat(kCatalogLog, {"Migration succesfully finished"}));
  EXPECT_EQ(Catalog(dest), sampleCatalog());
  EXPECT_EQ(CountRows(*dest.connect(), "TLU_ITEM"), CountRows(*solo_.connect(), "TLU_ITEM"));
  EXPECT_TRUE(fs::exists(dest.fileStorageFolder() + "ItemRevisions/CMP-0001/CMP-0001.zip"));
  EXPECT_EQ(identity_.Logins().size(), 1u);
}

TEST_F(CatalogRun, AFailedCatalogKeepsTheCopiedVaultData) {
  const SampleVault dest(VaultEdition::Server, FreshInstall(PartCatalog::Empty));
  catalog_.Server().FailAlways("GETCat_FullItem", Failure::Fault("Catalog item store offline"));
  const RunResult run = RunMigration(soloRequest(dest));
  EXPECT_EQ(From(run, "Copy catalog items"),
            (Lines{"Copy catalog items", "ERROR - ERemotableException Catalog item store offline",
                   "Import aborted"}));
  auto connection = dest.connect();
  EXPECT_EQ(CatalogRowCount(*connection), 0);
  EXPECT_EQ(CountRows(*connection, "TLU_ITEM"), CountRows(*solo_.connect(), "TLU_ITEM"));
}

TEST_F(CatalogRun, ADestinationWithoutCatalogEndsTheSoloVaultMigrationNormally) {
  const SampleVault dest(VaultEdition::Server, FreshInstall(PartCatalog::None));
  const RunResult run = RunMigration(soloRequest(dest));
  EXPECT_EQ(From(run, "Start copy Organizations"),
            (Lines{"Start copy Organizations", "There is no Part Catalog in this TVS version.",
                   "Migration succesfully finished"}));
  EXPECT_TRUE(catalog_.Server().Requests().empty());
}

}  // namespace
}  // namespace movrano::testing
