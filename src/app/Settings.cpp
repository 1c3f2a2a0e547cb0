#include "app/Settings.h"

#include <span>
#include <string>

#include "app/uCrypt.h"
#include "platform/IniDocument.h"
#include "platform/IniFile.h"

namespace movrano {

namespace {

namespace fs = std::filesystem;

struct StoredText {
  const char* key;
  FormField field;
};

constexpr StoredText kOracleTexts[] = {{"OraTNSName", FormField::OraTNSName},
                                       {"OraScheme", FormField::OraScheme},
                                       {"OraUser", FormField::OraUser}};
constexpr StoredText kInstallerTexts[] = {{"OraTVSInstaller", FormField::TVSInstaller},
                                          {"TVSBackup", FormField::BackupFileName}};
constexpr StoredText kFolderTexts[] = {
    {"SourceDataBaseFile", FormField::SourceDatabaseFile},
    {"SourceFileRepositoryPath", FormField::SourceFileRepositoryPath},
    {"SourceVaultPath", FormField::SourceVaultPath},
    {"DestVaultPath", FormField::DestVaultPath}};

constexpr const char* kLegacyPasswordKey = "IDSPassword";

class SettingsWriter {
 public:
  explicit SettingsWriter(const fs::path& file)
      : file_(file), document_(ReadIniFileForRewrite(file, kSettingsFileLimit)) {}

  // The value is never part of a message: it may be a password.
  void set(const char* key, const std::string& value) {
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
      throw EIniFileException(
          Format("The setting %s holds a line break and cannot be written to %s; nothing was "
                 "written",
                 key, file_.string()));
    }
    document_.set(kSettingsSection, key, value);
  }
  void set(std::span<const StoredText> texts, const FormModel& model) {
    for (const auto& t : texts)
      set(t.key, model.text(t.field));
  }

  void save() const { WriteIniFile(file_, document_); }

 private:
  fs::path file_;
  IniDocument document_;
};

}  // namespace

fs::path GetSettingsFileName(const fs::path& programFolder) {
  return programFolder / "Movrano.ini";
}

std::optional<std::string> ReadSettings(const fs::path& file, FormModel& model) {
  const FormModel::Loading loading(model);
  IniFile ini(file, kSettingsFileLimit);
  const bool tooLarge = ini.exceedsSizeLimit();
  const auto readTexts = [&](std::span<const StoredText> texts) {
    for (const auto& t : texts) {
      model.setText(t.field, ini.readString(kSettingsSection, t.key, model.text(t.field)));
    }
  };
  model.setText(FormField::UserName,
                ini.readString(kSettingsSection, "IDSUserName", kDefaultUserName));
  if (ini.valueExists(kSettingsSection, kLegacyPasswordKey)) {
    model.setText(FormField::UserPass, ini.readString(kSettingsSection, kLegacyPasswordKey, ""));
    ini.deleteKey(kSettingsSection, kLegacyPasswordKey);
  } else {
    model.setText(
        FormField::UserPass,
        DecryptText(ini.readString(kSettingsSection, "IDSPassword2", ""), SettingsCryptKey));
  }
  readTexts(kOracleTexts);
  model.setText(FormField::OraPassword,
                DecryptText(ini.readString(kSettingsSection, "OraPassword", ""), SettingsCryptKey));
  readTexts(kInstallerTexts);
  model.setItemIndex(ini.readInteger(kSettingsSection, "MigrationMode", model.itemIndex()));
  readTexts(kFolderTexts);
  if (!tooLarge) return std::nullopt;
  return Format(
      "The settings file %s is larger than %d KB and was not read; closing the window replaces "
      "it with the settings shown.",
      file.string(), kSettingsFileLimit / 1024);
}

void WriteSettings(const fs::path& file, const FormModel& model) {
  SettingsWriter writer(file);
  writer.set("IDSUserName", model.text(FormField::UserName));
  writer.set("IDSPassword2", EncryptText(model.text(FormField::UserPass), SettingsCryptKey));
  writer.set("MigrationMode", std::to_string(model.itemIndex()));
  writer.set(kFolderTexts, model);
  writer.set(kOracleTexts, model);
  writer.set("OraPassword", EncryptText(model.text(FormField::OraPassword), SettingsCryptKey));
  writer.set(kInstallerTexts, model);
  writer.save();
}

}  // namespace movrano
