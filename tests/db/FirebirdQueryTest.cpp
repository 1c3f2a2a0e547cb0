#include <gtest/gtest.h>

#include "db/Query.h"
#include "support/db/FirebirdFixture.h"

namespace movrano::db {
namespace {

using testing::TempFirebirdDatabase;

class FirebirdQuery : public ::testing::Test {
 protected:
  void SetUp() override {
    db_.execScript(R"(
      create table ITEM (
        GUID varchar(38) not null primary key,
        HRID varchar(100),
        QTY integer,
        PRICE double precision,
        CREATED timestamp,
        ACTIVE smallint,
        NOTE blob sub_type text,
        DATA blob sub_type binary,
        CODE char(4)
      );
      create table EMPTY_ONE (ID integer);
    )");
    conn_ = db_.connect();
  }

  int count(const std::string& where = "") {
    Query q(*conn_);
    q.setSql("select count(*) from ITEM " + where);
    q.open();
    return q.field(0).asInteger();
  }

  TempFirebirdDatabase db_;
  std::unique_ptr<Connection> conn_;
};

TEST_F(FirebirdQuery, EveryParameterTypeRoundTrips) {
  Bytes big(1 << 20);
  for (size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<uint8_t>(i * 31 + 7);
  const DateTime when = DateTime::FromParts(2024, 3, 5, 14, 7, 9, 123);

  Query ins(*conn_);
  ins.setSql(
      "insert into ITEM (GUID, HRID, QTY, PRICE, CREATED, ACTIVE, NOTE, DATA, CODE) "
      "values (:guid, :hrid, :qty, :price, :created, :active, :note, :data, :code)");
  ASSERT_EQ(ins.params().count(), 9);
  ins.paramByName("GUID").setText("{A}");
  ins.paramByName("hrid").setText("Grüße – 東京");
  ins.paramByName("qty").setInteger(-17);
  ins.paramByName("price").setDouble(12.625);
  ins.paramByName("created").setDateTime(when);
  ins.paramByName("active").setValue(Variant(true));
  ins.paramByName("note").setBlob(Bytes{0xC3, 0xA9, 'a'}, FieldType::WideMemo);
  ins.paramByName("data").setBlob(big);
  ins.paramByName("code").setText("AB");
  ins.execSql();
  EXPECT_EQ(ins.rowsAffected(), 1);

  // NULLs, empty text and a zero-length BLOB in the second row.
  ins.paramByName("guid").setText("{B}");
  ins.paramByName("hrid").setText("");
  ins.paramByName("qty").setNull();
  ins.paramByName("price").setValue(Variant::Null());
  ins.paramByName("created").setValue(Variant());
  ins.paramByName("active").setNull();
  ins.paramByName("note").setNull();
  ins.paramByName("data").setBlob(Bytes{});
  ins.paramByName("code").setNull();
  ins.execSql();

  Query sel(*conn_);
  sel.setSql("select * from ITEM order by GUID");
  sel.open();
  ASSERT_FALSE(sel.eof());
  EXPECT_EQ(sel.fieldByName("HRID").asString(), "Grüße – 東京");
  EXPECT_EQ(sel.fieldByName("QTY").value().type(), VarType::Integer);
  EXPECT_EQ(sel.fieldByName("QTY").asInteger(), -17);
  EXPECT_DOUBLE_EQ(sel.fieldByName("PRICE").value().toDouble(), 12.625);
  EXPECT_EQ(sel.fieldByName("CREATED").value().toDateTime(), when);
  EXPECT_EQ(sel.fieldByName("ACTIVE").asInteger(), 1);
  EXPECT_EQ(sel.fieldByName("NOTE").asString(),
            "\xc3\xa9"
            "a");
  EXPECT_EQ(sel.fieldByName("DATA").asBytes(), big);
  EXPECT_EQ(sel.fieldByName("CODE").asString(), "AB  ");
  sel.next();
  ASSERT_FALSE(sel.eof());
  EXPECT_FALSE(sel.fieldByName("HRID").isNull());
  EXPECT_EQ(sel.fieldByName("HRID").asString(), "");
  for (const char* name : {"QTY", "PRICE", "CREATED", "ACTIVE", "NOTE", "CODE"}) {
    EXPECT_TRUE(sel.fieldByName(name).value().isNull()) << name;
  }
  EXPECT_FALSE(sel.fieldByName("DATA").isNull());
  EXPECT_TRUE(sel.fieldByName("DATA").asBytes().empty());
  sel.next();
  EXPECT_TRUE(sel.eof());
}

TEST_F(FirebirdQuery, FieldDefinitionsTellTypeRequiredAndBlob) {
  Query sel(*conn_);
  sel.setSql("select GUID, QTY, NOTE, DATA, CREATED from ITEM");
  sel.open();
  EXPECT_TRUE(sel.eof());
  ASSERT_EQ(sel.fieldCount(), 5);
  const auto& d = sel.fieldDefs();
  EXPECT_EQ(d[0].name, "GUID");
  EXPECT_TRUE(d[0].required);
  EXPECT_EQ(d[0].type, FieldType::WideString);
  EXPECT_EQ(d[0].size, 38);
  EXPECT_FALSE(d[1].required);
  EXPECT_EQ(d[1].type, FieldType::Integer);
  EXPECT_TRUE(d[2].isBlob());
  EXPECT_EQ(d[2].type, FieldType::WideMemo);
  EXPECT_EQ(d[3].type, FieldType::Blob);
  EXPECT_EQ(d[4].type, FieldType::DateTime);
}

TEST_F(FirebirdQuery, TextConvertsToNumericColumnsOnTheServer) {
  Query ins(*conn_);
  ins.setSql("insert into ITEM (GUID, QTY, PRICE) values (:g, :q, :p)");
  ins.paramByName("g").setValue(Variant(int64_t{5}));
  ins.paramByName("q").setText("42");
  ins.paramByName("p").setText("1.5");
  ins.execSql();
  EXPECT_EQ(count("where GUID = '5' and QTY = 42 and PRICE = 1.5"), 1);
}

TEST_F(FirebirdQuery, RollbackLeavesNoRowAndCommitKeepsIt) {
  EXPECT_FALSE(conn_->inTransaction());
  conn_->startTransaction();
  EXPECT_TRUE(conn_->inTransaction());
  EXPECT_FALSE(conn_->autoCommit());
  conn_->executeDirect("insert into ITEM (GUID) values ('{R}')");
  EXPECT_EQ(count(), 1);
  conn_->rollback();
  EXPECT_FALSE(conn_->inTransaction());
  EXPECT_EQ(count(), 0);

  conn_->startTransaction();
  conn_->executeDirect("insert into ITEM (GUID) values ('{C}')");
  conn_->commit();
  auto other = db_.connect();
  Query q(*other);
  q.setSql("select GUID from ITEM");
  q.open();
  EXPECT_EQ(q.field(0).asString(), "{C}");
}

TEST_F(FirebirdQuery, AutoCommitMakesEachStatementVisibleToOthers) {
  auto other = db_.connect();
  conn_->executeDirect("insert into ITEM (GUID) values ('{X}')");
  Query q(*other);
  q.setSql("select count(*) from ITEM");
  q.open();
  EXPECT_EQ(q.field(0).asInteger(), 1);
}

TEST_F(FirebirdQuery, ClosingWithAnOpenTransactionRollsBack) {
  {
    auto c = db_.connect();
    c->startTransaction();
    c->executeDirect("insert into ITEM (GUID) values ('{L}')");
  }
  EXPECT_EQ(count(), 0);
}

TEST_F(FirebirdQuery, AQueryThatOutlivesItsConnectionsDisconnectFailsAndIsReleased) {
  conn_->executeDirect("insert into ITEM (GUID, QTY) values ('1', 5)");
  conn_->executeDirect("insert into ITEM (GUID) values ('2')");
  Query read(*conn_);
  read.setSql("select GUID from ITEM order by GUID");
  read.open();
  Query written(*conn_);
  written.setSql("update ITEM set QTY = QTY + 1");
  written.execSql();
  conn_->disconnect();
  // What the client freed with the attachment is never called into.
  EXPECT_THROW(read.next(), EDatabaseError);
  EXPECT_THROW(written.execSql(), EDatabaseError);
  EXPECT_THROW((void)written.rowsAffected(), EDatabaseError);
  read.close();
  conn_ = db_.connect();
  EXPECT_EQ(count("where QTY = 6"), 1);
}

TEST_F(FirebirdQuery, OpeningAStatementWithoutRowsRaisesAndChangesNothing) {
  Query q(*conn_);
  q.setSql("insert into ITEM (GUID) values ('{O}')");
  EXPECT_THROW(q.open(), EDatabaseError);
  EXPECT_EQ(count(), 0);
}

TEST_F(FirebirdQuery, FirstReadsTheRowsAgain) {
  conn_->executeDirect("insert into ITEM (GUID) values ('1')");
  conn_->executeDirect("insert into ITEM (GUID) values ('2')");
  Query q(*conn_);
  q.setSql("select GUID from ITEM order by GUID");
  q.open();
  q.next();
  EXPECT_EQ(q.field(0).asString(), "2");
  q.first();
  EXPECT_EQ(q.field(0).asString(), "1");
}

TEST_F(FirebirdQuery, TableNamesListUserTablesInCreationOrder) {
  EXPECT_EQ(conn_->tableNames(), (std::vector<std::string>{"ITEM", "EMPTY_ONE"}));
}

TEST_F(FirebirdQuery, DatabaseErrorsCarryTheServersMessage) {
  Query q(*conn_);
  q.setSql("selec GUID from ITEM");
  try {
    q.open();
    FAIL() << "no exception";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("Token unknown"), std::string::npos) << e.what();
    EXPECT_EQ(e.sqlCode(), -104);
    EXPECT_STREQ(e.className(), "EZSQLException");
  }
  EXPECT_THROW(conn_->executeDirect("insert into ITEM (GUID) values (null)"), EDatabaseError);
}

TEST(FirebirdConnection, RefusesUnknownProtocolsAndBadAccounts) {
  Connection c;
  c.setProtocol("postgresql-9");
  EXPECT_THROW(c.connect(), EDatabaseError);
  EXPECT_FALSE(c.connected());

  TempFirebirdDatabase db;
  Connection wrong;
  wrong.setProtocol("firebird-2.1");
  wrong.setHostName("localhost");
  wrong.setDatabase(db.path());
  wrong.setUser("SYSDBA");
  wrong.setPassword("not-the-password");
  EXPECT_THROW(wrong.connect(), EDatabaseError);
}

}  // namespace
}  // namespace movrano::db
