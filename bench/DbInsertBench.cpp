// Inserts the same 100k vault rows through the raw client loop and through
// Query, and prints both rates and their ratio (the layer's share). Rounds
// alternate which loop runs first; the medians are printed.
// Usage: db_insert_bench [rows [rounds]]; LAYER_FIRST=1 runs Query first in
// the first round.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchRounds.h"
#include "RawFirebirdInsert.h"
#include "db/Query.h"
#include "support/db/FirebirdFixture.h"

using namespace movrano;

namespace {

double QueryInsertLoop(db::Connection& c, int rows) {
  const auto start = std::chrono::steady_clock::now();
  c.startTransaction();
  db::Query q(c);
  q.setSql(
      "insert into BENCH_ITEM (GUID, HRID, CREATEDBYGUID, LASTMODIFIEDBYGUID, CREATED, "
      "DESCRIPTION) values (:GUID, :HRID, :CREATEDBYGUID, :LASTMODIFIEDBYGUID, :CREATED, "
      ":DESCRIPTION)");
  q.prepare();
  db::Param& guid = q.paramByName("GUID");
  db::Param& hrid = q.paramByName("HRID");
  db::Param& createdBy = q.paramByName("CREATEDBYGUID");
  db::Param& modifiedBy = q.paramByName("LASTMODIFIEDBYGUID");
  db::Param& created = q.paramByName("CREATED");
  db::Param& description = q.paramByName("DESCRIPTION");
  for (int i = 0; i < rows; ++i) {
    guid.setText(bench::RowGuid(i));
    hrid.setText(bench::RowHrid(i));
    createdBy.setText(bench::RowUserGuid(i));
    modifiedBy.setText(bench::RowUserGuid(i + 3));
    created.setDateTime(db::DateTime::FromMilliseconds(
        (60000LL + i % 1000 - 15018) * db::DateTime::kMsPerDay + i / 10));
    const std::string text = bench::RowDescription(i);
    description.setBlob(db::Bytes(text.begin(), text.end()), db::FieldType::WideMemo);
    q.execSql();
  }
  c.commit();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const bool layerFirst = std::getenv("LAYER_FIRST") != nullptr;
  bench::RoundRates rates;
  for (int round = 0; round < rounds; ++round) {
    testing::TempFirebirdDatabase rawDb("bench-raw");
    testing::TempFirebirdDatabase layerDb("bench-layer");
    rawDb.execScript(std::string(bench::VaultRowTable::kCreate) + ";");
    layerDb.execScript(std::string(bench::VaultRowTable::kCreate) + ";");
    auto c = layerDb.connect();
    const bool queryFirst = layerFirst != (round % 2 == 1);
    double layer = queryFirst ? QueryInsertLoop(*c, rows) : 0;
    const double raw = bench::RawInsertLoop(rawDb.path(), rows);
    if (!queryFirst) layer = QueryInsertLoop(*c, rows);
    rates.add(rows / raw, rows / layer);
    std::printf("round %d of %d (%s first): raw %.0f rows/s, Query %.0f rows/s, ratio %.3f\n",
                round + 1, rounds, queryFirst ? "Query" : "raw loop", rows / raw, rows / layer,
                raw / layer);
  }
  std::printf("\nrows: %d\n", rows);
  rates.print("raw client loop", "Query");
  return 0;
}
