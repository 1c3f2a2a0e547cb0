#pragma once
// Runs migrations for tests the way the window does: through the worker,
// with the main thread serving its blocking calls, and records every log
// line and busy/idle notice in order.
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/MigrationThread.h"
#include "support/platform/TestPlatform.h"
#include "support/platform/Waits.h"

namespace movrano::testing {

class SampleVault;

// A run's request and the test's hooks. The harness sets the request's
// callbacks itself: its recorders take their place.
struct RunRequest : MigrationRequest {
  RunRequest() {
    MigrationMode = TMigrationMode::mmSVSToTVSOffline;
    UserName = "engineer@tavrin.example";
    UserPass = "correct horse";
  }
  bool withLogCallback = true;
  // Called on the main thread with each line as it arrives.
  std::function<void(const std::string&, TMigrationThread&)> onLine;
  // Called on the main thread with each progress report (a callback is set
  // only when this is).
  std::function<void(const std::string&, int32_t, TMigrationThread&)> onProgress;
  // Asked right after the worker was created.
  bool terminateAtOnce = false;
  // Polled from another thread while the run goes on; termination is asked
  // once it answers true (for a worker that waits without log lines).
  std::function<bool()> terminateWhen;
  // When set: called once on the main thread when the run has not ended
  // `overdueAfter` after terminateWhen asked for termination (a test
  // unblocks the run there and fails).
  std::function<void()> onOverdue;
  std::chrono::seconds overdueAfter{60};
  // How long the run may take to its idle notice (Waits.h).
  std::chrono::seconds waitLimit = kWaitLimit;
};

struct RunResult {
  std::vector<std::string> lines;   // the log lines, in order
  std::vector<std::string> events;  // "busy", "idle" and "log" entries, in order
  std::vector<std::pair<std::string, int32_t>> progress;

  bool succeeded() const;
  // The line that starts with `prefix`, or "" when none does.
  std::string lineStartingWith(const std::string& prefix) const;
  int indexOf(const std::string& line) const;  // -1 when absent
  // The captions of the "Start copy %s" lines, in order.
  std::vector<std::string> copyCaptions() const;
};

// A run of `mode` from `source`'s database and file store into `dest`.
RunRequest VaultRunRequest(TMigrationMode mode, const SampleVault& source, const SampleVault& dest);

// Runs the request to its idle notice and waits until the worker is gone;
// a run past its wait limit ends the test program (WaitBound).
RunResult RunMigration(const RunRequest& request);

// The deployment's statement file, loaded into a fresh process-wide
// catalogue for a test's lifetime.
class DeployedStatements {
 public:
  explicit DeployedStatements(bool load = true);
  ~DeployedStatements();
  DeployedStatements(const DeployedStatements&) = delete;
  DeployedStatements& operator=(const DeployedStatements&) = delete;
};

std::string DeployedStatementFile();

}  // namespace movrano::testing
