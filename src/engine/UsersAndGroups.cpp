// The users and groups that the copied rows of an Outpost vault refer to,
// fetched from the identity service and written to the destination.
#include "db/Query.h"
#include "engine/VaultMigrationManager.h"
#include "platform/Guid.h"
#include "services/IDS.h"
#include "statements/uSQLUtils.h"

namespace movrano {

namespace {

// Every migrated user gets the same password digest; no password of the
// identity service is read or written.
constexpr const char* kMigratedPasswordDigest = "5f0c9e27b1d4a8363e2f71c0ad94b58e";
constexpr int32_t kUserBatchSize = 100500;
constexpr const char* kActive = "1";

// Profile fields: destination parameter, then the identity service's name.
constexpr std::pair<const char*, const char*> kProfileFields[] = {
    {"PHONE", "Phone"},
    {"FAX", "Fax"},
    {"WEBSITE", "WebSite"},
    {"MAILINGCOUNTRY", "Country"},
    {"ACTIVATIONSTATUS", "ActivationStatus"},
    {"BADGES", "Badges"},
    {"EXAMPLEWORK", "ExampleWork"},
    {"EXPERIENCE", "Experience"},
    {"SPECIALTIES", "Specialties"},
    {"CURRENTPOSITION", "CurrentPosition"},
    {"PICTURE", "ProfilePicture"},
    {"TIMEZONE", "TimeZoneSidKey"},
    {"LANGUAGELOCALE", "LanguageLocaleKey"},
    {"LOCALE", "LocaleSidKey"},
};

void SetText(db::Query& query, const char* name, const std::string& value) {
  query.paramByName(name).setText(value);
}

}  // namespace

std::string GetParameterValue(const IDS_Parameters* parameters, const std::string& name) {
  if (!parameters) return {};
  for (const auto& entry : parameters->Records) {
    if (entry && entry->Name_ == name) return entry->Value;
  }
  return {};
}

void TVaultMigrationManager::LoadRequiredUsers() {
  IDS_UserFilter filter;
  filter.GetExtraData = false;
  for (const auto& [guid, user] : FRequiredUsers)
    filter.UserIds.push_back(guid);
  filter.AccountId = FAccountID;
  std::vector<std::unique_ptr<IDS_User>> found =
      QueryAllUsersDetails(*FIDSService, filter, kUserBatchSize, SessionHeaders());
  for (std::unique_ptr<IDS_User>& user : found) {
    // A user without its key would be written with an empty GUID.
    if (user->UserId.empty()) {
      RaiseMigrationErrorFmt("The identity service sent the user \"%s\" without its UserId.",
                             {user->UserName});
    }
    const std::string id = user->UserId;
    FRequiredUsers[id] = std::move(user);  // the engine keeps the user
  }
  for (const auto& [guid, user] : FRequiredUsers) {
    if (!user) WriteLogFmt("User %s not found in IDS", guid);
  }
}

void TVaultMigrationManager::SaveUsers() {
  WriteLog("Saving users");
  const std::unique_ptr<db::Query> users = CreateQuery(*FDestDatabase, "sql_user_insert");
  const std::unique_ptr<db::Query> memberships =
      CreateQuery(*FDestDatabase, "sql_membership_insert");
  users->prepare();
  memberships->prepare();
  const std::string organisation = ConvertToOrganisationGUID("");
  for (const auto& [guid, user] : FRequiredUsers) {
    if (!user) continue;
    const IDS_Parameters* profile = user->Parameters.get();
    auto profileEntry = [&](const char* name) { return GetParameterValue(profile, name); };
    db::Query& q = *users;
    SetText(q, "GUID", user->UserId);
    SetText(q, "HRID", user->UserName);
    SetText(q, "ACTIVE", kActive);
    SetText(q, "NAME", user->UserName);
    SetText(q, "SALUTATION", profileEntry("Salutation"));
    SetText(q, "FIRSTNAME", user->FirstName);
    SetText(q, "LASTNAME", user->LastName);
    SetText(q, "USERNAME", user->UserName);
    SetText(q, "PASSWORD", kMigratedPasswordDigest);
    SetText(q, "EMAIL", user->Email);
    for (const auto& [param, entry] : kProfileFields)
      SetText(q, param, profileEntry(entry));
    SetText(q, "ORGANISATIONGUID", organisation);
    q.execSql();

    if (!user->Groups) continue;
    for (const auto& membership : user->Groups->Records) {
      if (!membership) continue;
      db::Query& m = *memberships;
      const std::string name = GetParameterValue(membership.get(), "Name");
      const std::string groupGuid = GetParameterValue(membership.get(), "GroupId");
      if (groupGuid.empty()) {
        RaiseMigrationErrorFmt(
            "The identity service sent a membership of the user %s without its GroupId.",
            {user->UserId});
      }
      SetText(m, "GUID", NewGUIDString());
      SetText(m, "HRID", name);
      SetText(m, "ACTIVE", kActive);
      SetText(m, "GROUPGUID", groupGuid);
      SetText(m, "USERGUID", user->UserId);
      SetText(m, "ORGANISATIONGUID", organisation);
      SetText(m, "NAME", name);
      FRequiredGroups[groupGuid] = name;
      m.execSql();
    }
  }
}

void TVaultMigrationManager::SaveGroups() {
  WriteLog("Saving groups");
  const std::unique_ptr<db::Query> groups = CreateQuery(*FDestDatabase, "sql_user_insert");
  groups->prepare();
  const std::string organisation = ConvertToOrganisationGUID("");
  for (const auto& [guid, name] : FRequiredGroups) {
    db::Query& q = *groups;
    SetText(q, "GUID", guid);
    SetText(q, "HRID", name);
    SetText(q, "ACTIVE", kActive);
    SetText(q, "NAME", name);
    SetText(q, "ORGANISATIONGUID", organisation);
    q.execSql();
  }
}

}  // namespace movrano
