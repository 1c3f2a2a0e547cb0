#include "support/platform/TestPlatform.h"

namespace movrano::testing {

uint32_t RecordingProcessLauncher::runAndWait(const std::string& commandLine) {
  commandLines.push_back(commandLine);
  return handler ? handler(commandLine) : exitCode;
}

TestPlatform::TestPlatform() {
  installed_ = Platform{rights, services, clock, processes, std::make_shared<RegistryContent>()};
  previous_ = ReplacePlatform(installed_);
}

TestPlatform::~TestPlatform() {
  ReplacePlatform(previous_);
}

void TestPlatform::install() {
  ReplacePlatform(installed_);
}

void TestPlatform::setRegistry(std::string_view regText) {
  installed_.registry = std::make_shared<RegistryContent>(RegistryContent::Parse(regText));
  install();
}

void TestPlatform::setServices(std::shared_ptr<ServiceManager> replacement) {
  installed_.services = std::move(replacement);
  install();
}

void TestPlatform::setProcesses(std::shared_ptr<ProcessLauncher> replacement) {
  installed_.processes = std::move(replacement);
  install();
}

void TestPlatform::useRealProcesses() {
  setProcesses(std::make_shared<PosixProcessLauncher>());
}

}  // namespace movrano::testing
