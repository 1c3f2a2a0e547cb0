// Solo Vault to server vault without the identity service, end to end
// through the worker, on real vaults.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>

#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "services/IDS.h"
#include "support/db/FirebirdFixture.h"
#include "support/platform/FileSystemFaults.h"
#include "support/platform/TempDir.h"
#include "support/vaults/PlanTables.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

namespace fs = std::filesystem;

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
    return VaultRunRequest(TMigrationMode::mmSVSToTVSOffline, source_, dest_);
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
  EXPECT_EQ(run.copyCaptions(), SoloCopyCaptions());
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

TEST_F(SoloOffline, AStoreFileThatCannotBeCopiedEndsTheRunBeforeAnyRowIsWritten) {
  const fs::path large = fs::path(source_.fileStorageFolder()) / "ItemRevisions" / "large.zip";
  std::ofstream(large, std::ios::binary) << std::string(256 * 1024, 'L');
  const DatabaseRows before = destTables();
  RunResult run;
  {
    FileSizeLimit limit(128 * 1024);
    run = RunMigration(request());
  }
  ASSERT_GE(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[run.lines.size() - 2], "ERROR - EMovrano Could not copy \"" + large.string() +
                                                 "\" into the file storage: File too large "
                                                 "(entries not copied: 1)");
  EXPECT_EQ(run.lines.back(), "Import aborted");
  EXPECT_EQ(run.indexOf("File storage copying finished"), -1);
  EXPECT_TRUE(run.copyCaptions().empty());
  EXPECT_EQ(destTables(), before);
  EXPECT_FALSE(fs::exists(fs::path(dest_.fileStorageFolder()) / "ItemRevisions" / "large.zip"));
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

TEST_F(SoloOffline, CopiesAStoreWhoseNameDiffersOnlyInCase) {
  // The source's files in a sibling of the destination store whose name
  // differs from it only in case: another folder.
  const fs::path store = fs::path(dest_.fileStorageFolder()).parent_path();
  fs::path sibling = store.parent_path() / store.filename().string();
  std::string name = sibling.filename().string();
  for (char& c : name)
    c = std::isupper(static_cast<unsigned char>(c)) ? std::tolower(c) : std::toupper(c);
  sibling.replace_filename(name);
  fs::copy(source_.fileStorageFolder(), sibling, fs::copy_options::recursive);
  RunRequest r = request();
  r.SourceFileRepositoryPath = sibling.string() + "/";

  const RunResult run = RunMigration(r);
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_NE(
      run.lineStartingWith("Start FileStorage copying from " + r.SourceFileRepositoryPath + " to "),
      "");
  EXPECT_EQ(FilesBelow(dest_.fileStorageFolder()), FilesBelow(sibling));
}

TEST_F(SoloOffline, LeavesTheStoreAloneWhenTheSourceIsTheSameFolderThroughALink) {
  const fs::path store = fs::path(dest_.fileStorageFolder()).parent_path();
  // The one storage holds the files the rows name.
  fs::copy(source_.fileStorageFolder(), store, fs::copy_options::recursive);
  const fs::path link = store.parent_path() / "StoreLink";
  fs::create_directory_symlink(store, link);
  RunRequest r = request();
  r.SourceFileRepositoryPath = link.string() + "/";

  const RunResult run = RunMigration(r);
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.lineStartingWith("Start FileStorage copying"), "");
  EXPECT_EQ(run.lineStartingWith("File storage copying finished"), "");
}

// What a file store entry is, as far as a copy must keep it.
struct StoreEntry {
  fs::file_type type;
  std::string contents;          // a file's bytes, a link's target
  std::optional<int64_t> mtime;  // nanoseconds; files and folders
  friend bool operator==(const StoreEntry&, const StoreEntry&) = default;
};

void PrintTo(const StoreEntry& e, std::ostream* out) {
  *out << "{type " << static_cast<int>(e.type) << ", " << e.contents.size() << " bytes, mtime "
       << (e.mtime ? std::to_string(*e.mtime) : "-") << "}";
}

// Every entry below the root (the root itself as ".").
std::map<std::string, StoreEntry> StoreTree(const fs::path& root) {
  auto entry = [](const fs::path& p) {
    StoreEntry e{fs::symlink_status(p).type(), "", std::nullopt};
    if (e.type == fs::file_type::symlink) {
      e.contents = fs::read_symlink(p).string();
    } else {
      e.mtime = std::chrono::duration_cast<std::chrono::nanoseconds>(
                    fs::last_write_time(p).time_since_epoch())
                    .count();
      if (e.type == fs::file_type::regular) e.contents = ReadFileBytes(p);
    }
    return e;
  };
  std::map<std::string, StoreEntry> tree{{".", entry(root)}};
  for (const auto& e : fs::recursive_directory_iterator(root))
    tree[fs::relative(e.path(), root).string()] = entry(e.path());
  return tree;
}

