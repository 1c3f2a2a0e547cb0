#include "platform/WaitClock.h"

#include <thread>

namespace movrano {

WaitClock::TimePoint SteadyWaitClock::now() {
  return std::chrono::steady_clock::now();
}

void SteadyWaitClock::sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace movrano
