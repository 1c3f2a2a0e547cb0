#pragma once
// Runs the process in the given time zone (TZ, then tzset) while the
// object lives, and puts the old zone back when it goes.
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace movrano::testing {

class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", tz, 1);
    ::tzset();
  }
  ~ScopedTimeZone() {
    if (old_)
      ::setenv("TZ", old_->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  std::optional<std::string> old_;
};

}  // namespace movrano::testing
