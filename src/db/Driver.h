#pragma once
// What a database driver implements: connect, transactions, prepare,
// bind by position, execute, describe and fetch. Parameter names, type
// rules and errors live once in Connection and Query above this.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/Types.h"
#include "db/Variant.h"

namespace movrano::db {

// What a transaction may do and which rows it sees: read and write, each
// statement seeing what is committed when it runs; or read only, every
// statement seeing the database as it was when the transaction began.
enum class TransactionKind { ReadWrite, ReadOnlySnapshot };

struct ConnectionParams {
  std::string protocol;
  std::string host;
  int port = 0;  // 0: the driver's default port
  std::string database;
  std::string user;
  std::string password;
  std::string catalog;
  std::string clientCodePage;
};

// One positional parameter value with the type the caller asked for
// (Unknown: let the value's own type decide).
struct BoundValue {
  Variant value;
  FieldType type = FieldType::Unknown;
};

class StatementBackend {
 public:
  virtual ~StatementBackend() = default;
  // The text uses "?" for each parameter position.
  virtual void prepare(const std::string& sql) = 0;
  virtual int positionCount() const = 0;
  virtual void bind(int position, const BoundValue& value) = 0;
  // Known once prepared: whether running the statement yields rows.
  virtual bool returnsRows() const = 0;
  virtual void execute() = 0;
  virtual const std::vector<FieldDef>& describe() = 0;
  // Reads the next row into `row` (one value per field); false at the end.
  virtual bool fetch(std::vector<Variant>& row) = 0;
  virtual void closeCursor() = 0;
  virtual long rowsAffected() const = 0;
};

class ConnectionBackend {
 public:
  virtual ~ConnectionBackend() = default;
  virtual void begin(TransactionKind kind) = 0;
  virtual void commit() = 0;
  // Commits and keeps a transaction open (open cursors survive).
  virtual void commitRetaining() { commit(); }
  virtual void rollback() = 0;
  virtual bool hasTransaction() const = 0;
  virtual std::unique_ptr<StatementBackend> makeStatement() = 0;
  virtual std::vector<std::string> tableNames() = 0;
  // Ends the connection (its open transaction is rolled back) and raises
  // nothing; the backend is destroyed next. By default its destruction
  // does it all.
  virtual void close() {}
  // From another thread, while a statement runs: asks the server to end it
  // with a database error. Nothing happens when none runs, or by default.
  virtual void cancelOperation() {}
  // From another thread, while a call waits for a server that does not
  // answer: drops the connection on this side, so that the call returns
  // with a database error, as every later call does at once. The server
  // rolls back what the connection left open. Nothing happens by default.
  virtual void abortOperation() {}
};

using DriverFactory = std::function<std::unique_ptr<ConnectionBackend>(const ConnectionParams&)>;

// Drivers register under their protocol name; names compare without case.
void RegisterDriver(const std::string& protocol, DriverFactory factory);
std::unique_ptr<ConnectionBackend> OpenBackend(const ConnectionParams& params);

}  // namespace movrano::db
