// A destination connection that dies while the rows are copied, between
// the insert that failed and the rollback: the run ends with the insert's
// error, not with the rollback's, and the destination keeps none of the
// rows.
#include <gtest/gtest.h>

#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "services/IDS.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

// Ends every attachment of the database but the one this makes, as a
// server restart or a lost network does.
void KillAttachments(const SampleVault& vault) {
  vault.connect()->executeDirect(
      "delete from mon$attachments where mon$attachment_id <> current_connection");
}

TEST(LostConnection, TheRunLogsTheErrorThatEndedTheCopyNotTheRollbacks) {
  RegisterIDSTypes();
  TestPlatform platform;
  DeployedStatements statements;
  SampleVault source{VaultEdition::Solo};
  SampleVault dest{VaultEdition::Server, FreshInstall()};
  // The destination refuses one item revision of the source.
  dest.connect()->executeDirect(
      "alter table TLU_ITEMREVISION add constraint CK_REFUSED check (HRID <> 'CMP-0001-1')");
  const DatabaseRows before = DumpTables(*dest.connect());

  RunRequest r = VaultRunRequest(TMigrationMode::mmSVSToTVSOffline, source, dest);
  r.onLine = [&](const std::string& line, TMigrationThread&) {
    if (line.rfind("Error inserting ", 0) == 0) KillAttachments(dest);
  };
  const RunResult run = RunMigration(r);
  ASSERT_FALSE(run.succeeded());
  ASSERT_NE(run.lineStartingWith("Error inserting "), "");
  EXPECT_EQ(run.lines.back(), "Import aborted");
  const std::string error = run.lines[run.lines.size() - 2];
  EXPECT_EQ(error.rfind("ERROR - EZSQLException ", 0), 0u) << error;
  EXPECT_NE(error.find("CK_REFUSED"), std::string::npos) << error;
  EXPECT_EQ(DumpTables(*dest.connect()), before);
}

}  // namespace
}  // namespace movrano::testing
