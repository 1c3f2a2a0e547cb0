#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/Exceptions.h"
#include "services/IDS.h"
#include "services/SoapHelpers.h"
#include "services/TavrinGlobalCatalog.h"
#include "services/soap/Cancellation.h"
#include "services/soap/Errors.h"
#include "services/soap/HttpTransport.h"
#include "services/soap/Registries.h"
#include "support/platform/Waits.h"
#include "support/services/ContentCoding.h"
#include "support/services/FakeIdentityService.h"
#include "support/services/HeapBlocks.h"
#include "support/services/ServiceTypes.h"

namespace movrano {
namespace {

using namespace std::chrono_literals;
using testing::Failure;
using testing::ReceivedElement;
using testing::WaitUntil;

constexpr const char* kPassword = "s3cret-pa55word";

std::string Envelope(const std::string& body) {
  return "<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/'>"
         "<SOAP-ENV:Body>" +
         body + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

class SoapClient : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::RegisterServiceTypesOnce();
    ids.AddAccount({"alice", kPassword, "session-1", "account-1", "user-1"});
    client = std::make_shared<soap::HTTPRIO>();
    port = GetIDSPort(false, ids.Url(), client);
  }

  std::unique_ptr<IDS_LoginResult> Login(const std::string& user = "alice") {
    return port->Login(user, kPassword, false);
  }

  // A short receive time-out in place of the getter's five minutes.
  void SetReceiveTimeout(uint32_t ms) {
    client->HTTPWebNode().OnBeforePost = nullptr;
    TSoapOptionSetter::Create(*client)->SoapReceiveTimeoutMS = ms;
  }

  std::vector<ReceivedElement> HeadersOf(size_t request) const {
    return ids.Server().Requests().at(request).headers;
  }

