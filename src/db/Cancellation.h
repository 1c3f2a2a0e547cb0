#pragma once
// Lets one thread cancel the database calls that another thread's
// connections make: a statement that waits for a lock another session
// holds ends within a fraction of a second instead of when that session
// lets go, and a call to a server that has stopped answering ends within
// a few seconds instead of never.
//
// The thread whose calls may be cancelled opens a StatementCancelScope on
// a StatementCanceller it shares with the cancelling thread. Every
// connection that the thread connects while the scope is open is bound to
// the canceller. Once cancel() has been called, every statement that a
// bound connection runs is cancelled on the server while it runs (short
// ones may finish first); transactions (begin, commit, rollback) and the
// disconnect are not, they run to their end. A call of either kind that
// has not returned a short grace after the cancel reached it drops its
// connection on the client side, so that the call returns; the server then
// rolls the connection's transaction back. A call that fails once the
// canceller was cancelled raises what the scope's check raises.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace movrano::db {

class ConnectionBackend;
class RunningCall;

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
  friend class RunningCall;
  void watch();

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool cancelled_ = false;
  bool stopping_ = false;
  std::vector<RunningCall*> running_;  // the bound connections' calls in progress
  std::thread watcher_;                // once cancelled: cancels what runs, again and again
};

// What a connection is bound to: taken from the thread's scope at connect.
struct CancelBinding {
  std::shared_ptr<StatementCanceller> canceller;
  std::function<void()> check;
  // After a call failed: runs the check when the canceller was cancelled.
  void checkAfterFailure() const;
};

class StatementCancelScope {
 public:
  // `check` runs on this thread after a bound connection's call failed
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

// Whether the server may be asked to cancel a call, or only the client
// may drop the connection under it.
enum class CallKind {
  Statement,    // prepare, execute, fetch
  Transaction,  // begin, commit, rollback, disconnect
};

// A call of a bound connection in progress, for the canceller to find. The
// backend must outlive it.
class RunningCall {
 public:
  RunningCall(StatementCanceller& canceller, ConnectionBackend& backend, CallKind kind);
  ~RunningCall();
  RunningCall(const RunningCall&) = delete;
  RunningCall& operator=(const RunningCall&) = delete;

 private:
  friend class StatementCanceller;
  StatementCanceller& canceller_;
  ConnectionBackend& backend_;
  const CallKind kind_;
  // Under the canceller's lock: when the cancel first reached the call, and
  // whether its connection was dropped.
  std::optional<std::chrono::steady_clock::time_point> cancelledAt_;
  bool dropped_ = false;
};

}  // namespace movrano::db
