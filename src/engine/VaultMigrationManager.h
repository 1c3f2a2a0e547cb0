#pragma once
// The migration engine: one object per run. Run() performs the whole
// migration of the chosen mode (checks, connections, version gates, the
// table copies in one destination transaction, users and groups, the file
// storage) and returns only when it succeeded; every failure raises.
//
// A run holds its destination for itself from its first look at it to the
// engine's end, and reads its source in one read-only snapshot taken when
// the source is connected, before the file storage is copied: a source
// vault that is still in use arrives as it was at that moment.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/Utils.h"
#include "db/Connection.h"
#include "db/Transaction.h"
#include "engine/CopyPlans.h"
#include "engine/MigrationRequest.h"
#include "platform/FolderLock.h"
#include "services/IDSTypes.h"

namespace movrano {

class IDSPort;
namespace db {
class Query;
}  // namespace db
namespace IDS {
class SessionID;
class APIVersion;
}  // namespace IDS
namespace soap {
class AttachedHeaders;
class SOAPHeader;
}  // namespace soap

// The organisation of every migrated user, membership and group, and of
// the organisation-scoped access rows.
inline constexpr const char* DefaultOrganisationGUID = "46d061bc-5bd6-481d-96b0-a12256ee7e56";

// The Outpost vault's service, stopped around a migration from it.
inline constexpr const char* kOutpostServiceName = "TavrinOutpostVaultService";

// The value of the first entry named exactly `name`; empty when none is.
std::string GetParameterValue(const IDS_Parameters* parameters, const std::string& name);

class TVaultMigrationManager {
 public:
  // Checks and connects nothing. Without an identity client the engine
  // makes its own; the busy/idle callback is the worker's, not the engine's.
  explicit TVaultMigrationManager(MigrationRequest request);
  ~TVaultMigrationManager();
  TVaultMigrationManager(const TVaultMigrationManager&) = delete;
  TVaultMigrationManager& operator=(const TVaultMigrationManager&) = delete;

  void Run();

 protected:  // the steps and the run's state, for tests that drive one step at a time
  void WriteLog(const std::string& text);
  template <typename... Args>
  void WriteLogFmt(std::string_view format, const Args&... args) {
    WriteLog(Format(format, args...));
  }

  // Connections, destination lookup, identity login, the Outpost service.
  std::unique_ptr<db::Connection> CreateConnection(const std::string& protocol,
                                                   const std::string& host,
                                                   const std::string& database,
                                                   const std::string& catalog,
                                                   const std::string& user,
                                                   const std::string& password, int32_t port);
  std::unique_ptr<db::Connection> ConnectFirebird(const std::string& databaseFile);
  void LockDestination();
  // The source connection with the run's snapshot of it, and their end.
  void ConnectSource();
  void DisconnectSource();
  void LocateDestinationVault();
  void OpenSourceVault();
  void ConnectDestination();
  void LoginToIdentityService();
  // The login's SessionID and APIVersion, for every identity call after it.
  std::vector<soap::SOAPHeader*> SessionHeaders() const;
  void StopOutpostService();
  void StartOutpostService();

  // Version gates and the emptiness check.
  void CheckVersions(TMigrationMode mode);
  void CheckDestinationDatabaseVersion();
  void CheckDestinationEmpty();

  // Table copies.
  void CopyTable(const std::string& sourceStatement, const std::string& destStatement,
                 const std::string& caption, const std::vector<std::string>& fieldNames,
                 const TConvertProc& convert);
  std::string CollectUserGUID(const std::string& AOriginalValue);
  std::string ConvertToOrganisationGUID(const std::string& AOriginalValue);

  // Copy plans and their frame.
  void MigrateOutpostData();
  void MigrateSoloData();
  void UpdateVaultInfo();
  void CopyOutpostTables();
  void CopySoloTables();
  void CopyPlan(const std::vector<TCopyStep>& plan);
  void CheckDataFilesInStorage();
  void MigratePartCatalog();
  void CopyFileStorage();

  // Users and groups from the identity service.
  void LoadRequiredUsers();
  void SaveUsers();
  void SaveGroups();

  // The Oracle mode: the reinstallation of the server on Oracle.
  void BackupSourceData();
  void MigrateFirebirdToOracle();
  bool CheckInstallerVersion();
  std::string GetBackupToolPath() const;
  void RunBackupTool(const std::string& tool);
  void RunUninstaller();
  void RunInstaller(const std::string& arguments);
  void RefuseUnquotableCommandLines(bool installed, const std::string& tool) const;
  void RefuseBackupFileOnVaultData() const;
  std::vector<std::string> WhatIsLeft(bool backupWritten) const;
  void LogWhatIsLeft(bool backupWritten);
  void WriteRestoreNote(bool installed, bool backupWritten);
  void LocateInstalledDestination(std::string& storage);

  // The Oracle mode: the copy of every table into the Oracle schema.
  void CopyAllTablesToOracle();
  void ClearOracleTables();
  void CopyTableRows(db::Query& source, db::Query& dest, const std::string& table);
  static std::string BuildInsertSQL(const db::Query& source, const std::string& table);
  void DisableOracleConstraints();
  void EnableOracleConstraints();
  bool OracleSchemaHasTables();
  void CheckOracleSchemaEmpty();

  TLogCallBack FLogProc;
  TProgressEvent FProgressEvent;
  std::string FDestVaultPath;
  std::string FUserName;
  std::string FUserPass;
  std::string FSourceDatabaseFile;
  std::string FDestDatabaseFile;
  std::string FSourceFileStoragePath;
  std::string FDestFileStoragePath;
  std::unique_ptr<db::Connection> FSourceDatabase;
  std::unique_ptr<db::Connection> FDestDatabase;
  std::unique_ptr<db::Transaction> FSourceSnapshot;  // on FSourceDatabase, ended before it
  std::optional<FolderLock> FDestinationLock;        // let go after both connections
  int32_t FTotalItems = 0;
  int32_t FCopiedItems = 0;
  TMigrationMode FMigrationMode;
  std::vector<std::string> FSourceSupportedVersions;
  std::vector<std::string> FDestSupportedVersions;
  std::map<std::string, std::unique_ptr<IDS_User>> FRequiredUsers;
  std::map<std::string, std::string> FRequiredGroups;
  std::map<std::string, TConvertProc> FFieldConvertProcs;
  std::string FSessionID;
  std::string FAccountID;
  std::shared_ptr<IDSPort> FIDSService;
  std::string FCatalogEndpoint;
  // The request's versions, logged by Run; the Oracle mode replaces them
  // by what it reads.
  std::string FSourceVersion;
  std::string FDestVersion;
  TTVSOracleParams FTVSOracleParams;
  // The session headers the login leaves for the next identity call. They
  // are withdrawn with this engine (declared after the client and the
  // headers, so it goes first), also when no identity call took them: the
  // client may serve another engine afterwards.
  std::unique_ptr<IDS::SessionID> sessionHeader_;
  std::unique_ptr<IDS::APIVersion> versionHeader_;
  std::unique_ptr<soap::AttachedHeaders> sessionHeadersAttached_;
  // An empty storage folder text would name the file system's root.
  bool FSourceStorageGiven;
  // The folder of the backup copies, once made.
  std::string FBackupFolder;
};

}  // namespace movrano
