#include "platform/Services.h"

#include <functional>

#include "platform/PaintMessages.h"
#include "platform/Platform.h"

namespace movrano {

namespace {

// Polls until the state is `target` or the wait limit has passed.
void WaitForState(ServiceHandle& service, WaitClock& clock, ServiceState target,
                  ServiceState& state, bool processMessages) {
  const auto waitStart = clock.now();
  while (state != target) {
    clock.sleep(kServicePollInterval);
    if (processMessages) ProcessPaintMessages();
    if (clock.now() - waitStart > kServiceWaitLimit) break;
    service.queryStatus(state);  // a failed read keeps the last state
  }
}

// Opens the manager and the service with `access`, sends the request and,
// when it is accepted and the state can be read, waits for `target`.
bool RequestAndWait(const std::string& machine, const std::string& service, uint32_t access,
                    ServiceState initial, ServiceState target, bool processMessages,
                    const std::function<bool(ServiceHandle&, ServiceState&)>& request) {
  const Platform platform = CurrentPlatform();
  ServiceState state = initial;
  auto manager = platform.services->open(machine);
  if (!manager) return false;
  auto handle = manager->openService(service, access);
  if (!handle) return false;
  if (request(*handle, state) && handle->queryStatus(state)) {
    WaitForState(*handle, *platform.clock, target, state, processMessages);
  }
  return state == target;
}

}  // namespace

bool StartServiceAndWait(const std::string& machine, const std::string& service,
                         bool processMessages) {
  return RequestAndWait(machine, service, kServiceStart | kServiceQueryStatus,
                        ServiceState::Stopped, ServiceState::Running, processMessages,
                        [](ServiceHandle& handle, ServiceState&) { return handle.start(); });
}

// A refused stop still reports the state: a service that is not running
// reports itself stopped.
bool StopServiceAndWait(const std::string& machine, const std::string& service,
                        bool processMessages) {
  return RequestAndWait(
      machine, service, kServiceStop | kServiceQueryStatus, ServiceState::Running,
      ServiceState::Stopped, processMessages,
      [](ServiceHandle& handle, ServiceState& state) { return handle.sendStop(state); });
}

}  // namespace movrano
