#include "services/IDS.h"

#include <set>

#include "platform/Text.h"
#include "services/ServiceEndpoints.h"
#include "services/ServiceUnits.h"
#include "services/soap/AttachedHeaders.h"
#include "services/SoapHelpers.h"
#include "services/soap/Call.h"
#include "services/soap/Errors.h"

namespace movrano {
namespace {

using soap::Argument;

soap::ArgValue Obj(const soap::Remotable* object) {
  return soap::ArgValue(std::in_place_type<const soap::Remotable*>, object);
}

class IDSPortProxy final : public soap::RioProxy<IDSPort> {
 public:
  using RioProxy::RioProxy;

  void ActivateUser(const std::string& UserID, const std::string& NewPassword,
                    const std::string& ProfilePicture) override {
    call<void>(
        "ActivateUser",
        {{"UserID", UserID}, {"NewPassword", NewPassword}, {"ProfilePicture", ProfilePicture}});
  }
  void AddIDSEvent(const std::string& EventKind) override {
    call<void>("AddIDSEvent", {{"EventKind", EventKind}});
  }
  std::string AddUser(const IDS_User* User) override {
    return call<std::string>("AddUser", {{"User", Obj(User)}});
  }
  void AddUsersToGroup(const std::string& GroupId, const std::string& UserIds) override {
    call<void>("AddUsersToGroup", {{"GroupId", GroupId}, {"UserIds", UserIds}});
  }
  void AddUserToGroups(const std::string& UserId, const std::string& GroupIds) override {
    call<void>("AddUserToGroups", {{"UserId", UserId}, {"GroupIds", GroupIds}});
  }
  std::string CreateGroup(const std::string& GroupName) override {
    return call<std::string>("CreateGroup", {{"GroupName", GroupName}});
  }
  std::string CreateNewUser(const IDS_CreateUser* NewUser) override {
    return call<std::string>("CreateNewUser", {{"NewUser", Obj(NewUser)}});
  }
  void DeactivateUser(const std::string& UserID) override {
    call<void>("DeactivateUser", {{"UserID", UserID}});
  }
  void DeleteGroup(const std::string& GroupId) override {
    call<void>("DeleteGroup", {{"GroupId", GroupId}});
  }
  void DeleteUser(const std::string& UserID) override {
    call<void>("DeleteUser", {{"UserID", UserID}});
  }
  int32_t GainReputationPoints(const std::string& AccountID, int32_t Points) override {
    return call<int32_t>("GainReputationPoints", {{"AccountID", AccountID}, {"Points", Points}});
  }
  int32_t GainReputationPointsForUser(const std::string& UserID, int32_t Points) override {
    return call<int32_t>("GainReputationPointsForUser", {{"UserID", UserID}, {"Points", Points}});
  }
  std::unique_ptr<IDS_Account> GetAccountInfo() override {
    return call<std::unique_ptr<IDS_Account>>("GetAccountInfo");
  }
  std::unique_ptr<IDS_LoginResult> GetSessionInfo() override {
    return call<std::unique_ptr<IDS_LoginResult>>("GetSessionInfo");
  }
  std::string GetUserIDBySession() override { return call<std::string>("GetUserIDBySession"); }
  std::unique_ptr<IDS_User> GetUserInfo() override {
    return call<std::unique_ptr<IDS_User>>("GetUserInfo");
  }
  std::unique_ptr<IDS_LoginResult> Login(const std::string& Username, const std::string& Password,
                                         bool SecureLogin) override {
    return call<std::unique_ptr<IDS_LoginResult>>(
        "Login", {{"Username", Username}, {"Password", Password}, {"SecureLogin", SecureLogin}});
  }
  void Logout() override { call<void>("Logout"); }
  std::unique_ptr<IDS_QueryAccounts> QueryAccountDetails(
      const IDS_AccountFilter* Filter, int32_t BatchSize,
      const std::string& RecordLocator) override {
    return call<std::unique_ptr<IDS_QueryAccounts>>(
        "QueryAccountDetails",
        {{"Filter", Obj(Filter)}, {"BatchSize", BatchSize}, {"RecordLocator", RecordLocator}});
  }
  std::string QueryApplicationInstanceOwnerAccountID(const std::string& AppInstanceID) override {
    return call<std::string>("QueryApplicationInstanceOwnerAccountID",
                             {{"AppInstanceID", AppInstanceID}});
  }
  std::unique_ptr<IDS_QueryAppInstances> QueryApplicationInstances(
      int32_t BatchSize, const std::string& RecordLocator) override {
    return call<std::unique_ptr<IDS_QueryAppInstances>>(
        "QueryApplicationInstances", {{"BatchSize", BatchSize}, {"RecordLocator", RecordLocator}});
  }
  std::unique_ptr<IDS_User> QueryFullUserDetails(const std::string& UserID) override {
    return call<std::unique_ptr<IDS_User>>("QueryFullUserDetails", {{"UserID", UserID}});
  }
  std::unique_ptr<IDS_QueryGroups> QueryGroupDetails(const IDS_GroupFilter* Filter,
                                                     int32_t BatchSize,
                                                     const std::string& RecordLocator) override {
    return call<std::unique_ptr<IDS_QueryGroups>>(
        "QueryGroupDetails",
        {{"Filter", Obj(Filter)}, {"BatchSize", BatchSize}, {"RecordLocator", RecordLocator}});
  }
  std::unique_ptr<IDS_QueryGroupMemberships> QueryGroupMembershipDetails(
      const IDS_GroupMembershipFilter* Filter, int32_t BatchSize,
      const std::string& RecordLocator) override {
    return call<std::unique_ptr<IDS_QueryGroupMemberships>>(
        "QueryGroupMembershipDetails",
        {{"Filter", Obj(Filter)}, {"BatchSize", BatchSize}, {"RecordLocator", RecordLocator}});
  }
  std::unique_ptr<IDS_QueryUsers> QueryUsersDetails(const IDS_UserFilter* Filter, int32_t BatchSize,
                                                    const std::string& RecordLocator) override {
    return call<std::unique_ptr<IDS_QueryUsers>>(
        "QueryUsersDetails",
        {{"Filter", Obj(Filter)}, {"BatchSize", BatchSize}, {"RecordLocator", RecordLocator}});
  }
  void RegisterApplicationInstance(const std::string& AppInstanceID, const std::string& AppName,
                                   const std::string& URL, const std::string& Description,
                                   const std::string& Parameters) override {
    call<void>("RegisterApplicationInstance", {{"AppInstanceID", AppInstanceID},
                                               {"AppName", AppName},
                                               {"URL", URL},
                                               {"Description", Description},
                                               {"Parameters", Parameters}});
  }
  void RemoveUserFromGroups(const std::string& UserId, const std::string& GroupIds) override {
    call<void>("RemoveUserFromGroups", {{"UserId", UserId}, {"GroupIds", GroupIds}});
  }
  void RemoveUsersFromGroup(const std::string& GroupId, const std::string& UserIds) override {
    call<void>("RemoveUsersFromGroup", {{"GroupId", GroupId}, {"UserIds", UserIds}});
  }
  std::string ResetPassword(const std::string& Username) override {
    return call<std::string>("ResetPassword", {{"Username", Username}});
  }
  int32_t SpendReputationPoints(const std::string& AccountID, int32_t Points) override {
    return call<int32_t>("SpendReputationPoints", {{"AccountID", AccountID}, {"Points", Points}});
  }
  int32_t SpendReputationPointsForUser(const std::string& UserID, int32_t Points) override {
    return call<int32_t>("SpendReputationPointsForUser", {{"UserID", UserID}, {"Points", Points}});
  }
  std::optional<soap::XSDateTime> TestConnection() override {
    return call<std::optional<soap::XSDateTime>>("TestConnection");
  }
  void UnregisterApplicationInstance(const std::string& AppInstanceID) override {
    call<void>("UnregisterApplicationInstance", {{"AppInstanceID", AppInstanceID}});
  }
  void UpdateAccount(const IDS_Account* Account) override {
    call<void>("UpdateAccount", {{"Account", Obj(Account)}});
  }
  void UpdateGroup(const std::string& GroupId, const std::string& GroupName) override {
    call<void>("UpdateGroup", {{"GroupId", GroupId}, {"GroupName", GroupName}});
  }
  void UpdatePassword(const std::string& NewPassword) override {
    call<void>("UpdatePassword", {{"NewPassword", NewPassword}});
  }
  void UpdateUser(const IDS_User* User) override {
    call<void>("UpdateUser", {{"User", Obj(User)}});
  }
};

// A service's locator in an error line: enough to recognise it.
std::string Shortened(const std::string& text) {
  constexpr size_t kShown = 60;
  const size_t bytes = Utf8PrefixBytes(text, kShown);
  return bytes < text.size() ? text.substr(0, bytes) + "..." : text;
}

}  // namespace

std::vector<std::unique_ptr<IDS_User>> QueryAllUsersDetails(
    IDSPort& port, const IDS_UserFilter& Filter, int32_t BatchSize,
    const std::vector<soap::SOAPHeader*>& headers, size_t maxPages) {
  std::vector<std::unique_ptr<IDS_User>> users;
  std::string locator;
  // Every locator sent: a page that leads back to one would be read again
  // and again.
  std::set<std::string> sent{locator};
  for (size_t page = 1;; ++page) {
    if (page > maxPages) {
      throw soap::ESOAPMessageError(Format(
          "The identity service answered QueryUsersDetails in more than %d pages", maxPages));
    }
    std::unique_ptr<IDS_QueryUsers> answer;
    {
      const soap::AttachedHeaders attached(port.SOAPHeaders(), headers);
      answer = port.QueryUsersDetails(&Filter, BatchSize, locator);
    }
    if (!answer) {
      if (page == 1) return users;
      throw soap::ESOAPMessageError(
          "The identity service gave no answer to the QueryUsersDetails page it announced");
    }
    for (std::unique_ptr<IDS_User>& user : answer->Records)
      if (user) users.push_back(std::move(user));
    if (answer->Done) return users;
    locator = answer->RecordLocator;
    if (locator.empty()) {
      throw soap::ESOAPMessageError(
          "The identity service announced more QueryUsersDetails pages without a RecordLocator");
    }
    if (!sent.insert(locator).second) {
      throw soap::ESOAPMessageError(
          Format("The identity service answered QueryUsersDetails with the RecordLocator %s, "
                 "which was already sent",
                 Shortened(locator)));
    }
  }
}

std::shared_ptr<IDSPort> GetIDSPort(bool UseWSDL, const std::string& Addr,
                                    std::shared_ptr<soap::HTTPRIO> client) {
  if (!client) client = std::make_shared<soap::HTTPRIO>();
  std::shared_ptr<IDSPort> port = soap::CastTo<IDSPort, IDSPortProxy>(client);
  TSoapOptionSetter::Create(*client)->SoapReceiveTimeoutMS = IDS::kReceiveTimeoutMS;
  services::PointClientAt(*client, UseWSDL, Addr, kDefaultIDSEndpoint);
  return port;
}

}  // namespace movrano
