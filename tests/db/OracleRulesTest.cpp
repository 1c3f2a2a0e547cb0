// The "oracle" stand-in refuses what an Oracle server refuses, with
// Oracle's error: names in another letter case, values a column cannot
// hold, constraint switches in an impossible order, a wrong login.
#include <gtest/gtest.h>

#include <functional>

#include "db/Query.h"
#include "db/oracle/OracleConstraintBlocks.h"
#include "support/db/OracleSchemaFile.h"
#include "support/platform/TempDir.h"

namespace movrano::db {
namespace {

using testing::CreateOracleSchema;
using testing::DefineOracleTable;
using testing::TempDir;

const char* const kSuffix = " (Oracle schema MOVRANO)";

// The message of the failure that `action` raises, or "" when none.
std::string Failure(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDatabaseError& e) {
    return e.what();
  }
  return "";
}

class OracleRules : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateOracleSchema(file_, "MOVRANO", {{"movrano", "secret"}, {"vaultadmin", "Admin#1"}});
    conn_ = open();
  }

  std::unique_ptr<Connection> open(const std::string& user = "movrano",
                                   const std::string& password = "secret",
                                   const std::string& scheme = "MOVRANO") {
    auto c = std::make_unique<Connection>();
    c->setProtocol("oracle");
    c->setDatabase(file_.string());
    c->setCatalog(scheme);
    c->setUser(user);
    c->setPassword(password);
    c->connect();
    return c;
  }

  // Runs a statement with one parameter :V set by `bind`.
  void write(const std::string& sql, const std::function<void(Param&)>& bind) {
    Query q(*conn_);
    q.setSql(sql);
    bind(q.paramByName("V"));
    q.execSql();
  }

  Variant read(const std::string& sql) {
    Query q(*conn_);
    q.setSql(sql);
    q.open();
    return q.eof() ? Variant::Null() : q.field(0).value();
  }

  // The constraints as user_constraints lists them: "NAME:TYPE:STATUS".
  std::vector<std::string> constraints() {
    Query q(*conn_);
    q.setSql("SELECT constraint_name, constraint_type, status FROM user_constraints");
    q.open();
    std::vector<std::string> result;
    for (; !q.eof(); q.next())
      result.push_back(q.field(0).asString() + ":" + q.field(1).asString() + ":" +
                       q.field(2).asString());
    return result;
  }

  TempDir dir_;
  const std::filesystem::path file_ = dir_.path() / "schema.db";
  std::unique_ptr<Connection> conn_;
};

