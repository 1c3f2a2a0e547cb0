#pragma once
// Time as the polling waits see it, so that tests can run a two-minute wait
// without waiting.
#include <chrono>

namespace movrano {

class WaitClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;
  virtual ~WaitClock() = default;
  virtual TimePoint now() = 0;
  virtual void sleep(std::chrono::milliseconds duration) = 0;
};

class SteadyWaitClock final : public WaitClock {
 public:
  TimePoint now() override;
  void sleep(std::chrono::milliseconds duration) override;
};

}  // namespace movrano
