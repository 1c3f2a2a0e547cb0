#pragma once
// One transaction of a connection for the length of a scope: begun when
// made, kept by commit(), rolled back when the object goes uncommitted. A
// rollback that fails there (the connection is gone) is dropped, so the
// error that left the scope is the one its caller sees. The connection
// must outlive the object.
#include "db/Connection.h"

namespace movrano::db {

class Transaction {
 public:
  explicit Transaction(Connection& connection, TransactionKind kind = TransactionKind::ReadWrite);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Keeps the transaction's work. A commit that fails raises, and the
  // transaction is still rolled back when the object goes.
  void commit();

 private:
  Connection& connection_;
  bool open_ = true;
};

}  // namespace movrano::db
