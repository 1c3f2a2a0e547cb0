#include "services/soap/HttpTransport.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>

#include "platform/Text.h"
#include "services/soap/Cancellation.h"
#include "services/soap/Errors.h"

namespace movrano::soap {
namespace {

using Clock = std::chrono::steady_clock;
// How often a waiting request looks at its limits and the cancellation.
constexpr int kPollMs = 100;

void EnsureCurl() {
  static const CURLcode initialised = curl_global_init(CURL_GLOBAL_DEFAULT);
  if (initialised != CURLE_OK)
    throw ESOAPHTTPException(std::string("libcurl failed to start: ") +
                             curl_easy_strerror(initialised));
}

struct EasyDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct MultiDeleter {
  void operator()(CURLM* m) const { curl_multi_cleanup(m); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// The answer as libcurl hands it out, decoded, a piece at a time. A length
// announced past the limit is refused before reading on. Room is made at
// once: for the announced length, or up to the limit when none is announced
// or a decoded answer outgrows it. The system backs that room only as it
// is written, and what was read is not copied again and again to grow.
struct Body {
  explicit Body(CURL* e) : easy(e) {}
  CURL* easy;
  std::string bytes;
  bool started = false;
  bool tooLarge = false;
};

size_t CollectBody(char* data, size_t size, size_t count, void* target) {
  auto* body = static_cast<Body*>(target);
  const size_t n = size * count;
  if (!body->started) {
    body->started = true;
    curl_off_t announced = -1;
    curl_easy_getinfo(body->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
    body->tooLarge = announced > 0 && static_cast<uint64_t>(announced) > kMaxResponseBytes;
    if (!body->tooLarge && announced > 0) body->bytes.reserve(static_cast<size_t>(announced));
  }
  if (body->tooLarge || n > kMaxResponseBytes - body->bytes.size()) {
    body->tooLarge = true;
    return 0;  // aborts the transfer, and with it the decoding
  }
  if (n > body->bytes.capacity() - body->bytes.size()) body->bytes.reserve(kMaxResponseBytes);
  body->bytes.append(data, n);
  return n;
}

// Sets options on one curl request. Send and receive time-outs are limits
// on a slow or silent phase that the transfer loop enforces; 0 stands for
// the default.
class CurlRequest final : public HttpRequestHandle {
 public:
  explicit CurlRequest(CURL* easy) : easy_(easy) { setConnect(limits.connect); }

  void SetOption(HttpOption option, uint32_t value) override {
    switch (option) {
      case HttpOption::ConnectTimeout:
        setConnect(value ? value : kDefaultHttpTimeouts.connect);
        break;
      case HttpOption::SendTimeout:
        limits.send = value ? value : kDefaultHttpTimeouts.send;
        break;
      case HttpOption::ReceiveTimeout:
        limits.receive = value ? value : kDefaultHttpTimeouts.receive;
        break;
      default:
        throw ESOAPHTTPException("Unknown HTTP request option");
    }
  }

  HttpTimeouts limits = kDefaultHttpTimeouts;

 private:
  void setConnect(uint32_t value) {
    const CURLcode rc = curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, long{value});
    if (rc != CURLE_OK)
      throw ESOAPHTTPException(std::string("Cannot set the connect time-out: ") +
                               curl_easy_strerror(rc));
    limits.connect = value;
  }

  CURL* easy_;
};

// Tells whether a phase of a transfer moved fewer bytes than about one a
// second, one at least, over the last of its limit: a silent phase, and a
// server that sends a byte now and then, which holds a request as long.
class Throughput {
 public:
  void Restart(Clock::time_point now, curl_off_t bytes) {
    samples_.clear();
    samples_.push_back({now, bytes});
  }

  bool TooSlow(Clock::time_point now, curl_off_t bytes, uint32_t limitMs) {
    if (bytes != samples_.back().bytes) {
      samples_.push_back({now, bytes});
      // Of three samples within a poll interval the middle one goes, which
      // keeps the history short for any limit and the last move exact.
      const size_t n = samples_.size();
      if (n >= 3 && now - samples_[n - 3].at < std::chrono::milliseconds(kPollMs))
        samples_.erase(samples_.end() - 2);
    }
    const Clock::time_point windowStart = now - std::chrono::milliseconds(limitMs);
    while (samples_.size() > 1 && samples_[1].at <= windowStart)
      samples_.pop_front();
    if (samples_.front().at > windowStart) return false;  // the phase is younger
    const curl_off_t needed = std::max<curl_off_t>(1, limitMs / 1000);
    return bytes - samples_.front().bytes < needed;
  }

 private:
  struct Sample {
    Clock::time_point at;  // when the count was first seen
    curl_off_t bytes;
  };
  std::deque<Sample> samples_;
};

std::string Context(const std::string& url, const std::string& action) {
  return Format(" - URL:%s - SOAPAction:%s", RedactedUrl(url), action);
}

// Runs the transfer, failing when a phase moves slower than about a byte
// a second over its limit, or not at all: sending while the body is not yet
// out, receiving afterwards. Between waits of at most kPollMs the
// cancellation check runs.
CURLcode Transfer(CURL* easy, const CurlRequest& request, curl_off_t bodySize) {
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!multi || curl_multi_add_handle(multi.get(), easy) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
  struct Detach {
    CURLM* m;
    CURL* e;
    ~Detach() { curl_multi_remove_handle(m, e); }
  } detach{multi.get(), easy};

  bool connected = false, sending = false;
  Throughput throughput;
  int running = 1;
  while (true) {
    CheckCancellation();
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) return CURLE_FAILED_INIT;
    if (!running) break;
    curl_off_t up = 0, down = 0, pretransfer = 0;
    long header = 0;
    curl_easy_getinfo(easy, CURLINFO_SIZE_UPLOAD_T, &up);
    curl_easy_getinfo(easy, CURLINFO_SIZE_DOWNLOAD_T, &down);
    curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &header);
    curl_easy_getinfo(easy, CURLINFO_PRETRANSFER_TIME_T, &pretransfer);
    const Clock::time_point now = Clock::now();
    const curl_off_t moved = up + down + header;
    if (pretransfer > 0 && (!connected || sending != (up < bodySize))) {
      connected = true;
      sending = up < bodySize;
      throughput.Restart(now, moved);
    }
    if (connected &&
        throughput.TooSlow(now, moved, sending ? request.limits.send : request.limits.receive))
      return CURLE_OPERATION_TIMEDOUT;
    if (curl_multi_poll(multi.get(), nullptr, 0, kPollMs, nullptr) != CURLM_OK)
      return CURLE_FAILED_INIT;
  }
  int left = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left))
    if (msg->msg == CURLMSG_DONE) return msg->data.result;
  return CURLE_FAILED_INIT;
}

}  // namespace

