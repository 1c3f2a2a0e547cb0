#pragma once
// Lets the thread that runs a migration end a request in flight: while a
// CancellationScope is open on a thread, every request made on that thread
// runs the scope's check at least every 100 ms, and whatever the check
// raises ends the request and reaches the caller unchanged.
#include <functional>

namespace movrano::soap {

class CancellationScope {
 public:
  explicit CancellationScope(std::function<void()> check);
  ~CancellationScope();  // the scope opened before this one applies again
  CancellationScope(const CancellationScope&) = delete;
  CancellationScope& operator=(const CancellationScope&) = delete;

 private:
  std::function<void()> check_;
  const CancellationScope* previous_;
  friend void CheckCancellation();
};

// Runs the calling thread's check, when a scope is open.
void CheckCancellation();

}  // namespace movrano::soap
