// The "oracle" stand-in driver through the layer's Connection and Query:
// what the Oracle table transfer asks of Oracle, answered from a SQLite
// file with Oracle's rules.
#include <gtest/gtest.h>

#include <fstream>

#include "db/Query.h"
#include "db/oracle/OracleConstraintBlocks.h"
#include "support/db/OracleSchemaFile.h"
#include "support/platform/TempDir.h"

namespace movrano::db {
namespace {

using testing::CreateOracleSchema;
using testing::DefineOracleTable;
using testing::TempDir;

class OracleStandIn : public ::testing::Test {
 protected:
  void SetUp() override {
    // The DBA's empty schema, and an account of the server's own.
    CreateOracleSchema(file_, "MOVRANO", {{"movrano", "secret"}, {"VaultAdmin", "Admin#1"}});
    DefineOracleTable(file_, R"(CREATE TABLE PARENT (
        GUID VARCHAR2(40) NOT NULL,
        NAME VARCHAR2(250),
        CONSTRAINT PK_PARENT PRIMARY KEY (GUID)))");
    DefineOracleTable(file_, R"(CREATE TABLE "Child_Items" (
        GUID VARCHAR2(40) NOT NULL,
        PARENTGUID VARCHAR2(40) NOT NULL,
        HRID VARCHAR2(200) NOT NULL,
        NOTE VARCHAR2(500),
        FLAG NUMBER(4),
        QTY NUMBER(9) DEFAULT 0 NOT NULL,
        BYTESIZE NUMBER(19),
        PRICE BINARY_DOUBLE,
        RATIO NUMBER(8,2),
        CREATEDAT TIMESTAMP,
        DESCRIPTION CLOB,
        PREVIEW BLOB,
        CONSTRAINT PK_CHILD PRIMARY KEY (GUID),
        CONSTRAINT FK_CHILD_PARENT FOREIGN KEY (PARENTGUID) REFERENCES PARENT (GUID)))");
    conn_ = open();
  }

  std::unique_ptr<Connection> open(const std::string& database = "",
                                   const std::string& user = "movrano",
                                   const std::string& password = "secret",
                                   const std::string& scheme = "MOVRANO") {
    auto c = std::make_unique<Connection>();
    c->setProtocol("oracle");
    c->setHostName(" ");
    c->setDatabase(database.empty() ? file_.string() : database);
    c->setCatalog(scheme);
    c->setUser(user);
    c->setPassword(password);
    c->setClientCodepage("UTF8");
    c->connect();
    return c;
  }

  int64_t count(Connection& c, const std::string& from) {
    Query q(c);
    q.setSql("SELECT Count(*) FROM " + from);
    q.open();
    return q.field(0).value().toInt64();
  }

  void insertParent(Connection& c, const std::string& guid) {
    Query q(c);
    q.setSql("INSERT INTO \"PARENT\" (\"GUID\", \"NAME\") VALUES (:GUID, :NAME)");
    q.paramByName("GUID").setText(guid);
    q.paramByName("NAME").setText("Parent " + guid);
    q.execSql();
  }

  void insertChild(Connection& c, const std::string& guid, const std::string& parent) {
    Query q(c);
    q.setSql(
        "INSERT INTO \"Child_Items\" (\"GUID\", \"PARENTGUID\", \"HRID\") VALUES (:GUID, "
        ":PARENTGUID, :HRID)");
    q.paramByName("GUID").setText(guid);
    q.paramByName("PARENTGUID").setText(parent);
    q.paramByName("HRID").setText("HRID-" + guid);
    q.execSql();
  }

  TempDir dir_;
  const std::filesystem::path file_ = dir_.path() / "schema.db";
  std::unique_ptr<Connection> conn_;
};

TEST_F(OracleStandIn, TheTnsAliasMustNameAnExistingSchemaFile) {
  try {
    open((dir_.path() / "missing.db").string());
    FAIL() << "connected to a missing schema";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.className()), "EZSQLException");
    EXPECT_NE(std::string(e.what()).find("missing.db"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("MOVRANO"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "missing.db"));
  const auto notADatabase = dir_.write("text.db", "this is no database file, but text of its own");
  EXPECT_THROW(open(notADatabase.string()), EDatabaseError);
}

