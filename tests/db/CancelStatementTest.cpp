// Cancelling from another thread the statements of connections made in a
// StatementCancelScope, on a real server with a lock another session holds.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <stdexcept>

#include "db/Cancellation.h"
#include "support/db/FirebirdFixture.h"
#include "support/db/PendingChange.h"

namespace movrano::db {
namespace {

using testing::StatementRunsElsewhere;
using testing::TempFirebirdDatabase;
using namespace std::chrono_literals;

struct Stopped : std::runtime_error {
  Stopped() : std::runtime_error("stopped") {}
};

class CancelStatement : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.execScript(
        "create table T (ID integer primary key, V integer); insert into T values (1, 1);");
    locker_ = db_.connect();
    locker_->startTransaction();
    locker_->executeDirect("update T set V = 2");
  }

  // Runs `work` on a thread of its own, in a transaction of a connection
  // made inside a scope with `check`.
  template <typename Work>
  std::future<void>& runCancelled(Work work, std::function<void()> check) {
    return run_ = std::async(std::launch::async, [this, work, check] {
             const StatementCancelScope scope(canceller_, check);
             auto connection = db_.connect();
             connection->startTransaction();
             work(*connection);
           });
  }

  void waitUntilWaiting() {
    const auto until = std::chrono::steady_clock::now() + 30s;
    while (!StatementRunsElsewhere(db_.path(), "update T")) {
      ASSERT_LT(std::chrono::steady_clock::now(), until) << "the statement never started";
      std::this_thread::sleep_for(20ms);
    }
  }

  TempFirebirdDatabase db_;
  // Before the locker: a statement still waiting when a test fails ends
  // once the locker has gone.
  std::future<void> run_;
  std::unique_ptr<Connection> locker_;
  std::shared_ptr<StatementCanceller> canceller_ = std::make_shared<StatementCanceller>();
};

TEST_F(CancelStatement, AWaitingStatementEndsWithWhatTheCheckRaises) {
  auto& run = runCancelled([](Connection& c) { c.executeDirect("update T set V = 3"); },
                           [] { throw Stopped(); });
  waitUntilWaiting();
  canceller_->cancel();
  // The locker holds on to the end of the test: only the cancel ends the wait.
  ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
  EXPECT_THROW(run.get(), Stopped);
}

TEST_F(CancelStatement, WithACheckThatRaisesNothingTheDatabaseErrorStands) {
  auto& run = runCancelled([](Connection& c) { c.executeDirect("update T set V = 3"); }, [] {});
  waitUntilWaiting();
  canceller_->cancel();
  ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
  try {
    run.get();
    FAIL() << "the statement was not cancelled";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("operation was cancelled"), std::string::npos) << e.what();
  }
}

// A statement that runs once the canceller was cancelled may be cancelled
// however short it is, so only the calls that are never cancelled are
// asked to work here: the connect, the transaction's start and its rollback.
TEST_F(CancelStatement, AfterTheCancelTheTransactionAndItsRollbackWorkAndWaitsEnd) {
  canceller_->cancel();
  bool rolledBack = false;
  auto& run = runCancelled(
      [&](Connection& c) {
        try {
          c.executeDirect("update T set V = 3");  // waits for the locker
        } catch (const Stopped&) {
          c.rollback();
          rolledBack = !c.inTransaction();
          throw;
        }
      },
      [] { throw Stopped(); });
  ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
  EXPECT_THROW(run.get(), Stopped);
  EXPECT_TRUE(rolledBack);
}

TEST_F(CancelStatement, AConnectionMadeOutsideAScopeIsNotCancelled) {
  canceller_->cancel();
  auto& run = run_ = std::async(std::launch::async, [this] {
    auto connection = db_.connect();
    connection->executeDirect("update T set V = 3");
  });
  EXPECT_EQ(run.wait_for(500ms), std::future_status::timeout);
  locker_->rollback();
  ASSERT_EQ(run.wait_for(10s), std::future_status::ready);
  EXPECT_NO_THROW(run.get());
}

}  // namespace
}  // namespace movrano::db