std::string RedactedUrl(const std::string& url) {
  const size_t scheme = url.find("://");
  const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t end = url.find_first_of("/?#", start);
  const size_t at = url.rfind('@', end == std::string::npos ? url.size() : end);
  if (at == std::string::npos || at < start) return url;
  return url.substr(0, start) + url.substr(at + 1);
}

HttpResponse HttpTransport::Post(const std::string& url, const std::string& soapAction,
                                 const std::string& body) {
  if (url.empty())
    throw ESOAPHTTPException("No URL to send the request to" + Context(url, soapAction));
  if (soapAction.find_first_of("\r\n\"") != std::string::npos)
    throw ESOAPHTTPException("Invalid SOAP action" + Context(url, ""));
  EnsureCurl();
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) throw ESOAPHTTPException("libcurl cannot make a request" + Context(url, soapAction));
  CURL* c = easy.get();

  Body answer{c};
  char error[CURL_ERROR_SIZE] = {};
  std::unique_ptr<curl_slist, ListDeleter> headers;
  for (const std::string& h : {std::string("Content-Type: text/xml; charset=utf-8"),
                               "SOAPAction: \"" + soapAction + "\"", std::string("Expect:")}) {
    curl_slist* next = curl_slist_append(headers.get(), h.c_str());
    if (!next) throw ESOAPHTTPException("Out of memory" + Context(url, soapAction));
    headers.release();
    headers.reset(next);
  }
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_POST, 1L);
  curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &CollectBody);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &answer);
  // Asks for these; libcurl decodes an answer in any coding it knows and
  // fails on one it does not.
  curl_easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
  curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(c, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");

  CurlRequest request(c);
  if (OnBeforePost) OnBeforePost(*this, request);

  const CURLcode rc = Transfer(c, request, static_cast<curl_off_t>(body.size()));
  if (rc == CURLE_OPERATION_TIMEDOUT)
    throw ESOAPHTTPException("The operation timed out" + Context(url, soapAction));
  if (answer.tooLarge)
    throw ESOAPHTTPException("The response is too large" + Context(url, soapAction));
  if (rc != CURLE_OK)
    throw ESOAPHTTPException((error[0] ? std::string(error) : curl_easy_strerror(rc)) +
                             Context(url, soapAction));
  HttpResponse response;
  response.body = std::move(answer.bytes);
  curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &response.status);
  char* type = nullptr;
  if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type)
    response.contentType = type;
  return response;
}

}  // namespace movrano::soap