TEST_F(OracleRules, QuotedNamesKeepTheirCaseAndUnquotedOnesFoldToUpperCase) {
  DefineOracleTable(
      file_, "CREATE TABLE \"Tbl_Client\" (GUID VARCHAR2(40) NOT NULL, \"Name\" VARCHAR2(40))");
  DefineOracleTable(file_, "create table tbl_listener (guid varchar2(40))");
  EXPECT_EQ(conn_->tableNames(), (std::vector<std::string>{"Tbl_Client", "TBL_LISTENER"}));
  const std::string noTable = "ORA-00942: table or view does not exist" + std::string(kSuffix);
  const struct {
    std::string sql;
    std::string failure;
  } cases[] = {
      {"DELETE FROM \"Tbl_Client\"", ""},
      {"DELETE FROM \"TBL_CLIENT\"", noTable},
      {"DELETE FROM Tbl_Client", noTable},
      {"DELETE FROM \"TBL_LISTENER\"", ""},
      {"DELETE FROM Tbl_Listener", ""},
      {"DELETE FROM \"tbl_listener\"", noTable},
      {"INSERT INTO \"Tbl_Client\" (guid, \"Name\") VALUES ('{G}', 'N')", ""},
      {"SELECT \"Name\", Guid FROM \"Tbl_Client\"", ""},
      {"SELECT \"NAME\" FROM \"Tbl_Client\"",
       "ORA-00904: \"NAME\": invalid identifier" + std::string(kSuffix)},
      {"SELECT Name FROM \"Tbl_Client\"",
       "ORA-00904: \"NAME\": invalid identifier" + std::string(kSuffix)},
      {"INSERT INTO \"Tbl_Client\" (\"GUID\", \"name\") VALUES ('{G}', 'N')",
       "ORA-00904: \"name\": invalid identifier" + std::string(kSuffix)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(Failure([&] {
                Query q(*conn_);
                q.setSql(c.sql);
                if (c.sql.rfind("SELECT", 0) == 0) {
                  q.open();
                } else {
                  q.execSql();
                }
              }),
              c.failure);
  }
  Query q(*conn_);
  q.setSql("SELECT \"Name\" FROM \"Tbl_Client\"");
  q.open();
  EXPECT_EQ(q.fieldDefs()[0].name, "Name");
}

TEST_F(OracleRules, ColumnsHoldOnlyWhatTheirTypeAllows) {
  DefineOracleTable(
      file_,
      "CREATE TABLE T (ID NUMBER(10), NAME VARCHAR2(4), NAMEC VARCHAR2(4 CHAR), CODE CHAR(3), "
      "PRICE NUMBER(5,2), QTY NUMBER(3), AMOUNT NUMBER, QUANTITY NUMBER(18,4), DAY DATE, "
      "AT TIMESTAMP, DATA BLOB, NOTE CLOB)");
  const Bytes binary = {0x00, 0xFF, 0x10};
  const std::string text4 =
      "\xC3\xA4"
      "bc";  // four bytes, three characters
  const DateTime fraction = DateTime::FromParts(2023, 2, 1, 8, 0, 5, 250);
  const DateTime tick = DateTime::FromParts(2023, 3, 14, 15, 9, 26, 123, 4);
  const auto decimal = [](int64_t unscaled, int scale) {
    return [=](Param& p) { p.setValue(Variant(Decimal{unscaled, scale})); };
  };
  const auto tooLarge = [](const char* column, int actual, int maximum) {
    return "ORA-12899: value too large for column \"MOVRANO\".\"T\".\"" + std::string(column) +
           "\" (actual: " + std::to_string(actual) + ", maximum: " + std::to_string(maximum) + ")";
  };
  const std::string precision =
      "ORA-01438: value larger than specified precision allowed for this column";
  struct Case {
    std::string column;
    std::function<void(Param&)> bind;
    std::string failure;  // "" when the value is taken
    std::string stored;   // as read back by text, when taken
  };
  const Case cases[] = {
      {"NAME", [&](Param& p) { p.setText(text4); }, "", text4},
      {"NAME", [&](Param& p) { p.setText(text4 + "d"); }, tooLarge("NAME", 5, 4), ""},
      {"NAMEC", [&](Param& p) { p.setText(text4 + "d"); }, "", text4 + "d"},
      {"NAMEC", [&](Param& p) { p.setText(text4 + "de"); }, tooLarge("NAMEC", 5, 4), ""},
      {"CODE", [](Param& p) { p.setText("a"); }, "", "a  "},
      {"PRICE", [](Param& p) { p.setText("12.345"); }, "", "12.35"},
      {"PRICE", [](Param& p) { p.setDouble(-0.004); }, "", "0.00"},
      {"PRICE", [](Param& p) { p.setText(" 999.99 "); }, "", "999.99"},
      {"PRICE", [](Param& p) { p.setDouble(999.995); }, precision, ""},
      {"PRICE", [](Param& p) { p.setText("1234.5"); }, precision, ""},
      {"PRICE", [](Param& p) { p.setText("12,5"); }, "ORA-01722: invalid number", ""},
      {"QTY", [](Param& p) { p.setText("abc"); }, "ORA-01722: invalid number", ""},
      {"QTY", [](Param& p) { p.setInteger(999); }, "", "999"},
      {"QTY", [](Param& p) { p.setDouble(12.6); }, "", "13"},
      {"QTY", [](Param& p) { p.setInteger(1000); }, precision, ""},
      {"AMOUNT", [](Param& p) { p.setText("123456789.125"); }, "", "123456789.125"},
      {"AMOUNT", decimal(-123456789012345678, 18), "", "-0.123456789012345678"},
      {"AMOUNT", [](Param& p) { p.setText("-1.5E-3"); }, "", "-0.0015"},
      {"AMOUNT", [](Param& p) { p.setText("1E126"); }, "ORA-01426: numeric overflow", ""},
      // Every digit of a NUMBER(18,4), beyond the 15 a double keeps.
      {"QUANTITY", decimal(123456789012345678, 4), "", "12345678901234.5678"},
      {"QUANTITY", decimal(-1, 4), "", "-0.0001"},
      {"QUANTITY", decimal(999999999999999999, 4), "", "99999999999999.9999"},
      {"QUANTITY", decimal(-999999999999999999, 4), "", "-99999999999999.9999"},
      {"QUANTITY", decimal(3, 0), "", "3.0000"},
      {"QUANTITY", [](Param& p) { p.setText("12345678901234.56785"); }, "", "12345678901234.5679"},
      {"QUANTITY", [](Param& p) { p.setText("99999999999999.99995"); }, precision, ""},
      {"QUANTITY", decimal(123456789012345678, 3), precision, ""},
      {"QUANTITY", [](Param& p) { p.setText("1.5e3"); }, "", "1500.0000"},
      {"QUANTITY", [](Param& p) { p.setText("4 pcs"); }, "ORA-01722: invalid number", ""},
      {"DAY", [&](Param& p) { p.setDateTime(fraction); }, "", "2023-02-01 08:00:05"},
      {"DAY", [&](Param& p) { p.setDateTime(tick); }, "", "2023-03-14 15:09:26"},
      {"DAY", [](Param& p) { p.setText("2023-02-29"); },
       "ORA-01847: day of month must be between 1 and last day of month", ""},
      {"DAY", [](Param& p) { p.setText("2024-02-29"); }, "", "2024-02-29 00:00:00"},
      {"DAY", [](Param& p) { p.setText("2023-13-01"); }, "ORA-01843: not a valid month", ""},
      {"DAY", [](Param& p) { p.setText("2023-01-01 24:00:00"); },
       "ORA-01850: hour must be between 0 and 23", ""},
      {"DAY", [](Param& p) { p.setText("yesterday"); },
       "ORA-01861: literal does not match format string", ""},
      {"AT", [&](Param& p) { p.setDateTime(fraction); }, "", "2023-02-01 08:00:05.250"},
      {"AT", [&](Param& p) { p.setDateTime(tick); }, "", "2023-03-14 15:09:26.1234"},
      {"AT", [](Param& p) { p.setText("2023-03-14 15:09:26.123456"); }, "",
       "2023-03-14 15:09:26.1234"},
      {"DATA", [&](Param& p) { p.setBlob(binary); }, "", std::string("\x00\xFF\x10", 3)},
      {"DATA", [](Param& p) { p.setText("text"); },
       "ORA-00932: inconsistent datatypes: expected BLOB got CHAR", ""},
      {"DATA", [&](Param& p) { p.setBlob(binary, FieldType::WideMemo); },
       "ORA-00932: inconsistent datatypes: expected BLOB got CHAR", ""},
      {"NOTE", [](Param& p) { p.setText("Beschreibung"); }, "", "Beschreibung"},
      {"NOTE", [&](Param& p) { p.setBlob(Bytes(text4.begin(), text4.end()), FieldType::WideMemo); },
       "", text4},
      {"NOTE", [&](Param& p) { p.setBlob(binary); },
       "ORA-00932: inconsistent datatypes: expected CLOB got BLOB", ""},
  };
  int id = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column + " " + std::to_string(id + 1));
    ++id;
    const std::string failure = Failure([&] {
      write("INSERT INTO T (ID, " + c.column + ") VALUES (" + std::to_string(id) + ", :V)", c.bind);
    });
    EXPECT_EQ(failure, c.failure.empty() ? "" : c.failure + kSuffix);
    if (!failure.empty()) continue;
    const Variant v = read("SELECT " + c.column + " FROM T WHERE ID = " + std::to_string(id));
    if (c.column == "DATA") {
      EXPECT_EQ(std::string(v.bytes().begin(), v.bytes().end()), c.stored);
    } else if (c.column == "DAY" || c.column == "AT") {
      EXPECT_EQ(v.toDateTime().toString(), c.stored);
    } else {
      EXPECT_EQ(v.toString(), c.stored);
    }
  }
  // An update keeps the same rules.
  EXPECT_EQ(Failure([&] { conn_->executeDirect("UPDATE T SET QTY = 'many' WHERE ID = 1"); }),
            "ORA-01722: invalid number" + std::string(kSuffix));
}

