#include "app/FormModel.h"

#include <algorithm>
#include <string_view>

#include "app/MigrationModes.h"
#include "discovery/VaultMigrationPathFinder.h"
#include "platform/Paths.h"

namespace movrano {

namespace {

using enum TMigrationMode;
using FolderLookup = std::string (*)();

// The height of the backup file's "..." button, which the source group's
// height follows.
constexpr int kBackupButtonHeight = 21;

// What a mode shows and which installed folders it fills in; a null
// lookup leaves the folder field unchanged.
struct ModeLayout {
  bool sourceShown;
  bool oracleShown;
  bool destShown;
  FolderLookup sourceFolder;
  FolderLookup destFolder;
  const char* sourceWord;
  const char* targetWord;
};

ModeLayout LayoutOf(TMigrationMode mode) {
  switch (mode) {
    case mmOutpostToTVS:
      return {true,
              false,
              true,
              &TVaultPathFinder::GetInstaledOutpostFolder,
              &TVaultPathFinder::GetInstalledXVSFolder,
              "Outpost Vault",
              "Tavrin Vault"};
    case mmOutpostToSVS:
      return {true,
              false,
              true,
              &TVaultPathFinder::GetInstaledOutpostFolder,
              &TVaultPathFinder::GetInstalledSoloFolder,
              "Outpost Vault",
              "Solo Vault "};
    case mmSVSToTVS:
    case mmSVSToTVSOffline:
      return {true,
              false,
              true,
              &TVaultPathFinder::GetInstalledSoloFolder,
              &TVaultPathFinder::GetInstalledTavrinVaultFolder,
              "Solo Vault",
              "Tavrin Vault"};
    case mmUpdateTVSCatalog:
      return {false, false,         true, nullptr, &TVaultPathFinder::GetInstalledXVSFolder,
              "",    "Tavrin Vault"};
    case mmTVSFirebirdToTVSOracle:
      return {true,
              true,
              false,
              &TVaultPathFinder::GetInstalledTavrinVaultFolder,
              nullptr,
              "Tavrin Vault (Firebird)",
              "Tavrin Vault (Oracle)"};
  }
  return {};
}

}  // namespace

FormModel::FormModel() {
  field(FormField::UserName) = kDefaultUserName;
}

const std::string& FormModel::text(FormField f) const {
  return texts_[static_cast<size_t>(f)];
}

void FormModel::setText(FormField f, std::string value) {
  value.resize(std::min(value.size(), value.find_first_of(std::string_view("\r\n\0", 3))));
  if (text(f) == value) return;
  field(f) = std::move(value);
  if (f == FormField::SourceVaultPath) edSourceVaultPathChange();
}

void FormModel::setItemIndex(int index) {
  index = std::clamp(index, -1, kLastModeItem);
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (index >= 0) ApplyMigrationMode();
}

void FormModel::setOfflineTicked(bool ticked) {
  offline_ = ticked;
  ApplyMigrationMode();
}

std::optional<TMigrationMode> FormModel::GetMigrationMode() const {
  return ModeFromSelection(itemIndex_, offline_);
}

void FormModel::ApplyMigrationMode() {
  FDestVersion.clear();
  FSourceVersion.clear();
  const auto mode = GetMigrationMode();
  if (mode) {
    view_.description = MigrationModeDescription(*mode);
    const ModeLayout layout = LayoutOf(*mode);
    view_.sourceVisible = layout.sourceShown;
    SetOracleTargetVisible(layout.oracleShown);
    view_.destVisible = layout.destShown;
    if (layout.sourceFolder) setText(FormField::SourceVaultPath, layout.sourceFolder());
    if (layout.destFolder) setText(FormField::DestVaultPath, layout.destFolder());
    try {
      FindModeVersions(*mode);
    } catch (const std::exception&) {
      // A vault that is not found or not readable leaves its version empty.
    }
    UpdateVaultCaptions(layout.sourceWord, layout.targetWord);
  }
  view_.offlineVisible = mode == mmSVSToTVS || mode == mmSVSToTVSOffline;
}

void FormModel::FindModeVersions(TMigrationMode mode) {
  const std::string source = text(FormField::SourceVaultPath);
  const std::string dest = text(FormField::DestVaultPath);
  std::string databaseFile;
  std::string storage;
  switch (mode) {
    case mmOutpostToTVS:
    case mmUpdateTVSCatalog:
      TVaultPathFinder::GetTVSInfo(dest, databaseFile, storage, FDestVersion, true);
      break;
    case mmOutpostToSVS:
      TVaultPathFinder::GetSoloPaths(dest, databaseFile, storage, FDestVersion);
      break;
    case mmSVSToTVS:
    case mmSVSToTVSOffline:
      TVaultPathFinder::GetTVSInfo(dest, databaseFile, storage, FDestVersion, false);
      TVaultPathFinder::GetSoloPaths(source, databaseFile, storage, FSourceVersion);
      break;
    case mmTVSFirebirdToTVSOracle:
      TVaultPathFinder::GetTVSInfo(source, databaseFile, storage, FSourceVersion, false);
      field(FormField::SourceDatabaseFile) = databaseFile;
      field(FormField::SourceFileRepositoryPath) = storage;
      break;
  }
}

void FormModel::edSourceVaultPathChange() {
  if (!FLoading) {
    field(FormField::SourceDatabaseFile).clear();
    field(FormField::SourceFileRepositoryPath).clear();
  }
  const std::string folder = text(FormField::SourceVaultPath);
  const auto mode = GetMigrationMode();
  if (!mode || !DirectoryExists(folder)) return;
  std::string databaseFile;
  std::string storage;
  std::string soloVersion;
  switch (*mode) {
    case mmOutpostToTVS:
    case mmOutpostToSVS:
      TVaultPathFinder::GetOutpostPaths(folder, databaseFile, storage);
      break;
    case mmSVSToTVS:
    case mmSVSToTVSOffline:
      TVaultPathFinder::GetSoloPaths(folder, databaseFile, storage, soloVersion);
      break;
    case mmTVSFirebirdToTVSOracle:
      TVaultPathFinder::GetTVSInfo(folder, databaseFile, storage, FSourceVersion, false);
      break;
    case mmUpdateTVSCatalog:
      return;
  }
  if (FLoading) return;
  if (!Trim(databaseFile).empty()) field(FormField::SourceDatabaseFile) = databaseFile;
  if (!Trim(storage).empty()) field(FormField::SourceFileRepositoryPath) = storage;
}

void FormModel::SetOracleTargetVisible(bool shown) {
  view_.oracleVisible = shown;
  view_.sourceHeight = static_cast<int>(kBackupButtonHeight * (shown ? 9.5 : 7.5));
}

void FormModel::UpdateVaultCaptions(const std::string& sourceWord, const std::string& targetWord) {
  view_.sourceCaption = Format("Source - %s %s", sourceWord, FSourceVersion);
  view_.destCaption = Format("Target - %s %s", targetWord, FDestVersion);
}

TTVSOracleParams FormModel::OracleParams(TMigrationMode mode) const {
  TTVSOracleParams params;
  if (mode != mmTVSFirebirdToTVSOracle) return params;
  params.Host = " ";
  params.Port = 0;
  params.DirectConnection = false;
  params.TNSName = text(FormField::OraTNSName);
  params.Scheme = text(FormField::OraScheme);
  params.User = text(FormField::OraUser);
  params.Password = text(FormField::OraPassword);
  params.Installer = text(FormField::TVSInstaller);
  params.BackupFileName = text(FormField::BackupFileName);
  params.UnInstaller = TVaultPathFinder::GetUnInstallerTavrinVault();
  return params;
}

}  // namespace movrano
