// Values read from Firebird and written back arrive unchanged: decimals at
// the limits of their storage, times to the 1/10000 s, doubles, BLOBs
// across segment boundaries.
#include <gtest/gtest.h>

#include <charconv>
#include <cstring>

#include "db/Query.h"
#include "platform/Text.h"
#include "support/db/FirebirdFixture.h"

namespace movrano::db {
namespace {

using testing::TempFirebirdDatabase;

class FirebirdValues : public ::testing::Test {
 protected:
  void SetUp() override {
    // Two tables of the same shape: values read from A are written to B.
    for (const char* table : {"A", "B"}) {
      db_.execScript(std::string("create table ") + table + R"( (
          ID integer not null primary key,
          N4 numeric(4,2), N9 numeric(9,3), N18 numeric(18,4), D18 decimal(18,18),
          TS timestamp, TM time, DBL double precision,
          DATA blob sub_type binary, NOTE blob sub_type text);)");
    }
    conn_ = db_.connect();
  }

  // Reads every row of A and inserts it into B, each value bound as read.
  void copyAToB() {
    Query src(*conn_);
    src.setSql("select * from A order by ID");
    Query dst(*conn_);
    dst.setSql("insert into B values (:ID, :N4, :N9, :N18, :D18, :TS, :TM, :DBL, :DATA, :NOTE)");
    for (src.open(); !src.eof(); src.next()) {
      for (int i = 0; i < src.fieldCount(); ++i) {
        const Field f = src.field(i);
        if (f.def().type == FieldType::Blob && !f.isNull()) {
          dst.paramByName(f.name()).setBlob(f.value().sharedBytes());
        } else {
          dst.paramByName(f.name()).setValue(f.value());
        }
      }
      dst.execSql();
    }
  }

  // The server's own text of one column, or "<null>".
  std::string serverText(const std::string& table, const std::string& column, int id) {
    Query q(*conn_);
    q.setSql("select cast(" + column + " as varchar(60)) from " + table +
             " where ID = " + std::to_string(id));
    q.open();
    return q.field(0).isNull() ? "<null>" : q.field(0).asString();
  }

  // Rows of A and B that differ in any column, as the server compares them.
  int differingRows() {
    Query q(*conn_);
    q.setSql(
        "select count(*) from A full join B on A.ID = B.ID where A.ID is null or B.ID is null "
        "or A.N4 is distinct from B.N4 or A.N9 is distinct from B.N9 "
        "or A.N18 is distinct from B.N18 or A.D18 is distinct from B.D18 "
        "or A.TS is distinct from B.TS or A.TM is distinct from B.TM "
        "or A.DBL is distinct from B.DBL");
    q.open();
    return q.field(0).asInteger();
  }

