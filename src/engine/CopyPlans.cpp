// The data work of the Outpost and Solo Vault sources: vault identity and
// the fixed copy plans in one destination transaction, the file storage,
// and the hand-off to the part catalog migration.
#include "engine/CopyPlans.h"

#include <filesystem>
#include <system_error>

#include "catalog/PCLMigrationManager.h"
#include "db/Query.h"
#include "engine/VaultMigrationManager.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace {

using C = TUserScopeConversion;

// Steps both plans share, before and after their own state-change step.
const std::vector<TCopyStep> kCommonSteps = {
    {"TLU_Folder", "sql_source_folders", "sql_dest_folders"},
    {"ContentType", "sql_source_contenttype", "sql_dest_contenttype"},
    {"DataFile", "sql_source_datafile", "sql_dest_datafile"},
    {"DataFolder", "sql_source_datafolder", "sql_dest_datafolder"},
    {"FolderParameter", "sql_source_folderparameter", "sql_dest_folderparameter"},
    {"FolderType", "sql_source_foldertype", "sql_dest_foldertype"},
    {"Item", "sql_source_item", "sql_dest_item"},
    {"ItemLink", "sql_source_itemlink", "sql_dest_itemlink"},
    {"ItemLinkParameter", "sql_source_itemlinkparameter", "sql_dest_itemlinkparameter"},
    {"ItemRevision", "sql_source_itemrevision", "sql_dest_itemrevision"},
    {"ItemRevisionLink", "sql_source_itemrevisionlink", "sql_dest_itemrevisionlink"},
    {"ItemRevisionLinkParameter", "sql_source_itemrevisionlinkparameter",
     "sql_dest_itemrevisionlinkparameter"},
    {"ItemRevisionParameter", "sql_source_itemrevisionparameter", "sql_dest_itemrevisionparameter"},
    {"LifeCycleDefenition", "sql_source_lifecycledefinition", "sql_dest_lifecycledefinition"},
    {"LifeCycleStage", "sql_source_lifecyclestage", "sql_dest_lifecyclestage"},
    {"LifeCycleState", "sql_source_lifecyclestate", "sql_dest_lifecyclestate"},
};

const std::vector<TCopyStep> kNamingSteps = {
    {"LifeCycleStateTransition", "sql_source_lifecyclestatetransition",
     "sql_dest_lifecyclestatetransition"},
    {"RevisionNameLevel", "sql_source_revisionnamelevel", "sql_dest_revisionnamelevel"},
    {"RevisionNamingScheme", "sql_source_resiionnamingscheme", "sql_dest_resiionnamingscheme"},
};

std::vector<TCopyStep> Plan(const TCopyStep& stateChange, const std::vector<TCopyStep>& own) {
  std::vector<TCopyStep> plan = kCommonSteps;
  plan.push_back(stateChange);
  plan.insert(plan.end(), kNamingSteps.begin(), kNamingSteps.end());
  plan.insert(plan.end(), own.begin(), own.end());
  return plan;
}

// The file system decides, through links; texts that differ only in case
// name two folders here. A folder that does not exist is no other's.
bool SameFolder(const std::string& a, const std::string& b) {
  std::error_code ec;
  return std::filesystem::equivalent(a, b, ec);
}

std::string WithoutTrailingDelimiter(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder.substr(0, folder.size() - 1);
  return folder;
}

// Each data file row as its data folder's path below the storage root and
// its file name.
constexpr const char* kDataFilePathsStatement = "sql_dest_datafile_paths";

std::string DataFilePath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// A path that would leave the storage (absolute, "..", a name with a
// delimiter) names no file in it.
bool IsFileInStorage(const std::string& storage, const std::string& folder,
                     const std::string& name) {
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
    return false;
  }
  const std::filesystem::path relative(DataFilePath(folder, name));
  if (relative.is_absolute()) return false;
  for (const auto& part : relative) {
    if (part == "..") return false;
  }
  std::error_code ec;
  return std::filesystem::is_regular_file(std::filesystem::path(storage) / relative, ec);
}

}  // namespace

void RefuseIncompleteCopy(const std::vector<SkippedEntry>& skipped, const std::string& into) {
  if (skipped.empty()) return;
  RaiseMigrationErrorFmt(
      "Could not copy \"%s\" %s: %s (entries not copied: %d)",
      {skipped.front().path.string(), into, skipped.front().reason, EntriesNotCopied(skipped)});
}

void TVaultMigrationManager::MigrateOutpostData() {
  db::Transaction transaction(*FDestDatabase);
  UpdateVaultInfo();
  CopyOutpostTables();
  LoadRequiredUsers();
  SaveUsers();
  SaveGroups();
  CheckDataFilesInStorage();
  transaction.commit();
}

void TVaultMigrationManager::MigrateSoloData() {
  db::Transaction transaction(*FDestDatabase);
  UpdateVaultInfo();
  CopySoloTables();
  CheckDataFilesInStorage();
  transaction.commit();
}

