// The Firebird-to-Oracle reinstallation: the old server's data is saved,
// the old server uninstalled with its data kept, the new server installed
// on the Oracle schema, every table copied into that schema, and the file
// storage brought to the new installation.
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "discovery/VaultMigrationPathFinder.h"
#include "engine/VaultMigrationManager.h"
#include "platform/AtomicFile.h"
#include "platform/CommandLine.h"
#include "platform/DirectoryCopy.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Version.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace fs = std::filesystem;

namespace {

constexpr const char* kBackupToolFolder = "BackupTool";
constexpr const char* kBackupToolFile = "tvbackup.exe";
constexpr const char* kBackupFolderFormat = "VaultServerDataBackUp_%d_%d_%d_%d_%d_%d";
constexpr const char* kBackupStorageFolder = "Revisions";
constexpr const char* kVaultVersionStatement = "sql_vault_version";
constexpr const char* kRestoreNoteFile = "MovranoRestoreNote.txt";

// Joins two path parts with one "/" between them, as a folder that
// already ends with a delimiter (or is empty) needs none.
std::string JoinPath(const std::string& left, const std::string& right) {
  if (left.empty() || left.back() == kPathDelimiter || left.back() == ':') return left + right;
  return left + kPathDelimiter + right;
}

// Where the backup copies of the source go: the folder that holds the
// storage folder. There are no drives here, and the root of the storage's
// file system is often the system's own root; the parent folder lies
// outside the tree that is copied, beside the data the administrator looks
// after, and usually on the same file system.
std::string BackupRootFolder(const std::string& storageFolder) {
  fs::path storage(storageFolder);
  if (!storage.has_filename()) storage = storage.parent_path();  // the trailing "/"
  const std::string parent = storage.parent_path().string();
  return parent.empty() ? parent : IncludeTrailingPathDelimiter(parent);
}

// The vault's edition and release as its database says; a missing row or
// a NULL cannot become text and raises EVariantTypeCastError.
std::string VaultVersionOf(db::Connection& connection) {
  db::Variant value;
  GetValue(connection, kVaultVersionStatement, value);
  return value.toString();
}

bool HasInvalidPathCharacters(const std::string& path) {
  for (const unsigned char c : path) {
    if (c < 32 || c == '"' || c == '<' || c == '>' || c == '|') return true;
  }
  return false;
}

// The text from the last "." that follows the last path delimiter.
std::string FileExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos) return std::string();
  const size_t delimiter = path.find_last_of(kPathDelimiter);
  if (delimiter != std::string::npos && delimiter > dot) return std::string();
  return path.substr(dot);
}

// The backup folder is made anew by this run: a folder or link of that
// name that exists already (whoever can write its parent could plant one)
// is never used, the next free name is taken instead.
OpenFolder CreateBackupFolder(const std::string& root, const std::string& name) {
  constexpr int kNames = 100;
  for (int n = 1; n <= kNames; ++n) {
    const std::string path = root + (n == 1 ? name : Format("%s-%d", name, n));
    if (auto folder = OpenFolder::CreateNew(path)) return std::move(*folder);
  }
  RaiseMigrationErrorFmt("Could not create a new backup folder \"%s\": the name is taken",
                         {root + name});
}

// A program's path as the first item of a command line.
std::string QuotedProgram(const std::string& path) {
  return "\"" + path + "\"";
}

// Paths and values go into the command lines between double quotes; one
// that holds a double quote itself would cut the line in the wrong place.
void RefuseUnquotablePath(const std::string& path) {
  if (!CanQuote(path)) {
    RaiseMigrationErrorFmt("The path \"%s\" holds a double quote, which no command line can carry",
                           {path});
  }
}

void RefuseUnquotableValue(const std::string& value, const char* what) {
  if (!CanQuote(value)) {
    RaiseMigrationErrorFmt("The Oracle %s holds a double quote, which no command line can carry",
                           {std::string(what)});
  }
}

