// A cancellation while a statement of the run waits for a lock that
// another session holds: the wait ends, the run ends as a cancelled run
// does, and the destination keeps what it held.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "services/IDS.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Whether another attachment runs (or waits in) a statement whose text
// contains `text`. A fresh connection each time: the monitoring tables
// are a snapshot per transaction.
bool StatementRunning(const SampleVault& vault, const std::string& text) {
  auto connection = vault.connect();
  db::Query q(*connection);
  q.setSql(
      "select count(*) from MON$STATEMENTS where MON$STATE = 1 "
      "and MON$ATTACHMENT_ID <> CURRENT_CONNECTION and MON$SQL_TEXT containing :TEXT");
  q.paramByName("TEXT").setText(text);
  q.open();
  return q.field(0).asInteger() > 0;
}

// A change another session makes in the destination and neither commits
// nor rolls back while the run goes on; it is rolled back at the latest
// after `limit`, so that a run that cannot be cancelled still ends.
class PendingChange {
 public:
  PendingChange(const SampleVault& vault, const std::string& sql, std::chrono::seconds limit)
      : connection_(vault.connect()) {
    connection_->startTransaction();
    connection_->executeDirect(sql);
    guard_ = std::thread([this, limit] {
      std::unique_lock lock(mutex_);
      done_.wait_for(lock, limit, [this] { return released_; });
      connection_->rollback();
    });
  }
  ~PendingChange() {
    {
      std::lock_guard lock(mutex_);
      released_ = true;
    }
    done_.notify_all();
    guard_.join();
  }
  PendingChange(const PendingChange&) = delete;
  PendingChange& operator=(const PendingChange&) = delete;

 private:
  std::unique_ptr<db::Connection> connection_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool released_ = false;
  std::thread guard_;
};

class CancelWait : public ::testing::Test {
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

  std::string firstSourceContentType() const {
    auto connection = source_.connect();
    db::Query q(*connection);
    q.setSql("select min(GUID) from TLU_CONTENTTYPE");
    q.open();
    return q.field(0).asString();
  }

  TestPlatform platform_;
  DeployedStatements statements_;
  SampleVault source_{VaultEdition::Solo};
  SampleVault dest_{VaultEdition::Server, FreshInstall()};
};

TEST_F(CancelWait, ACancellationEndsAStatementThatWaitsForALock) {
  struct Case {
    const char* name;
    std::string pendingChange;  // what the other session holds
    std::string waitingStatement;
  };
  const Case cases[] = {
      // The run's first write: nothing written yet.
      {"vault row locked", "update TLU_VAULT set HRID = HRID", "UPDATE TLU_VAULT"},
      // A key the copy writes after the folders: their rows go back.
      {"content type key taken",
       "insert into TLU_CONTENTTYPE (GUID, HRID, NAME, CREATEDAT, CREATEDBYGUID, "
       "LASTMODIFIEDAT) values ('" +
           firstSourceContentType() +
           "', 'PENDING', 'Pending', current_timestamp, "
           "'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f602', current_timestamp)",
       "INSERT INTO TLU_CONTENTTYPE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DatabaseRows before = DumpTables(*dest_.connect());
    RunResult run;
    Clock::time_point asked{};
    {
      const PendingChange pending(dest_, c.pendingChange, std::chrono::seconds(30));
      RunRequest r = request();
      r.terminateWhen = [&] {
        if (!StatementRunning(dest_, c.waitingStatement)) return false;
        asked = Clock::now();
        return true;
      };
      run = RunMigration(r);
    }
    ASSERT_NE(asked, Clock::time_point{}) << ::testing::PrintToString(run.lines);
    // "Within a second", with room for a loaded machine.
    EXPECT_LT(Clock::now() - asked, std::chrono::seconds(5));
    EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort") << ::testing::PrintToString(run.lines);
    EXPECT_EQ(run.indexOf("Import aborted"), -1);
    EXPECT_EQ(run.events.back(), "idle");
    EXPECT_EQ(DumpTables(*dest_.connect()), before);
  }
}

}  // namespace
}  // namespace movrano::testing
