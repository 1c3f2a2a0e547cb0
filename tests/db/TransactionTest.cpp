// The scoped transaction on a real server: its work kept only when
// committed, a rollback that fails never replacing the error that left the
// scope, and the read-only snapshot that sees the database as it was when
// it began.
#include <gtest/gtest.h>

#include <stdexcept>

#include "db/Query.h"
#include "db/Transaction.h"
#include "support/db/FirebirdFixture.h"

namespace movrano::db {
namespace {

using testing::TempFirebirdDatabase;

struct CopyFailed : std::runtime_error {
  CopyFailed() : std::runtime_error("the copy failed") {}
};

int32_t RowCount(Connection& connection) {
  Query q(connection);
  q.setSql("select count(*) from T");
  q.open();
  return q.field(0).asInteger();
}

class ScopedTransaction : public ::testing::Test {
 protected:
  void SetUp() override { db_.execScript("create table T (ID integer primary key);"); }

  int32_t committedRows() { return RowCount(*db_.connect()); }

  // Ends every other attachment of the database, as a server restart or a
  // lost network does.
  void killOtherAttachments() {
    db_.connect()->executeDirect(
        "delete from mon$attachments where mon$attachment_id <> current_connection");
  }

  TempFirebirdDatabase db_;
};

TEST_F(ScopedTransaction, KeepsItsWorkOnlyWhenCommitted) {
  enum class End { Commit, LeaveScope, Raise };
  const struct {
    End end;
    int32_t rows;
  } cases[] = {{End::Commit, 1}, {End::LeaveScope, 0}, {End::Raise, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.end));
    const auto connection = db_.connect();
    try {
      Transaction transaction(*connection);
      connection->executeDirect("insert into T values (1)");
      if (c.end == End::Raise) throw CopyFailed();
      if (c.end == End::Commit) transaction.commit();
    } catch (const CopyFailed&) {
    }
    EXPECT_EQ(committedRows(), c.rows);
    // Auto-commit again: the next statement is kept at once.
    EXPECT_FALSE(connection->inTransaction());
    connection->executeDirect("delete from T");
    EXPECT_EQ(committedRows(), 0);
  }
}

TEST_F(ScopedTransaction, ARollbackThatFailsNeverReplacesTheErrorThatLeftTheScope) {
  const auto connection = db_.connect();
  try {
    Transaction transaction(*connection);
    connection->executeDirect("insert into T values (1)");
    killOtherAttachments();
    throw CopyFailed();
  } catch (const CopyFailed& e) {
    EXPECT_STREQ(e.what(), "the copy failed");
  } catch (const std::exception& e) {
    FAIL() << "the rollback's error replaced the copy's: " << e.what();
  }
  // The rollback did fail: the connection still counts as in its
  // transaction, and another rollback fails the same way.
  EXPECT_TRUE(connection->inTransaction());
  EXPECT_THROW(connection->rollback(), EDatabaseError);
  EXPECT_EQ(committedRows(), 0);
}

TEST_F(ScopedTransaction, ACommitThatFailsRaisesAndLeavesNothing) {
  const auto connection = db_.connect();
  try {
    Transaction transaction(*connection);
    connection->executeDirect("insert into T values (1)");
    killOtherAttachments();
    transaction.commit();
    FAIL() << "the commit of a connection that is gone succeeded";
  } catch (const EDatabaseError&) {
  }
  EXPECT_EQ(committedRows(), 0);
}

TEST_F(ScopedTransaction, ASnapshotSeesTheDatabaseAsItWasWhenItBeganAndWritesNothing) {
  db_.connect()->executeDirect("insert into T values (1)");
  const auto reader = db_.connect();
  Transaction snapshot(*reader, TransactionKind::ReadOnlySnapshot);
  // Committed by another attachment after the snapshot began, before the
  // reader's first statement.
  db_.connect()->executeDirect("insert into T values (2)");
  EXPECT_EQ(RowCount(*reader), 1);
  EXPECT_EQ(committedRows(), 2);
  EXPECT_THROW(reader->executeDirect("insert into T values (3)"), EDatabaseError);
  snapshot.commit();
  EXPECT_EQ(RowCount(*reader), 2);
}

}  // namespace
}  // namespace movrano::db
