#pragma once
// Replaces the process-wide platform for one test: rights, services, clock,
// processes and registry become doubles, and the previous platform comes
// back when the object goes. Nothing real is started or stopped unless a
// test asks for it.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"
#include "support/platform/ServiceDoubles.h"

namespace movrano::testing {

class FakeRights final : public Rights {
 public:
  bool isUserAdmin() const override { return admin; }
  bool admin = true;
};

// Records each command line; answers with `exitCode`, or with what
// `handler` answers (it may also throw, e.g. MakeOSError(ENOENT)).
class RecordingProcessLauncher final : public ProcessLauncher {
 public:
  uint32_t runAndWait(const std::string& commandLine) override;

  std::vector<std::string> commandLines;
  uint32_t exitCode = 0;
  std::function<uint32_t(const std::string&)> handler;
};

class TestPlatform {
 public:
  // Administrator rights, a service manager without services, a clock at
  // zero, a recording process launcher and an empty registry.
  TestPlatform();
  ~TestPlatform();
  TestPlatform(const TestPlatform&) = delete;
  TestPlatform& operator=(const TestPlatform&) = delete;

  // The registry becomes the given ".reg" export text.
  void setRegistry(std::string_view regText);
  // Puts the given facility in place of the double.
  void setServices(std::shared_ptr<ServiceManager> services);
  void setProcesses(std::shared_ptr<ProcessLauncher> processes);
  void useRealProcesses();

  std::shared_ptr<FakeRights> rights = std::make_shared<FakeRights>();
  std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
  std::shared_ptr<FakeServiceManager> services = std::make_shared<FakeServiceManager>(clock);
  std::shared_ptr<RecordingProcessLauncher> processes =
      std::make_shared<RecordingProcessLauncher>();

 private:
  void install();

  Platform installed_;
  Platform previous_;
};

}  // namespace movrano::testing
