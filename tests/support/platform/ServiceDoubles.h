#pragma once
// A clock that only moves when the code under test sleeps, and a service
// manager whose services change state on that clock as a test scripts them.
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "platform/Services.h"
#include "platform/WaitClock.h"

namespace movrano::testing {

class FakeClock final : public WaitClock {
 public:
  TimePoint now() override { return now_; }
  void sleep(std::chrono::milliseconds duration) override {
    now_ += duration;
    ++sleeps_;
  }
  void advance(std::chrono::milliseconds duration) { now_ += duration; }

  int sleeps() const { return sleeps_; }
  std::chrono::milliseconds elapsed() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now_ - TimePoint());
  }

 private:
  TimePoint now_{};
  int sleeps_ = 0;
};

// How a scripted service behaves.
struct FakeServiceScript {
  ServiceState initial = ServiceState::Stopped;
  std::chrono::milliseconds startTakes{0};  // from an accepted start to running
  std::chrono::milliseconds stopTakes{0};   // from an accepted stop to stopped
  bool refuseStart = false;                 // refused even when stopped
  bool refuseStop = false;                  // refused even when running
  bool statusUnreadable = false;            // every status query fails
  uint32_t deniedAccess = 0;                // rights the service cannot be opened with
};

// What the code under test did with one service.
struct FakeServiceCalls {
  int opens = 0;
  uint32_t lastAccess = 0;
  int startRequests = 0;
  int stopRequests = 0;
  int statusQueries = 0;
};

class FakeServiceManager final : public ServiceManager {
 public:
  explicit FakeServiceManager(std::shared_ptr<FakeClock> clock);

  void addService(const std::string& name, FakeServiceScript script = {});
  // A manager that cannot be opened (no service manager, no rights).
  void setAvailable(bool available) { available_ = available; }

  ServiceState state(const std::string& name) const;
  const FakeServiceCalls& calls(const std::string& name) const;
  int managerOpens() const { return managerOpens_; }

  std::unique_ptr<ServiceManagerHandle> open(const std::string& machine) override;

  struct Service {
    FakeServiceScript script;
    ServiceState state = ServiceState::Stopped;
    ServiceState settlesTo = ServiceState::Stopped;
    FakeClock::TimePoint settlesAt{};
    FakeServiceCalls calls;
    void settle(FakeClock::TimePoint now);
  };

 private:
  std::shared_ptr<FakeClock> clock_;
  std::map<std::string, Service> services_;
  bool available_ = true;
  int managerOpens_ = 0;
};

}  // namespace movrano::testing
