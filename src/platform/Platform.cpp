#include "platform/Platform.h"

#include <mutex>

#include "platform/Exceptions.h"
#include "platform/SystemdServices.h"

namespace movrano {

namespace {

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

Platform& Current() {
  static Platform current = LinuxPlatform();
  return current;
}

}  // namespace

Platform LinuxPlatform() {
  return Platform{std::make_shared<EffectiveUserRights>(),
                  std::make_shared<SystemdServiceManager>(), std::make_shared<SteadyWaitClock>(),
                  std::make_shared<PosixProcessLauncher>(),
                  std::make_shared<RegistryFile>(DefaultRegistryFile())};
}

Platform CurrentPlatform() {
  std::lock_guard guard(Lock());
  return Current();
}

Platform ReplacePlatform(Platform next) {
  if (!next.rights || !next.services || !next.clock || !next.processes || !next.registry) {
    throw EAssertionFailed("ReplacePlatform: every platform facility must be set");
  }
  std::lock_guard guard(Lock());
  std::swap(Current(), next);
  return next;
}

}  // namespace movrano
