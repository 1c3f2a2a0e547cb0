#pragma once
// The migration worker: builds the engine on the caller's (main) thread,
// runs it once on a thread of its own, relays every log line, progress
// report and busy/idle notice to the main thread by a blocking call, and
// frees itself when done. A termination request takes effect at the next
// log line or progress report, which then raises EMovrano "Abort", and
// ends a web service request or a database call that is waiting, also on
// a database server that has stopped answering, which then raises the
// same.
#include <memory>
#include <string>

#include "common/Synchronizer.h"
#include "common/Utils.h"
#include "db/Cancellation.h"
#include "engine/MigrationRequest.h"

namespace movrano {

class TVaultMigrationManager;

class TMigrationThread {
 public:
  // Starts the worker for `request` and returns it; the pointer is valid
  // until the idle notice has been delivered. Without a busy/idle callback
  // nothing tells the caller when that is, so no worker is returned (null).
  // `sync` must outlive the worker.
  static TMigrationThread* Create(MigrationRequest request, Synchronizer& sync);

  // Any thread: asks the worker to stop at its next log line or progress
  // report, or in the request or database call it waits for.
  void Terminate();
  bool Terminated() const { return FStatements->cancelled(); }

  // Blocks until every worker has finished and freed itself (program exit,
  // tests).
  static void WaitForAll();

 private:
  friend struct std::default_delete<TMigrationThread>;
  TMigrationThread(TLogCallBack ALogProc, TUpdateStatusCallBack AUpdateStatusProc,
                   TProgressEvent AProgressEvent, Synchronizer& sync);
  ~TMigrationThread();

  void Execute();
  void Log(const std::string& AText);
  void ProgressEvent(const std::string& ACaption, int32_t APosition);
  void UpadteStatus(bool aInProcess);
  void CheckTerminated() const;

  TLogCallBack FLogProc;
  TUpdateStatusCallBack FUpdateStatusProc;
  TProgressEvent FProgressEvent;
  // The termination request; it also cancels the database calls of the
  // engine's connections.
  const std::shared_ptr<db::StatementCanceller> FStatements =
      std::make_shared<db::StatementCanceller>();
  std::unique_ptr<TVaultMigrationManager> FVaultMigrationManager;
  Synchronizer& FSync;
};

}  // namespace movrano
