#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>

#include "platform/Exceptions.h"
#include "statements/uSQLManager.h"
#include "statements/uSQLUtils.h"
#include "support/db/FirebirdFixture.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace db {

void PrintTo(VarType t, std::ostream* os) {
  *os << VarTypeName(t);
}

void PrintTo(const Variant& v, std::ostream* os) {
  *os << VarTypeName(v.type());
  if (!v.isNullOrEmpty() && !v.isBytes()) *os << " " << v.toString();
}

}  // namespace db
namespace {

using db::Variant;
using db::VarType;

constexpr const char* kStatements = R"(-- statements of the routine tests
--$ sql_vault_info
select GUID, HRID, DESCRIPTION from VAULT
--$sql_vault_two
select GUID, HRID from VAULT
--$sql_no_row
select GUID, HRID, DESCRIPTION, 1 from VAULT where 1 = 0
--$sql_null_first
select cast(null as varchar(10)), 'second' from RDB$DATABASE
--$sql_vault_insert
insert into VAULT (GUID, HRID, DESCRIPTION)
values (:GUID, :HRID, :DESCRIPTION)
--$sql_value_insert
insert into VAL (ID, N, D, TS, S) values (:ID, :N, :D, :TS, :S)
)";

// One Firebird database with the statement file above in the catalogue.
class SQLUtils : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    CreateSQLManager();
    const testing::TempDir dir;
    SQLManager().LoadFromFile(dir.write("routines.sql", kStatements).string());
  }
  static void TearDownTestSuite() { FreeSQLManager(); }

  void SetUp() override {
    db_.execScript(R"(
      create table VAULT (GUID varchar(38), HRID varchar(100), DESCRIPTION varchar(200));
      create table VAL (ID integer, N integer, D double precision, TS timestamp,
                        S varchar(50));
    )");
    conn_ = db_.connect();
  }

  Variant value(const std::string& sql) {
    Variant v;
    GetValue(*conn_, sql, v);
    return v;
  }
  int count(const std::string& table) { return value("select count(*) from " + table).toInt32(); }

  void insertVault(const std::string& guid, const std::string& hrid, const std::string& desc) {
    ExecStatement(*conn_, "sql_vault_insert", {"GUID", "HRID", "DESCRIPTION"}, {guid, hrid, desc});
  }

  testing::TempFirebirdDatabase db_;
  std::unique_ptr<db::Connection> conn_;
};

TEST_F(SQLUtils, CreateQueryHoldsTheStatementTextUnopened) {
  const auto query = CreateQuery(*conn_, "SQL_VAULT_INFO");
  EXPECT_EQ(query->sql(), "select GUID, HRID, DESCRIPTION from VAULT\r\n");
  EXPECT_FALSE(query->prepared());
  EXPECT_FALSE(query->active());
  // A name that no statement has is the SQL text itself.
  EXPECT_EQ(CreateQuery(*conn_, "select 1 from RDB$DATABASE")->sql(), "select 1 from RDB$DATABASE");
}

TEST_F(SQLUtils, GetValueGivesTheFirstColumnOrNull) {
  Variant v = 7;
  GetValue(*conn_, "sql_vault_info", v);
  EXPECT_TRUE(v.isNull()) << "no row";
  GetValue(*conn_, "sql_null_first", v);
  EXPECT_TRUE(v.isNull()) << "NULL first column";

  insertVault("{G}", "H", "D");
  GetValue(*conn_, "sql_vault_info", v);
  EXPECT_EQ(v, Variant("{G}"));
}

TEST_F(SQLUtils, GetValueIsNullAfterAFailure) {
  Variant v = 7;
  EXPECT_THROW(GetValue(*conn_, "select * from NO_SUCH_TABLE", v), db::EDatabaseError);
  EXPECT_TRUE(v.isNull());
  v = 7;
  EXPECT_THROW(GetValue(*conn_, "sql_vault_insert", v), db::EDatabaseError) << "no result set";
  EXPECT_TRUE(v.isNull());
}

TEST_F(SQLUtils, GetRowTakesTheFirstRowsLengthOrLeavesTheRowAlone) {
  const TVarArray old = {1, "two", Variant::Null(), 4.5};
  TVarArray row = old;
  GetRow(*conn_, "sql_no_row", row);
  EXPECT_EQ(row, old);

  insertVault("{G}", "H", "D");
  GetRow(*conn_, "sql_vault_two", row);
  EXPECT_EQ(row, (TVarArray{"{G}", "H"}));

  row = {1};
  GetRow(*conn_, "sql_vault_info", row);
  EXPECT_EQ(row, (TVarArray{"{G}", "H", "D"}));

  GetRow(*conn_, "sql_null_first", row);
  ASSERT_EQ(row.size(), 2u);
  EXPECT_TRUE(row[0].isNull());
}

TEST_F(SQLUtils, ExecStatementBindsByNameInAnyOrderAndCase) {
  ExecStatement(*conn_, "sql_vault_insert", {"description", "Guid", "hrid"},
                {"the description", "{GUID}", "the hrid"});
  TVarArray row;
  GetRow(*conn_, "sql_vault_info", row);
  EXPECT_EQ(row, (TVarArray{"{GUID}", "the hrid", "the description"}));
}

