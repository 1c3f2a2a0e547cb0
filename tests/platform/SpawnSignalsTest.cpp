// A program started while this process keeps the termination signals
// blocked (as the program's main does) still gets them: the mask is not
// handed on.
#include <gtest/gtest.h>
#include <signal.h>

#include <utility>

#include "platform/Subprocess.h"

namespace movrano {
namespace {

class BlockedSignals {
 public:
  BlockedSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
      sigaddset(&set, signal);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

TEST(SpawnSignals, AChildGetsTheSignalsThisProcessBlocks) {
  const BlockedSignals blocked;
  const std::pair<const char*, int> signals[] = {
      {"INT", SIGINT}, {"TERM", SIGTERM}, {"HUP", SIGHUP}, {"QUIT", SIGQUIT}};
  for (const auto& [signal, number] : signals) {
    SCOPED_TRACE(signal);
    // No core file of the shell, whatever the limit this test runs with.
    const std::string script = std::string("ulimit -c 0; kill -") + signal + " $$; exit 7";
    const uint32_t expected = 128u + static_cast<uint32_t>(number);
    EXPECT_EQ(SpawnAndWait({"/bin/sh", "-c", script}), expected);
    EXPECT_EQ(SpawnAndCapture({"/bin/sh", "-c", script}).exitCode, expected);
  }
}

}  // namespace
}  // namespace movrano
