#include "platform/PaintMessages.h"

#include <utility>

namespace movrano {

namespace {
thread_local PaintMessagesHook threadHook;
}  // namespace

PaintMessagesHook SetPaintMessagesHook(PaintMessagesHook hook) {
  return std::exchange(threadHook, std::move(hook));
}

void ProcessPaintMessages() {
  if (threadHook) threadHook();
}

}  // namespace movrano
