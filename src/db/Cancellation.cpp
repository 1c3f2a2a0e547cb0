#include "db/Cancellation.h"

#include <algorithm>

#include "db/Driver.h"

namespace movrano::db {

namespace {
// A cancel that reaches the server before the statement does is lost, so
// the watcher repeats it as long as the statement runs.
constexpr std::chrono::milliseconds kRepeatEvery{100};
// How long a cancelled call may go on before its connection is dropped:
// long enough for a server that answers to end the call itself.
constexpr std::chrono::seconds kGrace{2};

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
    // Under the lock: a call leaves the list under it too, once it has
    // returned, so its connection stays open while it is cancelled.
    const auto now = std::chrono::steady_clock::now();
    for (RunningCall* call : running_) {
      if (call->dropped_) continue;
      if (!call->cancelledAt_) call->cancelledAt_ = now;
      if (now - *call->cancelledAt_ >= kGrace) {
        call->backend_.abortOperation();
        call->dropped_ = true;
      } else if (call->kind_ == CallKind::Statement) {
        call->backend_.cancelOperation();
      }
    }
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

RunningCall::RunningCall(StatementCanceller& canceller, ConnectionBackend& backend, CallKind kind)
    : canceller_(canceller), backend_(backend), kind_(kind) {
  std::lock_guard lock(canceller_.mutex_);
  canceller_.running_.push_back(this);
}

RunningCall::~RunningCall() {
  std::lock_guard lock(canceller_.mutex_);
  auto& running = canceller_.running_;
  running.erase(std::find(running.begin(), running.end(), this));
}

}  // namespace movrano::db
