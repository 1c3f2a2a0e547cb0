#include "app/QtSynchronizer.h"

#include <QMetaObject>
#include <QThread>

namespace movrano {

void QtSynchronizer::synchronize(const std::function<void()>& call) {
  if (QThread::currentThread() == target_.thread()) {
    call();
    return;
  }
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      &target_,
      [&] {
        try {
          call();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error) std::rethrow_exception(error);
}

}  // namespace movrano
