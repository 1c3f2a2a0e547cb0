#include "app/Pickers.h"

#include "platform/Paths.h"

namespace movrano {

bool SelectFolder(FileDialogs& dialogs, std::string& Path, const std::string& Caption) {
  const auto picked = dialogs.pickFolder(Path, Caption);
  if (!picked) return false;
  Path = IncludeTrailingPathDelimiter(*picked);
  return true;
}

std::string DestinationVaultFolder(const std::string& picked) {
  if (FileExists(picked + "LocalVault.ini") && DirectoryExists(picked + "Vault")) {
    return picked + "Vault";
  }
  return picked;
}

std::string TypedExistingFileName(const std::string& typed, const std::string& defaultSuffix) {
  if (defaultSuffix.empty() || FileExists(typed) || DirectoryExists(typed)) return typed;
  const size_t nameStart = typed.find_last_of(kPathDelimiter) + 1;
  if (typed.find('.', nameStart) != std::string::npos) return typed;
  return typed + "." + defaultSuffix;
}

FileDialogRequest BackupFileRequest(const std::string& current) {
  return {"Select Tavrin Vault backup file",
          {{"Zip archive files", "*.zip"}, {"Any Files", "*"}},
          "ZIP",
          current,
          false};
}

FileDialogRequest InstallerFileRequest(const std::string& current) {
  return {"Select Tavrin Vault Installer file",
          {{"Executable files", "*.exe"}, {"Any Files", "*"}},
          "EXE",
          current,
          true};
}

FileDialogRequest SaveLogRequest() {
  return {"", {{"*.txt", "*.txt"}}, "txt", "MovranoLog.txt", false};
}

}  // namespace movrano
