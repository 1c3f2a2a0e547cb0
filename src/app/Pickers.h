#pragma once
// What the window's folder and file pickers ask for and how a picked name
// becomes a field's text.
#include <string>

#include "app/Dialogs.h"

namespace movrano {

// Picks a folder starting at `Path`; on success `Path` becomes the picked
// folder with a trailing "/" and the result is true. Cancel leaves it.
bool SelectFolder(FileDialogs& dialogs, std::string& Path, const std::string& Caption);

// The destination field's text for a picked folder (with its trailing
// "/"): a server installation folder (its "LocalVault.ini" beside a
// "Vault" folder) gives that "Vault" folder, any other folder itself.
std::string DestinationVaultFolder(const std::string& picked);

// The file that a dialog for an existing file takes for a typed name: the
// name as typed when it names a file or folder, else the name with the
// default suffix when its last part has no "." (an installer on Linux
// often has no extension).
std::string TypedExistingFileName(const std::string& typed, const std::string& defaultSuffix);

// The file dialogs of the backup file (a new name is accepted), the server
// installer (must exist) and the saved log.
FileDialogRequest BackupFileRequest(const std::string& current);
FileDialogRequest InstallerFileRequest(const std::string& current);
FileDialogRequest SaveLogRequest();

}  // namespace movrano
