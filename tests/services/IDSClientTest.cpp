#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Exceptions.h"
#include "services/IDS.h"
#include "services/ServiceEndpoints.h"
#include "services/SoapHelpers.h"
#include "services/soap/Errors.h"
#include "services/soap/Registries.h"
#include "support/services/FakeIdentityService.h"
#include "support/services/HeapBlocks.h"
#include "support/services/RequestOptionsRecorder.h"
#include "support/services/ServiceTypes.h"

namespace movrano {
namespace {

using testing::IdentityUser;

TEST(IDSPortGetter, TakesTheDefaultOrTheGivenAddress) {
  testing::RegisterServiceTypesOnce();
  struct Case {
    bool wsdl;
    std::string address, url;
  };
  for (const Case& c : {Case{false, "", "http://localhost:9681/?cls=soap"},
                        Case{false, "http://ids.test:1/?cls=soap", "http://ids.test:1/?cls=soap"},
                        Case{true, "", ""}, Case{true, "http://ids.test/wsdl", ""}}) {
    auto client = std::make_shared<soap::HTTPRIO>();
    const std::shared_ptr<IDSPort> port = GetIDSPort(c.wsdl, c.address, client);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(client->URL, c.url);
  }
  EXPECT_NE(GetIDSPort(), nullptr);
}

TEST(IDSPortGetter, AGivenClientWithABeforePostEventIsRefusedAndLeftAsItWas) {
  testing::RegisterServiceTypesOnce();
  auto client = std::make_shared<soap::HTTPRIO>();
  const auto own = TSoapOptionSetter::Create(*client);
  own->SoapSendTimeoutMS = 7;
  EXPECT_THROW(GetIDSPort(false, "http://ids.test/?cls=soap", client), EAssertionFailed);
  EXPECT_EQ(client->URL, "");
  EXPECT_EQ(client.use_count(), 1);
  EXPECT_EQ(own.use_count(), 2);  // still the client's event
}

class IDSClient : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::RegisterServiceTypesOnce();
    ids.AddAccount({"alice", "pw", "session-1", "account-1", "user-alice"});
    port = GetIDSPort(false, ids.Url());
  }

  // The engine's sequence: APIVersion, Login, then SessionID and a new
  // APIVersion for the next call.
  std::string LoginAsEngine() {
    version1.Value = "2.0";
    port->SOAPHeaders().Send(&version1);
    const std::unique_ptr<IDS_LoginResult> result = port->Login("alice", "pw", false);
    session.Value = result->SessionId;
    version2.Value = "2.0";
    port->SOAPHeaders().Send(&session);
    port->SOAPHeaders().Send(&version2);
    return result->User->AccountId;
  }

  testing::FakeIdentityService ids;
  std::shared_ptr<IDSPort> port;
  IDS::APIVersion version1, version2;
  IDS::SessionID session;
};

TEST_F(IDSClient, LoginSendsItsAccountAndReadsTheSession) {
  IDS::APIVersion version;
  version.Value = "2.0";
  port->SOAPHeaders().Send(&version);
  const std::unique_ptr<IDS_LoginResult> result = port->Login("alice", "pw", false);
  EXPECT_EQ(result->SessionId, "session-1");
  ASSERT_NE(result->User, nullptr);
  EXPECT_EQ(result->User->AccountId, "account-1");
  EXPECT_EQ(result->User->LastLoginDate->ToString(), "2024-05-06T07:08:09.000Z");

  const testing::ReceivedRequest r = ids.Server().Requests().at(0);
  EXPECT_EQ(r.soapAction, "Login");
  EXPECT_EQ(r.target, "/?cls=soap");
  EXPECT_EQ(r.contentType, "text/xml; charset=utf-8");
  EXPECT_EQ(r.bodyNs, kTavrinServicesNamespace);
  EXPECT_EQ(r.bodyName, "Login");
  EXPECT_EQ(r.bodyChildren, (std::vector<std::string>{"Username", "Password", "SecureLogin"}));
  EXPECT_EQ(ids.Logins().at(0).secureLogin, false);
  EXPECT_EQ(r.xml.find("encodingStyle"), std::string::npos);
}

