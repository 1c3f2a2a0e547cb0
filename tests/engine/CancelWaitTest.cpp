// A cancellation while a statement of the run waits for a lock that
// another session holds: the wait ends, the run ends as a cancelled run
// does, and the destination keeps what it held.
#include <gtest/gtest.h>

#include <chrono>

#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "engine/VaultMigrationManager.h"
#include "services/IDS.h"
#include "support/db/PendingChange.h"
#include "support/services/FakeIdentityService.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

using Clock = std::chrono::steady_clock;

class CancelWait : public ::testing::Test {
 protected:
  void SetUp() override { RegisterIDSTypes(); }

  RunRequest request() const {
    return VaultRunRequest(TMigrationMode::mmSVSToTVSOffline, source_, dest_);
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
      const PendingChange pending(dest_.databaseFile(), c.pendingChange);
      RunRequest r = request();
      r.terminateWhen = [&] {
        if (!StatementRunsElsewhere(dest_.databaseFile(), c.waitingStatement)) return false;
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

TEST(CancelWaitOutpost, TheServiceIsStartedAgainAfterACancelledWait) {
  RegisterIDSTypes();
  TestPlatform platform;
  platform.services->addService(kOutpostServiceName, {ServiceState::Running});
  const DeployedStatements statements;
  FakeIdentityService identity;
  identity.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-5", "ACC-5", "U-5"});
  const SampleVault source(VaultEdition::Outpost);
  const SampleVault dest(VaultEdition::Server, FreshInstall());
  const DatabaseRows before = DumpTables(*dest.connect());
  RunResult run;
  {
    const PendingChange pending(dest.databaseFile(), "update TLU_VAULT set HRID = HRID");
    RunRequest r = VaultRunRequest(TMigrationMode::mmOutpostToTVS, source, dest);
    r.IDSService = GetIDSPort(false, identity.Url());
    r.terminateWhen = [&] {
      return StatementRunsElsewhere(dest.databaseFile(), "UPDATE TLU_VAULT");
    };
    run = RunMigration(r);
  }
  ASSERT_GE(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Start updating Vault parameters");
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "Outpost Vault service started TavrinOutpostVaultService");
  EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort") << ::testing::PrintToString(run.lines);
  EXPECT_EQ(platform.services->state(kOutpostServiceName), ServiceState::Running);
  EXPECT_EQ(DumpTables(*dest.connect()), before);
}

}  // namespace
}  // namespace movrano::testing
