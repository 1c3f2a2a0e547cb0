#include "engine/EngineHarness.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "common/Synchronizer.h"
#include "services/IDS.h"
#include "statements/uSQLManager.h"
#include "support/vaults/SampleVault.h"

namespace movrano::testing {

bool RunResult::succeeded() const {
  return !lines.empty() && lines.back() == "Migration succesfully finished";
}

std::string RunResult::lineStartingWith(const std::string& prefix) const {
  for (const auto& l : lines) {
    if (l.rfind(prefix, 0) == 0) return l;
  }
  return {};
}

int RunResult::indexOf(const std::string& line) const {
  const auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

std::vector<std::string> RunResult::copyCaptions() const {
  static const std::string kStart = "Start copy ";
  std::vector<std::string> captions;
  for (const auto& l : lines) {
    if (l.rfind(kStart, 0) == 0) captions.push_back(l.substr(kStart.size()));
  }
  return captions;
}

RunRequest VaultRunRequest(TMigrationMode mode, const SampleVault& source,
                           const SampleVault& dest) {
  RunRequest r;
  r.MigrationMode = mode;
  r.SourceDatabaseFile = source.databaseFile();
  r.SourceFileRepositoryPath = source.fileStorageFolder();
  r.DestVaultPath = dest.vaultFolder();
  return r;
}

RunResult RunMigration(const RunRequest& r) {
  RegisterIDSTypes();
  RunResult result;
  QueuedSynchronizer sync;
  std::atomic<bool> idle{false};
  TMigrationThread* worker = nullptr;
  MigrationRequest request = r;
  request.LogProc = nullptr;
  if (r.withLogCallback) {
    request.LogProc = [&](const std::string& line) {
      result.lines.push_back(line);
      result.events.push_back("log");
      if (r.onLine) r.onLine(line, *worker);
    };
  }
  request.ProgressEvent = nullptr;
  if (r.onProgress) {
    request.ProgressEvent = [&](const std::string& caption, int32_t position) {
      result.progress.emplace_back(caption, position);
      r.onProgress(caption, position, *worker);
    };
  }
  // The worker frees itself after its idle notice: the watcher asks for
  // termination only before that notice, under this lock.
  std::mutex idleLock;
  request.UpdateStatusProc = [&](bool busy) {
    result.events.push_back(busy ? "busy" : "idle");
    std::lock_guard lock(idleLock);
    if (!busy) idle = true;
  };
  // Calls arrive only once runUntil serves them, so `worker` is set first.
  worker = TMigrationThread::Create(std::move(request), sync);
  if (r.terminateAtOnce) worker->Terminate();
  using Clock = std::chrono::steady_clock;
  std::atomic<Clock::rep> terminatedAt{0};  // since the clock's epoch; 0: not yet
  std::thread watcher;
  if (r.terminateWhen) {
    watcher = std::thread([&] {
      while (true) {
        {
          std::lock_guard lock(idleLock);
          if (idle) return;
          if (r.terminateWhen()) {
            terminatedAt = Clock::now().time_since_epoch().count();
            return worker->Terminate();
          }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  bool overdue = false;
  const auto done = [&] {
    if (idle) return true;
    const Clock::time_point asked{Clock::duration(terminatedAt.load())};
    if (r.onOverdue && !overdue && terminatedAt.load() != 0 &&
        Clock::now() - asked > r.overdueAfter) {
      overdue = true;
      r.onOverdue();
    }
    return false;
  };
  const WaitBound bound("the idle notice of the run", r.waitLimit);
  while (!sync.runUntil(done, bound.left()))
    bound.check();
  if (watcher.joinable()) watcher.join();
  TMigrationThread::WaitForAll();
  return result;
}

std::string DeployedStatementFile() {
  return MOVRANO_STATEMENT_FILE;
}

DeployedStatements::DeployedStatements(bool load) {
  FreeSQLManager();
  CreateSQLManager();
  if (load) SQLManager().LoadFromFile(DeployedStatementFile());
}

DeployedStatements::~DeployedStatements() {
  FreeSQLManager();
}

}  // namespace movrano::testing
