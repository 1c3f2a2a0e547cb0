#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

#include "common/Synchronizer.h"

namespace movrano {
namespace {

TEST(QueuedSynchronizer, RunsCallsOnTheMainThreadAndHandsBackTheirFailures) {
  QueuedSynchronizer sync;
  const auto mainThread = std::this_thread::get_id();
  std::atomic<bool> done{false};
  std::vector<std::string> seen;
  std::string workerSaw;
  std::thread worker([&] {
    sync.synchronize([&] {
      EXPECT_EQ(std::this_thread::get_id(), mainThread);
      seen.push_back("first");
    });
    try {
      sync.synchronize([] { throw std::runtime_error("from the window"); });
    } catch (const std::runtime_error& e) {
      workerSaw = e.what();
    }
    sync.synchronize([&] { seen.push_back("last"); });
    done = true;
  });
  EXPECT_TRUE(sync.runUntil([&] { return done.load(); }, std::chrono::seconds(60)));
  worker.join();
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "last"}));
  EXPECT_EQ(workerSaw, "from the window");
}

TEST(QueuedSynchronizer, ServesCallsUntilItsLimitAndAnswersThatItPassed) {
  QueuedSynchronizer sync;
  std::atomic<int> served{0};
  std::thread worker([&] { sync.synchronize([&] { ++served; }); });
  EXPECT_FALSE(sync.runUntil([] { return false; }, std::chrono::milliseconds(200)));
  worker.join();
  EXPECT_EQ(served, 1);
}

TEST(QueuedSynchronizer, OnTheMainThreadRunsAtOnce) {
  QueuedSynchronizer sync;
  int calls = 0;
  sync.synchronize([&] { ++calls; });
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(sync.runPending(), 0);
}

}  // namespace
}  // namespace movrano