TEST_F(IDSClient, ARefusedLoginAnswersAnEmptySessionAndNoUser) {
  const std::unique_ptr<IDS_LoginResult> result = port->Login("alice", "wrong", false);
  EXPECT_EQ(result->SessionId, "");
  EXPECT_EQ(result->User, nullptr);
}

TEST_F(IDSClient, QueryUsersDetailsAsksForAllUsersInOneCallWithTheSessionHeaders) {
  std::vector<std::string> wanted;
  for (int i = 0; i < 300; ++i)
    wanted.push_back("{user-" + std::to_string(i) + "}");
  ids.AddUser({"{user-7}",
               "account-1",
               "bob",
               "Bob",
               "Builder",
               "bob@example.test",
               {{"Phone", "1"}, {"Department", "R&D"}},
               {{{"Name", "Designers"}, {"GroupId", "g-1"}, {"AccountId", "account-1"}},
                {{"Name", "Reviewers"}, {"GroupId", "g-2"}, {"AccountId", "account-1"}}}});
  ids.AddUser({"{user-99}", "account-1", "carol", "Carol", "C", "c@example.test", {}, {}});

  IDS_UserFilter filter;
  filter.UserIds = wanted;
  // From before the headers are attached: the call lets go of their list.
  const long before = testing::HeapBlocksOfThisThread();
  filter.AccountId = LoginAsEngine();
  std::unique_ptr<IDS_QueryUsers> result = port->QueryUsersDetails(&filter, 100500, "");
  ASSERT_EQ(result->Records.size(), 2u);
  const IDS_User& bob = *result->Records[0];
  EXPECT_EQ(bob.UserName, "bob");
  EXPECT_EQ(bob.Email, "bob@example.test");
  EXPECT_EQ(bob.Parameters->Records.at(1)->Name_, "Department");
  EXPECT_EQ(bob.Parameters->Records.at(1)->Value, "R&D");
  ASSERT_EQ(bob.Groups->Records.size(), 2u);
  EXPECT_EQ(bob.Groups->Records[1]->Records.at(1)->Name_, "GroupId");
  EXPECT_EQ(bob.Groups->Records[1]->Records.at(1)->Value, "g-2");

  // The caller keeps one user by moving it out; the rest goes with the result.
  std::unique_ptr<IDS_User> kept = std::move(result->Records[0]);
  result.reset();
  EXPECT_EQ(kept->UserId, "{user-7}");
  kept.reset();
  // Every block the call took came back with the two.
  EXPECT_EQ(testing::HeapBlocksOfThisThread(), before);

  // What the request carried.
  EXPECT_EQ(ids.Server().CountOf("QueryUsersDetails"), 1u);
  const testing::ReceivedRequest r = ids.Server().Requests().at(1);
  ASSERT_EQ(r.headers.size(), 2u);
  EXPECT_EQ(r.headers[0].name, "SessionID");
  EXPECT_EQ(r.headers[0].text, "session-1");
  EXPECT_EQ(r.headers[1].name, "APIVersion");
  EXPECT_EQ(r.headers[1].text, "2.0");
  EXPECT_EQ(r.bodyChildren, (std::vector<std::string>{"Filter", "BatchSize", "RecordLocator"}));
  const testing::UsersQuery q = ids.UsersQueries().at(0);
  EXPECT_EQ(q.userIds, wanted);
  EXPECT_EQ(q.accountId, "account-1");
  EXPECT_FALSE(q.getExtraData);
  EXPECT_EQ(q.batchSize, "100500");
  EXPECT_EQ(q.recordLocator, "");
  EXPECT_EQ(q.filterChildren,
            (std::vector<std::string>{"UserName", "FullName", "EMail", "Organisation", "AccountId",
                                      "Exact", "UserIds", "Modified", "GetExtraData"}));

  // The session headers went with that call only.
  port->Login("alice", "pw", false);
  EXPECT_TRUE(ids.Server().Requests().at(2).headers.empty());
}

