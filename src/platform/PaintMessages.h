#pragma once
// Lets long waits on a window's thread keep that window painted. The window
// installs a hook for its own thread; on any other thread (the migration
// worker has no windows) ProcessPaintMessages does nothing.
#include <functional>
#include <utility>

namespace movrano {

using PaintMessagesHook = std::function<void()>;

// Installs the hook for the calling thread (an empty one removes it) and
// returns the one it replaces.
PaintMessagesHook SetPaintMessagesHook(PaintMessagesHook hook);

// Runs the calling thread's hook, if it has one.
void ProcessPaintMessages();

// Installs a hook for the calling thread for the lifetime of the object.
class ScopedPaintMessagesHook {
 public:
  explicit ScopedPaintMessagesHook(PaintMessagesHook hook)
      : previous_(SetPaintMessagesHook(std::move(hook))) {}
  ~ScopedPaintMessagesHook() { SetPaintMessagesHook(std::move(previous_)); }
  ScopedPaintMessagesHook(const ScopedPaintMessagesHook&) = delete;
  ScopedPaintMessagesHook& operator=(const ScopedPaintMessagesHook&) = delete;

 private:
  PaintMessagesHook previous_;
};

}  // namespace movrano