// The path or one of the folders above it is the same file-system object
// as `target` (links and other spellings of one path included).
bool IsOrIsInside(const fs::path& path, const std::string& target) {
  std::error_code ec;
  if (target.empty() || !fs::exists(target, ec)) return false;
  // ".." goes by text first, as for every path the program is given.
  const fs::path absolute = fs::absolute(path, ec).lexically_normal();
  if (ec) return false;
  for (fs::path at = absolute; !at.empty(); at = at.parent_path()) {
    std::error_code unused;
    if (fs::exists(at, unused) && fs::equivalent(at, target, unused)) return true;
    if (at == at.parent_path()) break;
  }
  return false;
}

}  // namespace

// The backup file is deleted before the tool runs and then written by it:
// it must not be the vault's own database or lie among its data.
void TVaultMigrationManager::RefuseBackupFileOnVaultData() const {
  const std::string& backupFile = FTVSOracleParams.BackupFileName;
  for (const std::string* data : {&FSourceDatabaseFile, &FSourceFileStoragePath, &FDestVaultPath}) {
    if (IsOrIsInside(backupFile, *data)) {
      RaiseMigrationErrorFmt("Backup file \"%s\" would overwrite the vault's own data \"%s\"",
                             {backupFile, *data});
    }
  }
}

// What a user needs to restore the old server once it may be gone.
std::vector<std::string> TVaultMigrationManager::WhatIsLeft(bool backupWritten) const {
  std::vector<std::string> lines = {"The old Tavrin Vault's data to restore it from:"};
  if (backupWritten) lines.push_back("Backup file " + FTVSOracleParams.BackupFileName);
  lines.push_back("Database file " + FSourceDatabaseFile);
  lines.push_back("File storage folder " + FSourceFileStoragePath);
  return lines;
}

// Whole also when the run is being cancelled: each line is shown before
// the cancellation raises at it, and the failure in flight is what the run
// ends with.
void TVaultMigrationManager::LogWhatIsLeft(bool backupWritten) {
  for (const std::string& line : WhatIsLeft(backupWritten)) {
    try {
      WriteLog(line);
    } catch (const std::exception&) {
    }
  }
}

// The log pane goes with the window and a killed run writes nothing more:
// before the old server is uninstalled, what is left of it is written
// beside its backup (the copies' folder, else the backup file's), private
// as the backup is. A note that cannot be written stops the run while the
// old server is still there.
void TVaultMigrationManager::WriteRestoreNote(bool installed, bool backupWritten) {
  const fs::path folder = installed ? fs::absolute(FTVSOracleParams.BackupFileName).parent_path()
                                    : fs::path(FBackupFolder);
  const std::string note = (folder / kRestoreNoteFile).string();
  std::string text;
  for (const std::string& line : WhatIsLeft(backupWritten))
    text += line + "\n";
  text +=
      "To restore the old Tavrin Vault, install it again on this database file and file storage "
      "folder";
  text +=
      backupWritten ? ", or restore its data from the backup file with its backup tool.\n" : ".\n";
  try {
    ReplacePrivateFileContents(note, text);
  } catch (const std::exception& e) {
    RaiseMigrationErrorFmt("Could not write the restore note \"%s\": %s", {note, e.what()});
  }
  WriteLogFmt("Restore note written to %s", note);
}

