#pragma once
// The options a client's before-post event sets on each of its requests,
// recorded on their way to the real request: the recorder wraps the event
// installed on the client's transport, so the requests still go out with
// those options. It must outlive the requests it watches.
#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "services/soap/HTTPRIO.h"

namespace movrano::testing {

using RequestOptions = std::vector<std::pair<soap::HttpOption, uint32_t>>;

class RequestOptionsRecorder {
 public:
  explicit RequestOptionsRecorder(soap::HTTPRIO& client);
  RequestOptionsRecorder(const RequestOptionsRecorder&) = delete;
  RequestOptionsRecorder& operator=(const RequestOptionsRecorder&) = delete;

  // One entry per request sent since, each in the order the options were set.
  std::vector<RequestOptions> Requests() const;

 private:
  soap::HttpTransport::BeforePostEvent installed_;
  mutable std::mutex mutex_;
  std::vector<RequestOptions> requests_;
};

}  // namespace movrano::testing
