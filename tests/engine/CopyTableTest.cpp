// The named table copy against real databases: binding rules, conversions,
// refusals, the failure line and the progress positions.
#include <gtest/gtest.h>

#include <fstream>

#include "db/Query.h"
#include "engine/EngineHarness.h"
#include "engine/EngineProbe.h"
#include "services/IDS.h"
#include "statements/uSQLManager.h"
#include "support/db/FirebirdFixture.h"
#include "support/platform/TempDir.h"

namespace movrano::testing {
namespace {

constexpr const char* kTable = R"(
  create table T (
    GUID varchar(38) not null primary key,
    HRID varchar(100),
    QTY integer,
    CREATEDBYGUID varchar(38),
    LASTMODIFIEDBYGUID varchar(38),
    USERSCOPE varchar(38),
    NOTE blob sub_type text,
    DATA blob sub_type binary,
    MIXED varchar(38)
  );)";

constexpr const char* kStatements = R"(--$src_fit
select GUID as "Guid", HRID, QTY, CREATEDBYGUID, LASTMODIFIEDBYGUID, USERSCOPE as "UserScope",
       NOTE, DATA from T order by GUID
--$dst_fit
insert into T (GUID, HRID, QTY, CREATEDBYGUID, LASTMODIFIEDBYGUID, USERSCOPE, NOTE, DATA)
values (:GUID, :HRID, :QTY, :CREATEDBYGUID, :LASTMODIFIEDBYGUID, :USERSCOPE, :NOTE, :DATA)
--$src_mixed
select GUID || 'x' as GUID, MIXED as "CreatedByGuid" from T order by GUID
--$dst_mixed
insert into T (GUID, CREATEDBYGUID) values (:GUID, :CREATEDBYGUID)
--$src_two
select GUID, HRID from T order by GUID
--$dst_two
insert into T (GUID, HRID) values (:guid, :hrid)
--$dst_three
insert into T (GUID, HRID, QTY) values (:GUID, :HRID, :QTY)
--$dst_renamed
insert into T (GUID, HRID) values (:GUID, :NAME)
--$src_exact
select * from EXACT order by ID
--$dst_exact
insert into EXACT values (:ID, :N4, :N9, :N18, :D18, :TS, :TM, :DT, :DBL, :DATA, :NOTE)
)";

// Values at the limits of their column types.
constexpr const char* kExactTable = R"(
  create table EXACT (
    ID integer not null primary key,
    N4 numeric(4,2), N9 numeric(9,3), N18 numeric(18,4), D18 decimal(18,18),
    TS timestamp, TM time, DT date, DBL double precision,
    DATA blob sub_type binary, NOTE blob sub_type text
  );
  insert into EXACT values (1, 99.99, 999999.999, 12345678901234.5678, 0.123456789012345678,
    '2024-03-05 14:07:09.1234', '23:59:59.9999', '2024-02-29', 0.30000000000000004,
    null, 'Grüße');
  insert into EXACT values (2, -99.99, -0.001, -0.0001, -9.223372036854775808,
    '1899-12-29 23:59:59.9999', '00:00:00.0001', '0001-01-01', 1e-300, x'00FF', null);
  insert into EXACT values (3, 0, 0, 99999999999999.9999, 0,
    '9999-12-31 23:59:59.9999', '12:00:00.5000', '9999-12-31', -12345678901234.5678,
    null, null);
  insert into EXACT (ID, N18) values (4, -922337203685477.5808);
)";

class CopyTable : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterIDSTypes();
    source_.execScript(kTable);
    dest_.execScript(kTable);
    const auto file = dir_.path() / "copy.sql";
    std::ofstream(file) << kStatements;
    SQLManager().LoadFromFile(file.string());
    newEngine();
  }

  // A fresh engine (its row count at 0) on new connections.
  void newEngine() {
    probe_.reset();
    MigrationRequest request;
    request.MigrationMode = TMigrationMode::mmSVSToTVSOffline;
    request.LogProc = [this](const std::string& l) { log_.push_back(l); };
    request.ProgressEvent = [this](const std::string& c, int32_t p) {
      progress_.emplace_back(c, p);
    };
    engine_ = std::make_unique<TVaultMigrationManager>(std::move(request));
    probe_ = std::make_unique<TVaultMigrationManagerProbe>(*engine_);
    probe_->setConnections(source_.connect(), dest_.connect());
  }

  void fillSource(int rows) {
    source_.execScript(
        "set term ^;\nexecute block as declare i integer = 0; begin while (i < " +
        std::to_string(rows) +
        ") do begin insert into T (GUID, HRID) values (lpad(:i, 6, '0'), 'R' || :i); i = i + 1; "
        "end end^\nset term ;^");
  }

  std::vector<std::vector<std::string>> destRows(const std::string& columns) {
    db::Query q(probe_->dest());
    q.setSql("select " + columns + " from T order by GUID");
    q.open();
    std::vector<std::vector<std::string>> rows;
    for (; !q.eof(); q.next()) {
      std::vector<std::string> row;
      for (int i = 0; i < q.fieldCount(); ++i) {
        const db::Field f = q.field(i);
        row.push_back(f.isNull() ? "<null>" : f.asString());
      }
      rows.push_back(row);
    }
    return rows;
  }

  DeployedStatements statements_{false};
  TempDir dir_;
  TempFirebirdDatabase source_{"copy-source"};
  TempFirebirdDatabase dest_{"copy-dest"};
  std::vector<std::string> log_;
  std::vector<std::pair<std::string, int32_t>> progress_;
  std::unique_ptr<TVaultMigrationManager> engine_;
  std::unique_ptr<TVaultMigrationManagerProbe> probe_;
};