class OracleConstraints : public OracleRules {
 protected:
  void SetUp() override {
    OracleRules::SetUp();
    DefineOracleTable(file_, R"(CREATE TABLE PARENT (
        GUID VARCHAR2(40) NOT NULL,
        HRID VARCHAR2(40),
        KIND NUMBER(1),
        CONSTRAINT PK_PARENT PRIMARY KEY (GUID),
        CONSTRAINT UQ_PARENT_HRID UNIQUE (HRID),
        CONSTRAINT CK_PARENT_KIND CHECK (KIND IN (0, 1))))");
    DefineOracleTable(file_, R"(CREATE TABLE CHILD (
        GUID VARCHAR2(40) NOT NULL PRIMARY KEY,
        PARENTGUID VARCHAR2(40) CONSTRAINT FK_CHILD_PARENT REFERENCES PARENT (GUID)))");
  }

  void insert(const std::string& table, const std::string& values) {
    conn_->executeDirect("INSERT INTO " + table + " VALUES (" + values + ")");
  }
};

TEST_F(OracleConstraints, EveryKindIsEnforcedWithOraclesError) {
  insert("PARENT", "'{P1}', 'P-1', 0");
  const struct {
    std::string sql;
    std::string failure;
  } cases[] = {
      {"INSERT INTO PARENT VALUES ('{P1}', 'P-2', 0)",
       "ORA-00001: unique constraint (MOVRANO.PK_PARENT) violated"},
      {"INSERT INTO PARENT VALUES ('{P2}', 'P-1', 0)",
       "ORA-00001: unique constraint (MOVRANO.UQ_PARENT_HRID) violated"},
      {"INSERT INTO PARENT VALUES ('{P2}', NULL, 0)", ""},
      {"INSERT INTO PARENT VALUES ('{P3}', NULL, 0)", ""},
      {"INSERT INTO PARENT VALUES ('{P4}', 'P-4', 7)",
       "ORA-02290: check constraint (MOVRANO.CK_PARENT_KIND) violated"},
      {"INSERT INTO PARENT VALUES ('', 'P-5', 0)",
       "ORA-01400: cannot insert NULL into (\"MOVRANO\".\"PARENT\".\"GUID\")"},
      {"INSERT INTO CHILD VALUES ('{C1}', '{NOBODY}')",
       "ORA-02291: integrity constraint (MOVRANO.FK_CHILD_PARENT) violated - parent key not "
       "found"},
      {"INSERT INTO CHILD VALUES ('{C1}', '{P1}')", ""},
      {"DELETE FROM PARENT WHERE GUID = '{P1}'",
       "ORA-02292: integrity constraint (MOVRANO.FK_CHILD_PARENT) violated - child record "
       "found"},
      {"UPDATE PARENT SET HRID = 'P-1' WHERE GUID = '{P2}'",
       "ORA-00001: unique constraint (MOVRANO.UQ_PARENT_HRID) violated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    EXPECT_EQ(Failure([&] { conn_->executeDirect(c.sql); }),
              c.failure.empty() ? "" : c.failure + kSuffix);
  }
}

