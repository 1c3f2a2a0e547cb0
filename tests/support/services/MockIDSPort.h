#pragma once
// A GoogleMock double of the identity client, for tests that need no
// HTTP at all. Its headers are a real pending-header list, so a test can
// see what the code under test attached for its next call.
#include <gmock/gmock.h>

#include "services/IDS.h"

namespace movrano::testing {

class MockIDSPort : public IDSPort {
 public:
  // Out of line: the mock's members are costly to compile in every test.
  MockIDSPort();
  ~MockIDSPort() override;

  soap::PendingHeaders headers;
  ISOAPHeaders& SOAPHeaders() override { return headers; }

  using S = const std::string&;
  MOCK_METHOD(void, ActivateUser, (S, S, S), (override));
  MOCK_METHOD(void, AddIDSEvent, (S), (override));
  MOCK_METHOD(std::string, AddUser, (const IDS_User*), (override));
  MOCK_METHOD(void, AddUsersToGroup, (S, S), (override));
  MOCK_METHOD(void, AddUserToGroups, (S, S), (override));
  MOCK_METHOD(std::string, CreateGroup, (S), (override));
  MOCK_METHOD(std::string, CreateNewUser, (const IDS_CreateUser*), (override));
  MOCK_METHOD(void, DeactivateUser, (S), (override));
  MOCK_METHOD(void, DeleteGroup, (S), (override));
  MOCK_METHOD(void, DeleteUser, (S), (override));
  MOCK_METHOD(int32_t, GainReputationPoints, (S, int32_t), (override));
  MOCK_METHOD(int32_t, GainReputationPointsForUser, (S, int32_t), (override));
  MOCK_METHOD(std::unique_ptr<IDS_Account>, GetAccountInfo, (), (override));
  MOCK_METHOD(std::unique_ptr<IDS_LoginResult>, GetSessionInfo, (), (override));
  MOCK_METHOD(std::string, GetUserIDBySession, (), (override));
  MOCK_METHOD(std::unique_ptr<IDS_User>, GetUserInfo, (), (override));
  MOCK_METHOD(std::unique_ptr<IDS_LoginResult>, Login, (S, S, bool), (override));
  MOCK_METHOD(void, Logout, (), (override));
  MOCK_METHOD(std::unique_ptr<IDS_QueryAccounts>, QueryAccountDetails,
              (const IDS_AccountFilter*, int32_t, S), (override));
  MOCK_METHOD(std::string, QueryApplicationInstanceOwnerAccountID, (S), (override));
  MOCK_METHOD(std::unique_ptr<IDS_QueryAppInstances>, QueryApplicationInstances, (int32_t, S),
              (override));
  MOCK_METHOD(std::unique_ptr<IDS_User>, QueryFullUserDetails, (S), (override));
  MOCK_METHOD(std::unique_ptr<IDS_QueryGroups>, QueryGroupDetails,
              (const IDS_GroupFilter*, int32_t, S), (override));
  MOCK_METHOD(std::unique_ptr<IDS_QueryGroupMemberships>, QueryGroupMembershipDetails,
              (const IDS_GroupMembershipFilter*, int32_t, S), (override));
  MOCK_METHOD(std::unique_ptr<IDS_QueryUsers>, QueryUsersDetails,
              (const IDS_UserFilter*, int32_t, S), (override));
  MOCK_METHOD(void, RegisterApplicationInstance, (S, S, S, S, S), (override));
  MOCK_METHOD(void, RemoveUserFromGroups, (S, S), (override));
  MOCK_METHOD(void, RemoveUsersFromGroup, (S, S), (override));
  MOCK_METHOD(std::string, ResetPassword, (S), (override));
  MOCK_METHOD(int32_t, SpendReputationPoints, (S, int32_t), (override));
  MOCK_METHOD(int32_t, SpendReputationPointsForUser, (S, int32_t), (override));
  MOCK_METHOD(std::optional<soap::XSDateTime>, TestConnection, (), (override));
  MOCK_METHOD(void, UnregisterApplicationInstance, (S), (override));
  MOCK_METHOD(void, UpdateAccount, (const IDS_Account*), (override));
  MOCK_METHOD(void, UpdateGroup, (S, S), (override));
  MOCK_METHOD(void, UpdatePassword, (S), (override));
  MOCK_METHOD(void, UpdateUser, (const IDS_User*), (override));
};

}  // namespace movrano::testing