TEST_F(IDSClient, WhitespaceOnlyTextsArriveAsSent) {
  ids.AddUser({"user-ws", "account-1", "ws", "   ", " \n\t ", "", {{"Phone", "  "}}, {}});
  LoginAsEngine();
  IDS_UserFilter filter;
  filter.UserIds = {"user-ws"};
  const auto users = port->QueryUsersDetails(&filter, 100500, "");
  ASSERT_EQ(users->Records.size(), 1u);
  const IDS_User& user = *users->Records[0];
  EXPECT_EQ(user.FirstName, "   ");
  EXPECT_EQ(user.LastName, " \n\t ");
  EXPECT_EQ(user.Email, "");
  ASSERT_EQ(user.Parameters->Records.size(), 1u);
  EXPECT_EQ(user.Parameters->Records[0]->Value, "  ");
}

// A users answer as a service may write it: a page without users (Done
// and RecordLocator), or a nil result.
struct Page {
  bool done;
  std::string locator;
};
std::string HandWrittenUsersAnswer(const std::optional<Page>& page) {
  return testing::AnswerEnvelope([&](soap::XmlWriter& w) {
    w.Start("QueryUsersDetailsResponse");
    w.Attribute("xmlns", kTavrinServicesNamespace);
    w.Start("return");
    if (page) {
      w.Element("Done", page->done ? "true" : "false");
      w.Element("RecordLocator", page->locator);
      w.Start("Records");
      w.End();
    } else {
      w.Attribute("xsi:nil", "true");
    }
    w.End();
    w.End();
  });
}

// Three users of the account and one id the service does not know.
class IDSUserPages : public IDSClient {
 protected:
  void SetUp() override {
    IDSClient::SetUp();
    for (const char* id : {"{u-1}", "{u-2}", "{u-3}"})
      ids.AddUser({id, "account-1", std::string("name") + id, "F", "L", "e@example.test", {}, {}});
    filter.AccountId = LoginAsEngine();
    filter.UserIds = {"{u-1}", "{u-2}", "{u-3}", "{u-unknown}"};
  }
  std::vector<std::unique_ptr<IDS_User>> queryAll(size_t maxPages = kMaxUserPages) {
    return QueryAllUsersDetails(*port, filter, 100500, {&session, &version2}, maxPages);
  }
  // The headers of every users request went with that request alone.
  void expectNoHeaderLeftBehind() {
    port->Login("alice", "pw", false);
    EXPECT_TRUE(ids.Server().Requests().back().headers.empty());
  }
  IDS_UserFilter filter;
};

TEST_F(IDSUserPages, EveryPageIsAskedForWithTheSameQueryAndThePreviousLocator) {
  ids.PageUsers({1});
  const std::vector<std::unique_ptr<IDS_User>> users = queryAll();

  ASSERT_EQ(users.size(), 3u);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(users[i]->UserId, "{u-" + std::to_string(i + 1) + "}");
  const std::vector<testing::UsersQuery> queries = ids.UsersQueries();
  ASSERT_EQ(queries.size(), 3u);
  const std::vector<std::string> locators = {"", "page-1", "page-2"};
  const std::vector<testing::ReceivedRequest> requests = ids.Server().Requests();
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(queries[i].recordLocator, locators[i]);
    EXPECT_EQ(queries[i].userIds, filter.UserIds);
    EXPECT_EQ(queries[i].accountId, "account-1");
    EXPECT_FALSE(queries[i].getExtraData);
    EXPECT_EQ(queries[i].batchSize, "100500");
    const testing::ReceivedRequest& r = requests.at(i + 1);
    ASSERT_EQ(r.headers.size(), 2u);
    EXPECT_EQ(r.headers[0].name + "=" + r.headers[0].text, "SessionID=session-1");
    EXPECT_EQ(r.headers[1].name + "=" + r.headers[1].text, "APIVersion=2.0");
  }
  expectNoHeaderLeftBehind();
}

