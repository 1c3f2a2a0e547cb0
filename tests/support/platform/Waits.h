#pragma once
// The bound of every wait in the test harnesses. A wait that gives up says
// what it waited for and ends the test program: what it waited for may
// still run and hold the test's objects, and without a bound a hang shows
// only as ctest's time-out.
#include <chrono>
#include <functional>
#include <string>

namespace movrano::testing {

// Far above what the slowest run takes on a loaded machine, well below
// ctest's time-out.
inline constexpr std::chrono::seconds kWaitLimit{150};

class WaitBound {
 public:
  explicit WaitBound(std::string what, std::chrono::milliseconds limit = kWaitLimit);

  bool passed() const;
  // The time left, zero once the bound has passed.
  std::chrono::milliseconds left() const;
  // Once the bound has passed: reports the wait on stderr and ends the
  // test program with a failure.
  void check() const;

 private:
  std::string what_;
  std::chrono::milliseconds limit_;
  std::chrono::steady_clock::time_point end_;
};

// Asks `done` at once and then every `step` until it answers true.
void WaitUntil(const std::function<bool()>& done, const std::string& what,
               std::chrono::milliseconds limit = kWaitLimit,
               std::chrono::milliseconds step = std::chrono::milliseconds(10));

}  // namespace movrano::testing