TEST_F(CopyTable, AColumnWithoutAParameterOfItsNameRefusesBeforeTheFirstRow) {
  source_.execScript("insert into T (GUID, HRID) values ('g1', 'h1');");
  try {
    probe_->copyTable("src_two", "dst_renamed", "Renamed");
    FAIL() << "no exception";
  } catch (const EMovrano& e) {
    EXPECT_STREQ(e.what(), "Could not find parameter HRID");
  }
  EXPECT_TRUE(destRows("GUID").empty());
}

TEST_F(CopyTable, CopiesValuesConvertsUserColumnsAndScopes) {
  source_.execScript(R"(
    insert into T values ('g1', 'h1', 5, 'u1', 'u2', null, null, x'', 'm1');
    insert into T values ('g2', 'h2', null, null, 'u1', 'scope', 'memo', x'0102', null);
  )");
  probe_->copyTable("src_fit", "dst_fit", "Fit", {"UserScope"}, true);

  // A user column spelt in another case is a plain value: NULL stays NULL.
  probe_->copyTable("src_mixed", "dst_mixed", "Mixed");
  EXPECT_EQ(destRows("GUID, HRID, QTY, CREATEDBYGUID, LASTMODIFIEDBYGUID, USERSCOPE, NOTE"),
            (std::vector<std::vector<std::string>>{
                {"g1", "h1", "5", "u1", "u2", DefaultOrganisationGUID, ""},
                {"g1x", "<null>", "<null>", "m1", "<null>", "<null>", "<null>"},
                {"g2", "h2", "<null>", "", "u1", DefaultOrganisationGUID, "memo"},
                {"g2x", "<null>", "<null>", "<null>", "<null>", "<null>", "<null>"}}));
  db::Query q(probe_->dest());
  q.setSql("select DATA from T where GUID in ('g1', 'g2') order by GUID");
  q.open();
  EXPECT_TRUE(q.field(0).isNull());  // a zero-length BLOB becomes NULL
  q.next();
  EXPECT_EQ(q.field(0).asBytes(), (db::Bytes{1, 2}));
  // Only the upper-case user columns are collected, each GUID once.
  EXPECT_EQ(probe_->requiredUserKeys(), (std::vector<std::string>{"u1", "u2"}));
  EXPECT_EQ(probe_->copiedItems(), 4);
  EXPECT_EQ(log_, (std::vector<std::string>{"Start copy Fit", "Start copy Mixed"}));
}

TEST_F(CopyTable, EveryValueArrivesUnchanged) {
  source_.execScript(kExactTable);
  dest_.execScript(kExactTable);
  dest_.execScript("delete from EXACT;");
  // A BLOB of a few MiB with every byte value, to go beside the small one.
  {
    db::Bytes big(3 * 1048576 + 5);
    for (size_t i = 0; i < big.size(); ++i)
      big[i] = static_cast<uint8_t>(i * 7 + i / 256);
    db::Query q(probe_->source());
    q.setSql("update EXACT set DATA = :d where ID = 3");
    q.paramByName("d").setBlob(big);
    q.execSql();
  }
  probe_->copyTable("src_exact", "dst_exact", "Exact");
  EXPECT_EQ(probe_->copiedItems(), 4);

  // Each value as this layer reads it and as the server prints it.
  const std::string select =
      "select EXACT.*, cast(N4 as varchar(60)), cast(N9 as varchar(60)), "
      "cast(N18 as varchar(60)), cast(D18 as varchar(60)), cast(TS as varchar(60)), "
      "cast(TM as varchar(60)), cast(DT as varchar(60)) from EXACT order by ID";
  db::Query src(probe_->source());
  src.setSql(select);
  db::Query dst(probe_->dest());
  dst.setSql(select);
  int rows = 0;
  for (src.open(), dst.open(); !src.eof(); src.next(), dst.next(), ++rows) {
    ASSERT_FALSE(dst.eof());
    for (int i = 0; i < src.fieldCount(); ++i) {
      const db::Variant& a = src.field(i).value();
      const db::Variant& b = dst.field(i).value();
      if (src.field(i).name() == "NOTE" && a.isNull()) {
        EXPECT_EQ(b, db::Variant("")) << "row " << rows + 1;  // a NULL memo arrives as ""
        continue;
      }
      EXPECT_TRUE(a == b) << "row " << rows + 1 << ", column " << i;
      EXPECT_EQ(a.type(), b.type()) << "row " << rows + 1 << ", column " << i;
      if (!a.isNull() && !a.isBytes()) {
        EXPECT_EQ(src.field(i).asString(), dst.field(i).asString()) << "column " << i;
      }
    }
  }
  EXPECT_TRUE(dst.eof());
  EXPECT_EQ(rows, 4);
  // Spot checks that the source itself reads exactly.
  src.first();
  EXPECT_EQ(src.fieldByName("N18").asString(), "12345678901234.5678");
  EXPECT_EQ(src.fieldByName("TS").asString(), "2024-03-05 14:07:09.1234");
  EXPECT_EQ(src.fieldByName("DBL").asString(), "0.30000000000000004");
}

