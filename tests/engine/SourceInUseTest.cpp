// A source vault that is still in use while a run reads it, in the modes
// that copy its tables: what another session checks in after the run's
// snapshot began stays out of the destination, and data file rows whose
// file the destination's storage lacks end the run and leave the
// destination's database as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "engine/VaultMigrationManager.h"
#include "services/IDS.h"
#include "support/services/FakeIdentityService.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

namespace fs = std::filesystem;
using M = TMigrationMode;

// A revision's archive checked in through the vault's own connection: its
// data folder, its data file row and the archive in the file storage.
void CheckInArchive(const SampleVault& vault, const std::string& hrid) {
  const auto c = vault.connect();
  c->executeDirect(
      "insert into TLU_DATAFOLDER (GUID, HRID, PARENTDATAFOLDERGUID, NAME, RELATIVEPATH, "
      "CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) values ('{LATE-FOLDER}', 'DF-" +
      hrid + "', '{01050005-3C5E-4A7B-9D1F-2E4A6C8B0D1F}', '" + hrid + "', 'ItemRevisions/" + hrid +
      "', '2024-06-01 12:00:00', 'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f601', " +
      "'2024-06-01 12:00:00')");
  c->executeDirect(
      "insert into TLU_DATAFILE (GUID, HRID, DATAFOLDERGUID, CONTENTTYPEGUID, FILENAME, "
      "FILESIZE, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) values ('{LATE-FILE}', 'DATA-" +
      hrid + "', '{LATE-FOLDER}', '{01040001-3C5E-4A7B-9D1F-2E4A6C8B0D1F}', '" + hrid +
      ".zip', 4, '2024-06-01 12:00:00', 'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f601', " +
      "'2024-06-01 12:00:00')");
  const fs::path folder = fs::path(vault.fileStorageFolder()) / "ItemRevisions" / hrid;
  fs::create_directories(folder);
  std::ofstream(folder / (hrid + ".zip"), std::ios::binary) << "late";
}

int32_t Count(const SampleVault& vault, const std::string& sql) {
  const auto c = vault.connect();
  db::Query q(*c);
  q.setSql(sql);
  q.open();
  return q.field(0).asInteger();
}

class SourceInUse : public ::testing::TestWithParam<M> {
 protected:
  void SetUp() override {
    RegisterIDSTypes();
    platform_.services->addService(kOutpostServiceName, {ServiceState::Running});
    identity_.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-9", "ACC-9", "U-9"});
  }

  RunRequest request() const {
    RunRequest r = VaultRunRequest(GetParam(), source_, dest_);
    if (GetParam() != M::mmSVSToTVSOffline) r.IDSService = GetIDSPort(false, identity_.Url());
    return r;
  }

  TestPlatform platform_;
  DeployedStatements statements_;
  FakeIdentityService identity_;
  SampleVault source_{GetParam() == M::mmSVSToTVSOffline ? VaultEdition::Solo
                                                         : VaultEdition::Outpost};
  SampleVault dest_{VaultEdition::Server, FreshInstall()};
};

TEST_P(SourceInUse, WhatIsCheckedInAfterTheSnapshotBeganStaysOutAndTheRunIsWhole) {
  const auto before = DumpTables(*source_.connect(), {"TLU_DATAFILE", "TLU_DATAFOLDER"});
  RunRequest r = request();
  // Once the storage is copied: the archive is in the source's storage
  // only, and its rows are committed before the tables are read.
  r.onLine = [this](const std::string& line, TMigrationThread&) {
    if (line == "File storage copying finished") CheckInArchive(source_, "CMP-0003");
  };
  const RunResult run = RunMigration(r);
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);

  EXPECT_EQ(Count(source_, "select count(*) from TLU_DATAFILE where GUID = '{LATE-FILE}'"), 1);
  EXPECT_EQ(DumpTables(*dest_.connect(), {"TLU_DATAFILE", "TLU_DATAFOLDER"}), AsCopied(before));
  EXPECT_FALSE(fs::exists(fs::path(dest_.fileStorageFolder()) / "ItemRevisions" / "CMP-0003"));
}

