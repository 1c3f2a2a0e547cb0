// Version gates and the emptiness check on real sample databases.
#include <gtest/gtest.h>

#include "engine/EngineHarness.h"
#include "engine/EngineProbe.h"
#include "services/IDS.h"
#include "statements/uSQLUtils.h"
#include "support/vaults/SampleVault.h"

namespace movrano::testing {
namespace {

using M = TMigrationMode;

struct GateRun {
  std::vector<std::string> log;
  std::string error;  // "<class> <message>", empty when the gates passed
  int32_t totalItems = -1;
};

GateRun RunGates(M mode, const SampleVault& source, const SampleVault& dest, bool emptiness) {
  RegisterIDSTypes();
  GateRun result;
  MigrationRequest request;
  request.MigrationMode = mode;
  request.LogProc = [&](const std::string& l) { result.log.push_back(l); };
  TVaultMigrationManager engine(std::move(request));
  TVaultMigrationManagerProbe probe(engine);
  probe.setConnections(source.connect(), dest.connect());
  try {
    probe.checkVersions(mode);
    if (emptiness) probe.checkDestinationEmpty();
    result.totalItems = probe.totalItems();
  } catch (const std::exception& e) {
    result.error = std::string(ExceptionClassName(e)) + " " + e.what();
  }
  return result;
}

VaultOptions Fresh(std::string version = "", VersionTables tables = VersionTables::Current) {
  VaultOptions o = FreshInstall();
  o.vaultVersion = std::move(version);
  o.versions = tables;
  return o;
}

class VersionGates : public ::testing::Test {
 protected:
  TestPlatform platform_;
  DeployedStatements statements_;
};

TEST_F(VersionGates, DestinationVaultVersionIsComparedWithoutCaseButWhole) {
  const SampleVault source(VaultEdition::Solo);
  struct Case {
    std::string version, error;
  };
  const Case cases[] = {
      {"xvsvault-1.0.1", ""},
      {"XVSVault-1.0.1 ", "EMovrano Unsupported version of destination Vault - XVSVault-1.0.1 "},
      {"TavrinVault-1.0.1",
       "EMovrano Unsupported version of destination Vault - TavrinVault-1.0.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    const SampleVault dest(VaultEdition::Server, Fresh(c.version));
    const GateRun run = RunGates(M::mmSVSToTVSOffline, source, dest, false);
    EXPECT_EQ(run.error, c.error);
    EXPECT_EQ(run.log, (std::vector<std::string>{"Desination vault version - " + c.version}));
  }
}

TEST_F(VersionGates, OutpostModesCheckTheSourceVersionThenTheDestinationDatabase) {
  const SampleVault source(VaultEdition::Outpost);
  const SampleVault dest(VaultEdition::Server, FreshInstall());
  const GateRun run = RunGates(M::mmOutpostToTVS, source, dest, true);
  EXPECT_EQ(run.error, "");
  ASSERT_EQ(run.log.size(), 3u);
  EXPECT_EQ(run.log[0], "Desination vault version - ZaredorEvovu-1.0.1");
  EXPECT_EQ(run.log[1], "Source Vault version - TavrinVault-1.0.1");
  EXPECT_EQ(run.log[2].rfind("Destination database versions: ", 0), 0u);
  EXPECT_GT(run.totalItems, 0);

  VaultOptions newer = SampleContent();
  newer.vaultVersion = "TavrinVault-2.0";
  const SampleVault newerSource(VaultEdition::Outpost, newer);
  EXPECT_EQ(RunGates(M::mmOutpostToSVS, newerSource, dest, false).error,
            "EMovrano Unsupported version of source Vault - TavrinVault-2.0");
}

TEST_F(VersionGates, SoloSourceAndDestinationDatabaseVersions) {
  const SampleVault current(VaultEdition::Solo);
  VaultOptions outdated = SampleContent();
  outdated.versions = VersionTables::Outdated;
  const SampleVault oldSource(VaultEdition::Solo, outdated);
  const SampleVault dest(VaultEdition::Server, FreshInstall());
  const SampleVault unfinished(VaultEdition::Server, Fresh("", VersionTables::UnfinishedUpgrade));
  const SampleVault oldDest(VaultEdition::Server, Fresh("", VersionTables::Outdated));

  const GateRun ok = RunGates(M::mmSVSToTVS, current, dest, false);
  EXPECT_EQ(ok.error, "");
  ASSERT_EQ(ok.log.size(), 3u);
  EXPECT_EQ(ok.log[1].rfind("Source database versions: ", 0), 0u);
  EXPECT_EQ(ok.log[2].rfind("Destination database versions: ", 0), 0u);

  EXPECT_EQ(RunGates(M::mmSVSToTVS, oldSource, dest, false).error,
            "EMovrano Unsupported version of source database. Try to update to latest version "
            "of SVS.");
  EXPECT_EQ(RunGates(M::mmSVSToTVS, current, unfinished, false).error,
            "EMovrano Unsupported version of destination database. Try to update to latest "
            "version of product.");
  // No version row passes the check; its missing versions text cannot be logged.
  EXPECT_EQ(RunGates(M::mmSVSToTVS, current, oldDest, false).error,
            "EVariantTypeCastError Could not convert variant of type (Null) into type (OleStr)");
  // The offline mode looks at the destination's vault version only.
  EXPECT_EQ(RunGates(M::mmSVSToTVSOffline, oldSource, oldDest, false).error, "");
}

TEST_F(VersionGates, ANonEmptyDestinationIsRefusedWithItsRowCount) {
  const SampleVault source(VaultEdition::Solo);
  const SampleVault full(VaultEdition::Server, SampleContent());
  const GateRun run = RunGates(M::mmSVSToTVSOffline, source, full, true);
  db::Variant rows;
  GetValue(*full.connect(), "sql_total_row_count_dest", rows);
  ASSERT_GT(rows.toInt32(), 0);
  EXPECT_EQ(run.error, "EMovrano Destination database is not empty - it already has " +
                           rows.toString() + " rows!");
  EXPECT_EQ(run.totalItems, -1);
}

}  // namespace
}  // namespace movrano::testing
