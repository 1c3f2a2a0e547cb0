// The worker's notices, its cancellation rules and a whole catalog-update
// run, on a real server vault without a part catalog.
#include <gtest/gtest.h>

#include "common/Synchronizer.h"
#include "engine/EngineHarness.h"
#include "engine/VaultMigrationManager.h"
#include "platform/IniFile.h"
#include "services/IDS.h"
#include "support/services/FakeIdentityService.h"
#include "support/vaults/SampleVault.h"

namespace movrano::testing {
namespace {

using M = TMigrationMode;

class Worker : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterIDSTypes();
    identity_.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-7", "ACC-7", "U-7"});
  }

  RunRequest catalogUpdate() {
    RunRequest r;
    r.MigrationMode = M::mmUpdateTVSCatalog;
    r.DestVaultPath = dest_.vaultFolder();
    r.IDSService = GetIDSPort(false, identity_.Url());
    return r;
  }

  TestPlatform platform_;
  DeployedStatements statements_;
  FakeIdentityService identity_;
  SampleVault dest_{VaultEdition::Server, FreshInstall(PartCatalog::None)};
};

TEST_F(Worker, ACatalogUpdateWithoutCatalogSucceedsBetweenOneBusyAndOneIdleNotice) {
  const RunResult run = RunMigration(catalogUpdate());
  const std::string vault = dest_.vaultFolder();
  EXPECT_EQ(
      run.lines,
      (std::vector<std::string>{
          "Start migration", "Tool version 1.0.0.0, migration mode mmUpdateTVSCatalog",
          "Retreiving session from TavrinLive", "Succesfully logged to IDS with Session=SESSION-7",
          "Found destination database file " + dest_.databaseFile(),
          "Found destination file storage folder  " + dest_.layout().fileStorage.string(),
          "Desination vault version - ZaredorEvovu-1.0.1",
          "There is no Part Catalog in this TVS version.", "Migration succesfully finished"}));
  ASSERT_GE(run.events.size(), 2u);
  EXPECT_EQ(run.events.front(), "busy");
  EXPECT_EQ(run.events.back(), "idle");
  EXPECT_EQ(std::count(run.events.begin(), run.events.end(), "busy"), 1);
  EXPECT_EQ(std::count(run.events.begin(), run.events.end(), "idle"), 1);
}

TEST_F(Worker, RelativeConfigurationPathsResolveAgainstTheVaultFolder) {
  IniFile ini(dest_.configFile());
  const std::string database = dest_.layout().databaseFile.filename().string();
  ini.writeString("DataSource", "DatabaseFile", "../Database/" + database);
  ini.writeString("Vault", "RootFolder", "../Revisions");
  const RunResult run = RunMigration(catalogUpdate());
  EXPECT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_NE(run.indexOf("Found destination database file " + dest_.vaultFolder() + "../Database/" +
                        database),
            -1);
  EXPECT_NE(
      run.indexOf("Found destination file storage folder  " + dest_.vaultFolder() + "../Revisions"),
      -1);
}

TEST_F(Worker, AMissingConfigurationFileIsNamedAsLookedFor) {
  std::filesystem::remove(dest_.configFile());
  const RunResult run = RunMigration(catalogUpdate());
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Could not find Vault configuration file " + dest_.vaultFolder() +
                "../LocalVault.ini");
}

TEST_F(Worker, ACancellationAtALogLineEndsWithAbortAndNoImportAbortedLine) {
  RunRequest r = catalogUpdate();
  r.onLine = [](const std::string& line, TMigrationThread& worker) {
    if (line == "Retreiving session from TavrinLive") worker.Terminate();
  };
  const RunResult run = RunMigration(r);
  EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort");
  EXPECT_EQ(run.indexOf("Import aborted"), -1);
  EXPECT_EQ(run.events.back(), "idle");
  EXPECT_TRUE(identity_.Logins().empty());  // stopped before the call
}