std::string ServerText(db::Connection& connection, const std::string& sql) {
  db::Query q(connection);
  q.setSql(sql);
  q.open();
  return q.eof() ? "<no row>" : q.field(0).isNull() ? "<NULL>" : q.field(0).asString();
}

// A Solo Vault holding what a migration most easily loses: long file
// names, self-parented folders and the folders below them, decimals at
// the limits of their type, times to the 1/10000 s, texts of blanks only.
class SoloOfflineAtTheEdges : public ::testing::Test {
 protected:
  void SetUp() override { RegisterIDSTypes(); }

  TestPlatform platform_;
  DeployedStatements statements_;
  SampleVault source_{VaultEdition::Solo, SampleWithEdges()};
  SampleVault dest_{VaultEdition::Server, FreshInstall()};
};

TEST_F(SoloOfflineAtTheEdges, EveryRowValueAndFileArrivesAsItWas) {
  const auto sourceTree = StoreTree(source_.fileStorageFolder());
  const RunResult run =
      RunMigration(VaultRunRequest(TMigrationMode::mmSVSToTVSOffline, source_, dest_));
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.lines.back(), "Migration succesfully finished");

  auto src = source_.connect();
  auto dst = dest_.connect();
  for (const auto& table : SoloPlanTables()) {
    SCOPED_TRACE(table);
    const TableRows expected = AsCopied(DumpTableAsServerText(*src, table));
    const TableRows copied = DumpTableAsServerText(*dst, table);
    ASSERT_EQ(copied.columns, expected.columns);
    ASSERT_EQ(copied.rows.size(), expected.rows.size());
    for (size_t r = 0; r < expected.rows.size(); ++r) {
      for (size_t c = 0; c < expected.columns.size(); ++c) {
        EXPECT_EQ(copied.rows[r][c], expected.rows[r][c])
            << "row " << r << " (" << expected.rows[r][0].value_or("NULL") << "), column "
            << expected.columns[c];
      }
    }
  }

  // The edge values themselves, as the destination database writes them.
  const std::vector<std::pair<std::string, std::string>> values = {
      {"select PARENTFOLDERGUID from TLU_FOLDER where GUID = "
       "'{01020101-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "{01020101-3C5E-4A7B-9D1F-2E4A6C8B0D1F}"},
      {"select HRID from TLU_FOLDER where GUID = '{010200FF-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "Detached/Old/Older"},
      {"select PARENTDATAFOLDERGUID from TLU_DATAFOLDER where GUID = "
       "'{01050101-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "{01050101-3C5E-4A7B-9D1F-2E4A6C8B0D1F}"},
      {"select RELATIVEPATH from TLU_DATAFOLDER where GUID = "
       "'{01050100-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "Detached/Old"},
      {"select DESCRIPTION from TLU_FOLDER where GUID = '{01020101-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "   "},
      {"select PARAMETERVALUE from TLU_FOLDERPARAMETER where GUID = "
       "'{01030101-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       " \n\t "},
      {"select LINKKIND from TLU_ITEMREVISIONLINK where GUID = "
       "'{010B0103-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       " "},
      {"select cast(QUANTITY as varchar(30)) from TLU_ITEMREVISIONLINK where GUID = "
       "'{010B0101-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "12345678901234.5678"},
      {"select cast(QUANTITY as varchar(30)) from TLU_ITEMREVISIONLINK where GUID = "
       "'{010B0102-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "-0.0001"},
      {"select cast(QUANTITY as varchar(30)) from TLU_ITEMREVISIONLINK where GUID = "
       "'{010B0103-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "99999999999999.9999"},
      {"select cast(CREATEDAT as varchar(30)) from TLU_FOLDER where GUID = "
       "'{01020101-3C5E-4A7B-9D1F-2E4A6C8B0D1F}'",
       "2023-03-14 15:09:26.1234"},
  };
  for (const auto& [sql, value] : values) {
    EXPECT_EQ(ServerText(*dst, sql), value) << sql;
  }

  // The file store: every entry with its bytes and times, the long names
  // included.
  const auto copiedTree = StoreTree(dest_.fileStorageFolder());
  for (const auto& name : EdgeFileNames()) {
    EXPECT_TRUE(sourceTree.contains(name)) << name;
  }
  for (const auto& [path, entry] : sourceTree) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(copiedTree.contains(path));
    EXPECT_EQ(copiedTree.at(path), entry);
  }
}

}  // namespace
}  // namespace movrano::testing
