// One whole migration through the window on real vaults: a Solo Vault
// sample into a freshly installed server vault in the offline mode, with
// both vaults found through the registry.
#include <QLineEdit>

#include "app/InstalledVaults.h"
#include "app/WindowHarness.h"
#include "db/Query.h"
#include "platform/Version.h"
#include "support/vaults/SampleVault.h"

namespace movrano::testing {
namespace {

class WindowMigration : public WindowTest {
 protected:
  WindowMigration() {
    platform_.setRegistry(
        RegistryExport(ServiceKey("TavrinSoloVaultService", source_.vaultFolder() + "SoloService") +
                       TavrinVaultKey(dest_.vaultFolder())));
    deployStatements();
  }

  SampleVault source_{VaultEdition::Solo};
  SampleVault dest_{VaultEdition::Server, FreshInstall()};
};

TEST_F(WindowMigration, TheOfflineSoloVaultMigrationRunsToItsEnd) {
  open();
  selectItem(2);
  click("Check_Offline");
  EXPECT_EQ(text("edSourceVaultPath"), source_.vaultFolder());
  EXPECT_EQ(text("edSourceDatabaseFile"), source_.databaseFile());
  EXPECT_EQ(text("edSourceFileRepositoryPath"), source_.fileStorageFolder());
  EXPECT_EQ(text("edDestVaultPathEdit"), dest_.vaultFolder());

  runToEnd();
  const auto texts = paneTexts();
  EXPECT_EQ(texts.front(), "Start migration");
  EXPECT_EQ(texts[1],
            "Tool version " + GetOwnVersionString() + ", migration mode mmSVSToTVSOffline");
  EXPECT_NE(std::find(texts.begin(), texts.end(),
                      "Destination version - " + DefaultVaultVersion(VaultEdition::Server)),
            texts.end());
  EXPECT_EQ(texts.back(), "Migration succesfully finished") << ::testing::PrintToString(texts);

  auto destination = dest_.connect();
  db::Query vault(*destination);
  vault.setSql("select HRID from TLU_VAULT");
  vault.open();
  EXPECT_NE(vault.field(0).asString().find("(migrated)"), std::string::npos);
}

}  // namespace
}  // namespace movrano::testing
