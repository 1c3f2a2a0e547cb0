#include "support/services/FakeIdentityService.h"

#include <algorithm>

#include "services/ServiceEndpoints.h"
#include "services/soap/Registries.h"

namespace movrano::testing {
namespace {

void WriteNameValues(soap::XmlWriter& w, const char* element, const NameValues& entries) {
  w.Start(element);
  w.Start("Records");
  for (const auto& [name, value] : entries) {
    w.Start("IDS_Parameter");
    w.Element("Name", name);
    w.Element("Value", value);
    w.End();
  }
  w.End();
  w.End();
}

void WriteUser(soap::XmlWriter& w, const char* element, const IdentityUser& u) {
  w.Start(element);
  w.Element("UserId", u.userId);
  w.Element("AccountId", u.accountId);
  w.Element("UserName", u.userName);
  w.Element("FirstName", u.firstName);
  w.Element("LastName", u.lastName);
  w.Element("FullName", u.firstName + " " + u.lastName);
  w.Element("Email", u.email);
  w.Element("PrimaryAdministrator", "false");
  w.Element("LastLoginDate", "2024-05-06T07:08:09.000Z");
  WriteNameValues(w, "Parameters", u.parameters);
  w.Start("Groups");
  w.Start("Records");
  for (const NameValues& group : u.groups)
    WriteNameValues(w, "IDS_Parameters", group);
  w.End();
  w.End();
  w.End();
}

bool HasHeader(const ReceivedRequest& r, const std::string& name, const std::string& value) {
  for (const ReceivedElement& h : r.headers)
    if (h.ns == soap::kXmlSchemaNamespace && h.name == name && h.text == value) return true;
  return false;
}

}  // namespace

FakeIdentityService::FakeIdentityService()
    : server_([this](const ReceivedRequest& r, soap::XmlNode body, soap::XmlWriter& w) {
        answer(r, body, w);
      }) {}

void FakeIdentityService::AddAccount(IdentityAccount account) {
  std::lock_guard lock(mutex_);
  accounts_.push_back(std::move(account));
}

void FakeIdentityService::AddUser(IdentityUser user) {
  std::lock_guard lock(mutex_);
  users_.push_back(std::move(user));
}

void FakeIdentityService::PageUsers(UsersPaging paging) {
  std::lock_guard lock(mutex_);
  paging_ = paging;
}

std::vector<LoginCall> FakeIdentityService::Logins() const {
  std::lock_guard lock(mutex_);
  return logins_;
}

std::vector<UsersQuery> FakeIdentityService::UsersQueries() const {
  std::lock_guard lock(mutex_);
  return queries_;
}

void FakeIdentityService::answer(const ReceivedRequest& r, soap::XmlNode body, soap::XmlWriter& w) {
  if (r.bodyName == "Login") return login(body, w);
  if (r.bodyName == "QueryUsersDetails") return queryUsers(r, body, w);
  throw SoapFault{"SOAP-ENV:Client", "Operation " + r.bodyName + " is not offered here"};
}

void FakeIdentityService::login(soap::XmlNode body, soap::XmlWriter& w) {
  LoginCall call{ChildText(body, "Username"), ChildText(body, "Password"),
                 ChildText(body, "SecureLogin") == "true"};
  std::lock_guard lock(mutex_);
  logins_.push_back(call);
  const IdentityAccount* account = nullptr;
  for (const IdentityAccount& a : accounts_)
    if (a.userName == call.userName && a.password == call.password) account = &a;
  w.Start("LoginResponse");
  w.Attribute("xmlns", kTavrinServicesNamespace);
  w.Start("return");
  w.Element("SessionId", account ? account->sessionId : "");
  if (account) {
    IdentityUser self{account->userId, account->accountId, account->userName, {}, {}, {}, {}, {}};
    WriteUser(w, "User", self);
  } else {
    w.Start("User");
    w.Attribute("xsi:nil", "true");
    w.End();
  }
  w.Element("PasswordExpired", "false");
  w.End();
  w.End();
}

void FakeIdentityService::queryUsers(const ReceivedRequest& r, soap::XmlNode body,
                                     soap::XmlWriter& w) {
  const soap::XmlNode filter = soap::ChildNamed(body, "Filter");
  UsersQuery query{ChildTexts(soap::ChildNamed(filter, "UserIds")),
                   ChildText(filter, "AccountId"),
                   ChildText(filter, "GetExtraData") == "true",
                   ChildText(body, "BatchSize"),
                   ChildText(body, "RecordLocator"),
                   {}};
  for (soap::XmlNode c = soap::FirstChildElement(filter); c; c = soap::NextElement(c))
    query.filterChildren.emplace_back(soap::LocalName(c));
  std::lock_guard lock(mutex_);
  queries_.push_back(query);
  bool sessionKnown = false;
  for (const IdentityAccount& a : accounts_)
    sessionKnown = sessionKnown || HasHeader(r, "SessionID", a.sessionId);
  if (!sessionKnown) throw SoapFault{"SOAP-ENV:Client", "Session is not valid"};
  std::vector<const IdentityUser*> found;
  for (const std::string& id : query.userIds)
    for (const IdentityUser& u : users_)
      if (u.userId == id) found.push_back(&u);

  // The page that the locator names: "" the first, "page-<n>" the n-th after it.
  size_t page = 0;
  if (const std::string& locator = query.recordLocator; !locator.empty()) {
    const bool known = paging_.perPage != 0 && locator.size() > 5 && locator.size() < 12 &&
                       locator.rfind("page-", 0) == 0 &&
                       locator.find_first_not_of("0123456789", 5) == std::string::npos;
    if (!known) throw SoapFault{"SOAP-ENV:Client", "Unknown RecordLocator " + locator};
    page = std::stoul(locator.substr(5));
  }
  const size_t perPage = paging_.perPage == 0 ? found.size() : paging_.perPage;
  const size_t first = std::min(page * perPage, found.size());
  const size_t end = std::min(first + perPage, found.size());
  const bool done = end == found.size();
  std::string next;
  if (!done) {
    switch (paging_.locator) {
      case UsersPaging::Locator::Advancing:
        next = "page-" + std::to_string(page + 1);
        break;
      case UsersPaging::Locator::Repeating:
        next = "page-1";
        break;
      case UsersPaging::Locator::Empty:
        break;
    }
  }

  w.Start("QueryUsersDetailsResponse");
  w.Attribute("xmlns", kTavrinServicesNamespace);
  w.Start("return");
  w.Element("Done", done ? "true" : "false");
  w.Element("RecordLocator", next);
  w.Start("Records");
  for (size_t i = first; i < end; ++i)
    WriteUser(w, "IDS_User", *found[i]);
  w.End();
  w.End();
  w.End();
}

}  // namespace movrano::testing
