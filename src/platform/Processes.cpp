#include "platform/Processes.h"

#include "platform/CommandLine.h"
#include "platform/Platform.h"
#include "platform/Subprocess.h"
#include "platform/Text.h"

namespace movrano {

uint32_t PosixProcessLauncher::runAndWait(const std::string& commandLine) {
  return SpawnAndWait(SplitCommandLine(commandLine));
}

uint32_t RunProcessAndWait(std::string_view commandLine) {
  return CurrentPlatform().processes->runAndWait(Trim(commandLine));
}

}  // namespace movrano