TEST_F(OracleStandIn, UserTablesListsTheSchemasTablesInTheirOrder) {
  EXPECT_EQ(conn_->tableNames(), (std::vector<std::string>{"PARENT", "Child_Items"}));
  Query q(*conn_);
  q.setSql("   SELECT Count(*) FROM user_tables");
  q.open();
  ASSERT_FALSE(q.eof());
  EXPECT_EQ(q.field(0).asInteger(), 2);
  EXPECT_EQ(q.fieldDefs()[0].type, FieldType::LargeInt);

  CreateOracleSchema(dir_.path() / "empty.db", "MOVRANO", {{"movrano", "secret"}});
  auto empty = open((dir_.path() / "empty.db").string());
  EXPECT_EQ(count(*empty, "user_tables"), 0);
  EXPECT_TRUE(empty->tableNames().empty());
}

TEST_F(OracleStandIn, FieldTypesComeFromTheDeclaredOracleTypes) {
  Query q(*conn_);
  q.setSql("Select * from \"Child_Items\"");
  q.open();
  const auto& defs = q.fieldDefs();
  ASSERT_EQ(defs.size(), 12u);
  struct Expected {
    const char* name;
    FieldType type;
    bool required;
    int size;
  };
  const Expected expected[] = {
      {"GUID", FieldType::WideString, true, 40},
      {"PARENTGUID", FieldType::WideString, true, 40},
      {"HRID", FieldType::WideString, true, 200},
      {"NOTE", FieldType::WideString, false, 500},
      {"FLAG", FieldType::SmallInt, false, 0},
      {"QTY", FieldType::Integer, true, 0},
      {"BYTESIZE", FieldType::LargeInt, false, 0},
      {"PRICE", FieldType::Float, false, 0},
      {"RATIO", FieldType::Float, false, 0},
      {"CREATEDAT", FieldType::DateTime, false, 0},
      {"DESCRIPTION", FieldType::WideMemo, false, 0},
      {"PREVIEW", FieldType::Blob, false, 0},
  };
  for (size_t i = 0; i < defs.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(defs[i].name, expected[i].name);
    EXPECT_EQ(defs[i].type, expected[i].type);
    EXPECT_EQ(defs[i].required, expected[i].required);
    EXPECT_EQ(defs[i].size, expected[i].size);
  }
  EXPECT_TRUE(q.eof());
}

