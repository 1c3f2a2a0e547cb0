#include "support/vaults/PlanTables.h"

#include <algorithm>

namespace movrano::testing {

namespace {

std::vector<std::string> Joined(std::vector<std::string> head,
                                const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

// The steps both plans begin with, and the tables they fill.
const std::vector<std::string> kSharedCaptions = {
    "TLU_Folder",
    "ContentType",
    "DataFile",
    "DataFolder",
    "FolderParameter",
    "FolderType",
    "Item",
    "ItemLink",
    "ItemLinkParameter",
    "ItemRevision",
    "ItemRevisionLink",
    "ItemRevisionLinkParameter",
    "ItemRevisionParameter",
    "LifeCycleDefenition",
    "LifeCycleStage",
    "LifeCycleState",
    "LifeCycleStateChange",
    "LifeCycleStateTransition",
    "RevisionNameLevel",
    "RevisionNamingScheme",
};

const std::vector<std::string> kSharedTables = {
    "TLU_FOLDER",
    "TLU_CONTENTTYPE",
    "TLU_DATAFILE",
    "TLU_DATAFOLDER",
    "TLU_FOLDERPARAMETER",
    "TLU_FOLDERTYPE",
    "TLU_ITEM",
    "TLU_ITEMLINK",
    "TLU_ITEMLINKPARAMETER",
    "TLU_ITEMREVISION",
    "TLU_ITEMREVISIONLINK",
    "TLU_ITEMREVISIONLINKPARAMETER",
    "TLU_ITEMREVISIONPARAMETER",
    "TLU_LIFECYCLEDEFINITION",
    "TLU_LIFECYCLESTAGE",
    "TLU_LIFECYCLESTATE",
    "TLU_LIFECYCLESTATECHANGE",
    "TLU_LIFECYCLESTATETRANSITION",
    "TLU_REVISIONNAMELEVEL",
    "TLU_REVISIONNAMINGSCHEME",
};

}  // namespace

const std::vector<std::string>& OutpostCopyCaptions() {
  static const std::vector<std::string> captions =
      Joined(kSharedCaptions, {"RevisionNamingScheme rights", "LifeCycleDefenition rights",
                               "ACL.Users", "ACL.Org", "ACLPublic"});
  return captions;
}

const std::vector<std::string>& SoloCopyCaptions() {
  static const std::vector<std::string> captions = Joined(
      kSharedCaptions,
      {"AcquisitionPointer", "ACLDataFull", "Users", "Groups", "Membership", "Organizations"});
  return captions;
}

const std::vector<std::string>& SoloPlanTables() {
  static const std::vector<std::string> tables =
      Joined(kSharedTables, {"TLU_ACQUISITIONPOINTER", "ACLDATA", "IDS_USER", "IDS_GROUP",
                             "IDS_GROUPMEMBERSHIP", "IDS_ORGANISATION"});
  return tables;
}

const std::vector<std::string>& OutpostPlainTables() {
  // An Outpost vault's state changes get other columns on the way.
  static const std::vector<std::string> tables = [] {
    std::vector<std::string> t = kSharedTables;
    t.erase(std::find(t.begin(), t.end(), "TLU_LIFECYCLESTATECHANGE"));
    return t;
  }();
  return tables;
}

const std::vector<std::string>& OracleClearedTables() {
  static const std::vector<std::string> tables = {
      "TLU_LIFECYCLEDEFINITION",
      "TLU_LANGUAGE",
      "TLU_FOLDER",
      "TLU_FOLDERTYPE",
      "TLU_CONTENTTYPE",
      "ACLDATA",
      "TLU_LIFECYCLESTAGE",
      "TLU_LIFECYCLESTATE",
      "TLU_LIFECYCLESTATETRANSITION",
      "TLU_PARAMETERMETADATA",
      "TLU_REVISIONNAMELEVEL",
      "TLU_REVISIONNAMINGSCHEME",
      "TLU_VAULT",
      "CAT_SUPPLIER",
      "IDS_EVENT",
      "IDS_GROUP",
      "IDS_GROUPMEMBERSHIP",
      "IDS_ORGANISATION",
      "IDS_SESSIONLOG",
      "IDS_SESSIONUSAGE",
      "IDS_USER",
      "TBLTOOLS",
      "TBL_CATEGORIES",
      "TBL_CLIENT",
      "TBL_LISTENER",
      "VCS_REPOSITORY",
  };
  return tables;
}

}  // namespace movrano::testing
