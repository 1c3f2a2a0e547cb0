#include "services/soap/Cancellation.h"

namespace movrano::soap {
namespace {
thread_local const CancellationScope* current = nullptr;
}  // namespace

CancellationScope::CancellationScope(std::function<void()> check)
    : check_(std::move(check)), previous_(current) {
  current = this;
}

CancellationScope::~CancellationScope() {
  current = previous_;
}

void CheckCancellation() {
  if (current && current->check_) current->check_();
}

}  // namespace movrano::soap
