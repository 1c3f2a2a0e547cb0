#include "support/platform/Waits.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace movrano::testing {

WaitBound::WaitBound(std::string what, std::chrono::milliseconds limit)
    : what_(std::move(what)), limit_(limit), end_(std::chrono::steady_clock::now() + limit) {}

bool WaitBound::passed() const {
  return std::chrono::steady_clock::now() >= end_;
}

std::chrono::milliseconds WaitBound::left() const {
  const auto left = end_ - std::chrono::steady_clock::now();
  return left.count() > 0 ? std::chrono::ceil<std::chrono::milliseconds>(left)
                          : std::chrono::milliseconds(0);
}

void WaitBound::check() const {
  if (!passed()) return;
  std::fprintf(stderr, "Gave up after %.1f s waiting for %s\n",
               std::chrono::duration<double>(limit_).count(), what_.c_str());
  std::fflush(nullptr);
  std::_Exit(EXIT_FAILURE);
}

void WaitUntil(const std::function<bool()>& done, const std::string& what,
               std::chrono::milliseconds limit, std::chrono::milliseconds step) {
  const WaitBound bound(what, limit);
  while (!done()) {
    bound.check();
    std::this_thread::sleep_for(std::min(step, bound.left()));
  }
}

}  // namespace movrano::testing
