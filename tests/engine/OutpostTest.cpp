// Outpost vault migrations end to end: real Outpost and destination vaults,
// the loopback identity service, the Outpost service double.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <set>

#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "engine/VaultMigrationManager.h"
#include "services/IDS.h"
#include "support/platform/FileSystemFaults.h"
#include "support/services/FakeIdentityService.h"
#include "support/vaults/PlanTables.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

namespace movrano::testing {
namespace {

using M = TMigrationMode;

std::vector<std::vector<std::string>> Rows(db::Connection& c, const std::string& sql) {
  db::Query q(c);
  q.setSql(sql);
  q.open();
  std::vector<std::vector<std::string>> rows;
  for (; !q.eof(); q.next()) {
    std::vector<std::string> row;
    for (int i = 0; i < q.fieldCount(); ++i)
      row.push_back(q.field(i).asString());
    rows.push_back(row);
  }
  return rows;
}

// A users answer written by hand, as a service may send it.
std::string UsersAnswer(const std::string& records, const std::string& declaration = "",
                        const std::string& multiRefs = "") {
  return declaration +
         "<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/'>"
         "<SOAP-ENV:Body><QueryUsersDetailsResponse xmlns='" +
         std::string(kTavrinServicesNamespace) +
         "'><return><Done>true</Done><RecordLocator/><Records>" + records +
         "</Records></return></QueryUsersDetailsResponse>" + multiRefs +
         "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

class Outpost : public ::testing::TestWithParam<M> {
 protected:
  void SetUp() override {
    RegisterIDSTypes();
    platform_.services->addService(kOutpostServiceName, {ServiceState::Running});
    identity_.AddAccount({"engineer@tavrin.example", "correct horse", "SESSION-9", "ACC-9", "U-9"});
    const auto& guids = SampleUserGuids();
    // The first two share a group; the second is twice in it; the last
    // referenced user is unknown to the service.
    identity_.AddUser({guids[0],
                       "ACC-9",
                       "alice.meyer",
                       "Alice",
                       "Meyer",
                       "alice@example.com",
                       {{"Phone", "+49 30 1234"}, {"phone", "ignored"}, {"Salutation", "Dr."}},
                       {{{"Name", "Engineers"}, {"GroupId", "{G-1}"}, {"AccountId", "ACC-9"}}}});
    identity_.AddUser({guids[1],
                       "ACC-9",
                       "juergen.weiss",
                       "Jürgen",
                       "Weiß",
                       "jw@example.com",
                       {},
                       {{{"Name", "Engineers"}, {"GroupId", "{G-1}"}, {"AccountId", "ACC-9"}},
                        {{"Name", "Engineers"}, {"GroupId", "{G-1}"}, {"AccountId", "ACC-9"}},
                        {{"Name", "Review Board"}, {"GroupId", "{G-2}"}, {"AccountId", "ACC-9"}}}});
    identity_.AddUser(
        {guids[2], "ACC-9", "sofia.nunez", "Sofía", "Núñez", "sofia@example.com", {}, {}});
  }

  SampleVault& dest() {
    if (!dest_) {
      dest_ = std::make_unique<SampleVault>(
          GetParam() == M::mmOutpostToSVS ? VaultEdition::Solo : VaultEdition::Server,
          FreshInstall());
    }
    return *dest_;
  }

  RunRequest request() {
    RunRequest r;
    r.MigrationMode = GetParam();
    r.SourceDatabaseFile = source_.databaseFile();
    r.SourceFileRepositoryPath = source_.fileStorageFolder();
    r.DestVaultPath = dest().vaultFolder();
    r.IDSService = GetIDSPort(false, identity_.Url());
    return r;
  }

  // A run whose identity service fails as arranged: it ends with the error
  // (its line starts with errorStart) and "Import aborted", never with the
  // success line, leaves a fresh destination as it was and the Outpost
  // service running.
  struct IdentityFailure {
    const char* name;
    std::function<void(LoopbackSoapServer&)> arrange;
    std::string errorStart;
  };
  void expectRunEndsWithDestinationUnchanged(const IdentityFailure& c) {
    SCOPED_TRACE(c.name);
    dest_.reset();
    const DatabaseRows before = DumpTables(*dest().connect());
    c.arrange(identity_.Server());
    const RunResult run = RunMigration(request());
    ASSERT_GE(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[run.lines.size() - 2].rfind(c.errorStart, 0), 0u)
        << run.lines[run.lines.size() - 2];
    EXPECT_EQ(run.lines.back(), "Import aborted");
    EXPECT_EQ(run.indexOf("Migration succesfully finished"), -1);
    EXPECT_EQ(DumpTables(*dest().connect()), before);
    EXPECT_EQ(platform_.services->state(kOutpostServiceName), ServiceState::Running);
  }

  TestPlatform platform_;
  DeployedStatements statements_;
  FakeIdentityService identity_;
  SampleVault source_{VaultEdition::Outpost};
  std::unique_ptr<SampleVault> dest_;
};

TEST_P(Outpost, CopiesTheRowsAndWritesTheReferencedUsersGroupsAndMemberships) {
  const RunResult run = RunMigration(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.copyCaptions(), OutpostCopyCaptions());
  const auto& guids = SampleUserGuids();
  const int missing = run.indexOf("User " + guids[3] + " not found in IDS");
  const int users = run.indexOf("Saving users");
  const int groups = run.indexOf("Saving groups");
  const int started = run.indexOf("Outpost Vault service started TavrinOutpostVaultService");
  EXPECT_GT(missing, run.indexOf("Start copy ACLPublic"));
  EXPECT_LT(missing, users);
  EXPECT_EQ(groups, users + 1);
  EXPECT_LT(groups, started);
  EXPECT_EQ(platform_.services->calls(kOutpostServiceName).stopRequests, 1);
  EXPECT_EQ(platform_.services->state(kOutpostServiceName), ServiceState::Running);

  // One query for every collected GUID, with the session headers in order.
  ASSERT_EQ(identity_.UsersQueries().size(), 1u);
  const UsersQuery query = identity_.UsersQueries()[0];
  EXPECT_EQ(std::set<std::string>(query.userIds.begin(), query.userIds.end()),
            std::set<std::string>(guids.begin(), guids.end()));
  EXPECT_EQ(query.accountId, "ACC-9");
  EXPECT_EQ(query.batchSize, "100500");
  EXPECT_FALSE(query.getExtraData);
  const auto requests = identity_.Server().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].soapAction, "QueryUsersDetails");
  ASSERT_EQ(requests[1].headers.size(), 2u);
  EXPECT_EQ(requests[1].headers[0].name, "SessionID");
  EXPECT_EQ(requests[1].headers[0].text, "SESSION-9");
  EXPECT_EQ(requests[1].headers[1].name, "APIVersion");
  EXPECT_EQ(requests[1].headers[1].text, "2.0");

