#include "engine/Synchronizer.h"

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

void QueuedSynchronizer::runUntil(const std::function<bool()>& done) {
  for (;;) {
    runPending();
    if (done()) return;
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(50), [&] { return !queue_.empty(); });
  }
}

}  // namespace movrano