TEST_F(OracleStandIn, QuotedInsertBindsEveryTypeAndReadsItBack) {
  insertParent(*conn_, "{P1}");
  const DateTime when = DateTime::FromParts(2023, 2, 1, 8, 0, 5, 250);
  const Bytes binary = {0x00, 0xFF, 0x10, 0x80, 0x7F};
  Query ins(*conn_);
  ins.setSql(
      "INSERT INTO \"Child_Items\" (\"GUID\", \"PARENTGUID\", \"HRID\", \"NOTE\", \"FLAG\", "
      "\"QTY\", \"BYTESIZE\", \"PRICE\", \"RATIO\", \"CREATEDAT\", \"DESCRIPTION\", \"PREVIEW\") "
      "VALUES (:GUID, :PARENTGUID, :HRID, :NOTE, :FLAG, :QTY, :BYTESIZE, :PRICE, :RATIO, "
      ":CREATEDAT, :DESCRIPTION, :PREVIEW)");
  ASSERT_EQ(ins.params().count(), 12);
  ins.paramByName("GUID").setText("{C1}");
  ins.paramByName("PARENTGUID").setText("{P1}");
  ins.paramByName("HRID").setText("Grüße – 東京");
  ins.paramByName("NOTE").setText(" ");
  ins.paramByName("FLAG").setValue(Variant::Integral(VarType::SmallInt, 1));
  ins.paramByName("QTY").setValue(Variant(int32_t{-17}));
  ins.paramByName("BYTESIZE").setValue(Variant(int64_t{5000000000}));
  ins.paramByName("PRICE").setValue(Variant(12.625));
  ins.paramByName("RATIO").setDouble(0.5);
  ins.paramByName("CREATEDAT").setValue(Variant(when));
  const std::string text = "Beschreibung – ünïcödé";
  ins.paramByName("DESCRIPTION").setBlob(Bytes(text.begin(), text.end()), FieldType::WideMemo);
  ins.paramByName("PREVIEW").setBlob(binary);
  ins.execSql();
  EXPECT_EQ(ins.rowsAffected(), 1);

  auto other = open();
  Query q(*other);
  q.setSql("Select * from \"Child_Items\"");
  q.open();
  ASSERT_FALSE(q.eof());
  EXPECT_EQ(q.fieldByName("GUID").asString(), "{C1}");
  EXPECT_EQ(q.fieldByName("HRID").asString(), "Grüße – 東京");
  EXPECT_EQ(q.fieldByName("NOTE").asString(), " ");
  EXPECT_EQ(q.fieldByName("FLAG").value().type(), VarType::SmallInt);
  EXPECT_EQ(q.fieldByName("FLAG").asInteger(), 1);
  EXPECT_EQ(q.fieldByName("QTY").value().type(), VarType::Integer);
  EXPECT_EQ(q.fieldByName("QTY").asInteger(), -17);
  EXPECT_EQ(q.fieldByName("BYTESIZE").value().toInt64(), 5000000000);
  EXPECT_EQ(q.fieldByName("PRICE").value().toDouble(), 12.625);
  EXPECT_EQ(q.fieldByName("RATIO").value().toDouble(), 0.5);
  EXPECT_EQ(q.fieldByName("CREATEDAT").value().toDateTime(), when);
  EXPECT_EQ(q.fieldByName("DESCRIPTION").value().toString(), text);
  EXPECT_EQ(q.fieldByName("PREVIEW").asBytes(), binary);
  q.next();
  EXPECT_TRUE(q.eof());
}

TEST_F(OracleStandIn, TheEmptyTextAndEmptyBytesAreNull) {
  insertParent(*conn_, "{P1}");
  Query ins(*conn_);
  ins.setSql(
      "INSERT INTO \"Child_Items\" (\"GUID\", \"PARENTGUID\", \"HRID\", \"NOTE\", \"PREVIEW\", "
      "\"DESCRIPTION\") VALUES (:GUID, :PARENTGUID, :HRID, :NOTE, :PREVIEW, :DESCRIPTION)");
  ins.paramByName("GUID").setText("{C1}");
  ins.paramByName("PARENTGUID").setText("{P1}");
  ins.paramByName("HRID").setText("X");
  ins.paramByName("NOTE").setText("");
  ins.paramByName("PREVIEW").setBlob(Bytes{});
  ins.paramByName("DESCRIPTION").setBlob(Bytes{}, FieldType::WideMemo);
  ins.execSql();
  EXPECT_EQ(count(*conn_,
                  "\"Child_Items\" WHERE NOTE IS NULL AND PREVIEW IS NULL AND "
                  "DESCRIPTION IS NULL"),
            1);

  // A NOT NULL column refuses the empty text as it refuses NULL.
  ins.paramByName("GUID").setText("{C2}");
  ins.paramByName("HRID").setText("");
  try {
    ins.execSql();
    FAIL() << "the empty text passed a NOT NULL column";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()),
              "ORA-01400: cannot insert NULL into (\"MOVRANO\".\"Child_Items\".\"HRID\") (Oracle "
              "schema MOVRANO)");
  }
  EXPECT_EQ(count(*conn_, "\"Child_Items\""), 1);
}

