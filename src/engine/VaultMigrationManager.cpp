#include "engine/VaultMigrationManager.h"

#include "platform/Paths.h"
#include "platform/Rights.h"
#include "platform/Version.h"
#include "services/IDS.h"
#include "services/soap/AttachedHeaders.h"
#include "statements/uSQLManager.h"

namespace movrano {

namespace {

using M = TMigrationMode;

bool IsOutpostMode(M m) {
  return m == M::mmOutpostToTVS || m == M::mmOutpostToSVS;
}
bool CopiesTables(M m) {
  return IsOutpostMode(m) || m == M::mmSVSToTVS || m == M::mmSVSToTVSOffline;
}
bool LogsIn(M m) {
  return IsOutpostMode(m) || m == M::mmSVSToTVS || m == M::mmUpdateTVSCatalog;
}

}  // namespace

TVaultMigrationManager::TVaultMigrationManager(MigrationRequest request)
    : FLogProc(std::move(request.LogProc)),
      FProgressEvent(std::move(request.ProgressEvent)),
      FDestVaultPath(IncludeTrailingPathDelimiter(request.DestVaultPath)),
      FUserName(std::move(request.UserName)),
      FUserPass(std::move(request.UserPass)),
      FSourceDatabaseFile(std::move(request.SourceDatabaseFile)),
      FSourceFileStoragePath(IncludeTrailingPathDelimiter(request.SourceFileRepositoryPath)),
      FMigrationMode(request.MigrationMode),
      FSourceSupportedVersions{"TavrinVault-1.0.1"},
      FDestSupportedVersions{"ZaredorEvovu-1.0.1", "XVSVault-1.0.1"},
      FIDSService(request.IDSService ? std::move(request.IDSService) : GetIDSPort(false, "")),
      FCatalogEndpoint(std::move(request.CatalogEndpoint)),
      FSourceVersion(std::move(request.SourceVersion)),
      FDestVersion(std::move(request.DestVersion)),
      FTVSOracleParams(std::move(request.TVSOracleParams)),
      FSourceStorageGiven(!request.SourceFileRepositoryPath.empty()) {
  FFieldConvertProcs["CREATEDBYGUID"] = [this](const std::string& v) { return CollectUserGUID(v); };
  FFieldConvertProcs["LASTMODIFIEDBYGUID"] = [this](const std::string& v) {
    return CollectUserGUID(v);
  };
}

TVaultMigrationManager::~TVaultMigrationManager() {
  // The source goes before the destination; each closes its own
  // connection (an open transaction is rolled back). The destination is
  // free for another run only once both are closed.
  FSourceSnapshot.reset();
  FSourceDatabase.reset();
  FDestDatabase.reset();
  FDestinationLock.reset();
}

void TVaultMigrationManager::WriteLog(const std::string& text) {
  if (FLogProc) FLogProc(text);
}

void TVaultMigrationManager::Run() {
  const M mode = FMigrationMode;
  const bool oracle = mode == M::mmTVSFirebirdToTVSOracle;

  WriteLog("Start migration");
  WriteLogFmt("Tool version %s, migration mode %s", GetOwnVersionString(), MigrationModeName(mode));
  if (!FDestVersion.empty()) WriteLogFmt("Destination version - %s", FDestVersion);
  if (!FSourceVersion.empty()) WriteLogFmt("Source version - %s", FSourceVersion);

  if (!oracle && SQLManager().StatementCount() == 0) {
    RaiseMigrationError(
        "File with sql statements was not loaded. Try restart application with Movrano.sql file "
        "in working folder.");
  }
  if (!IsUserAdmin()) {
    RaiseMigrationError(
        "Application require administrator rights in Windows to run (for service management). "
        "Try start it with \"Run as Administrator\".");
  }
  if (!oracle && !DirectoryExists(FDestVaultPath)) {
    RaiseMigrationErrorFmt("Destination Vault folder (%s) does not exists.", {FDestVaultPath});
  }
  if (oracle) {
    if (!FileExists(FTVSOracleParams.UnInstaller)) {
      WriteLogFmt("Source Vault uninstaller (%s) does not exists.", FTVSOracleParams.UnInstaller);
    }
    if (!FileExists(FTVSOracleParams.Installer)) {
      RaiseMigrationErrorFmt("Destination Vault installer (%s) does not exists.",
                             {FTVSOracleParams.Installer});
    }
  }
  // Before the login and the Outpost service stop: a refused run leaves
  // the source vault's service alone too.
  LockDestination();
  if (LogsIn(mode)) LoginToIdentityService();
  if (IsOutpostMode(mode)) StopOutpostService();

  try {
    if (mode != M::mmUpdateTVSCatalog) OpenSourceVault();
    if (!oracle) LocateDestinationVault();
    ConnectDestination();
    if (!oracle) CheckVersions(mode);
    if (CopiesTables(mode)) {
      CheckDestinationEmpty();
      CopyFileStorage();
    }
    switch (mode) {
      case M::mmOutpostToTVS:
      case M::mmOutpostToSVS:
        MigrateOutpostData();
        break;
      case M::mmSVSToTVS:
        MigrateSoloData();
        MigratePartCatalog();
        break;
      case M::mmUpdateTVSCatalog:
        MigratePartCatalog();
        break;
      case M::mmTVSFirebirdToTVSOracle:
        MigrateFirebirdToOracle();
        break;
      case M::mmSVSToTVSOffline:
        MigrateSoloData();
        break;
    }
    if (CopiesTables(mode)) DisconnectSource();
    FDestDatabase->disconnect();
  } catch (...) {
    // The service comes back whatever happened; a failure of its own log
    // line (a cancellation) replaces the one in flight.
    if (IsOutpostMode(mode)) StartOutpostService();
    throw;
  }
  if (IsOutpostMode(mode)) StartOutpostService();
  WriteLog("Migration succesfully finished");
}

}  // namespace movrano
