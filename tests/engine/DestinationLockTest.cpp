// One run per destination: a second run into a destination another run
// holds is refused before it touches it, by whatever path it names the
// destination, and a run that was killed leaves nothing that blocks the
// next one.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "engine/EngineHarness.h"
#include "engine/VaultMigrationManager.h"
#include "platform/FolderLock.h"
#include "services/IDS.h"
#include "support/platform/TempDir.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

namespace fs = std::filesystem;
using M = TMigrationMode;

// A process that holds a folder's lock until it is killed.
class LockHolder {
 public:
  explicit LockHolder(const std::string& folder) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(fds[0]);
      const std::optional<FolderLock> lock = FolderLock::TryTake(folder);
      const char answer = lock ? 'L' : 'R';
      if (::write(fds[1], &answer, 1) != 1) ::_exit(2);
      while (true)
        ::pause();
    }
    ::close(fds[1]);
    pollfd ready{fds[0], POLLIN, 0};
    char answer = 0;
    if (::poll(&ready, 1, 30000) == 1 && ::read(fds[0], &answer, 1) == 1) held_ = answer == 'L';
    ::close(fds[0]);
    if (!held_) ADD_FAILURE() << "the child did not report the lock within 30 s";
  }
  ~LockHolder() { kill(); }
  LockHolder(const LockHolder&) = delete;
  LockHolder& operator=(const LockHolder&) = delete;

  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  bool held_ = false;
};

std::string InUse(const std::string& destVaultFolder) {
  return "ERROR - EMovrano Destination Vault (" + destVaultFolder +
         ") is in use by another migration.";
}

class DestinationLock : public ::testing::Test {
 protected:
  void SetUp() override { RegisterIDSTypes(); }

  RunRequest request() const { return VaultRunRequest(M::mmSVSToTVSOffline, source_, dest_); }
  // The folder a run locks: the one that holds the destination's
  // configuration file.
  std::string lockedFolder() const { return dest_.vaultFolder() + ".."; }

  TestPlatform platform_;
  DeployedStatements statements_;
  SampleVault source_{VaultEdition::Solo};
  SampleVault dest_{VaultEdition::Server, FreshInstall()};
};

TEST_F(DestinationLock, ASecondRunIsRefusedBeforeItTouchesTheDestinationAndTheFirstStaysWhole) {
  SampleVault otherSource{VaultEdition::Solo};
  const fs::path otherFile = fs::path(otherSource.fileStorageFolder()) / "only-the-other.txt";
  std::ofstream(otherFile) << "other";
  // The second run names the destination through a link to its
  // installation folder.
  TempDir links;
  const fs::path install = fs::path(dest_.vaultFolder()).parent_path().parent_path();
  fs::create_directory_symlink(install, links.path() / "install");
  const std::string otherPath =
      (links.path() / "install" / fs::path(dest_.vaultFolder()).parent_path().filename()).string() +
      "/";

  std::vector<std::string> otherLines;
  std::string refusal;
  RunRequest r = request();
  r.onLine = [&](const std::string& line, TMigrationThread&) {
    // The first run has found and connected the destination.
    if (line.rfind("Desination vault version - ", 0) != 0) return;
    MigrationRequest second;
    second.SourceDatabaseFile = otherSource.databaseFile();
    second.SourceFileRepositoryPath = otherSource.fileStorageFolder();
    second.DestVaultPath = otherPath;
    second.MigrationMode = M::mmSVSToTVSOffline;
    second.LogProc = [&](const std::string& l) { otherLines.push_back(l); };
    TVaultMigrationManager other(std::move(second));
    try {
      other.Run();
    } catch (const EMovrano& e) {
      refusal = e.what();
    }
  };
  const RunResult run = RunMigration(r);
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);

  EXPECT_EQ("ERROR - EMovrano " + refusal, InUse(otherPath));
  // Its own two first lines, and nothing it found of the destination.
  EXPECT_EQ(otherLines.size(), 2u) << ::testing::PrintToString(otherLines);
  EXPECT_FALSE(fs::exists(fs::path(dest_.fileStorageFolder()) / "only-the-other.txt"));
  const auto expected = AsCopied(DumpTables(*source_.connect(), SoloPlanTables()));
  EXPECT_EQ(DumpTables(*dest_.connect(), SoloPlanTables()), expected);
}

TEST_F(DestinationLock, AKilledHolderLeavesTheDestinationFreeForTheNextRun) {
  const DatabaseRows before = DumpTables(*dest_.connect());
  LockHolder holder(lockedFolder());
  const RunResult refused = RunMigration(request());
  ASSERT_FALSE(refused.succeeded());
  EXPECT_EQ(refused.lines[refused.lines.size() - 2], InUse(dest_.vaultFolder()));
  EXPECT_EQ(refused.lineStartingWith("Found "), "");
  EXPECT_EQ(DumpTables(*dest_.connect()), before);

  holder.kill();
  const RunResult run = RunMigration(request());
  EXPECT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
}

TEST_F(DestinationLock, EveryRunLetsGoOfItsDestinationWhenItEnds) {
  // A refused run (the destination is not empty the second time) holds it
  // no longer than one that succeeded.
  EXPECT_TRUE(RunMigration(request()).succeeded());
  EXPECT_TRUE(FolderLock::TryTake(lockedFolder()).has_value());
  const RunResult again = RunMigration(request());
  EXPECT_EQ(again.lineStartingWith("ERROR - EMovrano Destination database is not empty"),
            again.lines[again.lines.size() - 2]);
  EXPECT_TRUE(FolderLock::TryTake(lockedFolder()).has_value());
}

}  // namespace
}  // namespace movrano::testing
