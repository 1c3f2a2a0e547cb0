#pragma once
// The service manager on Linux: systemd, reached through `systemctl`.
// Without systemd (or without systemctl) the manager cannot be opened; a
// unit that systemd does not know cannot be opened as a service.
#include <string>

#include "platform/Services.h"

namespace movrano {

// The first of "/usr/bin/systemctl" and "/bin/systemctl" that exists, else
// the first.
std::string DefaultSystemctl();

class SystemdServiceManager final : public ServiceManager {
 public:
  // `systemctl` is the program to run, by its absolute path (never looked
  // up on PATH, since it runs as root); tests give a stand-in script.
  explicit SystemdServiceManager(std::string systemctl = DefaultSystemctl());
  std::unique_ptr<ServiceManagerHandle> open(const std::string& machine) override;

 private:
  std::string systemctl_;
};

// The manager's state for a unit's "ActiveState" property.
ServiceState ServiceStateFromActiveState(const std::string& activeState);

}  // namespace movrano
