#include "platform/TempName.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <system_error>

namespace movrano {

namespace {

constexpr std::string_view kTempPrefix = ".movrano-";
constexpr std::string_view kTempSuffix = ".part";

}  // namespace

std::string NextTempName() {
  static std::atomic<unsigned> counter{0};
  return std::string(kTempPrefix) + std::to_string(::getpid()) + "-" + std::to_string(counter++) +
         std::string(kTempSuffix);
}

bool IsLeftOverTempName(std::string_view name) {
  if (!name.starts_with(kTempPrefix) || !name.ends_with(kTempSuffix)) return false;
  name.remove_prefix(kTempPrefix.size());
  name.remove_suffix(kTempSuffix.size());
  const char* const end = name.data() + name.size();
  pid_t pid = 0;
  unsigned counter = 0;
  const auto [dash, pidError] = std::from_chars(name.data(), end, pid);
  if (pidError != std::errc() || pid <= 0 || dash == end || *dash != '-') return false;
  const auto [last, counterError] = std::from_chars(dash + 1, end, counter);
  if (counterError != std::errc() || last != end) return false;
  // Our own process copies into one folder at a time, after this cleanup.
  return pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH);
}

}  // namespace movrano