  TempFirebirdDatabase db_{"values"};
  std::unique_ptr<Connection> conn_;
};

TEST_F(FirebirdValues, DecimalsOfEveryStorageArriveExactly) {
  struct Case {
    const char* column;
    const char* literal;
    const char* text;  // as read
  };
  const Case cases[] = {
      {"N18", "12345678901234.5678", "12345678901234.5678"},
      {"N18", "-0.0001", "-0.0001"},
      {"N18", "99999999999999.9999", "99999999999999.9999"},
      {"N18", "-99999999999999.9999", "-99999999999999.9999"},
      {"N18", "-922337203685477.5808", "-922337203685477.5808"},  // the lowest BIGINT
      {"N18", "0", "0.0000"},
      {"N9", "999999.999", "999999.999"},  // INTEGER storage
      {"N9", "-0.001", "-0.001"},
      {"N4", "99.99", "99.99"},  // SMALLINT storage
      {"N4", "-0.01", "-0.01"},
      {"D18", "0.123456789012345678", "0.123456789012345678"},
      {"D18", "-9.223372036854775808", "-9.223372036854775808"},
  };
  int id = 0;
  for (const Case& c : cases) {
    conn_->executeDirect(
        Format("insert into A (ID, %s) values (%d, %s)", c.column, ++id, c.literal));
  }
  Query q(*conn_);
  id = 0;
  for (const Case& c : cases) {
    q.setSql(Format("select %s from A where ID = %d", c.column, ++id));
    q.open();
    const Variant& v = q.field(0).value();
    EXPECT_EQ(v.type(), VarType::Decimal) << c.literal;
    EXPECT_EQ(v.toString(), c.text);
    double nearest = 0;
    std::from_chars(c.literal, c.literal + std::strlen(c.literal), nearest);
    EXPECT_EQ(v.toDouble(), nearest) << c.literal;
  }

  copyAToB();
  EXPECT_EQ(differingRows(), 0);
  id = 0;
  for (const Case& c : cases) {
    ++id;
    EXPECT_EQ(serverText("B", c.column, id), serverText("A", c.column, id)) << c.literal;
  }
}

TEST_F(FirebirdValues, ADecimalBindsExactlyIntoTextAndWholeNumberColumns) {
  db_.execScript("create table C (T varchar(40), I bigint, D double precision);");
  Query ins(*conn_);
  ins.setSql("insert into C values (:t, :i, :d)");
  ins.paramByName("t").setValue(Variant(Decimal{123456789012345678, 4}));
  ins.paramByName("i").setValue(Variant(Decimal{-25, 1}));  // -2.5 rounds away from zero
  ins.paramByName("d").setValue(Variant(Decimal{1, 4}));
  ins.execSql();
  Query q(*conn_);
  q.setSql("select T, I, D from C");
  q.open();
  EXPECT_EQ(q.field(0).asString(), "12345678901234.5678");
  EXPECT_EQ(q.field(1).value().toInt64(), -3);
  EXPECT_EQ(q.field(2).value().toDouble(), 0.0001);
}

TEST_F(FirebirdValues, TimestampsAndTimesKeepTheTenThousandthOfASecond) {
  struct Case {
    const char* ts;
    const char* tm;
  };
  const Case cases[] = {
      {"2024-03-05 14:07:09.1234", "14:07:09.1234"},
      {"1899-12-29 23:59:59.9999", "23:59:59.9999"},  // the day before the epoch
      {"2024-02-29 00:00:00.0001", "00:00:00.0001"},
      {"9999-12-31 12:00:00.1000", "12:00:00.5670"},
  };
  int id = 0;
  for (const Case& c : cases) {
    conn_->executeDirect(
        Format("insert into A (ID, TS, TM) values (%d, '%s', '%s')", ++id, c.ts, c.tm));
  }
  Query q(*conn_);
  q.setSql("select TS, TM from A order by ID");
  q.open();
  EXPECT_EQ(q.field(0).asString(), "2024-03-05 14:07:09.1234");
  const DateTime::Parts p = q.field(0).value().toDateTime().parts();
  EXPECT_EQ(p.millisecond, 123);
  EXPECT_EQ(p.tenthOfMs, 4);
  EXPECT_EQ(q.field(0).value().toDateTime(), DateTime::FromParts(2024, 3, 5, 14, 7, 9, 123, 4));
  EXPECT_EQ(q.field(1).value().toDateTime().ticksOfDay(), ((14 * 60 + 7) * 60 + 9) * 10000 + 1234);

  copyAToB();
  EXPECT_EQ(differingRows(), 0);
  for (id = 1; id <= static_cast<int>(std::size(cases)); ++id) {
    EXPECT_EQ(serverText("B", "TS", id), serverText("A", "TS", id));
    EXPECT_EQ(serverText("B", "TM", id), serverText("A", "TM", id));
  }
}

TEST_F(FirebirdValues, DoublesReadAsTheShortestTextThatReadsBack) {
  const double cases[] = {0.1 + 0.2, 1.0 / 3, 12345678901234.5678, -2.5e-300, 1e21, 0.0001};
  Query ins(*conn_);
  ins.setSql("insert into A (ID, DBL) values (:id, :dbl)");
  int id = 0;
  for (const double d : cases) {
    ins.paramByName("id").setInteger(++id);
    ins.paramByName("dbl").setDouble(d);
    ins.execSql();
  }
  Query q(*conn_);
  q.setSql("select DBL from A order by ID");
  q.open();
  for (const double d : cases) {
    const std::string text = q.field(0).asString();
    double back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    EXPECT_EQ(back, d) << text;
    EXPECT_EQ(q.field(0).value().toDouble(), d) << text;
    q.next();
  }
  copyAToB();
  EXPECT_EQ(differingRows(), 0);
}

TEST_F(FirebirdValues, BlobsRoundTripAcrossSegmentBoundaries) {
  // Sizes around the 8 KiB read before a BLOB's length is asked, around
  // the 64 KiB a segment call moves, and a few MiB.
  const size_t sizes[] = {1, 8191, 8192, 8193, 65534, 65535, 65536, 65537, 3 * 1048576 + 7};
  Query ins(*conn_);
  ins.setSql("insert into A (ID, DATA, NOTE) values (:id, :data, :note)");
  int id = 0;
  for (const size_t n : sizes) {
    Bytes data(n);
    for (size_t i = 0; i < n; ++i)
      data[i] = static_cast<uint8_t>(i * 131 + n);
    // Text of two-byte characters, so that some cross a segment's end.
    std::string note;
    while (note.size() < n)
      note += "\xc3\xa9";
    ins.paramByName("id").setInteger(++id);
    ins.paramByName("data").setBlob(data);
    ins.paramByName("note").setBlob(Bytes(note.begin(), note.end()), FieldType::WideMemo);
    ins.execSql();
  }
  copyAToB();
  for (const char* table : {"A", "B"}) {
    Query q(*conn_);
    q.setSql(std::string("select ID, DATA, NOTE from ") + table + " order by ID");
    q.open();
    for (const size_t n : sizes) {
      ASSERT_FALSE(q.eof());
      const Bytes& data = q.field(1).value().bytes();
      ASSERT_EQ(data.size(), n) << table;
      bool same = true;
      for (size_t i = 0; i < n && same; ++i)
        same = data[i] == static_cast<uint8_t>(i * 131 + n);
      EXPECT_TRUE(same) << table << " " << n;
      const std::string note = q.field(2).asString();
      EXPECT_EQ(note.size(), n + n % 2) << table;
      EXPECT_EQ(note.substr(note.size() - 2), "\xc3\xa9");
      q.next();
    }
    EXPECT_TRUE(q.eof());
  }
}

TEST(FirebirdDialect1, ANumericStoredAsADoubleReadsAsItsExactDecimal) {
  const TempFirebirdDatabase db = TempFirebirdDatabase::Dialect1("dialect1");
  db.execScript(R"(
    create table D (ID integer, N numeric(15,2), M numeric(15,4));
    insert into D values (1, 12345.67, -0.0001);
    insert into D values (2, 9999999999999.99, 1234567890.1234);
  )");
  auto conn = db.connect();
  Query q(*conn);
  q.setSql("select N, M from D order by ID");
  q.open();
  const char* texts[][2] = {{"12345.67", "-0.0001"}, {"9999999999999.99", "1234567890.1234"}};
  for (const auto& row : texts) {
    ASSERT_FALSE(q.eof());
    for (int i = 0; i < 2; ++i) {
      EXPECT_EQ(q.field(i).value().type(), VarType::Decimal) << row[i];
      EXPECT_EQ(q.field(i).asString(), row[i]);
      double nearest = 0;
      std::from_chars(row[i], row[i] + std::strlen(row[i]), nearest);
      EXPECT_EQ(q.field(i).value().toDouble(), nearest);
    }
    q.next();
  }
  // Written back, the same doubles arrive.
  Query ins(*conn);
  ins.setSql("insert into D (ID, N, M) values (:id, :n, :m)");
  ins.paramByName("id").setInteger(3);
  ins.paramByName("n").setValue(Variant(Decimal{1234567, 2}));
  ins.paramByName("m").setValue(Variant(Decimal{-1, 4}));
  ins.execSql();
  Query same(*conn);
  same.setSql(
      "select count(*) from D a join D b on a.N = b.N and a.M = b.M where a.ID = 1 "
      "and b.ID = 3");
  same.open();
  EXPECT_EQ(same.field(0).asInteger(), 1);
}

}  // namespace
}  // namespace movrano::db
