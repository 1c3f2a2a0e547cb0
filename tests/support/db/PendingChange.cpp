#include "support/db/PendingChange.h"

#include "db/Query.h"
#include "support/db/FirebirdFixture.h"

namespace movrano::testing {

PendingChange::PendingChange(const std::string& databaseFile, const std::string& sql,
                             std::chrono::seconds limit)
    : connection_(ConnectTestDatabase(databaseFile)) {
  connection_->startTransaction();
  connection_->executeDirect(sql);
  guard_ = std::thread([this, limit] {
    std::unique_lock lock(mutex_);
    done_.wait_for(lock, limit, [this] { return released_; });
    connection_->rollback();
  });
}

PendingChange::~PendingChange() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  done_.notify_all();
  guard_.join();
}

bool StatementRunsElsewhere(const std::string& databaseFile, const std::string& text) {
  // A fresh attachment each time: the monitoring tables are a snapshot
  // per transaction.
  auto connection = ConnectTestDatabase(databaseFile);
  db::Query q(*connection);
  q.setSql(
      "select count(*) from MON$STATEMENTS where MON$STATE = 1 "
      "and MON$ATTACHMENT_ID <> CURRENT_CONNECTION and MON$SQL_TEXT containing :TEXT");
  q.paramByName("TEXT").setText(text);
  q.open();
  return q.field(0).asInteger() > 0;
}

}  // namespace movrano::testing
