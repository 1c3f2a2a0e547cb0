// The data work of the Outpost and Solo Vault sources: vault identity and
// the fixed copy plans in one destination transaction, the file storage,
// and the hand-off to the part catalog migration.
#include "catalog/PCLMigrationManager.h"
#include "engine/VaultMigrationManager.h"
#include "platform/DirectoryCopy.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace {

struct CopyStep {
  const char* caption;
  const char* source;
  const char* dest;
};

// Steps both plans share, in plan order; each plan adds its own around them.
constexpr CopyStep kCommonSteps[] = {
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

constexpr CopyStep kOutpostStateChange = {"LifeCycleStateChange", "sql_source_lifecyclestatechange",
                                          "sql_dest_lifecyclestatechange"};
constexpr CopyStep kSoloStateChange = {"LifeCycleStateChange",
                                       "sql_source_solo_lifecyclestatechange",
                                       "sql_dest_solo_lifecyclestatechange"};

constexpr CopyStep kNamingSteps[] = {
    {"LifeCycleStateTransition", "sql_source_lifecyclestatetransition",
     "sql_dest_lifecyclestatetransition"},
    {"RevisionNameLevel", "sql_source_revisionnamelevel", "sql_dest_revisionnamelevel"},
    {"RevisionNamingScheme", "sql_source_resiionnamingscheme", "sql_dest_resiionnamingscheme"},
};

constexpr CopyStep kSoloOnlySteps[] = {
    {"AcquisitionPointer", "sql_source_acquisitionpointer", "sql_dest_acquisitionpointer"},
    {"ACLDataFull", "sql_source_acldata_full", "sql_dest_acldata_full"},
    {"Users", "sql_source_solo_user", "sql_dest_solo_user"},
    {"Groups", "sql_source_solo_group", "sql_dest_solo_group"},
    {"Membership", "sql_source_solo_membership", "sql_dest_solo_membership"},
    {"Organizations", "sql_source_solo_org", "sql_dest_solo_org"},
};

constexpr const char* kAclInsert = "sql_acl_insert";

std::string WithoutTrailingDelimiter(const std::string& folder) {
  if (!folder.empty() && folder.back() == '/') return folder.substr(0, folder.size() - 1);
  return folder;
}

}  // namespace

void TVaultMigrationManager::MigrateOutpostData() {
  FDestDatabase->startTransaction();
  try {
    UpdateVaultInfo();
    CopyOutpostTables();
    LoadRequiredUsers();
    SaveUsers();
    SaveGroups();
    FDestDatabase->commit();
  } catch (...) {
    FDestDatabase->rollback();
    throw;
  }
}

void TVaultMigrationManager::MigrateSoloData() {
  FDestDatabase->startTransaction();
  try {
    UpdateVaultInfo();
    CopySoloTables();
    FDestDatabase->commit();
  } catch (...) {
    FDestDatabase->rollback();
    throw;
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

void TVaultMigrationManager::CopyOutpostTables() {
  for (const CopyStep& s : kCommonSteps)
    CopyTable(s.source, s.dest, s.caption, {}, nullptr);
  CopyTable(kOutpostStateChange.source, kOutpostStateChange.dest, kOutpostStateChange.caption, {},
            nullptr);
  for (const CopyStep& s : kNamingSteps)
    CopyTable(s.source, s.dest, s.caption, {}, nullptr);
  CopyTable("sql_source_resiionnamingscheme_rights", kAclInsert, "RevisionNamingScheme rights", {},
            nullptr);
  CopyTable("sql_source_lifecycle_rights", kAclInsert, "LifeCycleDefenition rights", {}, nullptr);
  CopyTable("sql_acl_copy_users", kAclInsert, "ACL.Users", {"UserScope"},
            [this](const std::string& v) { return CollectUserGUID(v); });
  CopyTable("sql_acl_copy_organizations", kAclInsert, "ACL.Org", {"UserScope"},
            [this](const std::string& v) { return ConvertToOrganisationGUID(v); });
  CopyTable("sql_acl_copy_public", kAclInsert, "ACLPublic", {}, nullptr);
}

void TVaultMigrationManager::CopySoloTables() {
  for (const CopyStep& s : kCommonSteps)
    CopyTable(s.source, s.dest, s.caption, {}, nullptr);
  CopyTable(kSoloStateChange.source, kSoloStateChange.dest, kSoloStateChange.caption, {}, nullptr);
  for (const CopyStep& s : kNamingSteps)
    CopyTable(s.source, s.dest, s.caption, {}, nullptr);
  for (const CopyStep& s : kSoloOnlySteps)
    CopyTable(s.source, s.dest, s.caption, {}, nullptr);
}

void TVaultMigrationManager::MigratePartCatalog() {
  TPCLMigrationManager catalog(
      *FDestDatabase, [this](const std::string& t) { WriteLog(t); }, FDestFileStoragePath,
      FSessionID);
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
  if (SameText(source, dest)) return;
  WriteLogFmt("Start FileStorage copying from %s to %s", FSourceFileStoragePath,
              FDestFileStoragePath);
  CopyDirectory(source, dest);
  WriteLog("File storage copying finished");
}

}  // namespace movrano
