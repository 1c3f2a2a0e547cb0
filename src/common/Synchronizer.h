#pragma once
// The worker's way to run a callback on the main thread and wait for it.
// The window gives a Qt one; QueuedSynchronizer serves hosts that pump
// calls themselves (tests, a console).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace movrano {

class Synchronizer {
 public:
  virtual ~Synchronizer() = default;
  // Runs `call` on the main thread and returns when it has run there; an
  // exception it raises is raised again here. Called on the main thread
  // itself, it runs the call at once.
  virtual void synchronize(const std::function<void()>& call) = 0;
};

// Calls wait in a queue until the main thread runs them.
class QueuedSynchronizer final : public Synchronizer {
 public:
  // The thread that constructs it is the main thread.
  QueuedSynchronizer();
  void synchronize(const std::function<void()>& call) override;

  // Main thread: runs queued calls until `done` answers true (checked after
  // each call and whenever woken) or the limit has passed; answers whether
  // `done` did.
  bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Main thread: runs the calls queued now; returns how many ran.
  int runPending();

 private:
  struct Pending {
    std::function<void()> call;
    std::exception_ptr error;
    bool finished = false;
  };
  std::thread::id mainThread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::shared_ptr<Pending>> queue_;
};

}  // namespace movrano
