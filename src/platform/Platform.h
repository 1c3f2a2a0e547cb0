#pragma once
// The one process-wide set of platform facilities the engine, discovery and
// the window reach the operating system through. It starts as the Linux
// implementations; tests put doubles in its place (see
// tests/support/platform).
#include <memory>

#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Rights.h"
#include "platform/Services.h"
#include "platform/WaitClock.h"

namespace movrano {

struct Platform {
  std::shared_ptr<const Rights> rights;
  std::shared_ptr<ServiceManager> services;
  std::shared_ptr<WaitClock> clock;  // the service waits' time and sleep
  std::shared_ptr<ProcessLauncher> processes;
  std::shared_ptr<const Registry> registry;
};

// Effective user id 0, systemd, the steady clock, posix_spawn and the
// "Registry.reg" export beside the executable.
Platform LinuxPlatform();

// A copy of the current facilities; safe on any thread.
Platform CurrentPlatform();

// Installs a new set and returns the one it replaces. Every facility must
// be set (EAssertionFailed otherwise).
Platform ReplacePlatform(Platform next);

}  // namespace movrano
