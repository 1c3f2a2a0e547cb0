// Copies rows holding 20 MB BLOBs through the engine's CopyTable and prints
// the peak resident memory above the process's base, in MB and in copies
// of the largest BLOB (goal: at most two).
// Usage: blob_copy_bench [rows [megabytes [rounds]]]
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "BenchRounds.h"
#include "EngineBench.h"
#include "db/Query.h"
#include "engine/EngineProbe.h"
#include "services/IDS.h"
#include "statements/uSQLManager.h"
#include "support/db/FirebirdFixture.h"

using namespace movrano;

namespace {

constexpr const char* kCreate =
    "create table BLOB_ITEM (ID integer not null primary key, NAME varchar(100), "
    "DATA blob sub_type binary);";

constexpr const char* kStatements =
    "--$blob_source\n"
    "select ID, NAME, DATA from BLOB_ITEM order by ID\n"
    "--$blob_dest\n"
    "insert into BLOB_ITEM (ID, NAME, DATA) values (:ID, :NAME, :DATA)\n";

void Fill(const testing::TempFirebirdDatabase& source, int rows, size_t bytes) {
  auto c = source.connect();
  c->startTransaction();
  db::Query q(*c);
  q.setSql("insert into BLOB_ITEM (ID, NAME, DATA) values (:id, :name, :data)");
  for (int i = 0; i < rows; ++i) {
    db::Bytes data(bytes);
    for (size_t b = 0; b < data.size(); ++b)
      data[b] = static_cast<uint8_t>(b * 31 + i);
    q.paramByName("id").setInteger(i + 1);
    q.paramByName("name").setText("row " + std::to_string(i + 1));
    q.paramByName("data").setBlob(std::move(data));
    q.execSql();
  }
  c->commit();
}

int64_t TotalBytes(const testing::TempFirebirdDatabase& database) {
  auto c = database.connect();
  db::Query q(*c);
  q.setSql("select count(*), sum(octet_length(DATA)) from BLOB_ITEM");
  q.open();
  return q.field(1).value().toInt64();
}

struct Measured {
  double seconds = 0;
  long baseKb = 0;
  long peakKb = 0;
  int rows = 0;
};

Measured EngineCopy(const testing::TempFirebirdDatabase& source,
                    const testing::TempFirebirdDatabase& dest) {
  MigrationRequest request;
  request.MigrationMode = TMigrationMode::mmSVSToTVSOffline;
  request.LogProc = [](const std::string&) {};
  request.ProgressEvent = [](const std::string&, int32_t) {};
  TVaultMigrationManager engine(std::move(request));
  TVaultMigrationManagerProbe p(engine);
  p.setConnections(source.connect(), dest.connect());
  Measured m;
  malloc_trim(0);  // what an earlier round freed would hide this round's peak
  bench::ResetPeak();
  m.baseKb = bench::ReadMemory().rssKb;
  const auto start = std::chrono::steady_clock::now();
  p.dest().startTransaction();
  p.copyTable("blob_source", "blob_dest", "BLOB_ITEM");
  p.dest().commit();
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.peakKb = bench::ReadMemory().peakKb;
  m.rows = p.copiedItems();
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
  const size_t megabytes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  const size_t blobBytes = megabytes * 1000 * 1000;

  SQLManagerScope catalogue;
  bench::LoadBenchStatements("blob-copy-bench.sql", kStatements);

  testing::TempFirebirdDatabase source("bench-blob-source");
  source.execScript(kCreate);
  Fill(source, rows, blobBytes);
  const int64_t sourceBytes = TotalBytes(source);
  std::printf("source: %d rows of %zu MB BLOBs\n", rows, megabytes);
  if (!bench::ResetPeak()) std::printf("peak memory cannot be reset here: figures are too high\n");

  std::vector<double> copies;
  for (int round = 0; round < rounds; ++round) {
    testing::TempFirebirdDatabase dest("bench-blob-dest");
    dest.execScript(kCreate);
    const Measured m = EngineCopy(source, dest);
    if (m.rows != rows || TotalBytes(dest) != sourceBytes) {
      std::fprintf(stderr, "the copy differs from the source\n");
      return 1;
    }
    const double aboveMb = (m.peakKb - m.baseKb) / 1024.0;
    const double blobMb = blobBytes / 1048576.0;
    copies.push_back(aboveMb / blobMb);
    std::printf(
        "round %d of %d: %.2f s, base %ld kB, peak %ld kB, above base %.1f MB = %.2f BLOBs\n",
        round + 1, rounds, m.seconds, m.baseKb, m.peakKb, aboveMb, aboveMb / blobMb);
  }
  std::printf(
      "\npeak above base, median of %d rounds: %.2f copies of the largest BLOB "
      "(goal <= 2)\n",
      rounds, bench::Median(copies));
  return 0;
}
