#include "support/platform/ServiceDoubles.h"

namespace movrano::testing {

namespace {

class FakeService final : public ServiceHandle {
 public:
  FakeService(FakeServiceManager::Service& service, FakeClock& clock)
      : service_(service), clock_(clock) {}

  bool start() override {
    ++service_.calls.startRequests;
    service_.settle(clock_.now());
    if (service_.script.refuseStart || service_.state != ServiceState::Stopped) return false;
    moveTo(ServiceState::StartPending, ServiceState::Running, service_.script.startTakes);
    return true;
  }

  bool sendStop(ServiceState& reported) override {
    ++service_.calls.stopRequests;
    service_.settle(clock_.now());
    const bool accepted = !service_.script.refuseStop && service_.state == ServiceState::Running;
    if (accepted)
      moveTo(ServiceState::StopPending, ServiceState::Stopped, service_.script.stopTakes);
    reported = service_.state;
    return accepted;
  }

  bool queryStatus(ServiceState& state) override {
    ++service_.calls.statusQueries;
    if (service_.script.statusUnreadable) return false;
    service_.settle(clock_.now());
    state = service_.state;
    return true;
  }

 private:
  void moveTo(ServiceState pending, ServiceState target, std::chrono::milliseconds takes) {
    service_.state = takes.count() > 0 ? pending : target;
    service_.settlesTo = target;
    service_.settlesAt = clock_.now() + takes;
  }

  FakeServiceManager::Service& service_;
  FakeClock& clock_;
};

class FakeManagerHandle final : public ServiceManagerHandle {
 public:
  FakeManagerHandle(std::map<std::string, FakeServiceManager::Service>& services, FakeClock& clock)
      : services_(services), clock_(clock) {}

  std::unique_ptr<ServiceHandle> openService(const std::string& name, uint32_t access) override {
    const auto it = services_.find(name);
    if (it == services_.end()) return nullptr;
    auto& service = it->second;
    ++service.calls.opens;
    service.calls.lastAccess = access;
    if ((access & service.script.deniedAccess) != 0) return nullptr;
    return std::make_unique<FakeService>(service, clock_);
  }

 private:
  std::map<std::string, FakeServiceManager::Service>& services_;
  FakeClock& clock_;
};

}  // namespace

void FakeServiceManager::Service::settle(FakeClock::TimePoint now) {
  const bool pending = state == ServiceState::StartPending || state == ServiceState::StopPending;
  if (pending && now >= settlesAt) state = settlesTo;
}

FakeServiceManager::FakeServiceManager(std::shared_ptr<FakeClock> clock)
    : clock_(std::move(clock)) {}

void FakeServiceManager::addService(const std::string& name, FakeServiceScript script) {
  Service service;
  service.script = script;
  service.state = script.initial;
  services_[name] = service;
}

ServiceState FakeServiceManager::state(const std::string& name) const {
  return services_.at(name).state;
}

const FakeServiceCalls& FakeServiceManager::calls(const std::string& name) const {
  return services_.at(name).calls;
}

std::unique_ptr<ServiceManagerHandle> FakeServiceManager::open(const std::string&) {
  ++managerOpens_;
  if (!available_) return nullptr;
  return std::make_unique<FakeManagerHandle>(services_, *clock_);
}

}  // namespace movrano::testing