TEST_F(CopyTable, TheFailureLineShowsValuesExactly) {
  source_.execScript(kExactTable);
  dest_.execScript(kExactTable);
  source_.execScript("delete from EXACT where ID <> 1;");
  EXPECT_THROW(probe_->copyTable("src_exact", "dst_exact", "Exact"), db::EDatabaseError);
  EXPECT_EQ(log_.back(),
            "Error inserting ID=1, N4=99.99, N9=999999.999, N18=12345678901234.5678, "
            "D18=0.123456789012345678, TS=2024-03-05 14:07:09.1234, TM=1899-12-30 23:59:59.9999, "
            "DT=2024-02-29 00:00:00, DBL=0.30000000000000004, DATA=, NOTE=Grüße, ");
}

TEST_F(CopyTable, AnEmptyTableIsLoggedAndCountsNothingButAMismatchStillRefuses) {
  probe_->copyTable("src_two", "dst_two", "Empty");
  EXPECT_EQ(log_, (std::vector<std::string>{"Start copy Empty", "Empty table Empty"}));
  EXPECT_EQ(probe_->copiedItems(), 0);
  try {
    probe_->copyTable("src_two", "dst_three", "Mismatch");
    FAIL() << "no exception";
  } catch (const EMovrano& e) {
    EXPECT_STREQ(e.what(), "Diffrenet parameters number in Mismatch");
  }
  EXPECT_TRUE(progress_.empty());
}

TEST_F(CopyTable, AFailingInsertLogsTheSourceRowAndPassesTheDatabaseErrorOn) {
  source_.execScript("insert into T (GUID, HRID) values ('g1', 'h1');");
  dest_.execScript("insert into T (GUID, HRID) values ('g1', 'taken');");
  try {
    probe_->copyTable("src_two", "dst_two", "Clash");
    FAIL() << "no exception";
  } catch (const db::EDatabaseError& e) {
    EXPECT_NE(std::string(e.what()).find("PRIMARY"), std::string::npos) << e.what();
  }
  EXPECT_EQ(log_.back(), "Error inserting GUID=g1, HRID=h1, ");
  EXPECT_EQ(probe_->copiedItems(), 0);
}

TEST_F(CopyTable, TheFailureLineShowsBinaryBlobsByTheirSize) {
  source_.execScript(
      "insert into T (GUID, HRID, NOTE, DATA) values ('g1', null, 'memo', x'00FF10');");
  dest_.execScript("insert into T (GUID) values ('g1');");
  EXPECT_THROW(probe_->copyTable("src_fit", "dst_fit", "Fit"), db::EDatabaseError);
  EXPECT_EQ(log_.back(),
            "Error inserting Guid=g1, HRID=, QTY=, CREATEDBYGUID=, LASTMODIFIEDBYGUID=, "
            "UserScope=, NOTE=memo, DATA=(BLOB, 3 bytes), ");
}

TEST_F(CopyTable, ReportsProgressEvery200RowsOfTheWholeRun) {
  struct Case {
    int32_t total;
    int rowsFirst, rowsSecond;
    std::vector<std::pair<std::string, int32_t>> expected;
  };
  const Case cases[] = {
      {1000, 201, 0, {{"Copying data from First", 20}}},
      {150, 150, 250, {{"Copying data from Second", 133}, {"Copying data from Second", 266}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.total);
    newEngine();
    progress_.clear();
    probe_->setTotalItems(c.total);
    fillSource(c.rowsFirst);
    probe_->copyTable("src_two", "dst_two", "First");
    dest_.execScript("delete from T;");
    source_.execScript("delete from T;");
    if (c.rowsSecond > 0) {
      fillSource(c.rowsSecond);
      probe_->copyTable("src_two", "dst_two", "Second");
      dest_.execScript("delete from T;");
      source_.execScript("delete from T;");
    }
    EXPECT_EQ(progress_, c.expected);
  }
}

}  // namespace
}  // namespace movrano::testing