// The copied rows may name only files that the destination's storage has:
// a source that changed between its snapshot and the storage copy, or a
// storage that lacked a file, must not leave a vault whose rows point at
// nothing.
void TVaultMigrationManager::CheckDataFilesInStorage() {
  const std::unique_ptr<db::Query> files = CreateQuery(*FDestDatabase, kDataFilePathsStatement);
  files->open();
  std::string first;
  int32_t missing = 0;
  for (; !files->eof(); files->next()) {
    const std::string folder = files->field(0).asString();
    const std::string name = files->field(1).asString();
    if (IsFileInStorage(FDestFileStoragePath, folder, name)) continue;
    if (missing++ == 0) first = DataFilePath(folder, name);
  }
  if (missing > 0) {
    RaiseMigrationErrorFmt(
        "The destination file storage %s has no file \"%s\" that the copied data file rows name "
        "(data files missing: %d): the source vault changed during the migration, or its file "
        "storage lacks the file.",
        {FDestFileStoragePath, first, missing});
  }
}

void TVaultMigrationManager::UpdateVaultInfo() {
  WriteLog("Start updating Vault parameters");
  TVarArray row;
  GetRow(*FSourceDatabase, "sql_vault_info", row);
  if (row.size() < 3) {
    RaiseMigrationError("The source vault has no vault record (statement sql_vault_info).");
  }
  // Texts, so that a NULL GUID, HRID or description refuses the run here.
  const std::string guid = row[0].toString();
  const std::string hrid = row[1].toString();
  const std::string description = row[2].toString();
  ExecStatement(*FDestDatabase, "sql_update_vault_guid", {"GUID", "HRID", "DESCRIPTION"},
                {db::Variant(guid), db::Variant(hrid + "(migrated)"),
                 db::Variant(description + "(migrated)")});
  WriteLogFmt("Dest vault updated to GUID=%s HRID=%s Description=%s", guid, hrid, description);
}

const std::vector<TCopyStep>& OutpostCopyPlan() {
  static const std::vector<TCopyStep> plan = Plan(
      {"LifeCycleStateChange", "sql_source_lifecyclestatechange", "sql_dest_lifecyclestatechange"},
      {
          {"RevisionNamingScheme rights", "sql_source_resiionnamingscheme_rights",
           "sql_acl_insert"},
          {"LifeCycleDefenition rights", "sql_source_lifecycle_rights", "sql_acl_insert"},
          {"ACL.Users", "sql_acl_copy_users", "sql_acl_insert", C::CollectUserGUID},
          {"ACL.Org", "sql_acl_copy_organizations", "sql_acl_insert", C::ConvertToOrganisationGUID},
          {"ACLPublic", "sql_acl_copy_public", "sql_acl_insert"},
      });
  return plan;
}

const std::vector<TCopyStep>& SoloCopyPlan() {
  static const std::vector<TCopyStep> plan = Plan(
      {"LifeCycleStateChange", "sql_source_solo_lifecyclestatechange",
       "sql_dest_solo_lifecyclestatechange"},
      {
          {"AcquisitionPointer", "sql_source_acquisitionpointer", "sql_dest_acquisitionpointer"},
          {"ACLDataFull", "sql_source_acldata_full", "sql_dest_acldata_full"},
          {"Users", "sql_source_solo_user", "sql_dest_solo_user"},
          {"Groups", "sql_source_solo_group", "sql_dest_solo_group"},
          {"Membership", "sql_source_solo_membership", "sql_dest_solo_membership"},
          {"Organizations", "sql_source_solo_org", "sql_dest_solo_org"},
      });
  return plan;
}

void TVaultMigrationManager::CopyPlan(const std::vector<TCopyStep>& plan) {
  for (const TCopyStep& step : plan) {
    TConvertProc convert;
    if (step.userScope == C::CollectUserGUID) {
      convert = [this](const std::string& v) { return CollectUserGUID(v); };
    } else if (step.userScope == C::ConvertToOrganisationGUID) {
      convert = [this](const std::string& v) { return ConvertToOrganisationGUID(v); };
    }
    const std::vector<std::string> fields =
        convert ? std::vector<std::string>{"UserScope"} : std::vector<std::string>{};
    CopyTable(step.source, step.dest, step.caption, fields, convert);
  }
}

void TVaultMigrationManager::CopyOutpostTables() {
  CopyPlan(OutpostCopyPlan());
}

void TVaultMigrationManager::CopySoloTables() {
  CopyPlan(SoloCopyPlan());
}

void TVaultMigrationManager::MigratePartCatalog() {
  TPCLMigrationManager catalog(
      *FDestDatabase, [this](const std::string& t) { WriteLog(t); }, FDestFileStoragePath,
      FSessionID, FCatalogEndpoint);
  if (catalog.PCLExists()) {
    catalog.CheckPCLIsEmpty();
    catalog.GetPCLGUIDs();
    catalog.CopyPCLData();
  } else {
    WriteLog("There is no Part Catalog in this TVS version.");
  }
}

void TVaultMigrationManager::CopyFileStorage() {
  const std::string source = WithoutTrailingDelimiter(FSourceFileStoragePath);
  const std::string dest = WithoutTrailingDelimiter(FDestFileStoragePath);
  if (SameFolder(source, dest)) return;
  WriteLogFmt("Start FileStorage copying from %s to %s", FSourceFileStoragePath,
              FDestFileStoragePath);
  // The data files are the vault's most valuable content: a copy that lacks
  // any of them ends the run before the destination's rows are written.
  RefuseIncompleteCopy(CopyDirectory(source, dest), "into the file storage");
  WriteLog("File storage copying finished");
}

}  // namespace movrano