TEST_F(OracleStandIn, ManualCommitKeepsWritesInOneTransactionThatOthersDoNotSee) {
  conn_->setAutoCommit(false);
  insertParent(*conn_, "{P1}");
  EXPECT_TRUE(conn_->backend().hasTransaction());
  auto other = open();
  EXPECT_EQ(count(*other, "PARENT"), 0);
  EXPECT_EQ(count(*conn_, "PARENT"), 1);
  conn_->rollback();
  EXPECT_EQ(count(*conn_, "PARENT"), 0);

  conn_->setAutoCommit(false);
  insertParent(*conn_, "{P2}");
  conn_->commit();
  EXPECT_EQ(count(*other, "PARENT"), 1);

  // Auto-commit: each write is committed when it is done.
  insertParent(*conn_, "{P3}");
  EXPECT_FALSE(conn_->backend().hasTransaction());
  EXPECT_EQ(count(*other, "PARENT"), 2);
}

TEST_F(OracleStandIn, ReadsSeeWhatOthersCommittedSinceTheLastStatement) {
  conn_->setAutoCommit(false);
  EXPECT_EQ(count(*conn_, "user_tables"), 2);
  auto installer = open();
  DefineOracleTable(file_, "CREATE TABLE LATER (ID NUMBER(10))");
  insertParent(*installer, "{P1}");
  EXPECT_EQ(count(*conn_, "user_tables"), 3);
  EXPECT_EQ(count(*conn_, "PARENT"), 1);
}

TEST_F(OracleStandIn, DdlCommitsTheOpenTransaction) {
  conn_->setAutoCommit(false);
  insertParent(*conn_, "{P1}");
  conn_->executeDirect("CREATE INDEX IX_PARENT_NAME ON PARENT (NAME)");
  conn_->rollback();
  EXPECT_EQ(count(*conn_, "PARENT"), 1);
}

// The program never defines a table; one defined past the dictionary
// would escape its constraints.
TEST_F(OracleStandIn, TableDefinitionsAreRefusedAndChangeNothing) {
  conn_->setAutoCommit(false);
  insertParent(*conn_, "{P1}");
  const struct {
    const char* sql;
    const char* keyword;
  } cases[] = {
      {"CREATE TABLE LATER (ID NUMBER(10))", "CREATE"},
      {"  create table \"Later\" (ID NUMBER(10))", "CREATE"},
      {"DROP TABLE \"Child_Items\"", "DROP"},
      {"/* cleanup */ drop TABLE PARENT", "DROP"},
      {"ALTER TABLE PARENT RENAME TO FORMER", "ALTER"},
      {"ALTER TABLE PARENT ADD NOTE VARCHAR2(10)", "ALTER"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    try {
      conn_->executeDirect(c.sql);
      FAIL() << "the stand-in took a table definition";
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(std::string(e.what()),
                std::string(c.keyword) +
                    " TABLE is not a statement the Oracle stand-in takes; it uses the schema's "
                    "tables as they are (Oracle schema MOVRANO)");
    }
  }
  // The open transaction is still open, and the schema as it was.
  EXPECT_TRUE(conn_->backend().hasTransaction());
  conn_->rollback();
  EXPECT_EQ(count(*conn_, "PARENT"), 0);
  EXPECT_EQ(conn_->tableNames(), (std::vector<std::string>{"PARENT", "Child_Items"}));
  Query q(*conn_);
  q.setSql("Select * from PARENT");
  q.open();
  EXPECT_EQ(q.fieldDefs().size(), 2u);
  EXPECT_THROW(insertChild(*conn_, "{C1}", "{NOBODY}"), EDatabaseError);
}

TEST_F(OracleStandIn, ForeignKeysAreEnforcedUntilTheDisableBlock) {
  EXPECT_THROW(insertChild(*conn_, "{C1}", "{NOBODY}"), EDatabaseError);
  conn_->setAutoCommit(false);
  insertParent(*conn_, "{P1}");
  EXPECT_NO_THROW(conn_->executeDirect(kOracleDisableConstraintsBlock));
  // The block committed what the transaction held.
  conn_->rollback();
  EXPECT_EQ(count(*conn_, "PARENT"), 1);

  conn_->setAutoCommit(false);
  Query del(*conn_);
  del.setSql("DELETE FROM \"PARENT\"");
  del.execSql();
  EXPECT_EQ(del.rowsAffected(), 1);
  insertChild(*conn_, "{C1}", "{P1}");
  insertParent(*conn_, "{P1}");
  EXPECT_NO_THROW(conn_->executeDirect(kOracleEnableConstraintsBlock));
  conn_->commit();
  EXPECT_EQ(count(*conn_, "\"Child_Items\""), 1);
  EXPECT_THROW(insertChild(*conn_, "{C2}", "{NOBODY}"), EDatabaseError);
}

TEST_F(OracleStandIn, EnablingValidatesTheRowsAndAFailureLeavesTheKeysOff) {
  conn_->executeDirect(kOracleDisableConstraintsBlock);
  insertChild(*conn_, "{C1}", "{NOBODY}");
  try {
    conn_->executeDirect(kOracleEnableConstraintsBlock);
    FAIL() << "an orphan row passed the enable block";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()),
              "ORA-02298: cannot validate (MOVRANO.FK_CHILD_PARENT) - parent keys not found "
              "(Oracle schema MOVRANO)");
  }
  insertChild(*conn_, "{C2}", "{NOBODY}");  // still off
  conn_->executeDirect("DELETE FROM \"Child_Items\"");
  EXPECT_NO_THROW(conn_->executeDirect(kOracleEnableConstraintsBlock));
  EXPECT_THROW(insertChild(*conn_, "{C3}", "{NOBODY}"), EDatabaseError);
}

