// A cancellation while the database server has stopped answering: the run
// reaches the server through a relay on its own 127.0.0.1:3050 that the
// test freezes, halfway through the copy or before the run connects, and
// the run still ends as a cancelled run does, with the relay frozen to the
// end.
#include <gtest/gtest.h>

#include <functional>

#include "engine/EngineHarness.h"
#include "engine/VaultMigrationManager.h"
#include "services/IDS.h"
#include "support/db/FreezableRelay.h"
#include "support/db/LoopbackNamespace.h"
#include "support/services/FakeIdentityService.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

class FrozenServerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterIDSTypes();
    platform_.services->addService(kOutpostServiceName, {ServiceState::Running});
    before_ = DumpTables(*dest_.connect());
  }

  // An Outpost run whose server is the relay; `freezeAt` freezes it when
  // the run reaches the point it stands for. The run is cancelled once a
  // call waits for the frozen server.
  RunResult run(const std::function<void(FreezableRelay&, RunRequest&)>& freezeAt) {
    RunResult result;
    // The run's thread starts here, so the relay is its server.
    const LoopbackNamespace network;
    FreezableRelay relay(3050, network.outer());
    FakeIdentityService identity;
    identity.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-7", "ACC-7", "U-7"});
    RunRequest r = VaultRunRequest(TMigrationMode::mmOutpostToTVS, source_, dest_);
    r.IDSService = GetIDSPort(false, identity.Url());
    freezeAt(relay, r);
    r.terminateWhen = [&] { return relay.holdsRequest(); };
    r.onOverdue = [&] {
      ADD_FAILURE() << "the run still waits for the frozen server a minute after the cancel";
      relay.thaw();
    };
    result = RunMigration(r);
    EXPECT_TRUE(relay.holdsRequest()) << "the relay was thawed: the server answered";
    return result;
  }

  // What every cancelled run leaves: the abort its last line, the window
  // idle, the service running again and the destination as it was (the
  // relay went with what it held, and the server rolled it back).
  void expectCancelled(const RunResult& result) const {
    EXPECT_EQ(result.lines.back(), "ERROR - EMovrano Abort")
        << ::testing::PrintToString(result.lines);
    EXPECT_EQ(result.indexOf("Import aborted"), -1);
    EXPECT_EQ(result.events.back(), "idle");
    EXPECT_EQ(platform_.services->state(kOutpostServiceName), ServiceState::Running);
    EXPECT_EQ(DumpTables(*dest_.connect()), before_);
  }

  TestPlatform platform_;
  const DeployedStatements statements_;
  const SampleVault source_{VaultEdition::Outpost};
  const SampleVault dest_{VaultEdition::Server, FreshInstall()};
  DatabaseRows before_;
};

TEST_F(FrozenServerRun, ACancelEndsTheRunAndTheServiceIsStartedAgain) {
  int copies = 0;
  const RunResult result = run([&](FreezableRelay& relay, RunRequest& r) {
    // The second table: the destination holds rows of the first by then.
    r.onLine = [&](const std::string& line, TMigrationThread&) {
      if (line.rfind("Start copy ", 0) == 0 && ++copies == 2) relay.freeze();
    };
  });
  ASSERT_GE(result.lines.size(), 3u) << ::testing::PrintToString(result.lines);
  EXPECT_EQ(result.lines[result.lines.size() - 3], "Start copy ContentType");
  EXPECT_EQ(result.lines[result.lines.size() - 2],
            "Outpost Vault service started TavrinOutpostVaultService");
  expectCancelled(result);
}

TEST_F(FrozenServerRun, ACancelEndsTheRunWhileItConnectsToAServerThatNeverAnswers) {
  const RunResult result = run([](FreezableRelay& relay, RunRequest&) { relay.freeze(); });
  EXPECT_EQ(result.indexOf("Start copy ContentType"), -1);
  expectCancelled(result);
}

}  // namespace
}  // namespace movrano::testing
