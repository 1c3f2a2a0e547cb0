// Peak memory of the identity client reading one large answer, for answer
// shapes that cost the reader most per byte: empty elements, deeply nested
// text, empty records and elements with many attributes; then for the
// largest answer the program asks for, a page of 100,500 full users as a
// service writes them (goal: under 1.2 GB), and for a gzip bomb of a few
// kilobytes that would decode to gigabytes (refused at the size limit,
// holding no more than that). A loopback server in this process sends the
// answer; each case runs as a fresh child process that prints its own peak
// resident memory above its base, so that neither the server's copies nor
// an earlier case count.
// Usage: soap_memory_bench [megabytes]
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "BenchRounds.h"
#include "platform/Exceptions.h"
#include "services/IDS.h"
#include "services/soap/HttpTransport.h"
#include "support/services/ContentCoding.h"
#include "support/services/LoopbackSoapServer.h"
#include "support/services/ServiceTypes.h"

using namespace movrano;

namespace {

constexpr const char* kNs = "urn:movrano-bench";

std::string Envelope(const std::string& response) {
  return "<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/'>"
         "<SOAP-ENV:Body>" +
         response + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

// A Login answer whose result holds `filler` after its session ID.
std::string LoginAnswer(const std::function<void(std::string&)>& filler) {
  std::string result =
      "<LoginResponse xmlns='" + std::string(kNs) + "'><return><SessionId>s-1</SessionId><Filler>";
  filler(result);
  result += "</Filler></return></LoginResponse>";
  return Envelope(result);
}

std::string Answer(const std::string& shape, size_t bytes) {
  if (shape == "empty elements")
    return LoginAnswer([&](std::string& s) {
      while (s.size() < bytes)
        s += "<a/>";
    });
  if (shape == "deep text")
    return LoginAnswer([&](std::string& s) {
      size_t depth = 0;
      while (s.size() + 4 * depth < bytes) {
        s += "<a>t";
        ++depth;
      }
      for (; depth > 0; --depth)
        s += "</a>";
    });
  if (shape == "many attributes")
    return LoginAnswer([&](std::string& s) {
      while (s.size() < bytes) {
        s += "<a";
        for (int j = 0; j < 1000 && s.size() < bytes; ++j)
          s += " a" + std::to_string(j) + "=''";
        s += "/>";
      }
    });
  if (shape == "60,000 attributes") {
    // Namespace declarations and prefixed attributes on the element the
    // reader reads: each is looked up while reading it.
    std::string a = "<LoginResponse xmlns='" + std::string(kNs) + "'><return";
    for (int i = 0; i < 30000; ++i)
      a +=
          " xmlns:p" + std::to_string(i) + "='urn:movrano-bench:prefix:p" + std::to_string(i) + "'";
    for (int i = 0; i < 30000; ++i)
      a += " p" + std::to_string(i) + ":nil='false'";
    a += "><SessionId>s-1</SessionId></return></LoginResponse>";
    return Envelope(a);
  }
  // Records: each becomes an object of its class. Empty ones cost most;
  // full ones are what a service sends.
  std::string users = "<QueryUsersDetailsResponse xmlns='" + std::string(kNs) +
                      "'><return><Done>true</Done><Records>";
  for (int i = 0; users.size() < bytes; ++i) {
    if (shape == "empty records") {
      users += "<IDS_User/>";
      continue;
    }
    const std::string n = std::to_string(100000000000 + i);
    users += "<IDS_User><UserId>{6F9619FF-8B86-D011-B42D-" + n +
             "}</UserId><AccountId>{6F9619FF-8B86-D011-B42D-00C04FC964FF}</AccountId>"
             "<UserName>user" +
             n +
             "</UserName><FirstName>First</FirstName>"
             "<LastName>Last" +
             n + "</LastName><FullName>First Last" + n + "</FullName><Email>user" + n +
             "@example.com</Email>"
             "<Organisation>Example Ltd</Organisation>"
             "<PrimaryAdministrator>false</PrimaryAdministrator>"
             "<LastLoginDate>2024-05-01T10:00:00Z</LastLoginDate>"
             "<LastModifiedDate>2024-04-01T10:00:00Z</LastModifiedDate>"
             "<Parameters><Records><IDS_Parameter><Name>Phone</Name><Value>+49 30 1234</Value>"
             "</IDS_Parameter></Records></Parameters><Groups><Records><IDS_Parameters><Records>"
             "<IDS_Parameter><Name>GroupId</Name><Value>{G-1}</Value></IDS_Parameter>"
             "</Records></IDS_Parameters></Records></Groups></IDS_User>";
  }
  users += "</Records></return></QueryUsersDetailsResponse>";
  return Envelope(users);
}

const std::vector<std::string> kShapes = {"empty elements", "deep text",    "many attributes",
                                          "empty records",  "full records", "60,000 attributes"};

// One user as a SOAP toolkit writes it, every element typed, with six
// profile fields and two group memberships: about 3 KB.
void AppendFullUser(std::string& out, int i) {
  const std::string n = std::to_string(100000000000 + i);
  const auto field = [&](const char* name, const std::string& value) {
    out += std::string("<") + name + " xsi:type=\"xsd:string\">" + value + "</" + name + ">";
  };
  const auto entry = [&](const char* name, const std::string& value) {
    out += "<IDS_Parameter xsi:type=\"ns1:IDS_Parameter\">";
    field("Name", name);
    field("Value", value);
    out += "</IDS_Parameter>";
  };
  out += "<IDS_User xsi:type=\"ns1:IDS_User\">";
  field("UserId", "{6F9619FF-8B86-D011-B42D-" + n + "}");
  field("AccountId", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
  field("UserName", "user" + n);
  field("FirstName", "Firstname");
  field("LastName", "Lastname" + n);
  field("FullName", "Firstname Lastname" + n);
  field("Email", "firstname.lastname" + n + "@example-company.com");
  field("Organisation", "Example Engineering Company Ltd");
  out += "<PrimaryAdministrator xsi:type=\"xsd:boolean\">false</PrimaryAdministrator>";
  out += "<LastLoginDate xsi:type=\"xsd:dateTime\">2024-05-01T10:00:00.000Z</LastLoginDate>";
  out += "<LastModifiedDate xsi:type=\"xsd:dateTime\">2024-04-01T10:00:00.000Z</LastModifiedDate>";
  out += "<Parameters xsi:type=\"ns1:IDS_Parameters\"><Records>";
  for (const auto& [name, value] :
       {std::pair<const char*, std::string>{"Phone", "+49 30 1234" + n.substr(8)},
        {"Mobile", "+49 170 98" + n.substr(7)},
        {"Department", "Electronics Design"},
        {"JobTitle", "Senior Engineer"},
        {"Street", "Examplestrasse 42"},
        {"City", "Berlin"}})
    entry(name, value);
  out += "</Records></Parameters><Groups xsi:type=\"ns1:IDS_Assets\"><Records>";
  for (const char* group : {"1", "2"}) {
    out += "<IDS_Parameters xsi:type=\"ns1:IDS_Parameters\"><Records>";
    entry("Name", std::string("Designers ") + group);
    entry("GroupId", std::string("{8D2B3C4A-1E2F-4A5B-9C8D-00000000000") + group + "}");
    entry("AccountId", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    out += "</Records></IDS_Parameters>";
  }
  out += "</Records></Groups></IDS_User>";
}

// The largest answer the program asks for: one page of 100,500 users.
std::string FullUsersPage() {
  std::string users =
      "<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/' "
      "xmlns:xsd='http://www.w3.org/2001/XMLSchema' "
      "xmlns:xsi='http://www.w3.org/2001/XMLSchema-instance' xmlns:ns1='" +
      std::string(kNs) + "'><SOAP-ENV:Body><QueryUsersDetailsResponse xmlns='" + std::string(kNs) +
      "'><return><Done>true</Done><RecordLocator></RecordLocator><Records>";
  for (int i = 0; i < 100500; ++i)
    AppendFullUser(users, i);
  return users +
         "\n  </Records></return></QueryUsersDetailsResponse></SOAP-ENV:Body>"
         "</SOAP-ENV:Envelope>";
}

// The child: one call, then its figures on one line.
int Client(const std::string& url, const std::string& shape) {
  testing::RegisterServiceTypesOnce();
  bench::ResetPeak();
  const long baseKb = bench::ReadMemory().rssKb;
  const auto start = std::chrono::steady_clock::now();
  std::string outcome = "read";
  try {
    const auto port = GetIDSPort(false, url);
    if (shape == "100,500 users")
      outcome = "read " +
                std::to_string(port->QueryUsersDetails(nullptr, 100500, "")->Records.size()) +
                " users";
    else if (shape.find("records") != std::string::npos)
      outcome = "read " + std::to_string(port->QueryUsersDetails(nullptr, 1, "")->Records.size()) +
                " records";
    else
      port->Login("alice", "pw", false);
  } catch (const std::exception& e) {
    outcome = std::string(ExceptionClassName(e)) + ": " + std::string(e.what()).substr(0, 90);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const long peakKb = bench::ReadMemory().peakKb;
  std::printf("%.1f %.2f %s\n", (peakKb - baseKb) / 1024.0, seconds, outcome.c_str());
  return 0;
}

std::string RunChild(const std::string& url, const std::string& shape) {
  int out[2];
  if (pipe(out) != 0) return "no pipe";
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl("/proc/self/exe", "soap_memory_bench", "--client", url.c_str(), shape.c_str(), nullptr);
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[512];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) text += " (child failed)";
  return text;
}

// One line of the table from the child's figures.
void PrintFigures(const std::string& label, size_t answerSize, const std::string& line) {
  double peakMb = 0, seconds = 0;
  int used = 0;
  std::sscanf(line.c_str(), "%lf %lf %n", &peakMb, &seconds, &used);
  std::string outcome = line.substr(static_cast<size_t>(used));
  if (!outcome.empty() && outcome.back() == '\n') outcome.pop_back();
  std::printf("%-18s %10.1f %8.2f %8.2f  %s\n", label.c_str(), peakMb,
              peakMb * 1048576.0 / static_cast<double>(answerSize), seconds, outcome.c_str());
  std::fflush(stdout);
}

// One namespace URI of half the answer, declared once, and elements of
// eight attributes in it, at two sizes four times apart: the time should
// grow four times too, not sixteen.
void LongNamespaceUri(testing::LoopbackSoapServer& server) {
  std::printf("\none namespace URI of half the answer, elements of 8 attributes in it\n");
  for (const size_t megabytes : {4, 16}) {
    const size_t bytes = megabytes * 1000 * 1000;
    const std::string answer = LoginAnswer([&](std::string& s) {
      s += "<x xmlns:p='urn:" + std::string(bytes / 2, 'u') + "'>";
      while (s.size() < bytes)
        s += "<e p:a='' p:b='' p:c='' p:d='' p:e='' p:f='' p:g='' p:h=''/>";
      s += "</x>";
    });
    server.FailAlways("", testing::Failure::Raw(200, answer));
    PrintFigures(std::to_string(megabytes) + " MB", answer.size(),
                 RunChild(server.Url(), "long namespace URI"));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--client") return Client(argv[2], argv[3]);
  const size_t megabytes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
  const size_t bytes = megabytes * 1000 * 1000;

  testing::LoopbackSoapServer server([](auto&&...) {});
  // One case: its peak against the bytes it decodes to.
  const auto report = [&](const std::string& shape, testing::Failure answer, size_t decoded) {
    server.FailAlways("", std::move(answer));
    const std::string line = RunChild(server.Url(), shape);
    double peakMb = 0, seconds = 0;
    int used = 0;
    std::sscanf(line.c_str(), "%lf %lf %n", &peakMb, &seconds, &used);
    std::string outcome = line.substr(static_cast<size_t>(used));
    if (!outcome.empty() && outcome.back() == '\n') outcome.pop_back();
    std::printf("%-18s %10.1f %8.2f %8.2f  %s\n", shape.c_str(), peakMb,
                peakMb * 1048576.0 / static_cast<double>(decoded), seconds, outcome.c_str());
    std::fflush(stdout);
  };
  std::printf("answers of %zu MB; peak resident memory of the reading process above its base\n",
              megabytes);
  std::printf("%-18s %10s %8s %8s  %s\n", "shape", "peak MB", "x size", "seconds", "outcome");
  for (const std::string& shape : kShapes) {
    std::string answer = Answer(shape, bytes);
    const size_t size = answer.size();
    report(shape, testing::Failure::Raw(200, std::move(answer)), size);
  }

  std::string page = FullUsersPage();
  const size_t pageSize = page.size();
  std::printf("\n100,500 users: %.1f MB as written (size limit %.1f MB); goal: peak under 1.2 GB\n",
              static_cast<double>(pageSize) / 1e6,
              static_cast<double>(soap::kMaxResponseBytes) / 1e6);
  report("100,500 users", testing::Failure::Raw(200, std::move(page)), pageSize);

  const size_t bombDecoded = size_t{4} << 30;
  const testing::EncodedAnswer bomb = testing::GzipBomb(bombDecoded);
  std::printf("\ngzip bomb: %zu bytes as %s that decode to %.1f GB; x size against the limit\n",
              bomb.bytes.size(), bomb.coding.c_str(), static_cast<double>(bombDecoded) / 1e9);
  report("gzip bomb", testing::Failure::Encoded(bomb.coding, bomb.bytes), soap::kMaxResponseBytes);

  LongNamespaceUri(server);
  return 0;
}