void TVaultMigrationManager::BackupSourceData() {
  if (FileExists(FTVSOracleParams.UnInstaller)) return;
  // Checked against the originals, which the copies replace from here on.
  if (FileExists(GetBackupToolPath())) RefuseBackupFileOnVaultData();
  if (!FSourceStorageGiven) {
    RaiseMigrationErrorFmt("Could not find source Vault file storage directory %s", {""});
  }
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  const OpenFolder backup =
      CreateBackupFolder(BackupRootFolder(FSourceFileStoragePath),
                         Format(kBackupFolderFormat, local.tm_year + 1900, local.tm_mon + 1,
                                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec));
  const std::string backupFolder = backup.path().string();
  FBackupFolder = backupFolder;

  const std::string storage = JoinPath(backupFolder, kBackupStorageFolder);
  WriteLogFmt("Start file storage backup copying from %s to %s", FSourceFileStoragePath, storage);
  // Without the old server the copies are all that the migration reads.
  RefuseIncompleteCopy(CopyDirectoryInto(FSourceFileStoragePath, backup, kBackupStorageFolder),
                       "into the file storage backup copy");
  FSourceFileStoragePath = IncludeTrailingPathDelimiter(storage);
  WriteLog("File storage backup copying finished");

  // The database server that owns the original must be able to open the
  // copy: it keeps the original's owner and mode, set on the open copy.
  const std::string name = fs::path(FSourceDatabaseFile).filename().string();
  const std::string database = JoinPath(backupFolder, name);
  WriteLogFmt("Start database backup copying from %s to %s", FSourceDatabaseFile, database);
  CopyFileInto(FSourceDatabaseFile, backup, name);
  FSourceDatabaseFile = database;
  WriteLog("Database backup copying finished");
}

void TVaultMigrationManager::MigrateFirebirdToOracle() {
  DisconnectSource();
  bool uninstalling = false;
  bool backupWritten = false;
  try {
    // Every destination write from here on belongs to one transaction.
    db::Transaction transaction(*FDestDatabase);
    const bool installed = CheckInstallerVersion();
    const std::string tool = GetBackupToolPath();
    const bool toolFound = FileExists(tool);
    RefuseUnquotableCommandLines(installed, toolFound ? tool : std::string());
    if (toolFound) {
      RunBackupTool(tool);
      backupWritten = true;
    } else if (installed) {
      RaiseMigrationErrorFmt("Could not found backup tool \"%s\"", {tool});
    } else {
      WriteLogFmt("Could not found backup tool \"%s\"", tool);
    }
    if (!installed) {
      FSourceDatabase->connect();
      FSourceVersion = VaultVersionOf(*FSourceDatabase);
    }
    CheckOracleSchemaEmpty();
    WriteRestoreNote(installed, backupWritten);
    uninstalling = true;
    RunUninstaller();

    const TTVSOracleParams& o = FTVSOracleParams;
    const std::string databaseArguments = Format(
        "/DBType=Oracle /DBServer=\"%s:%d\" /DBUsername=\"%s\" /DBPassword=\"%s\" "
        "/DatabaseName=\"%s\"",
        o.Host, o.Port, EscapeQuotedText(o.User), EscapeQuotedText(o.Password),
        EscapeQuotedText(o.TNSName));
    RunInstaller(installed ? Format(" /Silent %s /RevisionFolder=\"%s\"", databaseArguments,
                                    EscapeQuotedText(FSourceFileStoragePath))
                           : " " + databaseArguments);

    // The tables are read in one snapshot of the source, as in every mode.
    ConnectSource();
    if (!installed) {
      FDestVersion = VaultVersionOf(*FDestDatabase);
      if (FDestVersion != FSourceVersion) {
        RaiseMigrationError(
            "Source Tavrin Vault database (Firebird) must be the same version target Tavrin "
            "Vault database (Oracle)");
      }
    }
    CopyAllTablesToOracle();
    LocateInstalledDestination(FDestFileStoragePath);
    CopyFileStorage();
    transaction.commit();
    DisconnectSource();
  } catch (...) {
    // The transaction was rolled back as it went.
    if (uninstalling) LogWhatIsLeft(backupWritten);
    throw;
  }
}

// Refused before anything runs: a command line that would split a path or
// value in the wrong place starts the wrong program, or none, after the
// old server is gone.
void TVaultMigrationManager::RefuseUnquotableCommandLines(bool installed,
                                                          const std::string& tool) const {
  const TTVSOracleParams& o = FTVSOracleParams;
  RefuseUnquotablePath(o.Installer);
  if (!tool.empty()) RefuseUnquotablePath(tool);
  if (installed) {
    RefuseUnquotablePath(o.UnInstaller);
    RefuseUnquotablePath(FSourceFileStoragePath);
  }
  RefuseUnquotableValue(o.Host, "host");
  RefuseUnquotableValue(o.User, "user name");
  RefuseUnquotableValue(o.Password, "password");
  RefuseUnquotablePath(o.TNSName);
}

