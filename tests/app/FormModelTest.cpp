// The form model: how the selection reads as a mode, what each mode shows
// and fills in from the installed vaults, and the source-folder rule.
#include <gtest/gtest.h>

#include <optional>

#include "app/FormModel.h"
#include "app/InstalledVaults.h"
#include "app/MigrationModes.h"
#include "platform/Exceptions.h"

namespace movrano::testing {
namespace {

using enum TMigrationMode;

// Selects the mode the way the user does: the radio item, then the box.
void Select(FormModel& model, TMigrationMode mode) {
  model.setItemIndex(ModeItemIndex(mode));
  if (mode == mmSVSToTVSOffline) model.setOfflineTicked(true);
}

TEST(FormModelSelection, ReadsTheModeFromTheItemAndTheTick) {
  struct Case {
    int item;
    bool ticked;
    std::optional<TMigrationMode> mode;
  };
  const Case cases[] = {{0, true, mmOutpostToTVS},     {1, true, mmOutpostToSVS},
                        {2, false, mmSVSToTVS},        {2, true, mmSVSToTVSOffline},
                        {3, true, mmUpdateTVSCatalog}, {4, true, mmTVSFirebirdToTVSOracle},
                        {-1, true, std::nullopt},      {5, false, std::nullopt}};
  for (const auto& c : cases) {
    EXPECT_EQ(ModeFromSelection(c.item, c.ticked), c.mode) << c.item << " " << c.ticked;
  }
}

class FormModelModes : public ::testing::Test {
 protected:
  TestPlatform platform_;
  InstalledVaults vaults_{platform_};
  FormModel model_;
};

TEST_F(FormModelModes, EachModeShowsItsGroupsAndFillsItsFoldersFilesAndVersions) {
  struct Expected {
    TMigrationMode mode;
    // The vault whose folder, database file and store fill the source
    // fields; null: they stay as they were.
    const InstalledVault* source;
    const InstalledVault* dest;  // null: the destination folder stays as it was
    std::string sourceVersion;
    std::string destVersion;
    FormView view;
  };
  const Expected cases[] = {
      {mmOutpostToTVS,
       &vaults_.outpost,
       &vaults_.enterprise,
       "",
       "XVS-3.0",
       {MigrationModeDescription(mmOutpostToTVS), true, true, false, false,
        "Source - Outpost Vault ", "Target - Tavrin Vault XVS-3.0", 157}},
      {mmOutpostToSVS,
       &vaults_.outpost,
       &vaults_.solo,
       "",
       "SVS-1.5",
       {MigrationModeDescription(mmOutpostToSVS), true, true, false, false,
        "Source - Outpost Vault ", "Target - Solo Vault  SVS-1.5", 157}},
      {mmSVSToTVS,
       &vaults_.solo,
       &vaults_.server,
       "SVS-1.5",
       "TVS-2.0",
       {MigrationModeDescription(mmSVSToTVS), true, true, false, true,
        "Source - Solo Vault SVS-1.5", "Target - Tavrin Vault TVS-2.0", 157}},
      {mmSVSToTVSOffline,
       &vaults_.solo,
       &vaults_.server,
       "SVS-1.5",
       "TVS-2.0",
       {MigrationModeDescription(mmSVSToTVSOffline), true, true, false, true,
        "Source - Solo Vault SVS-1.5", "Target - Tavrin Vault TVS-2.0", 157}},
      {mmUpdateTVSCatalog,
       nullptr,
       &vaults_.enterprise,
       "",
       "XVS-3.0",
       {MigrationModeDescription(mmUpdateTVSCatalog), false, true, false, false, "Source -  ",
        "Target - Tavrin Vault XVS-3.0", 157}},
      {mmTVSFirebirdToTVSOracle,
       &vaults_.server,
       nullptr,
       "TVS-2.0",
       "",
       {MigrationModeDescription(mmTVSFirebirdToTVSOracle), true, false, true, false,
        "Source - Tavrin Vault (Firebird) TVS-2.0", "Target - Tavrin Vault (Oracle) ", 199}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(MigrationModeName(c.mode));
    FormModel model;
    model.setText(FormField::SourceVaultPath, "/typed/source/");
    model.setText(FormField::SourceDatabaseFile, "typed.fdb");
    model.setText(FormField::SourceFileRepositoryPath, "/typed/store/");
    model.setText(FormField::DestVaultPath, "/typed/dest/");
    model.setItemIndex(-1);
    Select(model, c.mode);

    EXPECT_EQ(model.GetMigrationMode(), c.mode);
    EXPECT_EQ(model.text(FormField::SourceVaultPath),
              c.source ? c.source->folder : "/typed/source/");
    EXPECT_EQ(model.text(FormField::DestVaultPath), c.dest ? c.dest->folder : "/typed/dest/");
    EXPECT_EQ(model.text(FormField::SourceDatabaseFile),
              c.source ? c.source->databaseFile : "typed.fdb");
    EXPECT_EQ(model.text(FormField::SourceFileRepositoryPath),
              c.source ? c.source->storage : "/typed/store/");
    EXPECT_EQ(model.sourceVersion(), c.sourceVersion);
    EXPECT_EQ(model.destVersion(), c.destVersion);
    EXPECT_EQ(model.view(), c.view);
  }
}

TEST_F(FormModelModes, WithoutInstalledVaultsTheFoldersAndVersionsAreEmptyAndNothingIsRaised) {
  platform_.setRegistry(RegistryExport(""));
  ::unsetenv("ProgramFiles");
  model_.setText(FormField::SourceVaultPath, "/stored/source/");
  model_.setText(FormField::DestVaultPath, "/stored/dest/");
  model_.ApplyMigrationMode();
  EXPECT_EQ(model_.text(FormField::SourceVaultPath), "");
  EXPECT_EQ(model_.text(FormField::DestVaultPath), "");
  EXPECT_EQ(model_.view().sourceCaption, "Source - Outpost Vault ");
  EXPECT_EQ(model_.view().destCaption, "Target - Tavrin Vault ");
  Select(model_, mmSVSToTVS);
  EXPECT_EQ(model_.sourceVersion(), "");
  EXPECT_EQ(model_.destVersion(), "");
}

TEST_F(FormModelModes, AHiddenTickStaysAndSelectsTheOfflineModeWhenTheSoloItemReturns) {
  Select(model_, mmSVSToTVSOffline);
  EXPECT_EQ(model_.view().description, MigrationModeDescription(mmSVSToTVSOffline));
  model_.setItemIndex(0);
  EXPECT_FALSE(model_.view().offlineVisible);
  EXPECT_EQ(model_.GetMigrationMode(), mmOutpostToTVS);
  model_.setItemIndex(2);
  EXPECT_EQ(model_.GetMigrationMode(), mmSVSToTVSOffline);
  EXPECT_EQ(model_.view().description, MigrationModeDescription(mmSVSToTVSOffline));
}

TEST_F(FormModelModes, NoItemSelectedOnlyEmptiesTheVersionsAndHidesTheOfflineBox) {
  Select(model_, mmSVSToTVS);
  const FormView before = model_.view();
  const std::string source = model_.text(FormField::SourceVaultPath);
  model_.setItemIndex(-3);
  EXPECT_EQ(model_.itemIndex(), -1);
  EXPECT_EQ(model_.GetMigrationMode(), std::nullopt);
  model_.ApplyMigrationMode();
  EXPECT_EQ(model_.sourceVersion(), "");
  EXPECT_EQ(model_.destVersion(), "");
  FormView expected = before;
  expected.offlineVisible = false;
  EXPECT_EQ(model_.view(), expected);
  EXPECT_EQ(model_.text(FormField::SourceVaultPath), source);
  model_.setItemIndex(9);
  EXPECT_EQ(model_.itemIndex(), kLastModeItem);
}

TEST_F(FormModelModes, AnUnreadableSourceFolderEndsTheModeApplicationWithTheReadersMessage) {
  platform_.setRegistry(RegistryExport(
      ServiceKey("TavrinSoloVaultService", vaults_.unconfiguredFolder() + "SoloService")));
  try {
    model_.setItemIndex(2);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.className(), "EMovrano");
    EXPECT_NE(e.message().find("Could not find Solo Vault configuration file"), std::string::npos)
        << e.message();
  }
  EXPECT_EQ(model_.text(FormField::SourceVaultPath), vaults_.unconfiguredFolder());
  EXPECT_EQ(model_.text(FormField::SourceDatabaseFile), "");
  // Captions and the box are those of creation: the rest was skipped.
  EXPECT_EQ(model_.view().sourceCaption, "Source");
  EXPECT_FALSE(model_.view().offlineVisible);
}

class FormModelSourceRule : public FormModelModes {
 protected:
  void SetUp() override {
    model_.setText(FormField::SourceDatabaseFile, "old.fdb");
    model_.setText(FormField::SourceFileRepositoryPath, "/old/store/");
  }
  std::string databaseFile() const { return model_.text(FormField::SourceDatabaseFile); }
  std::string storage() const { return model_.text(FormField::SourceFileRepositoryPath); }
};

TEST_F(FormModelSourceRule, AFolderThatDoesNotExistEmptiesTheDerivedFields) {
  model_.setText(FormField::SourceVaultPath, "/no/such/folder/");
  EXPECT_EQ(databaseFile(), "");
  EXPECT_EQ(storage(), "");
}

TEST_F(FormModelSourceRule, AFieldHoldsItsTextUpToTheFirstLineBreak) {
  const std::pair<std::string, std::string> cases[] = {{"/srv/vault\n", "/srv/vault"},
                                                       {"/srv/vault\r\n/srv/other", "/srv/vault"},
                                                       {"tiger\r", "tiger"},
                                                       {std::string("db\0x", 4), "db"},
                                                       {"\nsecond", ""},
                                                       {"one line", "one line"}};
  for (const auto& [given, held] : cases) {
    model_.setText(FormField::OraPassword, given);
    EXPECT_EQ(model_.text(FormField::OraPassword), held) << given;
  }
  // The rule reads the folder without the break.
  model_.setText(FormField::SourceVaultPath, vaults_.outpost.folder + "\r\n");
  EXPECT_EQ(model_.text(FormField::SourceVaultPath), vaults_.outpost.folder);
  EXPECT_EQ(databaseFile(), vaults_.outpost.databaseFile);
}

TEST_F(FormModelSourceRule, EachModeReadsItsEditionsConfiguration) {
  const struct {
    TMigrationMode mode;
    const InstalledVault* vault;
  } cases[] = {{mmOutpostToSVS, &vaults_.outpost},
               {mmSVSToTVSOffline, &vaults_.solo},
               {mmTVSFirebirdToTVSOracle, &vaults_.server}};
  for (const auto& c : cases) {
    SCOPED_TRACE(MigrationModeName(c.mode));
    FormModel model;
    Select(model, c.mode);
    model.setText(FormField::SourceVaultPath, "");
    model.setText(FormField::SourceVaultPath, c.vault->folder);
    EXPECT_EQ(model.text(FormField::SourceDatabaseFile), c.vault->databaseFile);
    EXPECT_EQ(model.text(FormField::SourceFileRepositoryPath), c.vault->storage);
  }
}

TEST_F(FormModelSourceRule, TheCatalogModeReadsNothing) {
  Select(model_, mmUpdateTVSCatalog);
  model_.setText(FormField::SourceVaultPath, vaults_.unconfiguredFolder());
  EXPECT_EQ(databaseFile(), "");
}

TEST_F(FormModelSourceRule, AnUnreadableFolderRaisesAndLeavesTheDerivedFieldsEmpty) {
  EXPECT_THROW(model_.setText(FormField::SourceVaultPath, vaults_.unconfiguredFolder()), Exception);
  EXPECT_EQ(databaseFile(), "");
  EXPECT_EQ(storage(), "");
}

TEST_F(FormModelSourceRule, WhileLoadingTheDerivedFieldsStayButTheOracleVersionIsRead) {
  Select(model_, mmTVSFirebirdToTVSOracle);
  model_.setText(FormField::SourceVaultPath, "/elsewhere/");
  model_.setText(FormField::SourceDatabaseFile, "stored.fdb");
  {
    const FormModel::Loading loading(model_);
    model_.setText(FormField::SourceVaultPath, vaults_.server.folder);
  }
  EXPECT_EQ(databaseFile(), "stored.fdb");
  EXPECT_EQ(storage(), "");
  EXPECT_EQ(model_.sourceVersion(), "TVS-2.0");
  // Loading is over: the next change fills the fields again.
  model_.setText(FormField::SourceVaultPath, "");
  model_.setText(FormField::SourceVaultPath, vaults_.server.folder);
  EXPECT_EQ(databaseFile(), vaults_.server.databaseFile);
}

TEST_F(FormModelModes, TheOracleRecordIsFilledOnlyInTheOracleMode) {
  model_.setText(FormField::OraTNSName, "VAULTDB");
  model_.setText(FormField::OraScheme, "TVS");
  model_.setText(FormField::OraUser, "vault");
  model_.setText(FormField::OraPassword, "s3cret");
  model_.setText(FormField::TVSInstaller, "/setup/TavrinVaultSetup.exe");
  model_.setText(FormField::BackupFileName, "/backup/tvs.zip");

  const TTVSOracleParams oracle = model_.OracleParams(mmTVSFirebirdToTVSOracle);
  EXPECT_EQ(oracle.TNSName, "VAULTDB");
  EXPECT_EQ(oracle.Scheme, "TVS");
  EXPECT_EQ(oracle.User, "vault");
  EXPECT_EQ(oracle.Password, "s3cret");
  EXPECT_EQ(oracle.Installer, "/setup/TavrinVaultSetup.exe");
  EXPECT_EQ(oracle.BackupFileName, "/backup/tvs.zip");
  EXPECT_EQ(oracle.UnInstaller, InstalledVaults::kUninstaller);
  EXPECT_EQ(oracle.Host, " ");
  EXPECT_EQ(oracle.Port, 0);
  EXPECT_FALSE(oracle.DirectConnection);

  const TTVSOracleParams other = model_.OracleParams(mmSVSToTVS);
  EXPECT_EQ(other.TNSName, "");
  EXPECT_EQ(other.Host, "");
  EXPECT_EQ(other.Password, "");
  EXPECT_EQ(other.UnInstaller, "");
}

TEST_F(FormModelModes, WithoutARegisteredUninstallerTheOracleRecordHasNone) {
  platform_.setRegistry(RegistryExport(""));
  EXPECT_EQ(model_.OracleParams(mmTVSFirebirdToTVSOracle).UnInstaller, "");
}

}  // namespace
}  // namespace movrano::testing
