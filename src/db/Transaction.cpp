#include "db/Transaction.h"

namespace movrano::db {

Transaction::Transaction(Connection& connection, TransactionKind kind) : connection_(connection) {
  connection_.startTransaction(kind);
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    // A connection closed meanwhile has already let its transaction go.
    if (connection_.inTransaction()) connection_.rollback();
  } catch (...) {
    // The error in flight is the one to report. The connection still
    // counts as in its transaction, which its disconnect rolls back (a
    // server drops the work of an attachment that is gone).
  }
}

void Transaction::commit() {
  if (!open_) throw EDatabaseError("The transaction has already ended");
  connection_.commit();
  open_ = false;
}

}  // namespace movrano::db
