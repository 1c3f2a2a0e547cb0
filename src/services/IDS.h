#pragma once
// The identity service client: the interface IDSPort with its 37
// operations, the unit's own header classes, the port getter and the
// start-up registration with the SOAP layer. Records are in IDSTypes.h.
//
// Calling contract: get the client from GetIDSPort; set each header's
// Value and attach it (soap::AttachedHeaders); the headers go with the next
// call only and stay the caller's. A result object is the caller's; it may
// be null when the service sent a nil one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "services/IDSTypes.h"
#include "services/soap/HTTPRIO.h"
#include "services/soap/IInvokable.h"

namespace movrano {

namespace IDS {
// The identity service's own headers: "2.0" for APIVersion, the session ID
// of Login for SessionID. The catalog unit declares another pair.
// clang-format off
MOVRANO_SOAP_CLASS(APIVersion, soap::SOAPHeader, (std::string, Value));
MOVRANO_SOAP_CLASS(SessionID, soap::SOAPHeader, (std::string, Value));
// clang-format on

// Every request's receive time-out: a service may take most of a minute
// before it begins a page of tens of thousands of users.
inline constexpr uint32_t kReceiveTimeoutMS = 300000;
}  // namespace IDS

class IDSPort : public soap::IInvokable {
 public:
  virtual void ActivateUser(const std::string& UserID, const std::string& NewPassword,
                            const std::string& ProfilePicture) = 0;
  virtual void AddIDSEvent(const std::string& EventKind) = 0;
  virtual std::string AddUser(const IDS_User* User) = 0;
  virtual void AddUsersToGroup(const std::string& GroupId, const std::string& UserIds) = 0;
  virtual void AddUserToGroups(const std::string& UserId, const std::string& GroupIds) = 0;
  virtual std::string CreateGroup(const std::string& GroupName) = 0;
  virtual std::string CreateNewUser(const IDS_CreateUser* NewUser) = 0;
  virtual void DeactivateUser(const std::string& UserID) = 0;
  virtual void DeleteGroup(const std::string& GroupId) = 0;
  virtual void DeleteUser(const std::string& UserID) = 0;
  virtual int32_t GainReputationPoints(const std::string& AccountID, int32_t Points) = 0;
  virtual int32_t GainReputationPointsForUser(const std::string& UserID, int32_t Points) = 0;
  virtual std::unique_ptr<IDS_Account> GetAccountInfo() = 0;
  virtual std::unique_ptr<IDS_LoginResult> GetSessionInfo() = 0;
  virtual std::string GetUserIDBySession() = 0;
  virtual std::unique_ptr<IDS_User> GetUserInfo() = 0;
  virtual std::unique_ptr<IDS_LoginResult> Login(const std::string& Username,
                                                 const std::string& Password, bool SecureLogin) = 0;
  virtual void Logout() = 0;
  virtual std::unique_ptr<IDS_QueryAccounts> QueryAccountDetails(
      const IDS_AccountFilter* Filter, int32_t BatchSize, const std::string& RecordLocator) = 0;
  virtual std::string QueryApplicationInstanceOwnerAccountID(const std::string& AppInstanceID) = 0;
  virtual std::unique_ptr<IDS_QueryAppInstances> QueryApplicationInstances(
      int32_t BatchSize, const std::string& RecordLocator) = 0;
  virtual std::unique_ptr<IDS_User> QueryFullUserDetails(const std::string& UserID) = 0;
  virtual std::unique_ptr<IDS_QueryGroups> QueryGroupDetails(const IDS_GroupFilter* Filter,
                                                             int32_t BatchSize,
                                                             const std::string& RecordLocator) = 0;
  virtual std::unique_ptr<IDS_QueryGroupMemberships> QueryGroupMembershipDetails(
      const IDS_GroupMembershipFilter* Filter, int32_t BatchSize,
      const std::string& RecordLocator) = 0;
  virtual std::unique_ptr<IDS_QueryUsers> QueryUsersDetails(const IDS_UserFilter* Filter,
                                                            int32_t BatchSize,
                                                            const std::string& RecordLocator) = 0;
  virtual void RegisterApplicationInstance(const std::string& AppInstanceID,
                                           const std::string& AppName, const std::string& URL,
                                           const std::string& Description,
                                           const std::string& Parameters) = 0;
  virtual void RemoveUserFromGroups(const std::string& UserId, const std::string& GroupIds) = 0;
  virtual void RemoveUsersFromGroup(const std::string& GroupId, const std::string& UserIds) = 0;
  virtual std::string ResetPassword(const std::string& Username) = 0;
  virtual int32_t SpendReputationPoints(const std::string& AccountID, int32_t Points) = 0;
  virtual int32_t SpendReputationPointsForUser(const std::string& UserID, int32_t Points) = 0;
  virtual std::optional<soap::XSDateTime> TestConnection() = 0;
  virtual void UnregisterApplicationInstance(const std::string& AppInstanceID) = 0;
  virtual void UpdateAccount(const IDS_Account* Account) = 0;
  virtual void UpdateGroup(const std::string& GroupId, const std::string& GroupName) = 0;
  virtual void UpdatePassword(const std::string& NewPassword) = 0;
  virtual void UpdateUser(const IDS_User* User) = 0;
};

// A client of the identity service with a TSoapOptionSetter giving every
// request a receive time-out of IDS::kReceiveTimeoutMS (connecting and
// sending keep the transport's defaults). An empty address takes the
// default endpoint; WSDL mode points the client nowhere (ServiceUnits.h).
// A given client object is used and shared, never replaced; otherwise a
// new one is made. Throws EIntfCastError when IDSPort is not registered
// with the client's registries, leaving a given client as it was, and
// EAssertionFailed when a given client already has a before-post event.
std::shared_ptr<IDSPort> GetIDSPort(bool UseWSDL = false, const std::string& Addr = {},
                                    std::shared_ptr<soap::HTTPRIO> client = nullptr);

// More pages than any users query of a run needs; a service that keeps
// announcing more is not followed further.
inline constexpr size_t kMaxUserPages = 10000;

// Every user that a users query finds, page after page: each page is asked
// for with the same filter, batch size and headers (attached for that call
// alone) and the RecordLocator of the page before, until a page says Done.
// The users come in the order the pages sent them. A nil first answer finds
// nobody. A page that announces more but names no RecordLocator, or one
// already sent, a nil answer after such a page, and more than maxPages
// pages fail with ESOAPMessageError: the query would never end, or would
// end short of users.
std::vector<std::unique_ptr<IDS_User>> QueryAllUsersDetails(
    IDSPort& port, const IDS_UserFilter& Filter, int32_t BatchSize,
    const std::vector<soap::SOAPHeader*>& headers, size_t maxPages = kMaxUserPages);

// Tells the SOAP layer about IDSPort, its headers and its types. Run once at
// start-up, before the catalog's registration; running it again changes
// nothing.
void RegisterIDSTypes(soap::Registries& registries = soap::GlobalRegistries());

}  // namespace movrano