TEST_F(Worker, ACancellationArrivingAtTheSuccessLineStillShowsIt) {
  RunRequest r = catalogUpdate();
  r.onLine = [](const std::string& line, TMigrationThread& worker) {
    if (line == "Migration succesfully finished") worker.Terminate();
  };
  const RunResult run = RunMigration(r);
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2], "Migration succesfully finished");
  EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort");
  EXPECT_EQ(run.events.back(), "idle");
}

TEST_F(Worker, WithoutALogCallbackTerminationIsStillHonoured) {
  RunRequest r = catalogUpdate();
  r.withLogCallback = false;
  r.terminateAtOnce = true;
  const RunResult run = RunMigration(r);
  EXPECT_TRUE(run.lines.empty());
  EXPECT_EQ(run.events, (std::vector<std::string>{"busy", "idle"}));
  EXPECT_TRUE(identity_.Logins().empty());
}

TEST_F(Worker, ACancellationEndsALoginThatWaitsForAnAnswer) {
  identity_.Server().FailNext("Login", Failure::Stall(std::chrono::minutes(2)));
  RunRequest r = catalogUpdate();
  r.terminateWhen = [&] { return identity_.Server().CountOf("Login") > 0; };
  const RunResult run = RunMigration(r);
  EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort") << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.indexOf("Import aborted"), -1);
  EXPECT_EQ(run.events.back(), "idle");
  identity_.Server().Stop();  // releases the stalled answer
}

TEST_F(Worker, OneIdentityClientServesTwoRunsOneAfterTheOther) {
  // The first run leaves its session headers unused: no identity call
  // follows the login in this mode.
  const RunRequest r = catalogUpdate();
  ASSERT_TRUE(RunMigration(r).succeeded());
  const RunResult second = RunMigration(r);
  EXPECT_TRUE(second.succeeded()) << ::testing::PrintToString(second.lines);
  const auto requests = identity_.Server().Requests();
  ASSERT_EQ(requests.size(), 2u);
  ASSERT_EQ(requests[1].headers.size(), 1u);
  EXPECT_EQ(requests[1].headers[0].name + "=" + requests[1].headers[0].text, "APIVersion=2.0");
}

TEST(WorkerHandle, WithoutABusyIdleCallbackNoHandleIsReturned) {
  RegisterIDSTypes();
  TestPlatform platform;
  QueuedSynchronizer sync;
  // Nothing would tell the caller when the worker is gone.
  MigrationRequest request;
  request.DestVaultPath = "/no/such/vault";
  request.MigrationMode = M::mmSVSToTVSOffline;
  TMigrationThread* worker = TMigrationThread::Create(std::move(request), sync);
  EXPECT_EQ(worker, nullptr);
  TMigrationThread::WaitForAll();
}

class OutpostService : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterIDSTypes();
    identity_.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-8", "ACC-8", "U-8"});
    platform_.services->addService(kOutpostServiceName, {ServiceState::Running});
  }
  // A run that stops the service and fails at the missing source database.
  RunRequest missingSource(const SampleVault& dest) {
    RunRequest r;
    r.MigrationMode = M::mmOutpostToTVS;
    r.SourceDatabaseFile = source_.databaseFile() + ".missing";
    r.SourceFileRepositoryPath = source_.fileStorageFolder();
    r.DestVaultPath = dest.vaultFolder();
    r.IDSService = GetIDSPort(false, identity_.Url());
    return r;
  }

  TestPlatform platform_;
  DeployedStatements statements_;
  FakeIdentityService identity_;
  SampleVault source_{VaultEdition::Outpost};
};

