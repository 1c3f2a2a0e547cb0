#pragma once
// The HTTP side of a client: POSTs one SOAP message with its "SOAPAction"
// and "Content-Type" headers over libcurl and returns the answer, asking
// for it in gzip or deflate and decoding it as it arrives.
// OnBeforePost runs for every request after its headers are set and before
// its body is sent, and may set time-outs on that request.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

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

// The largest answer taken, decoded. The largest the program asks for, a
// page of 100,500 users at about 3 KB each as a service writes them with
// their profiles and memberships, is about 310 MB. Reading an answer takes
// a few times its size (see XmlReader.h and Serializer.h), which this
// bounds for a hostile or broken one too.
inline constexpr size_t kMaxResponseBytes = size_t{320} << 20;

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

  // One handler at most; without one a request runs under the defaults.
  BeforePostEvent OnBeforePost;

  // Throws ESOAPHTTPException when no HTTP answer arrives (refused, lost,
  // timed out, in a coding that cannot be decoded) or when the decoded
  // answer passes kMaxResponseBytes ("too large"), which is found while
  // decoding: no more than that is ever held. Any HTTP status is returned;
  // judging it is the caller's.
  // The calling thread's cancellation check (Cancellation.h) runs while
  // the request waits; what it raises ends the request.
  HttpResponse Post(const std::string& url, const std::string& soapAction, const std::string& body);
};

// The URL without any user name or password, for messages.
std::string RedactedUrl(const std::string& url);

}  // namespace movrano::soap