  testing::FakeIdentityService ids;
  std::shared_ptr<soap::HTTPRIO> client;
  std::shared_ptr<IDSPort> port;
};

std::vector<std::string> Names(const std::vector<ReceivedElement>& elements) {
  std::vector<std::string> names;
  for (const ReceivedElement& e : elements)
    names.push_back(e.name + "=" + e.text);
  return names;
}

TEST_F(SoapClient, AHeaderGoesWithTheNextCallOnly) {
  IDS::APIVersion version;
  version.Value = "2.0";
  port->SOAPHeaders().Send(&version);
  Login();
  Login();
  ASSERT_EQ(HeadersOf(0).size(), 1u);
  EXPECT_EQ(HeadersOf(0)[0].ns, soap::kXmlSchemaNamespace);
  EXPECT_EQ(HeadersOf(0)[0].name, "APIVersion");
  EXPECT_EQ(HeadersOf(0)[0].text, "2.0");
  EXPECT_TRUE(HeadersOf(1).empty());
  EXPECT_EQ(version.Value, "2.0");  // still the caller's, untouched
}

TEST_F(SoapClient, HeadersGoInAttachOrderAndEachObjectOnce) {
  IDS::SessionID session;
  session.Value = "session-1";
  IDS::APIVersion version;
  version.Value = "2.0";
  port->SOAPHeaders().Send(&session);
  port->SOAPHeaders().Send(&version);
  port->SOAPHeaders().Send(&session);
  Login();
  EXPECT_EQ(Names(HeadersOf(0)),
            (std::vector<std::string>{"SessionID=session-1", "APIVersion=2.0"}));
}

TEST_F(SoapClient, RefusesHeadersOfTheOtherService) {
  TavrinGlobalCatalog::APIVersion catalogVersion;
  port->SOAPHeaders().Send(&catalogVersion);
  EXPECT_THROW(Login(), soap::ESOAPMessageError);
  EXPECT_TRUE(ids.Server().Requests().empty());
  // The refused header is gone with that call.
  EXPECT_EQ(Login()->SessionId, "session-1");
}

TEST_F(SoapClient, EscapesWhatItWritesAndRefusesWhatXmlCannotCarry) {
  const std::string name = "a<b&c>\"d' \r\n\t</Username><Password>x";
  Login(name);
  ASSERT_EQ(ids.Logins().size(), 1u);
  EXPECT_EQ(ids.Logins()[0].userName, name);
  EXPECT_EQ(ids.Logins()[0].password, kPassword);

  try {
    port->Login("alice", std::string(kPassword) + "\x01", false);
    ADD_FAILURE() << "sent a control character";
  } catch (const soap::ESOAPMessageError& e) {
    EXPECT_EQ(std::string(e.what()).find(kPassword), std::string::npos);
  }
  EXPECT_EQ(ids.Server().Requests().size(), 1u);
}

struct FailureCase {
  const char* name;
  Failure failure;
  const char* className;
  const char* messagePart;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class SoapClientFailure : public SoapClient, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(SoapClientFailure, EndsTheCallWithItsOwnErrorAndNoSecret) {
  const FailureCase& c = GetParam();
  ids.Server().FailNext("Login", c.failure);
  try {
    Login();
    ADD_FAILURE() << "the call succeeded";
  } catch (const std::exception& e) {
    EXPECT_STREQ(ExceptionClassName(e), c.className);
    EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos) << e.what();
    EXPECT_EQ(std::string(e.what()).find(kPassword), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SoapClientFailure,
    ::testing::Values(
        FailureCase{"fault", Failure::Fault("Account <locked>"), "ERemotableException",
                    "Account <locked>"},
        FailureCase{"fault with status 200",
                    Failure::Raw(200, Envelope("<SOAP-ENV:Fault><faultcode>SOAP-ENV:Server"
                                               "</faultcode><faultstring>Busy</faultstring>"
                                               "</SOAP-ENV:Fault>")),
                    "ERemotableException", "Busy"},
        FailureCase{"HTTP 404", Failure::Raw(404, "not here"), "ESOAPHTTPException", "404"},
        FailureCase{"HTTP 500 without fault", Failure::Raw(500, "<html>oops</html>"),
                    "ESOAPHTTPException", "500"},
        FailureCase{"not well-formed", Failure::Raw(200, Envelope("<LoginResponse>")),
                    "ESOAPMessageError", "not well-formed"},
        FailureCase{"not SOAP", Failure::Raw(200, "<html><body>hi</body></html>"),
                    "ESOAPMessageError", "not a SOAP"},
        FailureCase{"empty", Failure::Raw(200, ""), "ESOAPMessageError", "empty"},
        FailureCase{"unknown content coding", Failure::Encoded("compress", Envelope("")),
                    "ESOAPHTTPException", "content encoding"},
        FailureCase{"broken gzip", Failure::Encoded("gzip", Envelope("<LoginResponse/>")),
                    "ESOAPHTTPException", "unencoding"},
        FailureCase{"other element", Failure::Raw(200, Envelope("<LogoutResponse/>")),
                    "ESOAPMessageError", "LoginResponse"},
        FailureCase{"no result", Failure::Raw(200, Envelope("<LoginResponse/>")),
                    "ESOAPMessageError", "no result"},
        FailureCase{"empty body", Failure::Raw(200, Envelope("")), "ESOAPMessageError",
                    "LoginResponse"},
        FailureCase{"entity definitions",
                    Failure::Raw(200, "<!DOCTYPE r [<!ENTITY a 'aaaa'>]>" +
                                          Envelope("<LoginResponse>&a;</LoginResponse>")),
                    "ESOAPMessageError", "document type"}));

TEST_F(SoapClient, AnUnreachableServiceIsATransportErrorWithoutCredentials) {
  testing::FakeIdentityService gone;
  const std::string url = gone.Url();
  gone.Server().Stop();
  std::string withUser = url;
  withUser.insert(std::string("http://").size(), "alice:hunter2@");
  for (const std::string& address : {url, withUser}) {
    try {
      GetIDSPort(false, address)->Login("alice", kPassword, false);
      ADD_FAILURE() << "reached a stopped server";
    } catch (const soap::ESOAPHTTPException& e) {
      EXPECT_EQ(e.statusCode(), 0);
      EXPECT_NE(std::string(e.what()).find("SOAPAction:Login"), std::string::npos) << e.what();
      EXPECT_EQ(std::string(e.what()).find("hunter2"), std::string::npos) << e.what();
    }
  }
}

TEST_F(SoapClient, AStalledAnswerTimesOutAsATransportError) {
  SetReceiveTimeout(300);
  // Silent from the start, and silent after half the answer.
  for (const Failure& stall : {Failure::Stall(60s), Failure::StallHalfWay(60s)}) {
    ids.Server().FailNext("Login", stall);
    try {
      Login();
      ADD_FAILURE() << "no time-out";
    } catch (const soap::ESOAPHTTPException& e) {
      EXPECT_NE(std::string(e.what()).find("timed out"), std::string::npos) << e.what();
    }
  }
  ids.Server().Stop();  // releases the stalled answers
}

TEST_F(SoapClient, ATrickleTimesOutAsASilenceWould) {
  SetReceiveTimeout(3000);
  // A byte every 2 s never leaves the line silent for 3 s, yet stays below
  // a byte a second; the server gives up by itself after 20 s.
  ids.Server().FailNext("Login", Failure::Trickle(2s, 20s));
  try {
    Login();
    ADD_FAILURE() << "the trickle was read to its end";
  } catch (const soap::ESOAPHTTPException& e) {
    EXPECT_NE(std::string(e.what()).find("timed out"), std::string::npos) << e.what();
  }
  // A brisk answer within the same limit still arrives.
  EXPECT_EQ(Login()->SessionId, "session-1");
  ids.Server().Stop();
}

TEST_F(SoapClient, ATimeOutOfZeroMeansTheFiniteDefaultNotNoTimeAtAll) {
  EXPECT_EQ(soap::kDefaultHttpTimeouts, (soap::HttpTimeouts{60000, 30000, 30000}));
  // Zeros (which a setter never sends) and no options at all leave the
  // defaults, under which a pause of half a second is waited out.
  for (const bool zeros : {true, false}) {
    SCOPED_TRACE(zeros ? "zeros" : "no options");
    client->HTTPWebNode().OnBeforePost = nullptr;
    if (zeros)
      client->HTTPWebNode().OnBeforePost = [](soap::HttpTransport&, soap::HttpRequestHandle& r) {
        for (const auto option : {soap::HttpOption::ConnectTimeout, soap::HttpOption::SendTimeout,
                                  soap::HttpOption::ReceiveTimeout})
          r.SetOption(option, 0);
      };
    ids.Server().FailNext("Login", Failure::Stall(500ms));
    EXPECT_EQ(Login()->SessionId, "session-1");
  }
}

struct Cancelled : std::runtime_error {
  Cancelled() : std::runtime_error("cancelled") {}
};

TEST_F(SoapClient, ACancellationEndsARequestThatWaits) {
  // Without the check the identity client's receive limit would hold this
  // until the server answers after a minute, and it would not end with the
  // cancellation.
  ids.Server().FailNext("Login", Failure::Stall(60s));
  std::atomic<bool> cancel{false};
  std::thread asker([&] {
    WaitUntil([&] { return ids.Server().CountOf("Login") > 0; }, "the request to reach the server");
    cancel = true;
  });
  {
    const soap::CancellationScope scope([&] {
      if (cancel) throw Cancelled();
    });
    EXPECT_THROW(Login(), Cancelled);
  }
  asker.join();
  // Outside the scope nothing is checked.
  cancel = true;
  EXPECT_EQ(Login()->SessionId, "session-1");
  ids.Server().Stop();
}

// A users answer whose records are given as text.
std::string UsersAnswer(const std::string& records) {
  return Envelope("<QueryUsersDetailsResponse><return><Done>true</Done><Records>" + records +
                  "</Records></return></QueryUsersDetailsResponse>");
}

TEST_F(SoapClient, AnAnswerPastTheSizeLimitIsRefusedUnread) {
  ids.Server().FailNext("Login", Failure::Raw(200, std::string(soap::kMaxResponseBytes + 1, ' ')));
  try {
    Login();
    ADD_FAILURE() << "read an answer past the limit";
  } catch (const soap::ESOAPHTTPException& e) {
    EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Login()->SessionId, "session-1");
}

// Users that each carry an ID and a name.
std::string SparseUsers(int count) {
  std::string users;
  for (int i = 0; i < count; ++i)
    users += "<IDS_User><UserId>{00000000-0000-0000-0000-" + std::to_string(100000000000 + i) +
             "}</UserId><UserName>user-" + std::to_string(i) + "</UserName></IDS_User>";
  return users;
}

TEST_F(SoapClient, AsksForCompressedAnswersAndReadsThemWhole) {
  Login();
  EXPECT_EQ(ids.Server().Requests().at(0).acceptEncoding, "gzip, deflate");
  // The fake compressed that answer itself, as asked; these come in a
  // coding whether asked for or not, each far longer than one read.
  const std::string answer = UsersAnswer(SparseUsers(5000));
  for (const char* coding : {"gzip", "deflate", "raw deflate"}) {
    SCOPED_TRACE(coding);
    const std::string header = std::string(coding) == "raw deflate" ? "deflate" : coding;
    ids.Server().FailNext("QueryUsersDetails",
                          Failure::Encoded(header, testing::Encode(coding, answer)));
    const auto users = port->QueryUsersDetails(nullptr, 100500, "");
    ASSERT_EQ(users->Records.size(), 5000u);
    EXPECT_EQ(users->Records.back()->UserName, "user-4999");
  }
}

TEST_F(SoapClient, AnAnswerThatDecodesPastTheSizeLimitIsRefusedWhileDecoding) {
  // A few kilobytes that would decode past the limit.
  const testing::EncodedAnswer bomb = testing::GzipBomb(soap::kMaxResponseBytes + (1u << 20));
  ASSERT_LT(bomb.bytes.size(), 16u << 10);
  ids.Server().FailNext("Login", Failure::Encoded(bomb.coding, bomb.bytes));
  try {
    Login();
    ADD_FAILURE() << "read an answer that decodes past the limit";
  } catch (const soap::ESOAPHTTPException& e) {
    EXPECT_EQ(e.statusCode(), 0);
    EXPECT_NE(std::string(e.what()).find("The response is too large"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(Login()->SessionId, "session-1");
}

TEST_F(SoapClient, RecordsThatWouldTakeManyTimesTheirAnswerAreRefused) {
  // Empty records: a few bytes each on the wire, hundreds as objects.
  std::string empty;
  while (empty.size() < (size_t{2} << 20))
    empty += "<IDS_User/>";
  ids.Server().FailNext("QueryUsersDetails", Failure::Raw(200, UsersAnswer(empty)));
  const long before = testing::HeapBlocksOfThisThread();
  try {
    port->QueryUsersDetails(nullptr, 100500, "");
    ADD_FAILURE() << "read the empty records";
  } catch (const soap::ESOAPMessageError& e) {
    EXPECT_NE(std::string(e.what()).find("expand past a sane size"), std::string::npos) << e.what();
  }
  EXPECT_EQ(testing::HeapBlocksOfThisThread(), before);

  // Records that carry no more than an ID and a name are read, many of them.
  ids.Server().FailNext("QueryUsersDetails", Failure::Raw(200, UsersAnswer(SparseUsers(20000))));
  const auto users = port->QueryUsersDetails(nullptr, 100500, "");
  ASSERT_EQ(users->Records.size(), 20000u);
  EXPECT_EQ(users->Records.back()->UserName, "user-19999");
}

TEST_F(SoapClient, AnElementWithManyNamespacesAndAttributesIsRead) {
  // Each prefixed attribute is looked up by namespace while the result is
  // read (its time is soap_memory_bench's "60,000 attributes").
  std::string result = "<LoginResponse><return";
  for (int i = 0; i < 150000; ++i)
    result += " xmlns:p" + std::to_string(i) + "='urn:p" + std::to_string(i) + "'";
  for (int i = 0; i < 150000; ++i)
    result += " p" + std::to_string(i) + ":nil='false'";
  result += "><SessionId>s-many</SessionId></return></LoginResponse>";
  ids.Server().FailNext("Login", Failure::Raw(200, Envelope(result)));
  EXPECT_EQ(Login()->SessionId, "s-many");
}

TEST_F(SoapClient, AClientWithoutAddressFailsBeforeSending) {
  client->URL.clear();
  EXPECT_THROW(Login(), soap::ESOAPHTTPException);
  EXPECT_TRUE(ids.Server().Requests().empty());
}

}  // namespace
}  // namespace movrano
