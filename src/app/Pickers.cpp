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
