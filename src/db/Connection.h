#pragma once
// A database connection: its settings, connect and disconnect, the
// auto-commit and explicit transaction rules, table names and direct
// execution. The driver is chosen by the protocol name. Code outside this
// layer opens and ends transactions through Transaction (Transaction.h).
// A connection made inside a StatementCancelScope can have its calls
// cancelled from another thread (Cancellation.h).
#include <memory>
#include <string>
#include <vector>

#include "db/Cancellation.h"
#include "db/Driver.h"

namespace movrano::db {

class Connection {
 public:
  Connection() = default;
  ~Connection();  // disconnects; an open transaction is rolled back
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  void setProtocol(std::string v) { params_.protocol = std::move(v); }
  void setHostName(std::string v) { params_.host = std::move(v); }
  void setPort(int v) { params_.port = v; }
  void setDatabase(std::string v) { params_.database = std::move(v); }
  void setUser(std::string v) { params_.user = std::move(v); }
  void setPassword(std::string v) { params_.password = std::move(v); }
  void setCatalog(std::string v) { params_.catalog = std::move(v); }
  void setClientCodepage(std::string v) { params_.clientCodePage = std::move(v); }
  const ConnectionParams& params() const { return params_; }
  const std::string& catalog() const { return params_.catalog; }

  void connect();
  void disconnect();
  bool connected() const { return backend_ != nullptr; }

  bool autoCommit() const { return autoCommit_; }
  void setAutoCommit(bool on);
  // Turns auto-commit off until the matching commit or rollback.
  void startTransaction(TransactionKind kind = TransactionKind::ReadWrite);
  void commit();
  void rollback();
  bool inTransaction() const { return connected() && !autoCommit_; }

  // User tables, in the database's own order.
  std::vector<std::string> tableNames();
  // Runs a statement text without parameters; database errors raise.
  void executeDirect(const std::string& sql);

  // For Query: the driver, the auto-commit step after a statement, and the
  // frame of each step that asks the server about a statement (prepare,
  // execute, fetch, the count of rows) that lets the connection's
  // canceller find and end it.
  ConnectionBackend& backend();
  void statementDone(bool hadResultSet);
  template <typename Step>
  auto runStatement(Step&& step) -> decltype(step()) {
    return backend_ ? watched(CallKind::Statement, *backend_, step) : step();
  }

 private:
  // Runs one call of the backend where the canceller can find it.
  template <typename Step>
  auto watched(CallKind kind, ConnectionBackend& backend, Step&& step) -> decltype(step());

  ConnectionParams params_;
  std::unique_ptr<ConnectionBackend> backend_;
  CancelBinding cancelBinding_;
  bool autoCommit_ = true;
  bool explicitTransaction_ = false;
};

template <typename Step>
auto Connection::watched(CallKind kind, ConnectionBackend& backend, Step&& step)
    -> decltype(step()) {
  if (!cancelBinding_.canceller) return step();
  const RunningCall running(*cancelBinding_.canceller, backend, kind);
  try {
    return step();
  } catch (const EDatabaseError&) {
    cancelBinding_.checkAfterFailure();
    throw;
  }
}

}  // namespace movrano::db
