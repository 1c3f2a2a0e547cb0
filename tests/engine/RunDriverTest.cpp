// The run driver through the worker: preconditions and their refusals per
// mode, the destination lookup, the identity login and the Outpost service.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/EngineHarness.h"
#include "engine/VaultMigrationManager.h"
#include "services/IDS.h"
#include "support/platform/TempDir.h"
#include "support/services/FakeIdentityService.h"
#include "support/vaults/SampleVault.h"

namespace movrano::testing {
namespace {

using M = TMigrationMode;

constexpr M kAllModes[] = {
    M::mmOutpostToTVS,     M::mmOutpostToSVS,           M::mmSVSToTVS,
    M::mmUpdateTVSCatalog, M::mmTVSFirebirdToTVSOracle, M::mmSVSToTVSOffline};

std::vector<std::string> Preamble(M mode) {
  return {"Start migration",
          std::string("Tool version 1.0.0.0, migration mode ") + MigrationModeName(mode)};
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const char* const kNoStatements =
    "ERROR - EMovrano File with sql statements was not loaded. Try restart application with "
    "Movrano.sql file in working folder.";
const char* const kNotAdmin =
    "ERROR - EMovrano Application require administrator rights in Windows to run (for service "
    "management). Try start it with \"Run as Administrator\".";

class RunDriver : public ::testing::Test {
 protected:
  TestPlatform platform_;
  TempDir folder_;
  FakeIdentityService identity_;

  void SetUp() override {
    RegisterIDSTypes();
    identity_.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-1", "ACC-1", "U-1"});
    platform_.services->addService(kOutpostServiceName, {ServiceState::Running});
    // The run locks the folder above its destination: this test's own.
    std::filesystem::create_directory(folder_.str() + "/vault");
  }

  RunRequest request(M mode) {
    RunRequest r;
    r.MigrationMode = mode;
    r.DestVaultPath = folder_.str() + "/vault";
    r.IDSService = GetIDSPort(false, identity_.Url());
    return r;
  }
};

TEST_F(RunDriver, RefusesMissingStatementsInEveryModeButOracle) {
  DeployedStatements none(false);
  for (M mode : kAllModes) {
    SCOPED_TRACE(MigrationModeName(mode));
    const RunResult run = RunMigration(request(mode));
    const std::vector<std::string> expected =
        mode == M::mmTVSFirebirdToTVSOracle
            ? std::vector<std::string>{"Source Vault uninstaller () does not exists.",
                                       "ERROR - EMovrano Destination Vault installer () does not "
                                       "exists.",
                                       "Import aborted"}
            : std::vector<std::string>{kNoStatements, "Import aborted"};
    EXPECT_EQ(run.lines, Concat(Preamble(mode), expected));
    EXPECT_EQ(run.events.front(), "busy");
    EXPECT_EQ(run.events.back(), "idle");
  }
  EXPECT_TRUE(identity_.Logins().empty());
}

TEST_F(RunDriver, RefusesWithoutAdministratorRightsInEveryMode) {
  DeployedStatements statements;
  platform_.rights->admin = false;
  for (M mode : kAllModes) {
    SCOPED_TRACE(MigrationModeName(mode));
    const RunResult run = RunMigration(request(mode));
    EXPECT_EQ(run.lines, Concat(Preamble(mode), {kNotAdmin, "Import aborted"}));
  }
}

TEST_F(RunDriver, RefusesAMissingDestinationFolderWithItsDelimiter) {
  DeployedStatements statements;
  for (M mode : kAllModes) {
    if (mode == M::mmTVSFirebirdToTVSOracle) continue;
    SCOPED_TRACE(MigrationModeName(mode));
    RunRequest r = request(mode);
    r.DestVaultPath = folder_.str() + "/missing";
    const RunResult run = RunMigration(r);
    EXPECT_EQ(run.lines, Concat(Preamble(mode), {"ERROR - EMovrano Destination Vault folder (" +
                                                     folder_.str() + "/missing/) does not exists.",
                                                 "Import aborted"}));
  }
}

TEST_F(RunDriver, VersionTextsAreLoggedDestinationFirst) {
  DeployedStatements statements;
  platform_.rights->admin = false;
  RunRequest r = request(M::mmSVSToTVSOffline);
  r.SourceVersion = "Solo 2.3";
  r.DestVersion = "Server 1.1";
  const RunResult run = RunMigration(r);
  ASSERT_GE(run.lines.size(), 4u);
  EXPECT_EQ(run.lines[2], "Destination version - Server 1.1");
  EXPECT_EQ(run.lines[3], "Source version - Solo 2.3");
}

TEST_F(RunDriver, ARefusedLoginEndsTheRunBeforeTheServiceIsTouched) {
  DeployedStatements statements;
  for (M mode : {M::mmOutpostToTVS, M::mmOutpostToSVS, M::mmSVSToTVS, M::mmUpdateTVSCatalog}) {
    SCOPED_TRACE(MigrationModeName(mode));
    RunRequest r = request(mode);
    r.UserPass = "wrong";
    const RunResult run = RunMigration(r);
    EXPECT_EQ(run.lines, Concat(Preamble(mode),
                                {"Retreiving session from TavrinLive",
                                 "ERROR - EMovrano Could not login to IDS!", "Import aborted"}));
  }
  EXPECT_EQ(platform_.services->calls(kOutpostServiceName).opens, 0);
  EXPECT_EQ(platform_.services->state(kOutpostServiceName), ServiceState::Running);
}

TEST_F(RunDriver, LoginSendsTheVersionHeaderThenLeavesSessionAndVersionForTheNextCall) {
  DeployedStatements statements;
  // The offline-free Solo mode logs in and then stops at the missing source.
  RunRequest r = request(M::mmSVSToTVS);
  r.SourceDatabaseFile = folder_.str() + "/none.fdb";
  const RunResult run = RunMigration(r);
  EXPECT_EQ(run.lineStartingWith("Succesfully logged"),
            "Succesfully logged to IDS with Session=SESSION-1");
  EXPECT_EQ(
      run.lines[run.lines.size() - 2],
      "ERROR - EMovrano Could not find source Vault database file " + folder_.str() + "/none.fdb");
  const auto requests = identity_.Server().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].soapAction, "Login");
  ASSERT_EQ(requests[0].headers.size(), 1u);
  EXPECT_EQ(requests[0].headers[0].name, "APIVersion");
  EXPECT_EQ(requests[0].headers[0].text, "2.0");
  ASSERT_EQ(identity_.Logins().size(), 1u);
  EXPECT_EQ(identity_.Logins()[0].userName, "engineer@tavrin.example");
  EXPECT_FALSE(identity_.Logins()[0].secureLogin);
}

TEST_F(RunDriver, AnEmptySourceStorageTextIsRefusedNotTakenForTheRoot) {
  DeployedStatements statements;
  RunRequest r = request(M::mmSVSToTVSOffline);
  r.SourceDatabaseFile = folder_.write("source.fdb", "not opened").string();
  r.SourceFileRepositoryPath = "";
  const RunResult run = RunMigration(r);
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Could not find source Vault file storage directory ");
  EXPECT_EQ(run.lineStartingWith("Found source"), "");
}

TEST_F(RunDriver, OfflineModeNeverLogsIn) {
  DeployedStatements statements;
  RunRequest r = request(M::mmSVSToTVSOffline);
  r.SourceDatabaseFile = folder_.str() + "/none.fdb";
  const RunResult run = RunMigration(r);
  EXPECT_EQ(run.lineStartingWith("Retreiving"), "");
  EXPECT_TRUE(identity_.Server().Requests().empty());
  EXPECT_NE(run.indexOf("ERROR - EMovrano Could not find source Vault database file " +
                        folder_.str() + "/none.fdb"),
            -1);
}

}  // namespace
}  // namespace movrano::testing
