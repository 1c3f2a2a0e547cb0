#include <gtest/gtest.h>
#include <httplib.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/Text.h"
#include "services/IDS.h"
#include "services/soap/Errors.h"
#include "support/services/ServiceTypes.h"

namespace movrano {
namespace {

// Answers every request with one body under one Content-Type.
class LabelledAnswerServer {
 public:
  LabelledAnswerServer() {
    server_.Post("/", [this](const httplib::Request&, httplib::Response& res) {
      res.set_content(body_, contentType_);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) throw std::runtime_error("The labelled answer server cannot bind");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~LabelledAnswerServer() {
    server_.stop();
    thread_.join();
  }

  // Only between requests.
  void Answer(std::string contentType, std::string body) {
    contentType_ = std::move(contentType);
    body_ = std::move(body);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/?cls=soap"; }

 private:
  httplib::Server server_;
  std::thread thread_;
  int port_ = 0;
  std::string contentType_, body_;
};

// A Login answer whose session ID is `session`, in the bytes the case
// gives it.
std::string LoginAnswer(const std::string& declaration, const std::string& session) {
  return declaration +
         "<SOAP-ENV:Envelope xmlns:SOAP-ENV='http://schemas.xmlsoap.org/soap/envelope/'>"
         "<SOAP-ENV:Body><LoginResponse><return><SessionId>" +
         session + "</SessionId></return></LoginResponse></SOAP-ENV:Body></SOAP-ENV:Envelope>";
}

std::string Utf16Le(const std::string& utf8) {
  std::string out;
  for (const char16_t c : Utf8ToUtf16(utf8))
    out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return out;
}

TEST(SoapCharset, TheAnswersLabelIsReadAfterItsMarkAndBeforeUTF8) {
  testing::RegisterServiceTypesOnce();
  LabelledAnswerServer server;
  const std::shared_ptr<IDSPort> port = GetIDSPort(false, server.Url());
  struct Case {
    const char* name;
    std::string contentType, body;
    std::string session;                     // read: the session ID
    std::vector<std::string> refusing = {};  // refused: what the message names
  };
  const std::string cafe = "caf\xC3\xA9 \xE2\x82\xAC";  // "café €" in UTF-8
  const std::string latin1 = "caf\xE9";
  const std::string decl1252 = "<?xml version='1.0' encoding='windows-1252'?>";
  for (const Case& c : std::vector<Case>{
           {"Latin-1 labelled, undeclared", "text/xml; charset=iso-8859-1", LoginAnswer("", latin1),
            "caf\xC3\xA9"},
           {"labelled in quotes, among other parameters",
            "text/xml; action=\"urn:x\"; CHARSET=\"Windows-1252\" ; q=1",
            LoginAnswer("", "caf\xE9 \x80"), cafe},
           {"no label, undeclared", "text/xml", LoginAnswer("", cafe), cafe},
           {"UTF-16 with its mark labelled utf-8", "text/xml; charset=utf-8",
            "\xFF\xFE" + Utf16Le(LoginAnswer("", cafe)), cafe},
           {"UTF-16 without a mark labelled utf-8", "text/xml; charset=utf-8",
            Utf16Le(LoginAnswer("", cafe)), cafe},
           {"UTF-8 with its mark labelled iso-8859-1", "text/xml; charset=iso-8859-1",
            "\xEF\xBB\xBF" + LoginAnswer("", cafe), cafe},
           {"windows-1252 declared, labelled utf-8", "text/xml; charset=utf-8",
            LoginAnswer(decl1252, "caf\xE9 \x80"), cafe},
           {"UTF-8 declared, labelled iso-8859-1", "text/xml; charset=iso-8859-1",
            LoginAnswer("<?xml version='1.0' encoding='utf-8'?>", cafe), cafe},
           {"UTF-16 declared in UTF-8 bytes, labelled utf-8", "text/xml; charset=utf-8",
            LoginAnswer("<?xml version='1.0' encoding='utf-16'?>", cafe), cafe},
           {"a label that names no encoding",
            "text/xml; charset=x-klingon",
            LoginAnswer("", latin1),
            "",
            {"charset", "x-klingon"}},
           {"a label with a conversion suffix",
            "text/xml; charset=utf-8//IGNORE",
            LoginAnswer("", latin1),
            "",
            {"charset", "utf-8//IGNORE"}},
           {"UTF-16 labelled on 8-bit bytes",
            "text/xml; charset=utf-16",
            LoginAnswer("", cafe),
            "",
            {"charset", "utf-16"}},
           {"UTF-16 declared in UTF-8 bytes, unlabelled",
            "text/xml",
            LoginAnswer("<?xml version='1.0' encoding='utf-16'?>", cafe),
            "",
            {"utf-16"}},
           {"Latin-1 bytes labelled utf-8",
            "text/xml; charset=utf-8",
            LoginAnswer("", latin1),
            "",
            {"not well-formed"}},
       }) {
    SCOPED_TRACE(c.name);
    server.Answer(c.contentType, c.body);
    try {
      EXPECT_EQ(port->Login("alice", "pw", false)->SessionId, c.session);
      EXPECT_TRUE(c.refusing.empty()) << "read an answer to refuse";
    } catch (const soap::ESOAPMessageError& e) {
      ASSERT_FALSE(c.refusing.empty()) << e.what();
      for (const std::string& part : c.refusing)
        EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace movrano
