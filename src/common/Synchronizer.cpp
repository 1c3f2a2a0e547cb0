#include "common/Synchronizer.h"

#include <algorithm>

namespace movrano {

QueuedSynchronizer::QueuedSynchronizer() : mainThread_(std::this_thread::get_id()) {}

void QueuedSynchronizer::synchronize(const std::function<void()>& call) {
  if (std::this_thread::get_id() == mainThread_) {
    call();
    return;
  }
  auto pending = std::make_shared<Pending>();
  pending->call = call;
  std::unique_lock lock(mutex_);
  queue_.push_back(pending);
  changed_.notify_all();
  changed_.wait(lock, [&] { return pending->finished; });
  if (pending->error) std::rethrow_exception(pending->error);
}

int QueuedSynchronizer::runPending() {
  int ran = 0;
  for (;;) {
    std::shared_ptr<Pending> next;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return ran;
      next = queue_.front();
      queue_.pop_front();
    }
    try {
      next->call();
    } catch (...) {
      next->error = std::current_exception();
    }
    {
      std::lock_guard lock(mutex_);
      next->finished = true;
    }
    changed_.notify_all();
    ++ran;
  }
}

bool QueuedSynchronizer::runUntil(const std::function<bool()>& done,
                                  std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    runPending();
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return false;
    std::unique_lock lock(mutex_);
    changed_.wait_for(
        lock,
        std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(50)),
        [&] { return !queue_.empty(); });
  }
}

}  // namespace movrano
