#include "platform/SystemdServices.h"

#include <unistd.h>

#include <map>
#include <optional>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/Subprocess.h"
#include "platform/Text.h"

namespace movrano {

namespace {

using Properties = std::map<std::string, std::string>;

// Runs systemctl; nullopt when it cannot be started or fails.
std::optional<std::string> Systemctl(const std::string& program,
                                     const std::vector<std::string>& args) {
  std::vector<std::string> argv{program, "--no-ask-password"};
  argv.insert(argv.end(), args.begin(), args.end());
  try {
    auto run = SpawnAndCapture(argv);
    if (run.exitCode != 0) return std::nullopt;
    return run.output;
  } catch (const EOSError&) {
    return std::nullopt;
  }
}

Properties ParseProperties(const std::string& output) {
  Properties props;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    const size_t eq = line.find('=');
    if (eq != std::string::npos) props[line.substr(0, eq)] = Trim(line.substr(eq + 1));
    start = end + 1;
  }
  return props;
}

class SystemdService final : public ServiceHandle {
 public:
  SystemdService(std::string systemctl, std::string unit)
      : systemctl_(std::move(systemctl)), unit_(std::move(unit)) {}

  // The manager refuses to start a service that is not stopped.
  bool start() override {
    ServiceState state;
    if (!queryStatus(state) || state != ServiceState::Stopped) return false;
    return Systemctl(systemctl_, {"start", "--no-block", "--", unit_}).has_value();
  }

  // The manager refuses to stop a service that is not running and reports
  // its state either way.
  bool sendStop(ServiceState& reported) override {
    if (!queryStatus(reported) || reported != ServiceState::Running) return false;
    if (!Systemctl(systemctl_, {"stop", "--no-block", "--", unit_})) return false;
    queryStatus(reported);
    return true;
  }

  bool queryStatus(ServiceState& state) override {
    auto output = Systemctl(systemctl_, {"show", "--property=ActiveState", "--", unit_});
    if (!output) return false;
    const auto props = ParseProperties(*output);
    const auto it = props.find("ActiveState");
    if (it == props.end() || it->second.empty()) return false;
    state = ServiceStateFromActiveState(it->second);
    return true;
  }

 private:
  std::string systemctl_;
  std::string unit_;
};

class SystemdManager final : public ServiceManagerHandle {
 public:
  explicit SystemdManager(std::string systemctl) : systemctl_(std::move(systemctl)) {}

  std::unique_ptr<ServiceHandle> openService(const std::string& name, uint32_t) override {
    if (name.empty()) return nullptr;
    auto output = Systemctl(systemctl_, {"show", "--property=LoadState", "--", name});
    if (!output) return nullptr;
    const auto props = ParseProperties(*output);
    const auto it = props.find("LoadState");
    if (it == props.end() || it->second.empty() || it->second == "not-found") return nullptr;
    return std::make_unique<SystemdService>(systemctl_, name);
  }

 private:
  std::string systemctl_;
};

}  // namespace

std::string DefaultSystemctl() {
  static const char* const kCandidates[] = {"/usr/bin/systemctl", "/bin/systemctl"};
  for (const char* candidate : kCandidates) {
    if (::access(candidate, X_OK) == 0) return candidate;
  }
  return kCandidates[0];
}

SystemdServiceManager::SystemdServiceManager(std::string systemctl)
    : systemctl_(std::move(systemctl)) {}

std::unique_ptr<ServiceManagerHandle> SystemdServiceManager::open(const std::string& machine) {
  // Only this machine's manager is reachable.
  if (!machine.empty()) return nullptr;
  // Fails when systemd is not the running init system.
  if (!Systemctl(systemctl_, {"show", "--property=Version"})) return nullptr;
  return std::make_unique<SystemdManager>(systemctl_);
}

ServiceState ServiceStateFromActiveState(const std::string& activeState) {
  if (activeState == "active" || activeState == "reloading" || activeState == "refreshing") {
    return ServiceState::Running;
  }
  if (activeState == "activating") return ServiceState::StartPending;
  if (activeState == "deactivating") return ServiceState::StopPending;
  return ServiceState::Stopped;  // "inactive", "failed", "maintenance"
}

}  // namespace movrano
