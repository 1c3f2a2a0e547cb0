// Connections, the destination's lock and configuration, the identity
// login and the Outpost vault's service.
#include <filesystem>
#include <optional>

#include "db/firebird/FirebirdDriver.h"
#include "db/oracle/OracleDriver.h"
#include "engine/VaultMigrationManager.h"
#include "platform/IniFile.h"
#include "platform/Paths.h"
#include "platform/Platform.h"
#include "platform/Services.h"
#include "services/IDS.h"
#include "services/soap/AttachedHeaders.h"

namespace movrano {

namespace {
// The Firebird server's built-in administrator account.
constexpr const char* kFirebirdUser = "SYSDBA";
constexpr const char* kFirebirdPassword = "quartzfen";
constexpr const char* kLoopbackHost = "localhost";
constexpr const char* kIdentityApiVersion = "2.0";

// The service's state now; nothing when it does not exist or cannot be
// looked at.
std::optional<ServiceState> CurrentServiceState(const std::string& name) {
  auto manager = CurrentPlatform().services->open("");
  if (!manager) return std::nullopt;
  auto service = manager->openService(name, kServiceQueryStatus);
  ServiceState state = ServiceState::Stopped;
  if (!service || !service->queryStatus(state)) return std::nullopt;
  return state;
}

// The folder whose lock holds the destination: the one that holds what
// names the destination's database and file storage (the vault's
// configuration file, one above the vault folder, as it is looked up; or
// the Oracle stand-in's schema file).
std::string DestinationLockFolder(TMigrationMode mode, const std::string& destVaultPath,
                                  const TTVSOracleParams& oracle) {
  if (mode != TMigrationMode::mmTVSFirebirdToTVSOracle) return destVaultPath + "..";
  const std::string folder = std::filesystem::path(oracle.TNSName).parent_path().string();
  return folder.empty() ? std::string(".") : folder;
}

}  // namespace

std::unique_ptr<db::Connection> TVaultMigrationManager::CreateConnection(
    const std::string& protocol, const std::string& host, const std::string& database,
    const std::string& catalog, const std::string& user, const std::string& password,
    int32_t port) {
  auto connection = std::make_unique<db::Connection>();
  connection->setProtocol(protocol);
  connection->setHostName(host);
  connection->setDatabase(database);
  connection->setUser(user);
  connection->setPassword(password);
  connection->setCatalog(catalog);
  connection->setClientCodepage("UTF8");
  if (port > 0) connection->setPort(port);
  connection->connect();
  return connection;
}

std::unique_ptr<db::Connection> TVaultMigrationManager::ConnectFirebird(
    const std::string& databaseFile) {
  return CreateConnection(db::kFirebirdProtocol, kLoopbackHost, databaseFile, "", kFirebirdUser,
                          kFirebirdPassword, 0);
}

void TVaultMigrationManager::LockDestination() {
  const bool oracle = FMigrationMode == TMigrationMode::mmTVSFirebirdToTVSOracle;
  const std::string destination =
      oracle ? Format("Destination Oracle database (%s)", FTVSOracleParams.TNSName)
             : Format("Destination Vault (%s)", FDestVaultPath);
  try {
    FDestinationLock = FolderLock::TryTake(
        DestinationLockFolder(FMigrationMode, FDestVaultPath, FTVSOracleParams));
  } catch (const EOSError& e) {
    RaiseMigrationErrorFmt("%s could not be locked for this migration: %s",
                           {destination, e.message()});
  }
  if (!FDestinationLock) {
    RaiseMigrationErrorFmt("%s is in use by another migration.", {destination});
  }
}

void TVaultMigrationManager::ConnectSource() {
  FSourceSnapshot.reset();
  FSourceDatabase = ConnectFirebird(FSourceDatabaseFile);
  FSourceSnapshot =
      std::make_unique<db::Transaction>(*FSourceDatabase, db::TransactionKind::ReadOnlySnapshot);
}

void TVaultMigrationManager::DisconnectSource() {
  // Read only: its end changes nothing, whether it commits or not.
  FSourceSnapshot.reset();
  FSourceDatabase->disconnect();
}

void TVaultMigrationManager::LocateDestinationVault() {
  const std::string configFile = FDestVaultPath + "../LocalVault.ini";
  if (!FileExists(configFile)) {
    RaiseMigrationErrorFmt("Could not find Vault configuration file %s", {configFile});
  }
  const IniFile ini(configFile);
  FDestDatabaseFile =
      MakeAbsolutePath(ini.readString("DataSource", "DatabaseFile", ""), FDestVaultPath);
  if (!FileExists(FDestDatabaseFile)) {
    RaiseMigrationErrorFmt("Could not find destination Vault database file %s",
                           {FDestDatabaseFile});
  }
  WriteLogFmt("Found destination database file %s", FDestDatabaseFile);
  FDestFileStoragePath =
      MakeAbsolutePath(ini.readString("Vault", "RootFolder", ""), FDestVaultPath);
  if (!DirectoryExists(FDestFileStoragePath)) {
    RaiseMigrationErrorFmt("Could not find destination Vault file storage directory %s",
                           {FDestFileStoragePath});
  }
  WriteLogFmt("Found destination file storage folder  %s", FDestFileStoragePath);
}

void TVaultMigrationManager::OpenSourceVault() {
  if (FMigrationMode == TMigrationMode::mmTVSFirebirdToTVSOracle) BackupSourceData();
  if (!FileExists(FSourceDatabaseFile)) {
    RaiseMigrationErrorFmt("Could not find source Vault database file %s", {FSourceDatabaseFile});
  }
  if (!FSourceStorageGiven || !DirectoryExists(FSourceFileStoragePath)) {
    RaiseMigrationErrorFmt("Could not find source Vault file storage directory %s",
                           {FSourceStorageGiven ? FSourceFileStoragePath : std::string()});
  }
  WriteLogFmt("Found source database file %s", FSourceDatabaseFile);
  WriteLogFmt("Found source file storage folder  %s", FSourceFileStoragePath);
  ConnectSource();
}

void TVaultMigrationManager::ConnectDestination() {
  if (FMigrationMode == TMigrationMode::mmTVSFirebirdToTVSOracle) {
    const TTVSOracleParams& o = FTVSOracleParams;
    FDestDatabase = CreateConnection(db::kOracleProtocol, o.Host, o.TNSName, o.Scheme, o.User,
                                     o.Password, o.Port);
    return;
  }
  FDestDatabase = ConnectFirebird(FDestDatabaseFile);
}

void TVaultMigrationManager::LoginToIdentityService() {
  WriteLog("Retreiving session from TavrinLive");
  ISOAPHeaders& headers = FIDSService->SOAPHeaders();
  IDS::APIVersion firstVersion;
  firstVersion.Value = kIdentityApiVersion;
  std::unique_ptr<IDS_LoginResult> result;
  {
    const soap::AttachedHeaders attached(headers, {&firstVersion});
    result = FIDSService->Login(FUserName, FUserPass, false);
  }
  if (!result || result->SessionId.empty()) RaiseMigrationError("Could not login to IDS!");
  FSessionID = result->SessionId;
  FAccountID = result->User ? result->User->AccountId : std::string();
  // These go with the next identity call only.
  sessionHeadersAttached_.reset();
  sessionHeader_ = std::make_unique<IDS::SessionID>();
  sessionHeader_->Value = FSessionID;
  versionHeader_ = std::make_unique<IDS::APIVersion>();
  versionHeader_->Value = kIdentityApiVersion;
  sessionHeadersAttached_ = std::make_unique<soap::AttachedHeaders>(headers, SessionHeaders());
  WriteLogFmt("Succesfully logged to IDS with Session=%s", FSessionID);
}

std::vector<soap::SOAPHeader*> TVaultMigrationManager::SessionHeaders() const {
  return {sessionHeader_.get(), versionHeader_.get()};
}

void TVaultMigrationManager::StopOutpostService() {
  WriteLogFmt("Try to stop Outpost service %s", kOutpostServiceName);
  if (StopServiceAndWait("", kOutpostServiceName, true)) return;
  // The run goes on, but a vault that is still live is copied as it changes.
  const std::optional<ServiceState> state = CurrentServiceState(kOutpostServiceName);
  if (state && *state != ServiceState::Stopped) {
    WriteLogFmt(
        "WARNING - Failed to stop Outpost Vault service (EMovrano The service %s is still "
        "running)",
        kOutpostServiceName);
  }
}

void TVaultMigrationManager::StartOutpostService() {
  bool started = false;
  bool warned = false;
  try {
    started = StartServiceAndWait("", kOutpostServiceName, true);
  } catch (const std::exception& e) {
    WriteLogFmt("WARNING - Failed to start Outpost Vault service (%s %s)", ExceptionClassName(e),
                std::string(e.what()));
    warned = true;
  }
  if (!started) {
    // A service that does not exist is no failure; one that is running
    // (it was never stopped) is where it should be.
    const std::optional<ServiceState> state = CurrentServiceState(kOutpostServiceName);
    if (state && *state != ServiceState::Running) {
      if (!warned) {
        WriteLogFmt(
            "WARNING - Failed to start Outpost Vault service (EMovrano The service %s is "
            "not running)",
            kOutpostServiceName);
      }
      return;
    }
  }
  WriteLogFmt("Outpost Vault service started %s", kOutpostServiceName);
}

}  // namespace movrano
