#include "db/Connection.h"

#include <map>
#include <mutex>

#include "platform/Text.h"

namespace movrano::db {

namespace {
struct DriverRegistry {
  std::mutex mutex;
  std::map<std::string, DriverFactory> factories;  // keyed by upper-case protocol
};
DriverRegistry& Registry() {
  static DriverRegistry registry;
  return registry;
}
}  // namespace

void RegisterDriver(const std::string& protocol, DriverFactory factory) {
  auto& r = Registry();
  std::lock_guard lock(r.mutex);
  r.factories[UpperCase(protocol)] = std::move(factory);
}

void RegisterBuiltInDrivers();

std::unique_ptr<ConnectionBackend> OpenBackend(const ConnectionParams& params) {
  RegisterBuiltInDrivers();
  DriverFactory factory;
  {
    auto& r = Registry();
    std::lock_guard lock(r.mutex);
    auto it = r.factories.find(UpperCase(params.protocol));
    if (it != r.factories.end()) factory = it->second;
  }
  if (!factory) {
    throw EDatabaseError(
        Format("Requested database driver was not found: \"%s\"", params.protocol));
  }
  return factory(params);
}

Connection::~Connection() {
  try {
    disconnect();
  } catch (...) {
    // Nothing can be reported from a destructor; the server drops the
    // attachment and its transaction anyway.
  }
}

void Connection::connect() {
  if (backend_) return;
  const CancelBinding binding = StatementCancelScope::Current();
  try {
    backend_ = OpenBackend(params_);
  } catch (const EDatabaseError&) {
    binding.checkAfterFailure();
    throw;
  }
  cancelBinding_ = binding;
  autoCommit_ = true;
  explicitTransaction_ = false;
}

void Connection::disconnect() {
  if (!backend_) return;
  auto backend = std::move(backend_);
  const bool explicitTransaction = explicitTransaction_;
  autoCommit_ = true;
  explicitTransaction_ = false;
  watched(CallKind::Transaction, *backend, [&] {
    try {
      if (backend->hasTransaction()) {
        // Work of an unfinished explicit transaction is not kept.
        if (explicitTransaction) {
          backend->rollback();
        } else {
          backend->commit();
        }
      }
    } catch (...) {
      backend->close();
      throw;
    }
    backend->close();
  });
}

ConnectionBackend& Connection::backend() {
  if (!backend_) throw EDatabaseError("Operation is not allowed in closed connection");
  return *backend_;
}

void Connection::setAutoCommit(bool on) {
  if (on == autoCommit_) return;
  if (on && explicitTransaction_) {
    commit();
    return;
  }
  autoCommit_ = on;
}

void Connection::startTransaction(TransactionKind kind) {
  ConnectionBackend& b = backend();
  if (explicitTransaction_) throw EDatabaseError("A transaction is already active");
  watched(CallKind::Transaction, b, [&] {
    if (b.hasTransaction()) b.commit();  // ends the auto-commit reading transaction
    b.begin(kind);
  });
  autoCommit_ = false;
  explicitTransaction_ = true;
}

void Connection::commit() {
  ConnectionBackend& b = backend();
  if (!explicitTransaction_ && autoCommit_) {
    throw EDatabaseError("Invalid operation in AutoCommit mode.");
  }
  watched(CallKind::Transaction, b, [&] {
    if (b.hasTransaction()) b.commit();
  });
  explicitTransaction_ = false;
  autoCommit_ = true;
}

void Connection::rollback() {
  ConnectionBackend& b = backend();
  if (!explicitTransaction_ && autoCommit_) {
    throw EDatabaseError("Invalid operation in AutoCommit mode.");
  }
  watched(CallKind::Transaction, b, [&] {
    if (b.hasTransaction()) b.rollback();
  });
  explicitTransaction_ = false;
  autoCommit_ = true;
}

void Connection::statementDone(bool hadResultSet) {
  if (autoCommit_ && !hadResultSet && backend_ && backend_->hasTransaction()) {
    watched(CallKind::Transaction, *backend_, [this] { backend_->commitRetaining(); });
  }
}

std::vector<std::string> Connection::tableNames() {
  return runStatement([this] { return backend().tableNames(); });
}

void Connection::executeDirect(const std::string& sql) {
  auto statement = backend().makeStatement();
  runStatement([&] {
    statement->prepare(sql);
    statement->execute();
  });
  const bool rows = statement->returnsRows();
  statement->closeCursor();
  statementDone(rows);
}

}  // namespace movrano::db
