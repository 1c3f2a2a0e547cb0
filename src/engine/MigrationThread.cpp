#include "engine/MigrationThread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/VaultMigrationManager.h"
#include "services/soap/Cancellation.h"

namespace movrano {

namespace {
struct LiveWorkers {
  std::mutex mutex;
  std::condition_variable finished;
  int count = 0;
};
LiveWorkers& Live() {
  static LiveWorkers live;
  return live;
}
}  // namespace

TMigrationThread* TMigrationThread::Create(MigrationRequest request, Synchronizer& sync) {
  std::unique_ptr<TMigrationThread> worker(
      new TMigrationThread(std::move(request.LogProc), std::move(request.UpdateStatusProc),
                           std::move(request.ProgressEvent), sync));
  TMigrationThread* self = worker.get();
  const bool handedOut = static_cast<bool>(worker->FUpdateStatusProc);
  // The engine's sinks are the worker's relays, whatever the caller gave.
  request.LogProc = [self](const std::string& text) { self->Log(text); };
  request.ProgressEvent = [self](const std::string& caption, int32_t position) {
    self->ProgressEvent(caption, position);
  };
  request.UpdateStatusProc = nullptr;
  worker->FVaultMigrationManager = std::make_unique<TVaultMigrationManager>(std::move(request));
  {
    std::lock_guard lock(Live().mutex);
    ++Live().count;
  }
  auto finished = [] {
    std::lock_guard lock(Live().mutex);
    --Live().count;
    Live().finished.notify_all();
  };
  try {
    std::thread([self, finished] {
      self->Execute();
      delete self;  // the engine goes with it, on this thread
      finished();
    }).detach();
  } catch (...) {
    finished();
    throw;
  }
  worker.release();  // frees itself at the end of its body
  return handedOut ? self : nullptr;
}

void TMigrationThread::WaitForAll() {
  std::unique_lock lock(Live().mutex);
  Live().finished.wait(lock, [] { return Live().count == 0; });
}

TMigrationThread::TMigrationThread(TLogCallBack ALogProc, TUpdateStatusCallBack AUpdateStatusProc,
                                   TProgressEvent AProgressEvent, Synchronizer& sync)
    : FLogProc(std::move(ALogProc)),
      FUpdateStatusProc(std::move(AUpdateStatusProc)),
      FProgressEvent(std::move(AProgressEvent)),
      FSync(sync) {}

TMigrationThread::~TMigrationThread() = default;

void TMigrationThread::Execute() {
  try {
    UpadteStatus(true);
    try {
      try {
        // A request or a database call in flight ends when termination is asked.
        const soap::CancellationScope cancellation([this] { CheckTerminated(); });
        const db::StatementCancelScope statements(FStatements, [this] { CheckTerminated(); });
        FVaultMigrationManager->Run();
      } catch (const std::exception& e) {
        Log(Format("ERROR - %s %s", ExceptionClassName(e), std::string(e.what())));
        Log("Import aborted");
      } catch (...) {
        Log("ERROR - Exception Unknown failure");
        Log("Import aborted");
      }
    } catch (...) {
      UpadteStatus(false);
      throw;
    }
    UpadteStatus(false);
  } catch (...) {
    // What leaves the body (a cancellation at the error line, a failing
    // idle callback) ends the thread like a normal return.
  }
}

void TMigrationThread::Terminate() {
  FStatements->cancel();
}

void TMigrationThread::CheckTerminated() const {
  if (Terminated()) RaiseMigrationError("Abort");
}

void TMigrationThread::Log(const std::string& AText) {
  if (FLogProc) {
    const std::string text = AText;
    FSync.synchronize([this, text] { FLogProc(text); });
  }
  CheckTerminated();
}

void TMigrationThread::ProgressEvent(const std::string& ACaption, int32_t APosition) {
  if (FProgressEvent) {
    const std::string caption = ACaption;
    FSync.synchronize([this, caption, APosition] { FProgressEvent(caption, APosition); });
  }
  CheckTerminated();
}

void TMigrationThread::UpadteStatus(bool aInProcess) {
  if (FUpdateStatusProc) FSync.synchronize([this, aInProcess] { FUpdateStatusProc(aInProcess); });
}

}  // namespace movrano
