// Solo Vault to server vault without the identity service, end to end
// through the worker, on real vaults.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "services/IDS.h"
#include "support/db/FirebirdFixture.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kSoloCaptions = {"TLU_Folder",
                                                "ContentType",
                                                "DataFile",
                                                "DataFolder",
                                                "FolderParameter",
                                                "FolderType",
                                                "Item",
                                                "ItemLink",
                                                "ItemLinkParameter",
                                                "ItemRevision",
                                                "ItemRevisionLink",
                                                "ItemRevisionLinkParameter",
                                                "ItemRevisionParameter",
                                                "LifeCycleDefenition",
                                                "LifeCycleStage",
                                                "LifeCycleState",
                                                "LifeCycleStateChange",
                                                "LifeCycleStateTransition",
                                                "RevisionNameLevel",
                                                "RevisionNamingScheme",
                                                "AcquisitionPointer",
                                                "ACLDataFull",
                                                "Users",
                                                "Groups",
                                                "Membership",
                                                "Organizations"};

std::set<std::string> FilesBelow(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), root).string());
  }
  return files;
}

class SoloOffline : public ::testing::Test {
 protected:
  void SetUp() override { RegisterIDSTypes(); }

  RunRequest request() const {
    RunRequest r;
    r.mode = TMigrationMode::mmSVSToTVSOffline;
    r.sourceDatabaseFile = source_.databaseFile();
    r.sourceStoragePath = source_.fileStorageFolder();
    r.destVaultPath = dest_.vaultFolder();
    return r;
  }

  DatabaseRows destTables() { return DumpTables(*dest_.connect()); }

  TestPlatform platform_;
  DeployedStatements statements_;
  SampleVault source_{VaultEdition::Solo};
  SampleVault dest_{VaultEdition::Server, FreshInstall()};
};

TEST_F(SoloOffline, CopiesEveryTableTheFilesAndTheVaultIdentity) {
  const RunResult run = RunMigration(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.copyCaptions(), kSoloCaptions);
  EXPECT_EQ(run.events.front(), "busy");
  EXPECT_EQ(run.events.back(), "idle");
  EXPECT_EQ(run.lineStartingWith("Retreiving"), "");

  const auto expected = AsCopied(DumpTables(*source_.connect(), SoloPlanTables()));
  const auto copied = DumpTables(*dest_.connect(), SoloPlanTables());
  for (const auto& table : SoloPlanTables()) {
    SCOPED_TRACE(table);
    EXPECT_FALSE(expected.at(table).rows.empty());
    EXPECT_EQ(copied.at(table), expected.at(table));
  }

  auto src = source_.connect();
  db::Query sourceVault(*src);
  sourceVault.setSql("select GUID, HRID, DESCRIPTION from TLU_VAULT");
  sourceVault.open();
  auto dst = dest_.connect();
  db::Query destVault(*dst);
  destVault.setSql("select GUID, HRID, DESCRIPTION from TLU_VAULT");
  destVault.open();
  EXPECT_EQ(destVault.field(0).asString(), sourceVault.field(0).asString());
  EXPECT_EQ(destVault.field(1).asString(), sourceVault.field(1).asString() + "(migrated)");
  EXPECT_EQ(destVault.field(2).asString(), sourceVault.field(2).asString() + "(migrated)");
  EXPECT_NE(run.indexOf("Dest vault updated to GUID=" + sourceVault.field(0).asString() +
                        " HRID=" + sourceVault.field(1).asString() +
                        " Description=" + sourceVault.field(2).asString()),
            -1);

  const auto sourceFiles = FilesBelow(source_.fileStorageFolder());
  EXPECT_FALSE(sourceFiles.empty());
  for (const auto& f : sourceFiles) {
    EXPECT_TRUE(FilesBelow(dest_.fileStorageFolder()).contains(f)) << f;
  }
  EXPECT_EQ(run.lines.back(), "Migration succesfully finished");
}

TEST_F(SoloOffline, AFailureAtTheTenthStepLeavesTheDestinationAsItWasButKeepsTheFiles) {
  // The destination refuses one item revision of the source.
  auto src = source_.connect();
  db::Query first(*src);
  first.setSql("select min(HRID) from TLU_ITEMREVISION");
  first.open();
  const std::string refused = first.field(0).asString();
  dest_.connect()->executeDirect(
      "alter table TLU_ITEMREVISION add constraint CK_REFUSED check (HRID <> '" + refused + "')");
  const DatabaseRows before = destTables();

  const RunResult run = RunMigration(request());
  EXPECT_FALSE(run.succeeded());
  EXPECT_EQ(run.copyCaptions().size(), 10u);
  EXPECT_EQ(run.copyCaptions().back(), "ItemRevision");
  const std::string failure = run.lineStartingWith("Error inserting ");
  EXPECT_NE(failure.find("HRID=" + refused + ", "), std::string::npos) << failure;
  EXPECT_EQ(run.lines[run.lines.size() - 2].rfind("ERROR - EZSQLException ", 0), 0u);
  EXPECT_EQ(run.lines.back(), "Import aborted");

  EXPECT_EQ(destTables(), before);
  EXPECT_FALSE(FilesBelow(dest_.fileStorageFolder()).empty());
}

TEST_F(SoloOffline, ASourceWithoutItsVaultRowIsRefusedBeforeAnythingIsWritten) {
  source_.connect()->executeDirect("delete from TLU_VAULT");
  const DatabaseRows before = destTables();
  const RunResult run = RunMigration(request());
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano The source vault has no vault record (statement sql_vault_info).");
  EXPECT_EQ(destTables(), before);
}

TEST_F(SoloOffline, ACancellationAtAProgressReportRollsBackEverything) {
  // Enough rows for progress reports: 300 more content types.
  source_.connect()->executeDirect(
      "execute block as declare i integer = 0; begin while (i < 300) do begin "
      "insert into TLU_CONTENTTYPE (GUID, HRID, NAME, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) "
      "values (uuid_to_char(gen_uuid()), 'BULK-' || :i, 'Bulk ' || :i, current_timestamp, "
      "'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f602', current_timestamp); i = i + 1; end end");
  const DatabaseRows before = destTables();
  RunRequest r = request();
  r.onProgress = [](const std::string&, int32_t, TMigrationThread& worker) { worker.Terminate(); };
  const RunResult run = RunMigration(r);
  ASSERT_EQ(run.progress.size(), 1u);
  EXPECT_EQ(run.progress[0].first, "Copying data from ContentType");
  EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort");
  EXPECT_EQ(run.indexOf("Import aborted"), -1);
  EXPECT_EQ(run.events.back(), "idle");
  EXPECT_EQ(destTables(), before);
  EXPECT_FALSE(FilesBelow(dest_.fileStorageFolder()).empty());
}

}  // namespace
}  // namespace movrano::testing
