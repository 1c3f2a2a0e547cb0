// Copies the same 100k vault rows through the engine's CopyTable and
// through a raw cursor-and-insert loop, and prints both rates, their ratio
// (the engine's share) and the peak memory as the copy goes on, which must
// stay flat however long the table is.
// Rounds alternate which copy runs first and the median ratio is printed.
// Usage: copy_table_bench [rows [rounds]]; COPY_FIRST=1 runs CopyTable first
// in the first round.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "BenchRounds.h"
#include "EngineBench.h"
#include "RawFirebirdCopy.h"
#include "RawFirebirdInsert.h"
#include "db/Query.h"
#include "engine/EngineProbe.h"
#include "services/IDS.h"
#include "statements/uSQLManager.h"
#include "support/db/FirebirdFixture.h"

using namespace movrano;

namespace {

constexpr const char* kStatements =
    "--$bench_source\n"
    "select GUID, HRID, CREATEDBYGUID, LASTMODIFIEDBYGUID, CREATED, DESCRIPTION from BENCH_ITEM\n"
    "--$bench_dest\n"
    "insert into BENCH_ITEM (GUID, HRID, CREATEDBYGUID, LASTMODIFIEDBYGUID, CREATED, DESCRIPTION)\n"
    "values (:GUID, :HRID, :CREATEDBYGUID, :LASTMODIFIEDBYGUID, :CREATED, :DESCRIPTION)\n";

using bench::CpuSeconds;
using bench::Memory;
using bench::ReadMemory;
using bench::ResetPeak;

struct Sample {
  int rows;
  Memory memory;
};

struct Measured {
  double seconds = 0;
  double cpuSeconds = 0;
  int rows = 0;
  Memory start;
  std::vector<Sample> samples;
};

Measured RawCopy(const std::string& source, const std::string& dest, int every) {
  Measured m;
  ResetPeak();
  m.start = ReadMemory();
  const double cpu = CpuSeconds();
  const bench::RawCopyResult r = bench::RawCopyLoop(source, dest, every, [&](int rows) {
    m.samples.push_back({rows, ReadMemory()});
  });
  m.cpuSeconds = CpuSeconds() - cpu;
  m.seconds = r.seconds;
  m.rows = r.rows;
  return m;
}

Measured EngineCopy(const testing::TempFirebirdDatabase& source,
                    const testing::TempFirebirdDatabase& dest, int rows, int every) {
  Measured m;
  TVaultMigrationManagerProbe* probe = nullptr;
  MigrationRequest request;
  request.MigrationMode = TMigrationMode::mmSVSToTVSOffline;
  request.LogProc = [](const std::string&) {};
  request.ProgressEvent = [&](const std::string&, int32_t) {
    if (probe->copiedItems() % every == 0) {
      m.samples.push_back({probe->copiedItems(), ReadMemory()});
    }
  };
  TVaultMigrationManager engine(std::move(request));
  TVaultMigrationManagerProbe p(engine);
  probe = &p;
  p.setConnections(source.connect(), dest.connect());
  p.setTotalItems(rows);

  ResetPeak();
  m.start = ReadMemory();
  const double cpu = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  p.dest().startTransaction();
  p.copyTable("bench_source", "bench_dest", "BENCH_ITEM");
  p.dest().commit();
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.cpuSeconds = CpuSeconds() - cpu;
  m.rows = p.copiedItems();
  return m;
}

int CountRows(const testing::TempFirebirdDatabase& database) {
  auto c = database.connect();
  db::Query q(*c);
  q.setSql("select count(*) from BENCH_ITEM");
  q.open();
  return q.field(0).asInteger();
}

const Memory* MemoryAt(const Measured& m, int rows) {
  for (const Sample& s : m.samples) {
    if (s.rows == rows) return &s.memory;
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  if (rows < 200) {
    std::fprintf(stderr, "at least 200 rows\n");
    return 2;
  }
  // Progress reports come every 200 rows; sample memory at ten of them.
  const int every = std::max(200, rows / 10 / 200 * 200);
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const bool copyFirst = std::getenv("COPY_FIRST") != nullptr;

  SQLManagerScope catalogue;
  bench::LoadBenchStatements("copy-table-bench.sql", kStatements);

  testing::TempFirebirdDatabase source("bench-copy-source");
  source.execScript(std::string(bench::VaultRowTable::kCreate) + ";");
  const double fill = bench::RawInsertLoop(source.path(), rows);
  std::printf("source filled with %d rows in %.2f s\n", rows, fill);

  Measured engine;
  Measured raw;
  bench::RoundRates rates;
  for (int round = 0; round < rounds; ++round) {
    testing::TempFirebirdDatabase rawDest("bench-copy-raw");
    testing::TempFirebirdDatabase engineDest("bench-copy-engine");
    rawDest.execScript(std::string(bench::VaultRowTable::kCreate) + ";");
    engineDest.execScript(std::string(bench::VaultRowTable::kCreate) + ";");
    const bool engineFirst = copyFirst != (round % 2 == 1);
    Measured e;
    Measured r;
    if (engineFirst) e = EngineCopy(source, engineDest, rows, every);
    r = RawCopy(source.path(), rawDest.path(), every);
    if (!engineFirst) e = EngineCopy(source, engineDest, rows, every);

    const int rawCount = CountRows(rawDest);
    const int engineCount = CountRows(engineDest);
    if (r.rows != rows || e.rows != rows || rawCount != rows || engineCount != rows) {
      std::fprintf(stderr, "copied rows differ: raw %d (table %d), CopyTable %d (table %d)\n",
                   r.rows, rawCount, e.rows, engineCount);
      return 1;
    }
    const double rawRate = rows / r.seconds;
    const double engineRate = rows / e.seconds;
    std::printf("round %d of %d (%s first), %d rows\n", round + 1, rounds,
                engineFirst ? "CopyTable" : "raw loop", rows);
    std::printf("  raw read+insert loop: %8.0f rows/s (%.2f s)\n", rawRate, r.seconds);
    std::printf("  CopyTable:            %8.0f rows/s (%.2f s)\n", engineRate, e.seconds);
    std::printf("  ratio (CopyTable / raw): %.3f\n", engineRate / rawRate);
    // The server's work is the same for both; this is what the engine adds.
    std::printf("  client CPU per row: raw %.1f us, CopyTable %.1f us\n", r.cpuSeconds / rows * 1e6,
                e.cpuSeconds / rows * 1e6);
    rates.add(rawRate, engineRate);
    if (round == 0) {
      engine = e;
      raw = r;
    }
  }
  rates.print("raw read+insert loop", "CopyTable");
  std::printf("\nmemory in round 1 (kB; peak = VmHWM %s)\n",
              ResetPeak() ? "since the loop began" : "of the process, not resettable here");
  std::printf("%12s  %12s %12s  %12s %12s\n", "rows copied", "CopyTable RSS", "peak", "raw RSS",
              "peak");
  std::printf("%12d  %12ld %12ld  %12ld %12ld\n", 0, engine.start.rssKb, engine.start.peakKb,
              raw.start.rssKb, raw.start.peakKb);
  for (const Sample& s : engine.samples) {
    const Memory* r = MemoryAt(raw, s.rows);
    std::printf("%12d  %12ld %12ld  %12ld %12ld\n", s.rows, s.memory.rssKb, s.memory.peakKb,
                r ? r->rssKb : 0, r ? r->peakKb : 0);
  }
  const Memory* first = MemoryAt(engine, every);
  const Memory* last = MemoryAt(engine, rows / every * every);
  if (first && last) {
    std::printf("CopyTable peak after %d rows: %ld kB, after %d rows: %ld kB (%+ld kB)\n", every,
                first->peakKb, rows / every * every, last->peakKb, last->peakKb - first->peakKb);
  }
  return 0;
}