TEST_P(SourceInUse, AFileThatLeavesTheSourceAfterTheSnapshotBeganEndsTheRunNamingIt) {
  const DatabaseRows before = DumpTables(*dest_.connect());
  RunRequest r = request();
  // Between the snapshot and the storage copy: the rows still name the
  // archive, the copy finds it gone.
  r.onLine = [this](const std::string& line, TMigrationThread&) {
    if (line.rfind("Start FileStorage copying from ", 0) == 0) {
      fs::remove(fs::path(source_.fileStorageFolder()) / "ItemRevisions/CMP-0002/CMP-0002.zip");
    }
  };
  const RunResult run = RunMigration(r);
  ASSERT_FALSE(run.succeeded());
  EXPECT_EQ(run.lines.back(), "Import aborted");
  const std::string found = "Found destination file storage folder  ";
  const std::string storage = run.lineStartingWith(found).substr(found.size());
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano The destination file storage " + storage +
                " has no file \"ItemRevisions/CMP-0002/CMP-0002.zip\" that the copied data file "
                "rows name (data files missing: 1): the source vault changed during the "
                "migration, or its file storage lacks the file.");
  // Checked once every row was written, before the commit.
  EXPECT_LT(run.indexOf(GetParam() == M::mmSVSToTVSOffline ? "Start copy Organizations"
                                                           : "Saving groups"),
            static_cast<int>(run.lines.size()) - 2);
  EXPECT_EQ(DumpTables(*dest_.connect()), before);
}

INSTANTIATE_TEST_SUITE_P(Modes, SourceInUse,
                         ::testing::Values(M::mmSVSToTVSOffline, M::mmOutpostToTVS),
                         [](const auto& info) { return MigrationModeName(info.param); });

// The rows the storage check takes as naming no file of the storage.
class DataFileRows : public ::testing::Test {
 protected:
  void SetUp() override { RegisterIDSTypes(); }

  TestPlatform platform_;
  DeployedStatements statements_;
  SampleVault source_{VaultEdition::Solo};
  SampleVault dest_{VaultEdition::Server, FreshInstall()};
};

TEST_F(DataFileRows, ThatLeaveTheStorageOrNameAFolderEndTheRun) {
  // The file each path would reach exists, outside or as a folder.
  std::ofstream(fs::path(dest_.fileStorageFolder()).parent_path().parent_path() / "outside.zip")
      << "x";
  const struct {
    std::string folder;
    std::string name;
    std::string named;
  } cases[] = {
      {"..", "outside.zip", "../outside.zip"},
      {"Documents/..", "../outside.zip", "Documents/../../outside.zip"},
      {"", "ItemRevisions", "ItemRevisions"},
      {dest_.fileStorageFolder(), "ItemRevisions/CMP-0001/CMP-0001.zip",
       dest_.fileStorageFolder() + "ItemRevisions/CMP-0001/CMP-0001.zip"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named);
    const auto src = source_.connect();
    src->executeDirect("update TLU_DATAFOLDER set RELATIVEPATH = '" + c.folder +
                       "' where HRID = 'DF-DOCUMENTS'");
    src->executeDirect("update TLU_DATAFILE set FILENAME = '" + c.name +
                       "' where HRID = 'DATA-OVERVIEW'");
    const RunResult run = RunMigration(VaultRunRequest(M::mmSVSToTVSOffline, source_, dest_));
    ASSERT_FALSE(run.succeeded());
    EXPECT_NE(run.lines[run.lines.size() - 2].find("has no file \"" + c.named + "\""),
              std::string::npos)
        << run.lines[run.lines.size() - 2];
    EXPECT_EQ(Count(dest_, "select count(*) from TLU_DATAFILE"), 0);
  }
}

}  // namespace
}  // namespace movrano::testing