bool TVaultMigrationManager::CheckInstallerVersion() {
  const bool installed = FileExists(FTVSOracleParams.UnInstaller);
  if (installed) {
    FDestVersion = GetFileProductVersion(FTVSOracleParams.Installer);
    if (!SameText(FSourceVersion, FDestVersion)) {
      RaiseMigrationError(
          "Source Tavrin Vault (Firebird) must be the same version target Tavrin Vault (Oracle)");
    }
  }
  return installed;
}

// The uninstaller's folder. An uninstall command without a full path (none
// was found, or arguments follow its quoted path) gives no tool path, which
// a run without the old server only logs: a relative one would find a
// program in the current folder.
std::string TVaultMigrationManager::GetBackupToolPath() const {
  const std::string& uninstaller = FTVSOracleParams.UnInstaller;
  const size_t cut = uninstaller.find_last_of(kPathDelimiter);
  if (cut == std::string::npos || uninstaller.front() != kPathDelimiter) return std::string();
  const std::string folder = uninstaller.substr(0, std::max<size_t>(cut, 1));
  return JoinPath(JoinPath(folder, kBackupToolFolder), kBackupToolFile);
}

void TVaultMigrationManager::RunBackupTool(const std::string& tool) {
  const std::string& backupFile = FTVSOracleParams.BackupFileName;
  if (HasInvalidPathCharacters(backupFile)) {
    RaiseMigrationErrorFmt("Backup file name has invalid characters \"%s\"", {backupFile});
  }
  const std::string extension = FileExtension(backupFile);
  if (extension.empty() || extension == ".") {
    RaiseMigrationErrorFmt("Backup file name has no extension \"%s\"", {backupFile});
  }
  RefuseBackupFileOnVaultData();
  if (FileExists(backupFile)) {
    std::error_code ec;
    fs::remove(backupFile, ec);  // a file that cannot go is found again by the tool
  }
  WriteLog("Start Tavrin Vault backup");
  if (RunProcessAndWait(
          Format("%s backup -z %s", QuotedProgram(tool), QuoteCommandLineItem(backupFile))) != 0) {
    RaiseMigrationError("Could not backup Tavrin Vault");
  }
  WriteLog("Tavrin Vault backup finished");
  if (!FileExists(backupFile)) {
    RaiseMigrationErrorFmt("Could not found backup file \"%s\"", {backupFile});
  }
}

void TVaultMigrationManager::RunUninstaller() {
  if (!FileExists(FTVSOracleParams.UnInstaller)) return;
  WriteLog("Start Tavrin Vault uninstalling");
  if (RunProcessAndWait(QuotedProgram(FTVSOracleParams.UnInstaller) + " /silent keep-data") != 0) {
    RaiseMigrationError("Could not uninstall Tavrin Vault");
  }
  WriteLog("Tavrin Vault uninstalling finished");
}

void TVaultMigrationManager::RunInstaller(const std::string& arguments) {
  WriteLog("Start Tavrin Vault installing");
  if (RunProcessAndWait(QuotedProgram(FTVSOracleParams.Installer) + arguments) != 0) {
    RaiseMigrationError("Could not install Tavrin Vault");
  }
  WriteLog("Tavrin Vault installing finished");
}

// A server vault that cannot be found, or whose configuration does not
// pass, gives the empty storage folder.
void TVaultMigrationManager::LocateInstalledDestination(std::string& storage) {
  FDestVaultPath = TVaultPathFinder::GetInstalledTavrinVaultFolder();
  try {
    if (!TVaultPathFinder::GetTVSInfoOra(FDestVaultPath, storage, FDestVersion)) storage.clear();
  } catch (const std::exception&) {
    storage.clear();
  }
}

}  // namespace movrano