TEST_F(OracleStandIn, OnlyTheExactBlocksAreKnown) {
  std::string lfOnly = kOracleDisableConstraintsBlock;
  for (size_t at; (at = lfOnly.find("\r\n")) != std::string::npos;)
    lfOnly.erase(at, 1);
  EXPECT_THROW(conn_->executeDirect(lfOnly), EDatabaseError);
  EXPECT_THROW(conn_->executeDirect("BEGIN NULL; END;"), EDatabaseError);
  EXPECT_THROW(conn_->executeDirect(std::string(kOracleDisableConstraintsBlock) + " "),
               EDatabaseError);
  // None of them switched the keys off.
  EXPECT_THROW(insertChild(*conn_, "{C1}", "{NOBODY}"), EDatabaseError);
}

TEST_F(OracleStandIn, ErrorsNameTheSchema) {
  try {
    conn_->executeDirect("DELETE FROM \"NO_SUCH_TABLE\"");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(std::string(e.what()),
              "ORA-00942: table or view does not exist (Oracle schema MOVRANO)");
  }
  Query q(*conn_);
  q.setSql("Select * from NO_SUCH_TABLE");
  EXPECT_THROW(q.open(), EDatabaseError);
}

TEST_F(OracleStandIn, TimeStampsWrittenAsTextReadAsDateTimes) {
  DefineOracleTable(file_, "CREATE TABLE STAMPS (ID NUMBER(10), AT TIMESTAMP, DAY DATE)");
  conn_->executeDirect(
      "INSERT INTO STAMPS VALUES (1, '2023-01-09 14:30:00', '2023-01-09'), (2, "
      "'2023-01-09T14:30:01.5', NULL), (3, CURRENT_TIMESTAMP, NULL)");
  Query q(*conn_);
  q.setSql("SELECT AT, DAY FROM STAMPS ORDER BY ID");
  q.open();
  EXPECT_EQ(q.field(0).value().toDateTime(), DateTime::FromParts(2023, 1, 9, 14, 30, 0));
  EXPECT_EQ(q.field(1).value().toDateTime(), DateTime::FromParts(2023, 1, 9));
  q.next();
  EXPECT_EQ(q.field(0).value().toDateTime(), DateTime::FromParts(2023, 1, 9, 14, 30, 1, 500));
  EXPECT_TRUE(q.field(1).isNull());
  q.next();
  EXPECT_GT(q.field(0).value().toDateTime(), DateTime::FromParts(2023, 1, 1));

  // Refused when written, not when read.
  EXPECT_THROW(conn_->executeDirect("INSERT INTO STAMPS VALUES (4, 'not a time', NULL)"),
               EDatabaseError);
}

