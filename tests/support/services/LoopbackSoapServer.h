#pragma once
// A SOAP server on 127.0.0.1 (an ephemeral port) for tests: parses each
// request with an XML parser, records what arrived (SOAP action, header
// elements, body element and its children, in order) and lets a service
// write the answer, which goes in a content coding the request accepts, as
// a web server's compression would send it. Failures can be injected per
// operation: a SOAP fault, a raw answer (any status and body, sent as it
// is), one in a content coding whether asked for or not, a stall before
// answering, a stall half way through the answer, or an answer that
// trickles in a byte at a time.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "services/soap/XmlReader.h"
#include "services/soap/XmlWriter.h"

namespace httplib {
class Server;
}

namespace movrano::testing {

struct ReceivedElement {
  std::string ns, name, text;  // namespace URI, local name, character data
};

struct ReceivedRequest {
  std::string target;      // path and query, "/?cls=soap"
  std::string soapAction;  // without its quotes
  std::string contentType;
  std::string acceptEncoding;
  std::vector<ReceivedElement> headers;   // the SOAP header elements, in order
  std::string bodyNs, bodyName;           // the body's element
  std::vector<std::string> bodyChildren;  // local names of its children, in order
  std::string xml;                        // the request as sent
};

// A fault the service answers with (HTTP 500).
struct SoapFault {
  std::string code = "SOAP-ENV:Server";
  std::string text;
};

struct Failure {
  enum class Kind { Fault, Raw, Stall, StallHalfWay, Trickle };
  Kind kind = Kind::Fault;
  int status = 200;
  std::string text;  // fault text or raw body
  std::chrono::milliseconds stall{0};
  std::chrono::milliseconds lasting{0};
  std::string contentEncoding{};  // of a raw body, "" for none

  static Failure Fault(std::string text) { return {Kind::Fault, 500, std::move(text), {}}; }
  static Failure Raw(int status, std::string body) {
    return {Kind::Raw, status, std::move(body), {}};
  }
  // A raw body already in that content coding ("gzip", "gzip, gzip"...),
  // sent as it is under that Content-Encoding.
  static Failure Encoded(std::string coding, std::string bytes) {
    Failure f = Raw(200, std::move(bytes));
    f.contentEncoding = std::move(coding);
    return f;
  }
  // Waits (or until the server stops), then answers normally.
  static Failure Stall(std::chrono::milliseconds d) { return {Kind::Stall, 200, {}, d}; }
  // Sends the status, the headers and half the answer, then waits (or until
  // the server stops) and drops the connection.
  static Failure StallHalfWay(std::chrono::milliseconds d) {
    return {Kind::StallHalfWay, 200, {}, d};
  }
  // Sends the status and the headers, then one byte of the answer every
  // `every`, so that the connection never falls silent for long; drops the
  // connection after `lasting` (or when the server stops).
  static Failure Trickle(std::chrono::milliseconds every, std::chrono::milliseconds lasting) {
    return {Kind::Trickle, 200, {}, every, lasting};
  }
};

class LoopbackSoapServer {
 public:
  // Writes the content of the response body for a request whose body
  // element is given; may throw SoapFault.
  using Handler =
      std::function<void(const ReceivedRequest&, soap::XmlNode body, soap::XmlWriter& out)>;

  explicit LoopbackSoapServer(Handler handler);
  ~LoopbackSoapServer();
  LoopbackSoapServer(const LoopbackSoapServer&) = delete;
  LoopbackSoapServer& operator=(const LoopbackSoapServer&) = delete;

  // "http://127.0.0.1:<port>/?cls=soap"
  std::string Url() const;
  int Port() const { return port_; }

  std::vector<ReceivedRequest> Requests() const;
  size_t CountOf(const std::string& soapAction) const;

  // For the next request with that SOAP action ("" for any), or every one.
  void FailNext(const std::string& soapAction, Failure failure);
  void FailAlways(const std::string& soapAction, Failure failure);

  void Stop();

 private:
  struct Answer {
    int status;
    std::string body;
    bool raw = false;  // on the wire as it is, with this Content-Encoding
    std::string contentEncoding{};
    std::chrono::milliseconds stallHalfWay{0};
    std::chrono::milliseconds trickle{0}, trickleLasting{0};
  };
  Answer handle(ReceivedRequest r);
  std::optional<Failure> takeFailure(const std::string& action);

  Handler handler_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::vector<ReceivedRequest> requests_;
  std::multimap<std::string, Failure> once_;
  std::map<std::string, Failure> always_;
};

// The envelope around a body (or fault) that the fakes answer with.
std::string AnswerEnvelope(const std::function<void(soap::XmlWriter&)>& writeBody);
std::string FaultEnvelope(const SoapFault& fault);

// Child element texts and lists of a parsed request.
std::string ChildText(soap::XmlNode parent, const char* name);
std::vector<std::string> ChildTexts(soap::XmlNode list);

}  // namespace movrano::testing
