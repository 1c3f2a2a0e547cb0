#pragma once
// What the benchmarks share: the median of a few rounds, the process's CPU
// time, and its resident memory with a peak that can be started afresh.
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace movrano::bench {

// Rounds alternate which side runs first, since on a busy machine the first
// is favoured; the median of the rounds stands for each side.
inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The rates of the baseline and of ours over the rounds.
class RoundRates {
 public:
  void add(double baselineRate, double ourRate) {
    baseline_.push_back(baselineRate);
    ours_.push_back(ourRate);
    ratios_.push_back(ourRate / baselineRate);
  }
  // Both medians and the median ratio (ours / baseline).
  void print(const char* baselineName, const char* ourName) const {
    std::printf("\nmedians of %zu rounds\n", ratios_.size());
    std::printf("%-22s %8.0f rows/s\n", baselineName, Median(baseline_));
    std::printf("%-22s %8.0f rows/s\n", ourName, Median(ours_));
    std::printf("ratio (%s / %s): %.3f (goal >= 0.9)\n", ourName, baselineName, Median(ratios_));
  }

 private:
  std::vector<double> baseline_;
  std::vector<double> ours_;
  std::vector<double> ratios_;
};

// User plus system time of the whole process (the client's threads too).
inline double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  auto s = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return s(u.ru_utime) + s(u.ru_stime);
}

struct Memory {
  long rssKb = 0;
  long peakKb = 0;  // since the last ResetPeak
};

inline Memory ReadMemory() {
  Memory m;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) m.rssKb = std::atol(line.c_str() + 6);
    if (line.rfind("VmHWM:", 0) == 0) m.peakKb = std::atol(line.c_str() + 6);
  }
  return m;
}

// Starts VmHWM afresh at the current RSS, so that a loop's peak is its own.
inline bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

}  // namespace movrano::bench
