// A program started while this process keeps SIGINT and SIGTERM blocked
// (as the program's main does) still gets them: the mask is not handed on.
#include <gtest/gtest.h>
#include <signal.h>

#include "platform/Subprocess.h"

namespace movrano {
namespace {

class BlockedSignals {
 public:
  BlockedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

 private:
  sigset_t previous_;
};

TEST(SpawnSignals, AChildGetsTheSignalsThisProcessBlocks) {
  const BlockedSignals blocked;
  for (const char* signal : {"INT", "TERM"}) {
    SCOPED_TRACE(signal);
    const std::string script = std::string("kill -") + signal + " $$; exit 7";
    const uint32_t expected = 128u + (std::string(signal) == "INT" ? SIGINT : SIGTERM);
    EXPECT_EQ(SpawnAndWait({"/bin/sh", "-c", script}), expected);
    EXPECT_EQ(SpawnAndCapture({"/bin/sh", "-c", script}).exitCode, expected);
  }
}

}  // namespace
}  // namespace movrano
