#pragma once
// A small identity service for tests, on the loopback SOAP server. It
// answers Login from a table of accounts (a wrong password gets an empty
// session ID) and QueryUsersDetails from a table of users (asked for by
// UserIds, with a session ID header from a login, in one page or in pages
// of a given size), and records both calls as they arrived. Any other
// operation gets a SOAP fault.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "support/services/LoopbackSoapServer.h"

namespace movrano::testing {

struct IdentityAccount {
  std::string userName, password;
  std::string sessionId;  // what Login answers
  std::string accountId, userId;
};

using NameValues = std::vector<std::pair<std::string, std::string>>;

struct IdentityUser {
  std::string userId, accountId, userName, firstName, lastName, email;
  NameValues parameters;           // profile entries, "Name"/"Value"
  std::vector<NameValues> groups;  // one list per membership ("Name", "GroupId", "AccountId")
};

struct LoginCall {
  std::string userName, password;
  bool secureLogin = false;
};

struct UsersQuery {
  std::vector<std::string> userIds;
  std::string accountId;
  bool getExtraData = false;
  std::string batchSize, recordLocator;     // as sent
  std::vector<std::string> filterChildren;  // element names of the filter, in order
};

// How the users query pages its answer. Every page but the last is not
// Done; its RecordLocator is "page-<n>" for the n-th page after the first
// (Advancing), always "page-1" (Repeating), or empty (Empty). A request
// whose RecordLocator the service never gave gets a SOAP fault.
struct UsersPaging {
  enum class Locator { Advancing, Repeating, Empty };
  size_t perPage = 0;  // 0: every user found in one page
  Locator locator = Locator::Advancing;
};

class FakeIdentityService {
 public:
  FakeIdentityService();

  std::string Url() const { return server_.Url(); }
  LoopbackSoapServer& Server() { return server_; }
  const LoopbackSoapServer& Server() const { return server_; }

  void AddAccount(IdentityAccount account);
  void AddUser(IdentityUser user);
  void PageUsers(UsersPaging paging);

  std::vector<LoginCall> Logins() const;
  std::vector<UsersQuery> UsersQueries() const;

 private:
  void answer(const ReceivedRequest& request, soap::XmlNode body, soap::XmlWriter& w);
  void login(soap::XmlNode body, soap::XmlWriter& w);
  void queryUsers(const ReceivedRequest& request, soap::XmlNode body, soap::XmlWriter& w);

  mutable std::mutex mutex_;
  std::vector<IdentityAccount> accounts_;
  std::vector<IdentityUser> users_;
  UsersPaging paging_;
  std::vector<LoginCall> logins_;
  std::vector<UsersQuery> queries_;
  LoopbackSoapServer server_;  // last: stops before the tables go
};

}  // namespace movrano::testing