TEST_F(IDSUserPages, OnePageThatIsDoneIsTheOnlyRequest) {
  const std::vector<std::unique_ptr<IDS_User>> users = queryAll();
  EXPECT_EQ(users.size(), 3u);
  EXPECT_EQ(ids.Server().CountOf("QueryUsersDetails"), 1u);
  expectNoHeaderLeftBehind();
}

TEST_F(IDSUserPages, PagingThatCannotEndFailsInsteadOfAskingForEver) {
  struct Case {
    const char* name;
    testing::UsersPaging paging;
    std::vector<std::string> answers;  // raw answers, in place of the fake's first pages
    size_t maxPages;
    size_t requests;
    std::string error;
  };
  using L = testing::UsersPaging::Locator;
  const Case cases[] = {
      {"repeating locator",
       {1, L::Repeating},
       {},
       kMaxUserPages,
       2,
       "The identity service answered QueryUsersDetails with the RecordLocator page-1, which was "
       "already sent"},
      {"more pages without a locator",
       {1, L::Empty},
       {},
       kMaxUserPages,
       1,
       "The identity service announced more QueryUsersDetails pages without a RecordLocator"},
      {"nil page after one that announced more",
       {},
       {HandWrittenUsersAnswer(Page{false, "L"}), HandWrittenUsersAnswer(std::nullopt)},
       kMaxUserPages,
       2,
       "The identity service gave no answer to the QueryUsersDetails page it announced"},
      {"more pages than any query needs",
       {1, L::Advancing},
       {},
       2,
       2,
       "The identity service answered QueryUsersDetails in more than 2 pages"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ids.PageUsers(c.paging);
    for (const std::string& answer : c.answers)
      ids.Server().FailNext("QueryUsersDetails", testing::Failure::Raw(200, answer));
    const size_t before = ids.Server().CountOf("QueryUsersDetails");
    LoginAsEngine();
    try {
      queryAll(c.maxPages);
      ADD_FAILURE() << "no error";
    } catch (const soap::ESOAPMessageError& e) {
      EXPECT_EQ(std::string(e.what()), c.error);
    }
    EXPECT_EQ(ids.Server().CountOf("QueryUsersDetails") - before, c.requests);
    expectNoHeaderLeftBehind();
  }
}

TEST_F(IDSUserPages, ANilFirstAnswerFindsNobody) {
  ids.Server().FailNext("QueryUsersDetails",
                        testing::Failure::Raw(200, HandWrittenUsersAnswer(std::nullopt)));
  EXPECT_TRUE(queryAll().empty());
  EXPECT_EQ(ids.Server().CountOf("QueryUsersDetails"), 1u);
}

TEST_F(IDSClient, EveryRequestWaitsFiveMinutesForItsAnswer) {
  // A service may be silent for most of a minute before it begins a page
  // of users; the send and connect limits stay the transport's.
  auto client = std::make_shared<soap::HTTPRIO>();
  const auto own = GetIDSPort(false, ids.Url(), client);
  const testing::RequestOptionsRecorder options(*client);
  own->Login("alice", "pw", false);
  own->Login("alice", "pw", false);
  EXPECT_EQ(options.Requests(),
            std::vector(2, testing::RequestOptions{{soap::HttpOption::ReceiveTimeout, 300000}}));
  EXPECT_EQ(ids.Server().CountOf("Login"), 2u);
}

TEST_F(IDSClient, ACallWithoutTheSessionGetsTheServicesFault) {
  IDS_UserFilter filter;
  EXPECT_THROW(port->QueryUsersDetails(&filter, 100500, ""), soap::ERemotableException);
}

}  // namespace
}  // namespace movrano
