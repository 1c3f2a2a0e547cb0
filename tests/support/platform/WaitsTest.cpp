// The harnesses' bounded waits: one that ends in time returns, one that
// does not ends the program saying what it waited for.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/platform/Waits.h"

namespace movrano::testing {
namespace {

using namespace std::chrono_literals;

TEST(BoundedWait, ReturnsOnceTheAwaitedComes) {
  std::atomic<bool> done{false};
  std::thread later([&] {
    std::this_thread::sleep_for(100ms);
    done = true;
  });
  WaitUntil([&] { return done.load(); }, "the other thread");
  EXPECT_TRUE(done);
  later.join();
}

TEST(BoundedWaitDeathTest, GivesUpSayingWhatItWaitedFor) {
  EXPECT_EXIT(WaitUntil([] { return false; }, "a notice that never comes", 200ms),
              ::testing::ExitedWithCode(EXIT_FAILURE),
              "Gave up after 0\\.2 s waiting for a notice that never comes");
  const WaitBound open("nothing", 1h);
  EXPECT_FALSE(open.passed());
  EXPECT_GT(open.left(), 59min);
  open.check();  // returns
}

}  // namespace
}  // namespace movrano::testing
