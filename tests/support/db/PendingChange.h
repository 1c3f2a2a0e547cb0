#pragma once
// What another session does to a database while a test's run goes on:
// holds a change without ending its transaction (so that the run's
// statements on the same rows wait for it), and whether a statement of
// another attachment runs or waits right now.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "db/Connection.h"

namespace movrano::testing {

class PendingChange {
 public:
  // Makes the change in a transaction of its own, rolled back when the
  // object goes, or after `limit` at the latest so that a run that waits
  // for it still ends.
  PendingChange(const std::string& databaseFile, const std::string& sql,
                std::chrono::seconds limit = std::chrono::seconds(30));
  ~PendingChange();
  PendingChange(const PendingChange&) = delete;
  PendingChange& operator=(const PendingChange&) = delete;

 private:
  std::unique_ptr<db::Connection> connection_;
  std::mutex mutex_;
  std::condition_variable done_;
  bool released_ = false;
  std::thread guard_;
};

// Whether another attachment runs (or waits in) a statement whose text
// contains `text`.
bool StatementRunsElsewhere(const std::string& databaseFile, const std::string& text);

}  // namespace movrano::testing
