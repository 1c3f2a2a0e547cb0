#pragma once
// Starting and stopping an operating-system service and waiting until it
// gets there. The manager interfaces follow the service control model the
// engine was designed against (open the manager, open the service with the
// rights needed, start or send stop, query the state); closing a handle is
// destroying it.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace movrano {

enum class ServiceState : uint32_t {
  Stopped = 1,
  StartPending = 2,
  StopPending = 3,
  Running = 4,
  ContinuePending = 5,
  PausePending = 6,
  Paused = 7,
};

// Rights asked for when a service is opened (combined by "|").
enum ServiceAccess : uint32_t {
  kServiceQueryStatus = 0x0004,
  kServiceStart = 0x0010,
  kServiceStop = 0x0020,
};

class ServiceHandle {
 public:
  virtual ~ServiceHandle() = default;
  // Asks the service to start; false when the request is refused.
  virtual bool start() = 0;
  // Sends the stop request; the state the manager reports goes into
  // `reported`, also when the request is refused.
  virtual bool sendStop(ServiceState& reported) = 0;
  // Reads the current state; false (and `state` untouched) on failure.
  virtual bool queryStatus(ServiceState& state) = 0;
};

class ServiceManagerHandle {
 public:
  virtual ~ServiceManagerHandle() = default;
  // Null when the service does not exist or cannot be opened with `access`.
  virtual std::unique_ptr<ServiceHandle> openService(const std::string& name, uint32_t access) = 0;
};

class ServiceManager {
 public:
  virtual ~ServiceManager() = default;
  // The manager of `machine` (empty: this machine); null when it cannot be
  // opened.
  virtual std::unique_ptr<ServiceManagerHandle> open(const std::string& machine) = 0;
};

inline constexpr std::chrono::milliseconds kServicePollInterval{125};
inline constexpr std::chrono::seconds kServiceWaitLimit{120};

// Starts the service and waits, polling every 125 ms, until it runs or 120
// seconds have passed; with processMessages the calling thread's paint
// hook runs after each pause. True when the service was seen running.
bool StartServiceAndWait(const std::string& machine, const std::string& service,
                         bool processMessages);

// Sends the stop request and waits the same way. True when the service was
// seen stopped, which includes a service that was not running at all.
bool StopServiceAndWait(const std::string& machine, const std::string& service,
                        bool processMessages);

}  // namespace movrano
