#include "db/Cancellation.h"

#include <algorithm>
#include <chrono>

#include "db/Connection.h"

namespace movrano::db {

namespace {
// A cancel that reaches the server before the statement does is lost, so
// the watcher repeats it as long as the statement runs.
constexpr std::chrono::milliseconds kRepeatEvery{100};

thread_local const StatementCancelScope* current = nullptr;
}  // namespace

StatementCanceller::~StatementCanceller() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

void StatementCanceller::cancel() {
  std::lock_guard lock(mutex_);
  if (cancelled_ || stopping_) return;
  cancelled_ = true;
  watcher_ = std::thread([this] { watch(); });
}

bool StatementCanceller::cancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

void StatementCanceller::watch() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    // Under the lock: a connection leaves the list under it too, once its
    // statement has returned, so it stays connected while it is cancelled.
    for (Connection* connection : running_)
      connection->cancelOperation();
    wake_.wait_for(lock, kRepeatEvery, [this] { return stopping_; });
  }
}

void CancelBinding::checkAfterFailure() const {
  if (canceller && check && canceller->cancelled()) check();
}

StatementCancelScope::StatementCancelScope(std::shared_ptr<StatementCanceller> canceller,
                                           std::function<void()> check)
    : binding_{std::move(canceller), std::move(check)}, previous_(current) {
  current = this;
}

StatementCancelScope::~StatementCancelScope() {
  current = previous_;
}

CancelBinding StatementCancelScope::Current() {
  return current ? current->binding_ : CancelBinding{};
}

RunningStatement::RunningStatement(StatementCanceller& canceller, Connection& connection)
    : canceller_(canceller), connection_(connection) {
  std::lock_guard lock(canceller_.mutex_);
  canceller_.running_.push_back(&connection_);
}

RunningStatement::~RunningStatement() {
  std::lock_guard lock(canceller_.mutex_);
  auto& running = canceller_.running_;
  running.erase(std::find(running.begin(), running.end(), &connection_));
}

}  // namespace movrano::db