  auto src = source_.connect();
  auto dst = dest().connect();
  const auto expected = AsCopied(DumpTables(*src, OutpostPlainTables()));
  const auto copied = DumpTables(*dst, OutpostPlainTables());
  for (const auto& table : OutpostPlainTables()) {
    SCOPED_TRACE(table);
    EXPECT_EQ(copied.at(table), expected.at(table));
  }

  EXPECT_EQ(Rows(*dst,
                 "select GUID, USERNAME, FIRSTNAME, PHONE, FAX, SALUTATION, PASSWORD, "
                 "ORGANISATIONGUID, ACTIVE from IDS_USER where GUID in ('" +
                     guids[0] + "', '" + guids[1] + "', '" + guids[2] + "', '" + guids[3] +
                     "') order by USERNAME"),
            (std::vector<std::vector<std::string>>{
                {guids[0], "alice.meyer", "Alice", "+49 30 1234", "", "Dr.",
                 "5f0c9e27b1d4a8363e2f71c0ad94b58e", DefaultOrganisationGUID, "1"},
                {guids[1], "juergen.weiss", "Jürgen", "", "", "",
                 "5f0c9e27b1d4a8363e2f71c0ad94b58e", DefaultOrganisationGUID, "1"},
                {guids[2], "sofia.nunez", "Sofía", "", "", "", "5f0c9e27b1d4a8363e2f71c0ad94b58e",
                 DefaultOrganisationGUID, "1"}}));
  const auto memberships =
      Rows(*dst,
           "select GUID, GROUPGUID, USERGUID, NAME, ORGANISATIONGUID from IDS_GROUPMEMBERSHIP "
           "where GROUPGUID in ('{G-1}', '{G-2}') order by USERGUID, NAME");
  ASSERT_EQ(memberships.size(), 4u);
  std::set<std::string> membershipGuids;
  for (const auto& m : memberships) {
    membershipGuids.insert(m[0]);
    EXPECT_EQ(m[0].size(), 38u);
    EXPECT_EQ(m[4], DefaultOrganisationGUID);
  }
  EXPECT_EQ(membershipGuids.size(), 4u);
  EXPECT_EQ(Rows(*dst,
                 "select GUID, NAME, ORGANISATIONGUID, ACTIVE from IDS_GROUP where GUID in "
                 "('{G-1}', '{G-2}') order by GUID"),
            (std::vector<std::vector<std::string>>{
                {"{G-1}", "Engineers", DefaultOrganisationGUID, "1"},
                {"{G-2}", "Review Board", DefaultOrganisationGUID, "1"}}));
  // Organisation-scoped rights now name the destination's organisation.
  EXPECT_TRUE(Rows(*dst, std::string("select USERSCOPE from ACLDATA where SCOPETYPE = 3 and ") +
                             "USERSCOPE <> '" + DefaultOrganisationGUID + "'")
                  .empty());
}

TEST_P(Outpost, IdentityFailuresEndTheRunWithTheDestinationUnchanged) {
  const IdentityFailure cases[] = {
      {"fault",
       [](LoopbackSoapServer& s) {
         s.FailNext("QueryUsersDetails", Failure::Fault("Session expired"));
       },
       "ERROR - ERemotableException Session expired"},
      {"malformed",
       [](LoopbackSoapServer& s) {
         s.FailNext("QueryUsersDetails", Failure::Raw(200, "<not-soap"));
       },
       "ERROR - ESOAPMessageError "},
      {"http status",
       [](LoopbackSoapServer& s) { s.FailNext("QueryUsersDetails", Failure::Raw(503, "busy")); },
       "ERROR - ESOAPHTTPException "},
      {"reference to nothing",
       [](LoopbackSoapServer& s) {
         s.FailNext("QueryUsersDetails", Failure::Raw(200, UsersAnswer("<IDS_User href='#u0'/>")));
       },
       "ERROR - ESOAPMessageError The response refers to #u0, which it does not hold"},
      {"user without its key",
       [](LoopbackSoapServer& s) {
         s.FailNext("QueryUsersDetails",
                    Failure::Raw(200, UsersAnswer("<IDS_User><UserName>ghost</UserName>"
                                                  "<Parameters><Records/></Parameters>"
                                                  "<Groups><Records/></Groups></IDS_User>")));
       },
       "ERROR - EMovrano The identity service sent the user \"ghost\" without its UserId."},
      {"membership without its key",
       [](LoopbackSoapServer& s) {
         s.FailNext(
             "QueryUsersDetails",
             Failure::Raw(200, UsersAnswer("<IDS_User><UserId>" + SampleUserGuids()[0] +
                                           "</UserId><UserName>alice</UserName><Parameters>"
                                           "<Records/></Parameters><Groups><Records>"
                                           "<IDS_Parameters><Records><IDS_Parameter><Name>Name"
                                           "</Name><Value>Engineers</Value></IDS_Parameter>"
                                           "</Records></IDS_Parameters></Records></Groups>"
                                           "</IDS_User>")));
       },
       "ERROR - EMovrano The identity service sent a membership of the user " +
           SampleUserGuids()[0] + " without its GroupId."},
      {"unknown encoding",
       [](LoopbackSoapServer& s) {
         s.FailNext(
             "QueryUsersDetails",
             Failure::Raw(200, UsersAnswer("", "<?xml version='1.0' encoding='x-klingon'?>")));
       },
       "ERROR - ESOAPMessageError The response's encoding x-klingon cannot be decoded"},
  };
  for (const IdentityFailure& c : cases)
    expectRunEndsWithDestinationUnchanged(c);
}

TEST_P(Outpost, PagingThatCannotEndEndsTheRunInsteadOfAskingForEver) {
  const IdentityFailure cases[] = {
      {"repeating record locator",
       [this](LoopbackSoapServer&) {
         identity_.PageUsers({1, UsersPaging::Locator::Repeating});
       },
       "ERROR - ESOAPMessageError The identity service answered QueryUsersDetails with the "
       "RecordLocator page-1, which was already sent"},
      {"more pages without a record locator",
       [this](LoopbackSoapServer&) {
         identity_.PageUsers({1, UsersPaging::Locator::Empty});
       },
       "ERROR - ESOAPMessageError The identity service announced more QueryUsersDetails pages "
       "without a RecordLocator"},
  };
  for (const IdentityFailure& c : cases)
    expectRunEndsWithDestinationUnchanged(c);
}

TEST_P(Outpost, UsersAnsweredInPagesAllArriveWithTheirMemberships) {
  identity_.PageUsers({1});
  const RunResult run = RunMigration(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  const auto& guids = SampleUserGuids();
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(run.indexOf("User " + guids[i] + " not found in IDS"), -1) << guids[i];
  EXPECT_GE(run.indexOf("User " + guids[3] + " not found in IDS"), 0);

  // Three pages, each the same query with the session headers and the
  // locator of the page before.
  const std::vector<UsersQuery> queries = identity_.UsersQueries();
  ASSERT_EQ(queries.size(), 3u);
  const std::vector<std::string> locators = {"", "page-1", "page-2"};
  const auto requests = identity_.Server().Requests();
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(queries[i].recordLocator, locators[i]);
    EXPECT_EQ(queries[i].userIds, queries[0].userIds);
    EXPECT_EQ(queries[i].accountId, "ACC-9");
    EXPECT_EQ(queries[i].batchSize, "100500");
    const ReceivedRequest& r = requests.at(i + 1);
    ASSERT_EQ(r.headers.size(), 2u);
    EXPECT_EQ(r.headers[0].name + "=" + r.headers[0].text, "SessionID=SESSION-9");
    EXPECT_EQ(r.headers[1].name + "=" + r.headers[1].text, "APIVersion=2.0");
  }

  auto dst = dest().connect();
  EXPECT_EQ(Rows(*dst, "select count(*) from IDS_USER where GUID in ('" + guids[0] + "', '" +
                           guids[1] + "', '" + guids[2] + "')"),
            (std::vector<std::vector<std::string>>{{"3"}}));
  EXPECT_EQ(
      Rows(*dst, "select count(*) from IDS_GROUPMEMBERSHIP where GROUPGUID in ('{G-1}', '{G-2}')"),
      (std::vector<std::vector<std::string>>{{"4"}}));
  EXPECT_EQ(Rows(*dst, "select GUID from IDS_GROUP where GUID in ('{G-1}', '{G-2}') order by GUID"),
            (std::vector<std::vector<std::string>>{{"{G-1}"}, {"{G-2}"}}));
}

TEST_P(Outpost, AnAnswerInASingleByteEncodingIsReadAsSent) {
  const std::string& guid = SampleUserGuids()[1];
  identity_.Server().FailNext(
      "QueryUsersDetails",
      Failure::Raw(200, UsersAnswer("<IDS_User><UserId>" + guid +
                                        "</UserId><UserName>juergen.weiss</UserName>"
                                        "<FirstName>J\xFCrgen</FirstName><LastName>   </LastName>"
                                        "<Parameters><Records/></Parameters>"
                                        "<Groups><Records/></Groups></IDS_User>",
                                    "<?xml version='1.0' encoding='windows-1252'?>")));
  const RunResult run = RunMigration(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(Rows(*dest().connect(),
                 "select USERNAME, FIRSTNAME, LASTNAME from IDS_USER where GUID = '" + guid + "'"),
            (std::vector<std::vector<std::string>>{{"juergen.weiss", "Jürgen", "   "}}));
}

TEST_P(Outpost, UsersSentAsMultiReferenceValuesAreWrittenWithTheirMemberships) {
  const auto& guids = SampleUserGuids();
  identity_.Server().FailNext(
      "QueryUsersDetails",
      Failure::Raw(
          200, UsersAnswer("<IDS_User href='#u0'/><IDS_User href='#u1'/>", "",
                           "<multiRef id='u0'><UserId>" + guids[0] +
                               "</UserId><UserName>alice.meyer</UserName><FirstName>Alice"
                               "</FirstName><Parameters href='#p'/><Groups href='#g'/></multiRef>"
                               "<multiRef id='u1'><UserId>" +
                               guids[1] +
                               "</UserId><UserName>juergen.weiss</UserName><FirstName>J\xC3\xBCrgen"
                               "</FirstName><Parameters href='#p'/><Groups href='#g'/></multiRef>"
                               "<multiRef id='p'><Records/></multiRef>"
                               "<multiRef id='g'><Records><IDS_Parameters href='#m'/></Records>"
                               "</multiRef>"
                               "<multiRef id='m'><Records><IDS_Parameter><Name>Name</Name>"
                               "<Value>Engineers</Value></IDS_Parameter><IDS_Parameter><Name>"
                               "GroupId</Name><Value>{G-1}</Value></IDS_Parameter></Records>"
                               "</multiRef>")));
  const RunResult run = RunMigration(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(run.indexOf("User " + guids[0] + " not found in IDS"), -1);
  auto dst = dest().connect();
  EXPECT_EQ(Rows(*dst, "select GUID, USERNAME, FIRSTNAME from IDS_USER where GUID in ('" +
                           guids[0] + "', '" + guids[1] + "') order by USERNAME"),
            (std::vector<std::vector<std::string>>{{guids[0], "alice.meyer", "Alice"},
                                                   {guids[1], "juergen.weiss", "Jürgen"}}));
  EXPECT_EQ(Rows(*dst,
                 "select USERGUID from IDS_GROUPMEMBERSHIP where GROUPGUID = '{G-1}' "
                 "order by USERGUID"),
            (std::vector<std::vector<std::string>>{{std::min(guids[0], guids[1])},
                                                   {std::max(guids[0], guids[1])}}));
  EXPECT_TRUE(Rows(*dst, "select GUID from IDS_USER where GUID = ''").empty());
}

TEST_P(Outpost, ACancelEndsAUsersQueryInFlightAndTheRunEndsAsCancelled) {
  const DatabaseRows before = DumpTables(*dest().connect());
  identity_.Server().FailNext("QueryUsersDetails", Failure::Stall(std::chrono::minutes(2)));
  RunRequest r = request();
  r.terminateWhen = [&] { return identity_.Server().CountOf("QueryUsersDetails") > 0; };
  const RunResult run = RunMigration(r);
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "Outpost Vault service started TavrinOutpostVaultService");
  EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort");
  EXPECT_EQ(run.indexOf("Import aborted"), -1);
  EXPECT_EQ(run.indexOf("Saving users"), -1);
  EXPECT_EQ(platform_.services->state(kOutpostServiceName), ServiceState::Running);
  EXPECT_EQ(DumpTables(*dest().connect()), before);
  identity_.Server().Stop();  // releases the stalled answer
}

// Tests that need root, skipped without it.
class OutpostAsRoot : public Outpost {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root";
    Outpost::SetUp();
  }
};

TEST_P(OutpostAsRoot, AReadOnlyFileStorageEndsTheRunBeforeAnyRowIsWritten) {
  const std::filesystem::path store =
      std::filesystem::path(dest().fileStorageFolder()).parent_path();
  const auto readOnly = MountReadOnly(store);
  if (!readOnly) GTEST_SKIP() << "cannot mount read-only";
  const DatabaseRows before = DumpTables(*dest().connect());
  const auto entries =
      std::distance(std::filesystem::recursive_directory_iterator(source_.fileStorageFolder()), {});

  const RunResult run = RunMigration(request());
  ASSERT_GE(run.lines.size(), 3u);
  const std::string error = run.lines[run.lines.size() - 2];
  EXPECT_EQ(error.rfind("ERROR - EMovrano Could not copy \"" + source_.fileStorageFolder(), 0), 0u)
      << error;
  const std::string end = "\" into the file storage: Read-only file system (entries not copied: " +
                          std::to_string(entries) + ")";
  EXPECT_TRUE(error.ends_with(end)) << error;
  EXPECT_EQ(run.lines.back(), "Import aborted");
  EXPECT_EQ(run.indexOf("File storage copying finished"), -1);
  EXPECT_TRUE(run.copyCaptions().empty());
  EXPECT_EQ(platform_.services->state(kOutpostServiceName), ServiceState::Running);
  EXPECT_EQ(DumpTables(*dest().connect()), before);
}

TEST_P(Outpost, AnUnreachableServiceEndsTheRunAtTheLogin) {
  RunRequest r = request();
  identity_.Server().Stop();
  const RunResult run = RunMigration(r);
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2].rfind("ERROR - ESOAPHTTPException ", 0), 0u)
      << run.lines[run.lines.size() - 2];
  EXPECT_EQ(platform_.services->calls(kOutpostServiceName).opens, 0);
}

const auto kBothDestinations = ::testing::Values(M::mmOutpostToTVS, M::mmOutpostToSVS);
std::string ModeName(const ::testing::TestParamInfo<M>& info) {
  return MigrationModeName(info.param);
}
INSTANTIATE_TEST_SUITE_P(BothDestinations, Outpost, kBothDestinations, ModeName);
INSTANTIATE_TEST_SUITE_P(BothDestinations, OutpostAsRoot, kBothDestinations, ModeName);

}  // namespace
}  // namespace movrano::testing
