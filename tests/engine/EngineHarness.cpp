#include "engine/EngineHarness.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "engine/Synchronizer.h"
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
  r.mode = mode;
  r.sourceDatabaseFile = source.databaseFile();
  r.sourceStoragePath = source.fileStorageFolder();
  r.destVaultPath = dest.vaultFolder();
  return r;
}

RunResult RunMigration(const RunRequest& r) {
  RegisterIDSTypes();
  RunResult result;
  QueuedSynchronizer sync;
  std::atomic<bool> idle{false};
  TMigrationThread* worker = nullptr;
  TLogCallBack log;
  if (r.withLogCallback) {
    log = [&](const std::string& line) {
      result.lines.push_back(line);
      result.events.push_back("log");
      if (r.onLine) r.onLine(line, *worker);
    };
  }
  TProgressEvent progress;
  if (r.onProgress) {
    progress = [&](const std::string& caption, int32_t position) {
      result.progress.emplace_back(caption, position);
      r.onProgress(caption, position, *worker);
    };
  }
  // The worker frees itself after its idle notice: the watcher asks for
  // termination only before that notice, under this lock.
  std::mutex idleLock;
  auto status = [&](bool busy) {
    result.events.push_back(busy ? "busy" : "idle");
    std::lock_guard lock(idleLock);
    if (!busy) idle = true;
  };
  // Calls arrive only once runUntil serves them, so `worker` is set first.
  worker =
      TMigrationThread::Create(r.sourceDatabaseFile, r.sourceStoragePath, r.destVaultPath,
                               r.userName, r.password, r.sourceVersion, r.destVersion, r.mode, log,
                               status, r.oracle, progress, sync, r.identity, r.catalogEndpoint);
  if (r.terminateAtOnce) worker->Terminate();
  std::thread watcher;
  if (r.terminateWhen) {
    watcher = std::thread([&] {
      while (true) {
        {
          std::lock_guard lock(idleLock);
          if (idle) return;
          if (r.terminateWhen()) return worker->Terminate();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  const WaitBound bound("the idle notice of the run", r.waitLimit);
  while (!sync.runUntil([&] { return idle.load(); }, bound.left()))
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