TEST_F(OracleConstraints, TheBlocksSwitchEveryKindInTheirOrder) {
  conn_->setAutoCommit(false);
  insert("PARENT", "'{P1}', 'P-1', 0");
  EXPECT_NO_THROW(conn_->executeDirect(kOracleDisableConstraintsBlock));
  conn_->rollback();  // the block committed first
  EXPECT_EQ(read("SELECT Count(*) FROM PARENT").toInt64(), 1);
  for (const auto& c : constraints())
    EXPECT_EQ(c.substr(c.rfind(':')), ":DISABLED") << c;
  EXPECT_EQ(constraints().size(), 7u);  // two NOT NULL, two primary keys
  // Nothing is enforced now.
  insert("PARENT", "'{P1}', 'P-1', 9");
  insert("PARENT", "NULL, NULL, 0");
  insert("CHILD", "'{C1}', '{NOBODY}'");
  const std::string failure = Failure([&] { conn_->executeDirect(kOracleEnableConstraintsBlock); });
  // Check and NOT NULL constraints come first, the NOT NULL of the first
  // column first.
  EXPECT_EQ(failure, "ORA-02296: cannot enable (MOVRANO.SYS_C0000001) - null values found" +
                         std::string(kSuffix));
  conn_->executeDirect("DELETE FROM PARENT WHERE GUID IS NULL");
  EXPECT_EQ(Failure([&] { conn_->executeDirect(kOracleEnableConstraintsBlock); }),
            "ORA-02293: cannot validate (MOVRANO.CK_PARENT_KIND) - check constraint violated" +
                std::string(kSuffix));
  conn_->executeDirect("DELETE FROM PARENT WHERE KIND = 9 OR GUID IS NULL");
  conn_->executeDirect("UPDATE CHILD SET PARENTGUID = '{P1}'");
  EXPECT_NO_THROW(conn_->executeDirect(kOracleEnableConstraintsBlock));
  for (const auto& c : constraints())
    EXPECT_EQ(c.substr(c.rfind(':')), ":ENABLED") << c;
  EXPECT_NE(Failure([&] { insert("CHILD", "'{C2}', '{NOBODY}'"); }), "");
}

