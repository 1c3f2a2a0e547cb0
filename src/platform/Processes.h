#pragma once
// Running the vault products' external programs (backup tool, uninstaller,
// installer) from a command line and waiting for their exit code.
#include <cstdint>
#include <string>
#include <string_view>

namespace movrano {

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // Runs the (trimmed) command line to its end; returns the exit code.
  // A program that cannot be started raises EOSError.
  virtual uint32_t runAndWait(const std::string& commandLine) = 0;
};

// Splits the line by the Windows rules and starts the program directly.
class PosixProcessLauncher final : public ProcessLauncher {
 public:
  uint32_t runAndWait(const std::string& commandLine) override;
};

// Trims the command line and runs it through the current platform.
uint32_t RunProcessAndWait(std::string_view commandLine);

}  // namespace movrano
