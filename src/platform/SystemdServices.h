#pragma once
// The service manager on Linux: systemd, reached through `systemctl`.
// Without systemd (or without systemctl) the manager cannot be opened; a
// unit that systemd does not know cannot be opened as a service.
#include <string>

#include "platform/Services.h"

namespace movrano {

class SystemdServiceManager final : public ServiceManager {
 public:
  // `systemctl` is the program to run; tests give a stand-in script.
  explicit SystemdServiceManager(std::string systemctl = "systemctl");
  std::unique_ptr<ServiceManagerHandle> open(const std::string& machine) override;

 private:
  std::string systemctl_;
};

// The manager's state for a unit's "ActiveState" property.
ServiceState ServiceStateFromActiveState(const std::string& activeState);

}  // namespace movrano
