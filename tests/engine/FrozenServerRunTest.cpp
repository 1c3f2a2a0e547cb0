// A cancellation while the database server has stopped answering: the run
// reaches the server through a relay on its own 127.0.0.1:3050 that the
// test freezes halfway through the copy, and the run still ends as a
// cancelled run does, with the relay frozen to the end.
#include <gtest/gtest.h>

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

TEST(FrozenServerRun, ACancelEndsTheRunAndTheServiceIsStartedAgain) {
  RegisterIDSTypes();
  TestPlatform platform;
  platform.services->addService(kOutpostServiceName, {ServiceState::Running});
  const DeployedStatements statements;
  const SampleVault source(VaultEdition::Outpost);
  const SampleVault dest(VaultEdition::Server, FreshInstall());
  const DatabaseRows before = DumpTables(*dest.connect());
  RunResult run;
  {
    // The run's thread starts here, so the relay is its server.
    const LoopbackNamespace network;
    FreezableRelay relay(3050, network.outer());
    FakeIdentityService identity;
    identity.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-7", "ACC-7", "U-7"});
    RunRequest r = VaultRunRequest(TMigrationMode::mmOutpostToTVS, source, dest);
    r.IDSService = GetIDSPort(false, identity.Url());
    // The second table: the destination holds rows of the first by then.
    int copies = 0;
    r.onLine = [&](const std::string& line, TMigrationThread&) {
      if (line.rfind("Start copy ", 0) == 0 && ++copies == 2) relay.freeze();
    };
    r.terminateWhen = [&] { return relay.holdsRequest(); };
    r.onOverdue = [&] {
      ADD_FAILURE() << "the run still waits for the frozen server a minute after the cancel";
      relay.thaw();
    };
    run = RunMigration(r);
    EXPECT_TRUE(relay.holdsRequest()) << "the relay was thawed: the server answered";
  }
  ASSERT_GE(run.lines.size(), 3u) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Start copy ContentType");
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "Outpost Vault service started TavrinOutpostVaultService");
  EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort") << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.indexOf("Import aborted"), -1);
  EXPECT_EQ(run.events.back(), "idle");
  EXPECT_EQ(platform.services->state(kOutpostServiceName), ServiceState::Running);
  // The relay went with what it held: the server rolled the copy back.
  EXPECT_EQ(DumpTables(*dest.connect()), before);
}

}  // namespace
}  // namespace movrano::testing
