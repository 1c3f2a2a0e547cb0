#pragma once
// The main window's state without its widgets: the texts of its fields,
// the selected radio item and "Offline mode" tick, the versions of the
// vaults found, and what the selected mode shows. The window forwards each
// change the user makes and then shows the model; the mode application and
// the source-folder rule happen here, with vault discovery.
#include <array>
#include <optional>
#include <string>

#include "common/Utils.h"

namespace movrano {

enum class FormField {
  SourceVaultPath,
  SourceDatabaseFile,
  SourceFileRepositoryPath,
  BackupFileName,
  DestVaultPath,
  UserName,
  UserPass,
  OraTNSName,
  OraScheme,
  OraUser,
  OraPassword,
  TVSInstaller,
};
inline constexpr int kFormFieldCount = 12;
// Every field, in the order above.
inline constexpr FormField kFormFields[] = {
    FormField::SourceVaultPath, FormField::SourceDatabaseFile, FormField::SourceFileRepositoryPath,
    FormField::BackupFileName,  FormField::DestVaultPath,      FormField::UserName,
    FormField::UserPass,        FormField::OraTNSName,         FormField::OraScheme,
    FormField::OraUser,         FormField::OraPassword,        FormField::TVSInstaller};
static_assert(std::size(kFormFields) == kFormFieldCount);

// The user-name field's text before anything is read: the at-sign and the
// maker's mail domain.
inline constexpr const char* kDefaultUserName = "@tavrin.com";

// What the selected mode shows: groups, captions, description and the least
// height of the source group (it grows with what it holds).
struct FormView {
  std::string description;
  bool sourceVisible = true;
  bool destVisible = true;
  bool oracleVisible = false;
  bool offlineVisible = false;
  std::string sourceCaption = "Source";
  std::string destCaption = "Destination";
  int sourceHeight = 198;

  bool operator==(const FormView&) const = default;
};

class FormModel {
 public:
  FormModel();

  const std::string& text(FormField field) const;
  // Every field holds one line: a text is cut at its first line break (CR,
  // LF or NUL). A different source vault folder runs the source-folder
  // rule, which raises the reader's EMovrano when the folder's
  // configuration is unusable (the derived fields are then empty).
  void setText(FormField field, std::string value);

  // -1 (no item) to 4; other values are held at those bounds. Selecting
  // another item applies the mode.
  int itemIndex() const { return itemIndex_; }
  void setItemIndex(int index);
  bool offlineTicked() const { return offline_; }
  // The box's click: applies the mode whatever the tick.
  void setOfflineTicked(bool ticked);

  std::optional<TMigrationMode> GetMigrationMode() const;
  // Description, groups, the folders and versions found for the mode, and
  // the captions. A failing source-folder rule ends it (and raises).
  void ApplyMigrationMode();

  const FormView& view() const { return view_; }
  const std::string& sourceVersion() const { return FSourceVersion; }
  const std::string& destVersion() const { return FDestVersion; }

  // The Oracle record of a run in the mode: filled from the fields and the
  // uninstaller found in the Oracle mode, empty in every other.
  TTVSOracleParams OracleParams(TMigrationMode mode) const;

  // While the settings are read into the fields, the source-folder rule
  // leaves the derived fields alone.
  class Loading {
   public:
    explicit Loading(FormModel& model) : model_(model) { model_.FLoading = true; }
    ~Loading() { model_.FLoading = false; }
    Loading(const Loading&) = delete;
    Loading& operator=(const Loading&) = delete;

   private:
    FormModel& model_;
  };

 private:
  std::string& field(FormField f) { return texts_[static_cast<size_t>(f)]; }
  void edSourceVaultPathChange();
  void FindModeVersions(TMigrationMode mode);
  void SetOracleTargetVisible(bool shown);
  void UpdateVaultCaptions(const std::string& sourceWord, const std::string& targetWord);

  std::array<std::string, kFormFieldCount> texts_;
  int itemIndex_ = 0;
  bool offline_ = false;
  FormView view_;
  std::string FDestVersion;
  std::string FSourceVersion;
  bool FLoading = false;
};

}  // namespace movrano