TEST_F(OracleStandIn, DecimalsKeepEveryDigitAndMatchTheirParameters) {
  DefineOracleTable(
      file_,
      "CREATE TABLE LINKS (ID NUMBER(10), QUANTITY NUMBER(18,4), RATIO NUMBER(8,2), AMOUNT "
      "NUMBER)");
  const Decimal values[] = {
      {123456789012345678, 4},  {-1, 4}, {999999999999999999, 4},
      {-999999999999999999, 4}, {3, 0},  // a whole number, written to the column's four places
  };
  Query ins(*conn_);
  ins.setSql("INSERT INTO LINKS VALUES (:ID, :QUANTITY, :RATIO, :AMOUNT)");
  for (int i = 0; i < 5; ++i) {
    ins.paramByName("ID").setInteger(i);
    ins.paramByName("QUANTITY").setValue(Variant(values[i]));
    ins.paramByName("RATIO").setValue(Variant(Decimal{125, 3}));  // rounded to 0.13
    ins.paramByName("AMOUNT").setValue(Variant(values[i]));
    ins.execSql();
  }

  auto other = open();
  Query q(*other);
  q.setSql("SELECT QUANTITY, RATIO, AMOUNT FROM LINKS WHERE ID = :ID");
  Query match(*other);
  match.setSql("SELECT ID FROM LINKS WHERE QUANTITY = :Q AND AMOUNT = :Q");
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(values[i].toString());
    q.paramByName("ID").setInteger(i);
    q.open();
    ASSERT_FALSE(q.eof());
    const Decimal* quantity = q.field(0).value().decimalIf();
    ASSERT_NE(quantity, nullptr);
    EXPECT_EQ(quantity->scale, 4);
    EXPECT_EQ(*quantity, values[i]);
    const Decimal* ratio = q.field(1).value().decimalIf();
    ASSERT_NE(ratio, nullptr);
    EXPECT_EQ(ratio->unscaled, 13);
    EXPECT_EQ(ratio->scale, 2);
    EXPECT_EQ(q.field(2).value(), Variant(values[i]));
    q.close();
    // A decimal parameter finds the row that holds its value.
    match.paramByName("Q").setValue(Variant(values[i]));
    match.open();
    ASSERT_FALSE(match.eof());
    EXPECT_EQ(match.field(0).asInteger(), i);
    match.next();
    EXPECT_TRUE(match.eof());
    match.close();
  }
  // The same value with more places finds it too.
  match.paramByName("Q").setValue(Variant(Decimal{1234567890123456780, 5}));
  match.open();
  ASSERT_FALSE(match.eof());
  EXPECT_EQ(match.field(0).asInteger(), 0);
}

TEST_F(OracleStandIn, TimeStampsKeepTheTenThousandthOfASecondAndDatesNoFraction) {
  DefineOracleTable(file_, "CREATE TABLE STAMPS (ID NUMBER(10), AT TIMESTAMP, DAY DATE)");
  const DateTime times[] = {
      DateTime::FromParts(2023, 3, 14, 15, 9, 26, 123, 4),
      DateTime::FromParts(2023, 3, 14, 15, 9, 26, 999, 9),
      DateTime::FromParts(1899, 12, 29, 23, 59, 59, 0, 1),  // before the day-number epoch
  };
  Query ins(*conn_);
  ins.setSql("INSERT INTO STAMPS VALUES (:ID, :AT, :DAY)");
  for (int i = 0; i < 3; ++i) {
    ins.paramByName("ID").setInteger(i);
    ins.paramByName("AT").setDateTime(times[i]);
    ins.paramByName("DAY").setDateTime(times[i]);
    ins.execSql();
  }
  Query q(*conn_);
  q.setSql("SELECT AT, DAY FROM STAMPS ORDER BY ID");
  q.open();
  for (const DateTime& t : times) {
    SCOPED_TRACE(t.toString());
    ASSERT_FALSE(q.eof());
    EXPECT_EQ(q.field(0).value().toDateTime(), t);
    const DateTime::Parts p = t.parts();
    EXPECT_EQ(q.field(1).value().toDateTime(),
              DateTime::FromParts(p.year, p.month, p.day, p.hour, p.minute, p.second));
    q.next();
  }
}

}  // namespace
}  // namespace movrano::db
