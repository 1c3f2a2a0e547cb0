// The main window offscreen: its controls, what each mode shows, the
// settings it starts from and leaves behind, and its pickers.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "app/InstalledVaults.h"
#include "app/MigrationModes.h"
#include "app/Pickers.h"
#include "app/Settings.h"
#include "app/WindowHarness.h"
#include "app/uCrypt.h"
#include "platform/IniFile.h"
#include "platform/Version.h"

namespace movrano::testing {
namespace {

using enum TMigrationMode;

QLabel* CaptionOf(QWidget& window, QWidget* edit) {
  for (QLabel* label : window.findChildren<QLabel*>()) {
    if (label->buddy() == edit) return label;
  }
  return nullptr;
}

TEST_F(WindowTest, ControlsCarryTheirNamesAndCaptions) {
  open();
  EXPECT_EQ(window().windowTitle(), "Movrano");
  const std::pair<const char*, const char*> buttons[] = {{"btnCopyLog", "Copy log"},
                                                         {"btnSaveLog", "Save log..."},
                                                         {"btnImport", "Run"},
                                                         {"Button1", "Close"},
                                                         {"Button_BackupFileName", "..."},
                                                         {"Button_TVSInstaller", "..."},
                                                         {"Check_Offline", "Offline mode"}};
  for (const auto& [name, caption] : buttons) {
    EXPECT_EQ(control<QAbstractButton>(name)->text(), caption) << name;
  }
  const std::pair<const char*, const char*> groups[] = {
      {"rgMigrationMode", "Migration mode"},
      {"GroupBox1", "Migration mode description"},
      {"GroupBox_DestinationOra", "Target - Tavrin Vault Oracle based parameters"}};
  for (const auto& [name, caption] : groups) {
    EXPECT_EQ(control<QGroupBox>(name)->title(), caption) << name;
  }
  const std::pair<const char*, const char*> edits[] = {
      {"edSourceVaultPath", "Vault path"},
      {"edSourceDatabaseFile", "Database file"},
      {"edSourceFileRepositoryPath", "File repository path"},
      {"LabeledEdit_BackupFileName", "Backup File Name"},
      {"edUserName", "TavrinLive user"},
      {"edUserPass", "TavrinLive password"},
      {"LabeledEdit_OraTNSName", "TNS Name Alias"},
      {"LabeledEdit_OraScheme", "Schema"},
      {"LabeledEdit_OraUser", "User"},
      {"LabeledEdit_OraPassword", "Password"},
      {"LabeledEdit_TVSInstaller", "Tavrin Vault Installer"}};
  for (const auto& [name, caption] : edits) {
    QLabel* label = CaptionOf(window(), control<QLineEdit>(name));
    ASSERT_NE(label, nullptr) << name;
    EXPECT_EQ(label->text(), caption) << name;
  }
  EXPECT_EQ(control<QLabel>("Label1")->text(), "Vault path");
  EXPECT_EQ(control<QLabel>("Label1")->buddy(), control<QWidget>("edDestVaultPath"));
  for (const char* name : {"edUserPass", "LabeledEdit_OraPassword"}) {
    EXPECT_EQ(control<QLineEdit>(name)->echoMode(), QLineEdit::Password) << name;
  }
  for (int i = 0; i <= kLastModeItem; ++i) {
    auto* item = control<QRadioButton>(QString("rgMigrationModeItem%1").arg(i).toUtf8());
    EXPECT_EQ(item->text(), kMigrationModeItems[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(control<QCheckBox>("Check_Offline")->toolTip(), "Skip supply chain");
  for (const char* name :
       {"Header", "OutpostPanel", "pnlSourceVault", "Panel_Target", "pnlDestVault", "mmLog",
        "FooterPanel", "lblMigrationModeSescription", "Label_Version"}) {
    control<QWidget>(name);
  }
}

TEST_F(WindowTest, AFirstStartShowsTheDefaultsAndTheProgramsVersion) {
  open();
  EXPECT_EQ(control<QLabel>("Label_Version")->text().toStdString(),
            "Version " + GetOwnVersionString());
  EXPECT_TRUE(control<QRadioButton>("rgMigrationModeItem0")->isChecked());
  EXPECT_EQ(text("edUserName"), kDefaultUserName);
  EXPECT_EQ(text("edSourceVaultPath"), "");
  EXPECT_EQ(control<QLabel>("lblMigrationModeSescription")->text().toStdString(),
            MigrationModeDescription(mmOutpostToTVS));
  EXPECT_EQ(control<QGroupBox>("pnlDestVault")->title(), "Target - Tavrin Vault ");
  EXPECT_FALSE(control<QWidget>("Check_Offline")->isVisible());
  EXPECT_TRUE(control<QWidget>("btnImport")->isEnabled());
  EXPECT_TRUE(prompter_.errors.empty());
  EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

TEST_F(WindowTest, EachModeShowsItsGroups) {
  open();
  selectItem(4);
  EXPECT_TRUE(control<QWidget>("GroupBox_DestinationOra")->isVisible());
  EXPECT_TRUE(control<QWidget>("LabeledEdit_BackupFileName")->isVisible());
  EXPECT_FALSE(control<QWidget>("pnlDestVault")->isVisible());
  EXPECT_EQ(control<QWidget>("pnlSourceVault")->height(), 199);

  selectItem(3);
  EXPECT_FALSE(control<QWidget>("pnlSourceVault")->isVisible());
  EXPECT_TRUE(control<QWidget>("pnlDestVault")->isVisible());
  EXPECT_FALSE(control<QWidget>("GroupBox_DestinationOra")->isVisible());

  selectItem(2);
  EXPECT_TRUE(control<QWidget>("Check_Offline")->isVisible());
  EXPECT_EQ(control<QWidget>("pnlSourceVault")->height(), 157);
  EXPECT_FALSE(control<QWidget>("LabeledEdit_BackupFileName")->isVisible());
  click("Check_Offline");
  EXPECT_EQ(control<QLabel>("lblMigrationModeSescription")->text().toStdString(),
            MigrationModeDescription(mmSVSToTVSOffline));
}

TEST_F(WindowTest, TheInstalledVaultsFillTheFoldersAndTheCaptions) {
  const InstalledVaults vaults(platform_);
  open();
  selectItem(2);
  EXPECT_EQ(text("edSourceVaultPath"), vaults.solo.folder);
  EXPECT_EQ(text("edSourceDatabaseFile"), vaults.solo.databaseFile);
  EXPECT_EQ(text("edSourceFileRepositoryPath"), vaults.solo.storage);
  EXPECT_EQ(text("edDestVaultPathEdit"), vaults.server.folder);
  EXPECT_EQ(control<QGroupBox>("pnlSourceVault")->title(), "Source - Solo Vault SVS-1.5");
  EXPECT_EQ(control<QGroupBox>("pnlDestVault")->title(), "Target - Tavrin Vault TVS-2.0");
}

TEST_F(WindowTest, StoredSettingsShowAtStartAndTheChangesAreWrittenAtClose) {
  IniFile ini(settingsFile());
  ini.writeString(kSettingsSection, "MigrationMode", "4");
  ini.writeString(kSettingsSection, "OraUser", "vault");
  ini.writeString(kSettingsSection, "OraPassword", EncryptText("tiger", SettingsCryptKey));
  ini.writeString(kSettingsSection, "DestVaultPath", "/stored/dest/");
  open();
  EXPECT_TRUE(control<QRadioButton>("rgMigrationModeItem4")->isChecked());
  EXPECT_TRUE(control<QWidget>("GroupBox_DestinationOra")->isVisible());
  EXPECT_EQ(text("LabeledEdit_OraUser"), "vault");
  EXPECT_EQ(text("LabeledEdit_OraPassword"), "tiger");
  EXPECT_EQ(text("edDestVaultPathEdit"), "/stored/dest/");

  type("edUserName", "engineer@tavrin.com");
  type("edUserPass", "correct horse");
  click("Button1");
  EXPECT_FALSE(isOpen());
  EXPECT_EQ(ini.readString(kSettingsSection, "IDSUserName", ""), "engineer@tavrin.com");
  EXPECT_EQ(ini.readString(kSettingsSection, "IDSPassword2", ""),
            EncryptText("correct horse", SettingsCryptKey));
  EXPECT_EQ(ini.readString(kSettingsSection, "OraUser", ""), "vault");
}

TEST_F(WindowTest, ASettingsFileLargerThanTheBoundIsReportedOnceAndReplacedOnlyAtClose) {
  const std::string bytes = "[Settings]\nIDSPassword=plain old\nMigrationMode=4\n; " +
                            std::string(kSettingsFileLimit, 'x') + "\n";
  programFolder_.write("Movrano.ini", bytes);
  open();
  ASSERT_EQ(prompter_.errors.size(), 1u);
  EXPECT_NE(prompter_.errors[0].find(settingsFile()), std::string::npos) << prompter_.errors[0];
  EXPECT_TRUE(control<QRadioButton>("rgMigrationModeItem0")->isChecked());
  EXPECT_EQ(text("edUserPass"), "");
  EXPECT_EQ(ReadFileBytes(settingsFile()), bytes);

  click("Button1");
  EXPECT_FALSE(isOpen());
  EXPECT_EQ(prompter_.errors.size(), 1u);
  EXPECT_LT(std::filesystem::file_size(settingsFile()), 4096u);
  EXPECT_EQ(IniFile(settingsFile()).readString(kSettingsSection, "IDSUserName", ""),
            kDefaultUserName);
}

TEST_F(WindowTest, AStoredSourceFolderThatCannotBeReadIsReportedAndTheWindowStillOpens) {
  const InstalledVaults vaults(platform_);
  IniFile(settingsFile())
      .writeString(kSettingsSection, "SourceVaultPath", vaults.unconfiguredFolder());
  open();
  ASSERT_EQ(prompter_.errors.size(), 1u);
  EXPECT_NE(prompter_.errors[0].find("Could not find OutpostVault configuration file"),
            std::string::npos);
  EXPECT_TRUE(isOpen());
  // The mode was never applied.
  EXPECT_EQ(control<QLabel>("lblMigrationModeSescription")->text(), "");
  EXPECT_EQ(control<QGroupBox>("pnlSourceVault")->title(), "Source");
  EXPECT_EQ(control<QGroupBox>("pnlDestVault")->title(), "Destination");
}

TEST_F(WindowTest, ASourceFolderThatCannotBeReadIsReportedAndTheWindowStaysUsable) {
  const InstalledVaults vaults(platform_);
  open();
  type("edSourceVaultPath", vaults.unconfiguredFolder());
  ASSERT_EQ(prompter_.errors.size(), 1u);
  EXPECT_EQ(text("edSourceDatabaseFile"), "");
  type("edSourceVaultPath", vaults.outpost.folder);
  EXPECT_EQ(text("edSourceDatabaseFile"), vaults.outpost.databaseFile);
  EXPECT_EQ(prompter_.errors.size(), 1u);
}

TEST_F(WindowTest, TheSourcePickerStartsAtTheFieldAndAPickedFolderRunsTheRule) {
  const InstalledVaults vaults(platform_);
  open();
  type("edSourceDatabaseFile", "kept.fdb");
  // The folder the field holds already: nothing changes.
  dialogs_.answer = vaults.outpost.folder.substr(0, vaults.outpost.folder.size() - 1);
  doubleClick("edSourceVaultPath");
  ASSERT_EQ(dialogs_.folderRequests.size(), 1u);
  EXPECT_EQ(dialogs_.folderRequests[0],
            std::make_pair(vaults.outpost.folder, std::string("Select Directory")));
  EXPECT_EQ(text("edSourceDatabaseFile"), "kept.fdb");

  dialogs_.answer = vaults.unconfiguredFolder();
  doubleClick("edSourceVaultPath");
  EXPECT_EQ(text("edSourceVaultPath"), vaults.unconfiguredFolder());
  EXPECT_EQ(text("edSourceDatabaseFile"), "");
  EXPECT_EQ(prompter_.errors.size(), 1u);

  dialogs_.answer.reset();
  doubleClick("edSourceVaultPath");
  EXPECT_EQ(text("edSourceVaultPath"), vaults.unconfiguredFolder());
}

TEST_F(WindowTest, TheDestinationPickerTakesTheVaultFolderOfAServerInstallation) {
  const InstalledVaults vaults(platform_);
  open();
  const std::string install = vaults.server.folder.substr(0, vaults.server.folder.size() - 7);
  dialogs_.answer = install;
  doubleClick("edDestVaultPathEdit");
  EXPECT_EQ(text("edDestVaultPathEdit"), install + "/Vault");
  dialogs_.answer = vaults.server.folder;
  doubleClick("edDestVaultPathEdit");
  EXPECT_EQ(text("edDestVaultPathEdit"), vaults.server.folder);
}

TEST_F(WindowTest, TheFilePickersSetTheirOwnOptionsEachTime) {
  open();
  selectItem(4);
  type("LabeledEdit_BackupFileName", "/backup/old.zip");
  dialogs_.answer = "/backup/new.zip";
  click("Button_BackupFileName");
  dialogs_.answer = "/setup/TavrinVaultSetup.exe";
  doubleClick("LabeledEdit_TVSInstaller");
  dialogs_.answer.reset();
  doubleClick("LabeledEdit_BackupFileName");
  click("Button_TVSInstaller");

  ASSERT_EQ(dialogs_.openRequests.size(), 4u);
  EXPECT_EQ(dialogs_.openRequests[0], BackupFileRequest("/backup/old.zip"));
  EXPECT_EQ(dialogs_.openRequests[1], InstallerFileRequest(""));
  EXPECT_EQ(dialogs_.openRequests[2], BackupFileRequest("/backup/new.zip"));
  EXPECT_EQ(dialogs_.openRequests[3], InstallerFileRequest("/setup/TavrinVaultSetup.exe"));
  EXPECT_EQ(text("LabeledEdit_BackupFileName"), "/backup/new.zip");
  EXPECT_EQ(text("LabeledEdit_TVSInstaller"), "/setup/TavrinVaultSetup.exe");
}

}  // namespace
}  // namespace movrano::testing
