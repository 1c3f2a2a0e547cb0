#pragma once
// The HTTP side of a client: POSTs one SOAP message with its "SOAPAction"
// and "Content-Type" headers over libcurl and returns the answer.
// OnBeforePost runs for every request after its headers are set and before
// its body is sent, and may set time-outs on that request.
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace movrano::soap {

// The request options a before-post handler may set (values in milliseconds;
// 0 means the transport's default).
enum class HttpOption : uint32_t { ConnectTimeout = 2, SendTimeout = 5, ReceiveTimeout = 6 };

// The limits a request runs under, in milliseconds: connecting, then the
// longest pause while the body goes out, then while the answer comes in. A
// phase that moves slower than about one byte a second over its whole
// limit times out too, as a silent one does.
struct HttpTimeouts {
  uint32_t connect = 0, send = 0, receive = 0;
  friend bool operator==(const HttpTimeouts&, const HttpTimeouts&) = default;
};

// What a time-out of 0 stands for: finite limits of the order of the usual
// HTTP client defaults, so that a silent service never blocks a run.
inline constexpr HttpTimeouts kDefaultHttpTimeouts{60000, 30000, 30000};

class HttpRequestHandle {
 public:
  // Throws when the option cannot be set; the request is then not sent.
  virtual void SetOption(HttpOption option, uint32_t value) = 0;

 protected:
  ~HttpRequestHandle() = default;
};

struct HttpResponse {
  long status = 0;
  std::string contentType;
  std::string body;
};

class HttpTransport {
 public:
  using BeforePostEvent = std::function<void(HttpTransport&, HttpRequestHandle&)>;

  // One handler at most.
  BeforePostEvent OnBeforePost;
  // The transport's own time-outs; 0 leaves the defaults.
  uint32_t ConnectTimeout = 0;
  uint32_t SendTimeout = 0;
  uint32_t ReceiveTimeout = 0;

  // Throws ESOAPHTTPException when no HTTP answer arrives (refused, lost,
  // timed out) or when the answer passes 128 MiB ("too large"). Any HTTP
  // status is returned; judging it is the caller's.
  // The calling thread's cancellation check (Cancellation.h) runs while
  // the request waits; what it raises ends the request.
  HttpResponse Post(const std::string& url, const std::string& soapAction, const std::string& body);

  // The options set on the last request, in the order they were set.
  const std::vector<std::pair<HttpOption, uint32_t>>& LastRequestOptions() const {
    return lastOptions_;
  }
  // The limits the last request ran under.
  const HttpTimeouts& LastRequestTimeouts() const { return lastTimeouts_; }

 private:
  std::vector<std::pair<HttpOption, uint32_t>> lastOptions_;
  HttpTimeouts lastTimeouts_;
};

// The URL without any user name or password, for messages.
std::string RedactedUrl(const std::string& url);

}  // namespace movrano::soap