TEST_F(OracleConstraints, AFailingEnableBlockKeepsTheConstraintsEnabledBeforeIt) {
  conn_->executeDirect(kOracleDisableConstraintsBlock);
  insert("PARENT", "'{P1}', 'P-1', 0");
  insert("PARENT", "'{P1}', 'P-2', 0");
  EXPECT_EQ(Failure([&] { conn_->executeDirect(kOracleEnableConstraintsBlock); }),
            "ORA-02437: cannot validate (MOVRANO.PK_PARENT) - primary key violated" +
                std::string(kSuffix));
  // The check and NOT NULL constraints (type C) came before and stay on.
  for (const auto& c : constraints()) {
    const bool check = c.find(":C:") != std::string::npos;
    EXPECT_EQ(c.substr(c.rfind(':')), check ? ":ENABLED" : ":DISABLED") << c;
  }
  EXPECT_NE(Failure([&] { insert("PARENT", "'{P9}', 'P-9', 5"); }), "");
  insert("PARENT", "'{P1}', 'P-3', 1");  // the primary key is still off
}

TEST_F(OracleConstraints, AnImpossibleOrderFailsAsOnOracle) {
  // A foreign key to a unique key: the disable block switches the unique
  // keys off first, while the foreign key still refers to it.
  DefineOracleTable(
      file_,
      "CREATE TABLE ALIAS (HRID VARCHAR2(40) CONSTRAINT FK_ALIAS_HRID REFERENCES PARENT (HRID))");
  EXPECT_EQ(Failure([&] { conn_->executeDirect(kOracleDisableConstraintsBlock); }),
            "ORA-02297: cannot disable constraint (MOVRANO.UQ_PARENT_HRID) - dependencies exist" +
                std::string(kSuffix));
  for (const auto& c : constraints())
    EXPECT_EQ(c.substr(c.rfind(':')), ":ENABLED") << c;

  // Without the foreign key the block goes through.
  DefineOracleTable(file_, "DROP TABLE ALIAS");
  EXPECT_NO_THROW(conn_->executeDirect(kOracleDisableConstraintsBlock));
}

TEST_F(OracleRules, AWrongLoginIsRefusedAndTheSchemaMayBeAnotherUsers) {
  const std::string denied =
      "ORA-01017: invalid username/password; logon denied" + std::string(kSuffix);
  EXPECT_EQ(Failure([&] { open("movrano", "Secret"); }), denied);
  EXPECT_EQ(Failure([&] { open("nobody", "secret"); }), denied);
  EXPECT_EQ(Failure([&] { open("MOVRANO", "secret"); }), "");  // user names fold
  DefineOracleTable(file_, "CREATE TABLE TBL_VERSION (VERSIONKEY VARCHAR2(40))");
  // The server's own account works in the vault's schema.
  const auto admin = open("vaultadmin", "Admin#1", "movrano");
  EXPECT_EQ(admin->tableNames(), (std::vector<std::string>{"TBL_VERSION"}));
  EXPECT_NE(Failure([&] { open("vaultadmin", "Admin#1", "OTHER"); }).find("ORA-01435"),
            std::string::npos);
}

}  // namespace
}  // namespace movrano::db
