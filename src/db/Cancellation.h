#pragma once
// Lets one thread cancel the statements that another thread's connections
// run: a statement that waits for a lock another session holds ends within
// a fraction of a second instead of when that session lets go.
//
// The thread whose statements may be cancelled opens a StatementCancelScope
// on a StatementCanceller it shares with the cancelling thread. Every
// connection that the thread connects while the scope is open is bound to
// the canceller. Once cancel() has been called, every statement that a bound
// connection runs is cancelled while it runs (short ones may finish first),
// and a statement that fails then raises what the scope's check raises.
// Transactions (commit, rollback) are never cancelled.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace movrano::db {

class Connection;

class StatementCanceller {
 public:
  StatementCanceller() = default;
  ~StatementCanceller();  // stops cancelling
  StatementCanceller(const StatementCanceller&) = delete;
  StatementCanceller& operator=(const StatementCanceller&) = delete;

  // Any thread; the first call counts, the others do nothing.
  void cancel();
  bool cancelled() const;

 private:
  friend class RunningStatement;
  void watch();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool cancelled_ = false;
  bool stopping_ = false;
  std::vector<Connection*> running_;  // the bound connections inside a statement
  std::thread watcher_;               // once cancelled: cancels what runs, again and again
};

// What a connection is bound to: taken from the thread's scope at connect.
struct CancelBinding {
  std::shared_ptr<StatementCanceller> canceller;
  std::function<void()> check;
  // After a statement failed: runs the check when the canceller was cancelled.
  void checkAfterFailure() const;
};

class StatementCancelScope {
 public:
  // `check` runs on this thread after a bound connection's statement failed
  // once the canceller was cancelled; what it raises replaces the database's
  // error (which stands when it raises nothing).
  StatementCancelScope(std::shared_ptr<StatementCanceller> canceller, std::function<void()> check);
  ~StatementCancelScope();  // the scope opened before this one applies again
  StatementCancelScope(const StatementCancelScope&) = delete;
  StatementCancelScope& operator=(const StatementCancelScope&) = delete;

  // The binding of the calling thread's innermost scope; empty without one.
  static CancelBinding Current();

 private:
  CancelBinding binding_;
  const StatementCancelScope* previous_;
};

// A statement of a bound connection in progress, for the canceller to find.
class RunningStatement {
 public:
  RunningStatement(StatementCanceller& canceller, Connection& connection);
  ~RunningStatement();
  RunningStatement(const RunningStatement&) = delete;
  RunningStatement& operator=(const RunningStatement&) = delete;

 private:
  StatementCanceller& canceller_;
  Connection& connection_;
};

}  // namespace movrano::db