TEST_F(SQLUtils, WrongNamesOrCountsRaiseAndExecuteNothing) {
  struct Case {
    std::vector<std::string> names;
    std::vector<Variant> values;
    std::string message;
  };
  const Case cases[] = {
      {{"GUID", "HRID"}, {"g", "h"}, "Count of params and values are different!"},
      {{"GUID", "HRID", "DESCRIPTION"}, {"g", "h"}, "Count of params and values are different!"},
      {{"GUID", "HRID"}, {"g", "h", "d"}, "Count of params and values are different!"},
      {{"GUID", "HRID", "DESCRIPTON"}, {"g", "h", "d"}, "Param DESCRIPTON not found"},
      {{"GUID", "HRID", "guid"}, {"g", "h", "d"}, "Param guid given more than once"},
  };
  for (const auto& c : cases) {
    try {
      ExecStatement(*conn_, "sql_vault_insert", c.names, c.values);
      ADD_FAILURE() << "expected: " << c.message;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.className(), "Exception");
      EXPECT_EQ(e.message(), c.message);
    }
  }
  EXPECT_EQ(count("VAULT"), 0);
}

struct BindCase {
  const char* what;
  const char* column;
  Variant value;
  Variant stored;
};

TEST_F(SQLUtils, ValuesBindByTheirTypeCode) {
  const db::DateTime when = db::DateTime::FromParts(2024, 3, 5, 14, 7, 9, 123);
  const BindCase cases[] = {
      {"Boolean true as 1", "S", true, "1"},
      {"Boolean false as 0", "S", false, "0"},
      {"date-time as a date-time", "TS", when, when},
      {"date-time to the 1/10000 s", "TS", db::DateTime::FromParts(2024, 3, 5, 14, 7, 9, 123, 4),
       db::DateTime::FromParts(2024, 3, 5, 14, 7, 9, 123, 4)},
      {"decimal as itself, every digit", "S", db::Decimal{123456789012345678, 4},
       "12345678901234.5678"},
      {"decimal into a double", "D", db::Decimal{-1, 4}, -0.0001},
      {"8-byte integer within range", "N", Variant::Integral(VarType::Int64, -2147483648LL),
       -2147483648},
      {"2-byte integer", "N", Variant::Integral(VarType::SmallInt, -5), -5},
      {"4-byte unsigned", "N", Variant::Integral(VarType::LongWord, 2147483647), 2147483647},
      {"double", "D", 12.625, 12.625},
      {"currency as a double", "D", Variant::Floating(VarType::Currency, 3.5), 3.5},
      {"single keeps its fraction", "D", Variant::Floating(VarType::Single, 1.5), 1.5},
      {"8-bit text as text", "S", Variant::Text("abc", VarType::String), "abc"},
      {"UTF-16 text as itself", "S", "Grüße 東京", "Grüße 東京"},
      {"Null as SQL NULL", "S", Variant::Null(), Variant::Null()},
      {"Empty as SQL NULL", "N", Variant(), Variant::Null()},
  };
  int id = 0;
  for (const auto& c : cases) {
    ++id;
    std::vector<Variant> values = {id, Variant::Null(), Variant::Null(), Variant::Null(),
                                   Variant::Null()};
    const std::vector<std::string> names = {"ID", "N", "D", "TS", "S"};
    const auto at = std::find(names.begin(), names.end(), c.column) - names.begin();
    values[at] = c.value;
    ExecStatement(*conn_, "sql_value_insert", names, values);
    const Variant stored =
        value(std::string("select ") + c.column + " from VAL where ID = " + std::to_string(id));
    EXPECT_EQ(stored, c.stored) << c.what;
    if (c.stored.type() == VarType::Date) {
      EXPECT_EQ(stored.type(), VarType::Date) << c.what;
    }
  }
}

TEST_F(SQLUtils, BindParamsGivesEachParameterTheTypeOfItsBinding) {
  db::Query query(*conn_);
  query.setSql("select :b, :t, :s, :w, :n from RDB$DATABASE");
  const db::DateTime when = db::DateTime::FromParts(2001, 2, 3);
  BindParams(query, {"B", "T", "S", "W", "N"},
             {true, when, Variant::Text("x", VarType::String), "y", Variant::Null()});
  const auto bound = [&](const char* name) { return query.paramByName(name).value(); };
  EXPECT_EQ(bound("b").type(), VarType::Integer);
  EXPECT_EQ(bound("b"), Variant(1));
  EXPECT_EQ(bound("t").type(), VarType::Date);
  EXPECT_EQ(bound("s").type(), VarType::UString);
  EXPECT_EQ(bound("w"), Variant("y"));
  EXPECT_TRUE(query.paramByName("n").isNull());
}

TEST_F(SQLUtils, AnIntegerBeyond32BitsRaisesARangeErrorInsteadOfBinding) {
  for (const Variant& v : {Variant::Integral(VarType::Int64, 2147483648LL),
                           Variant::Integral(VarType::Int64, -2147483649LL),
                           Variant::Integral(VarType::LongWord, 4294967295LL)}) {
    EXPECT_THROW(ExecStatement(*conn_, "sql_value_insert", {"ID", "N", "D", "TS", "S"},
                               {1, v, 0.0, Variant::Null(), "x"}),
                 ERangeError);
  }
  EXPECT_EQ(count("VAL"), 0);
}

}  // namespace
}  // namespace movrano
