#include "support/services/RequestOptionsRecorder.h"

namespace movrano::testing {
namespace {

// Passes each option on to the real request and notes it once taken.
class Forwarding final : public soap::HttpRequestHandle {
 public:
  using Note = std::function<void(soap::HttpOption, uint32_t)>;
  Forwarding(soap::HttpRequestHandle& real, Note note) : real_(real), note_(std::move(note)) {}
  void SetOption(soap::HttpOption option, uint32_t value) override {
    real_.SetOption(option, value);
    note_(option, value);
  }

 private:
  soap::HttpRequestHandle& real_;
  Note note_;
};

}  // namespace

RequestOptionsRecorder::RequestOptionsRecorder(soap::HTTPRIO& client)
    : installed_(std::exchange(client.HTTPWebNode().OnBeforePost, nullptr)) {
  client.HTTPWebNode().OnBeforePost = [this](soap::HttpTransport& transport,
                                             soap::HttpRequestHandle& request) {
    size_t index = 0;
    {
      std::lock_guard lock(mutex_);
      index = requests_.size();
      requests_.emplace_back();
    }
    Forwarding forwarding(request, [this, index](soap::HttpOption option, uint32_t value) {
      std::lock_guard lock(mutex_);
      requests_[index].emplace_back(option, value);
    });
    if (installed_) installed_(transport, forwarding);
  };
}

std::vector<RequestOptions> RequestOptionsRecorder::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

}  // namespace movrano::testing