TEST_F(OutpostService, IsStoppedBeforeTheSourceOpensAndStartedAgainAfterAFailure) {
  VaultOptions old = FreshInstall();
  old.vaultVersion = "ZaredorEvovu-0.9";
  SampleVault dest(VaultEdition::Server, old);
  RunRequest r;
  r.MigrationMode = M::mmOutpostToTVS;
  r.SourceDatabaseFile = source_.databaseFile();
  r.SourceFileRepositoryPath = source_.fileStorageFolder();
  r.DestVaultPath = dest.vaultFolder();
  r.IDSService = GetIDSPort(false, identity_.Url());
  ServiceState stateWhenSourceOpened{};
  r.onLine = [&](const std::string& line, TMigrationThread&) {
    if (line.rfind("Found source database file", 0) == 0) {
      stateWhenSourceOpened = platform_.services->state(kOutpostServiceName);
    }
  };
  const RunResult run = RunMigration(r);
  EXPECT_EQ(stateWhenSourceOpened, ServiceState::Stopped);
  const int stop = run.indexOf("Try to stop Outpost service TavrinOutpostVaultService");
  const int refused = run.indexOf("Desination vault version - ZaredorEvovu-0.9");
  const int started = run.indexOf("Outpost Vault service started TavrinOutpostVaultService");
  ASSERT_NE(stop, -1);
  EXPECT_LT(stop, refused);
  EXPECT_EQ(started, refused + 1);
  EXPECT_EQ(run.lines[started + 1],
            "ERROR - EMovrano Unsupported version of destination Vault - ZaredorEvovu-0.9");
  EXPECT_EQ(run.lines.back(), "Import aborted");
  EXPECT_EQ(platform_.services->state(kOutpostServiceName), ServiceState::Running);
}

TEST_F(OutpostService, AMissingServiceNeitherStopsNorFailsTheRun) {
  TestPlatform noService;  // a manager without the Outpost service
  SampleVault dest(VaultEdition::Server, FreshInstall());
  const RunResult run = RunMigration(missingSource(dest));
  EXPECT_NE(run.indexOf("Try to stop Outpost service TavrinOutpostVaultService"), -1);
  EXPECT_EQ(run.lines[run.lines.size() - 3],
            "Outpost Vault service started TavrinOutpostVaultService");
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Could not find source Vault database file " + source_.databaseFile() +
                ".missing");
}

TEST_F(OutpostService, AServiceThatStaysUpOrStaysDownIsAWarning) {
  using namespace std::chrono_literals;
  struct Case {
    const char* name;
    FakeServiceScript script;
    bool stopWarning, startWarning;
  };
  const Case cases[] = {
      {"refuses to stop", {ServiceState::Running, 0ms, 0ms, false, true}, true, false},
      {"stops too slowly", {ServiceState::Running, 0ms, 130s}, true, true},
      {"refuses to start", {ServiceState::Running, 0ms, 0ms, true}, false, true},
      {"starts too slowly", {ServiceState::Running, 130s}, false, true},
  };
  const std::string stopWarning =
      "WARNING - Failed to stop Outpost Vault service (EMovrano The service "
      "TavrinOutpostVaultService is still running)";
  const std::string startWarning =
      "WARNING - Failed to start Outpost Vault service (EMovrano The service "
      "TavrinOutpostVaultService is not running)";
  const std::string started = "Outpost Vault service started TavrinOutpostVaultService";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform_.services->addService(kOutpostServiceName, c.script);
    SampleVault dest(VaultEdition::Server, FreshInstall());
    const RunResult run = RunMigration(missingSource(dest));
    const int tried = run.indexOf("Try to stop Outpost service TavrinOutpostVaultService");
    ASSERT_NE(tried, -1);
    EXPECT_EQ(run.indexOf(stopWarning), c.stopWarning ? tried + 1 : -1);
    // In place of the line that says it started, never beside it.
    const size_t end = run.lines.size();
    EXPECT_EQ(run.lines[end - 3], c.startWarning ? startWarning : started);
    EXPECT_EQ(run.indexOf(c.startWarning ? started : startWarning), -1);
    // The run's outcome is the failure it met.
    EXPECT_EQ(run.lines[end - 2].rfind("ERROR - EMovrano Could not find source Vault database", 0),
              0u);
    EXPECT_EQ(run.lines.back(), "Import aborted");
  }
}

}  // namespace
}  // namespace movrano::testing
