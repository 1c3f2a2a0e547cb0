// The window's blocking relay from the worker thread to its own thread.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <atomic>
#include <thread>

#include "app/QtSynchronizer.h"
#include "app/WindowHarness.h"
#include "common/Utils.h"

namespace movrano::testing {
namespace {

// The flag a thread sets is no event: wake the waiting loop to look at it.
void SetAndWake(std::atomic<bool>& flag) {
  flag = true;
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
}

TEST(QtSynchronizer, OnItsOwnThreadTheCallRunsAtOnce) {
  QtSynchronizer sync;
  bool ran = false;
  sync.synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
}

TEST(QtSynchronizer, AnotherThreadWaitsUntilTheCallHasRunOnTheOwnThread) {
  QtSynchronizer sync;
  QThread* ranOn = nullptr;
  std::atomic<bool> returned{false};
  bool returnedBeforeTheCallEnded = true;
  std::thread worker([&] {
    sync.synchronize([&] {
      ranOn = QThread::currentThread();
      returnedBeforeTheCallEnded = returned.load();
    });
    SetAndWake(returned);
  });
  ServeEventsUntil([&] { return returned.load(); }, "the worker's return");
  worker.join();
  EXPECT_EQ(ranOn, QThread::currentThread());
  EXPECT_FALSE(returnedBeforeTheCallEnded);
}

TEST(QtSynchronizer, AnExceptionOfTheCallIsRaisedAgainInTheCaller) {
  QtSynchronizer sync;
  std::atomic<bool> done{false};
  std::string caught;
  std::thread worker([&] {
    try {
      sync.synchronize([] { RaiseMigrationError("Abort"); });
    } catch (const EMovrano& e) {
      caught = e.what();
    }
    SetAndWake(done);
  });
  ServeEventsUntil([&] { return done.load(); }, "the worker's end");
  worker.join();
  EXPECT_EQ(caught, "Abort");
}

}  // namespace
}  // namespace movrano::testing
