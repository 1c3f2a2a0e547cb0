#pragma once
// The worker's blocking call into the window's thread: a queued Qt call
// that the worker waits for. Called on the window's thread itself, the
// call runs at once; an exception of the call is raised again in the
// caller.
#include <QObject>

#include "common/Synchronizer.h"

namespace movrano {

class QtSynchronizer final : public Synchronizer {
 public:
  // Calls run on the thread that constructs it, while its event loop runs
  // (including the nested loops of modal dialogs).
  QtSynchronizer() = default;
  void synchronize(const std::function<void()>& call) override;

 private:
  QObject target_;
};

}  // namespace movrano
