// An offline Solo Vault migration of a generated vault (5,000 folders and
// 5,000 data folders in realistic trees, about 120,000 rows in all) against
// the raw cursor-and-insert loop over the same rows into a fresh server
// vault of the same kind, and the ratio of the two (the migration's share
// of the raw loop's pace). Rounds alternate which side runs first.
// The raw loop reads the folder tables in the order they were written
// (parents first), so the ratio shows what the folder statements cost.
// Usage: migration_bench [rounds] [--old-statements] [--folders N]
//   --old-statements  also times the folder statements that joined every row
//                     to the walk (about a minute each at 5,000 rows)
//   --folders N       only times the folder statements, on N folders and N
//                     data folders
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BenchRounds.h"
#include "RawFirebirdCopy.h"
#include "db/NamedParams.h"
#include "db/Query.h"
#include "engine/CopyPlans.h"
#include "engine/EngineHarness.h"
#include "services/IDS.h"
#include "statements/uSQLManager.h"
#include "statements/uSQLUtils.h"
#include "support/vaults/FolderTree.h"
#include "support/vaults/SampleVault.h"

using namespace movrano;
using namespace movrano::testing;

namespace {

constexpr int kFolderCount = 5000;
constexpr int kDataFolderCount = 5000;
constexpr const char* kUser = "'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f601'";

std::string NewGuid() {
  return "'{' || UUID_TO_CHAR(GEN_UUID()) || '}'";
}

// The rest of the vault, made by the server below the generated folders:
// per folder two parameters, three items and one access row; per data
// folder four files; per item two revisions, each with one parameter.
std::vector<std::string> FillStatements() {
  const std::string g = NewGuid();
  const std::string u = kUser;
  return {
      "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 10) DO BEGIN "
      "INSERT INTO TLU_CONTENTTYPE (GUID, HRID, NAME, FILEEXTENSIONS, MIMETYPE, CREATEDAT, "
      "CREATEDBYGUID, LASTMODIFIEDAT) VALUES (" +
          g +
          ", 'CT-' || :I, 'Type ' || :I, '.t' || :I, 'application/x-t' || :I, "
          "CURRENT_TIMESTAMP, " +
          u +
          ", CURRENT_TIMESTAMP); "
          "INSERT INTO TLU_FOLDERTYPE (GUID, HRID, NAME, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) "
          "VALUES (" +
          g + ", 'FT-' || :I, 'Folder type ' || :I, CURRENT_TIMESTAMP, " + u +
          ", CURRENT_TIMESTAMP); I = I + 1; END END",
      "EXECUTE BLOCK AS DECLARE F VARCHAR(40); BEGIN FOR SELECT GUID FROM TLU_FOLDER INTO :F DO "
      "BEGIN "
      "INSERT INTO TLU_FOLDERPARAMETER (GUID, FOLDERGUID, PARAMETERNAME, PARAMETERVALUE, "
      "CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (" +
          g + ", :F, 'Owner', 'Design office', CURRENT_TIMESTAMP, " + u +
          ", CURRENT_TIMESTAMP); "
          "INSERT INTO TLU_FOLDERPARAMETER (GUID, FOLDERGUID, PARAMETERNAME, PARAMETERVALUE, "
          "CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (" +
          g + ", :F, 'Project', 'Project ' || :F, CURRENT_TIMESTAMP, " + u +
          ", CURRENT_TIMESTAMP); "
          "INSERT INTO ACLDATA (OBJECTGUID, SCOPETYPE, USERSCOPE, PERMISSIONS, ISINHERITED, "
          "CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (:F, 0, '', 1, 0, CURRENT_TIMESTAMP, " +
          u + ", CURRENT_TIMESTAMP); END END",
      "EXECUTE BLOCK AS DECLARE D VARCHAR(40); DECLARE CT VARCHAR(40); DECLARE N INTEGER = 0; "
      "DECLARE K INTEGER; BEGIN FOR SELECT GUID FROM TLU_DATAFOLDER INTO :D DO BEGIN "
      "K = 0; WHILE (K < 4) DO BEGIN N = N + 1; "
      "SELECT FIRST 1 SKIP (MOD(:N, 10)) GUID FROM TLU_CONTENTTYPE ORDER BY HRID INTO :CT; "
      "INSERT INTO TLU_DATAFILE (GUID, HRID, DATAFOLDERGUID, CONTENTTYPEGUID, FILENAME, FILESIZE, "
      "CHECKSUM, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (" +
          g +
          ", 'DF-' || :N, :D, :CT, 'File ' || :N || '.dat', 1000 + :N, "
          "'0123456789abcdef0123456789abcdef01234567', CURRENT_TIMESTAMP, " +
          u + ", CURRENT_TIMESTAMP); K = K + 1; END END END",
      "EXECUTE BLOCK AS DECLARE F VARCHAR(40); DECLARE CT VARCHAR(40); DECLARE N INTEGER = 0; "
      "DECLARE K INTEGER; BEGIN FOR SELECT GUID FROM TLU_FOLDER INTO :F DO BEGIN "
      "K = 0; WHILE (K < 3) DO BEGIN N = N + 1; "
      "SELECT FIRST 1 SKIP (MOD(:N, 10)) GUID FROM TLU_CONTENTTYPE ORDER BY HRID INTO :CT; "
      "INSERT INTO TLU_ITEM (GUID, HRID, FOLDERGUID, CONTENTTYPEGUID, DESCRIPTION, "
      "SHARINGCONTROL, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (" +
          g +
          ", 'IT-' || :N, :F, :CT, 'Item ' || :N || ' of the generated vault', 0, "
          "CURRENT_TIMESTAMP, " +
          u + ", CURRENT_TIMESTAMP); K = K + 1; END END END",
      "EXECUTE BLOCK AS DECLARE I VARCHAR(40); DECLARE R VARCHAR(40); DECLARE N INTEGER = 0; "
      "DECLARE K INTEGER; BEGIN FOR SELECT GUID FROM TLU_ITEM INTO :I DO BEGIN "
      "K = 0; WHILE (K < 2) DO BEGIN N = N + 1; R = " +
          g +
          "; "
          "INSERT INTO TLU_ITEMREVISION (GUID, HRID, ITEMGUID, REVISIONID, DESCRIPTION, "
          "CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (:R, 'IR-' || :N, :I, "
          "ASCII_CHAR(65 + :K), 'Revision ' || :N, CURRENT_TIMESTAMP, " +
          u +
          ", CURRENT_TIMESTAMP); "
          "INSERT INTO TLU_ITEMREVISIONPARAMETER (GUID, ITEMREVISIONGUID, PARAMETERNAME, "
          "PARAMETERVALUE, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES (" +
          g + ", :R, 'Weight', :N || ' g', CURRENT_TIMESTAMP, " + u +
          ", CURRENT_TIMESTAMP); K = K + 1; END END END",
  };
}

// The raw loop's steps: the plan's own statements, but the folder tables
// read as they lie, without any ordering work.
std::vector<bench::RawCopyStep> RawSteps() {
  std::vector<bench::RawCopyStep> steps;
  for (const TCopyStep& step : SoloCopyPlan()) {
    std::string select = SQLManager().FindSQL(step.source);
    if (std::strcmp(step.source, "sql_source_folders") == 0) {
      select =
          "SELECT GUID, HRID, PARENTFOLDERGUID, FOLDERTYPEGUID, NAME, DESCRIPTION, ISHIDDEN, "
          "SORTORDER, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT, LASTMODIFIEDBYGUID FROM TLU_FOLDER";
    } else if (std::strcmp(step.source, "sql_source_datafolder") == 0) {
      select =
          "SELECT GUID, HRID, PARENTDATAFOLDERGUID, NAME, RELATIVEPATH, CREATEDAT, CREATEDBYGUID, "
          "LASTMODIFIEDAT, LASTMODIFIEDBYGUID FROM TLU_DATAFOLDER";
    }
    steps.push_back({select, db::ParseNamedParams(SQLManager().FindSQL(step.dest)).positionalSql});
  }
  return steps;
}

// The folder statements as they were: every row joined to the walk.
constexpr const char* kOldFolders =
    "WITH RECURSIVE TREE (GUID, DEPTH) AS (SELECT P.GUID, 0 FROM TLU_FOLDER P WHERE "
    "P.PARENTFOLDERGUID IS NULL OR P.PARENTFOLDERGUID = P.GUID UNION ALL SELECT C.GUID, T.DEPTH + "
    "1 "
    "FROM TLU_FOLDER C JOIN TREE T ON C.PARENTFOLDERGUID = T.GUID WHERE C.GUID <> "
    "C.PARENTFOLDERGUID) SELECT S.GUID, S.HRID, S.PARENTFOLDERGUID, S.FOLDERTYPEGUID, S.NAME, "
    "S.DESCRIPTION, S.ISHIDDEN, S.SORTORDER, S.CREATEDAT, S.CREATEDBYGUID, S.LASTMODIFIEDAT, "
    "S.LASTMODIFIEDBYGUID FROM TLU_FOLDER S LEFT JOIN TREE T ON T.GUID = S.GUID ORDER BY T.DEPTH "
    "NULLS LAST, S.GUID";
constexpr const char* kOldDataFolders =
    "WITH RECURSIVE TREE (GUID, DEPTH) AS (SELECT P.GUID, 0 FROM TLU_DATAFOLDER P WHERE "
    "P.PARENTDATAFOLDERGUID IS NULL OR P.PARENTDATAFOLDERGUID = P.GUID UNION ALL SELECT C.GUID, "
    "T.DEPTH + 1 FROM TLU_DATAFOLDER C JOIN TREE T ON C.PARENTDATAFOLDERGUID = T.GUID WHERE C.GUID "
    "<> C.PARENTDATAFOLDERGUID) SELECT S.GUID, S.HRID, S.PARENTDATAFOLDERGUID, S.NAME, "
    "S.RELATIVEPATH, S.CREATEDAT, S.CREATEDBYGUID, S.LASTMODIFIEDAT, S.LASTMODIFIEDBYGUID FROM "
    "TLU_DATAFOLDER S LEFT JOIN TREE T ON T.GUID = S.GUID ORDER BY T.DEPTH NULLS LAST, S.GUID";

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Opens the query and reads every row; the rows and the seconds.
std::pair<int, double> ReadAll(db::Query& q) {
  const auto start = std::chrono::steady_clock::now();
  int rows = 0;
  for (q.open(); !q.eof(); q.next())
    ++rows;
  return {rows, Seconds(start)};
}

void AddFolderTrees(const SampleVault& vault, int folders, int dataFolders) {
  auto c = vault.connect();
  InsertFolderTree(*c, kFolders, RealisticFolderTree(folders, 1));
  InsertFolderTree(*c, kDataFolders, RealisticFolderTree(dataFolders, 2));
}

void TimeFolderStatements(const SampleVault& source, int folders, int dataFolders, bool old) {
  auto c = source.connect();
  std::printf("\nfolder statements on %d folders and %d data folders\n", folders, dataFolders);
  for (const auto& [name, oldSql] : {std::pair{"sql_source_folders", kOldFolders},
                                     std::pair{"sql_source_datafolder", kOldDataFolders}}) {
    const auto [rows, seconds] = ReadAll(*CreateQuery(*c, name));
    std::printf("  %-22s now: %6d rows in %8.3f s\n", name, rows, seconds);
    if (!old) continue;
    db::Query q(*c);
    q.setSql(oldSql);
    const auto [oldRows, oldSeconds] = ReadAll(q);
    std::printf("  %-22s old: %6d rows in %8.3f s\n", name, oldRows, oldSeconds);
  }
}

int64_t PlanRows(const SampleVault& vault) {
  auto c = vault.connect();
  int64_t rows = 0;
  for (const TCopyStep& step : SoloCopyPlan()) {
    db::Query q(*c);
    q.setSql(std::string("SELECT COUNT(*) FROM (") + SQLManager().FindSQL(step.source) + ")");
    q.open();
    rows += q.field(0).asInteger();
  }
  return rows;
}

struct Migrated {
  double seconds = 0;
  double cpuSeconds = 0;
  std::vector<double> stepSeconds;  // from each "Start copy" line to the next line of a step
};

Migrated Migrate(const SampleVault& source, const SampleVault& dest) {
  RunRequest r = VaultRunRequest(TMigrationMode::mmSVSToTVSOffline, source, dest);
  r.waitLimit = std::chrono::hours(1);  // a large vault on a slow machine
  Migrated m;
  std::chrono::steady_clock::time_point stepStart;
  bool inStep = false;
  r.onLine = [&](const std::string& line, TMigrationThread&) {
    const auto now = std::chrono::steady_clock::now();
    if (inStep) m.stepSeconds.push_back(std::chrono::duration<double>(now - stepStart).count());
    inStep = line.rfind("Start copy ", 0) == 0;
    stepStart = now;
  };
  const double cpu = bench::CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const RunResult run = RunMigration(r);
  m.seconds = Seconds(start);
  m.cpuSeconds = bench::CpuSeconds() - cpu;
  if (!run.succeeded()) {
    for (const std::string& line : run.lines)
      std::fprintf(stderr, "%s\n", line.c_str());
    throw std::runtime_error("the migration failed");
  }
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each round as it ends, also into a file
  int rounds = 3;
  bool old = false;
  int statementFolders = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--old-statements") == 0) {
      old = true;
    } else if (std::strcmp(argv[i], "--folders") == 0 && i + 1 < argc) {
      statementFolders = std::max(1, std::atoi(argv[++i]));
    } else {
      rounds = std::max(1, std::atoi(argv[i]));
    }
  }
  try {
    TestPlatform platform;
    DeployedStatements statements;
    RegisterIDSTypes();

    if (statementFolders > 0) {
      SampleVault vault(VaultEdition::Solo, FreshInstall());
      AddFolderTrees(vault, statementFolders, statementFolders);
      TimeFolderStatements(vault, statementFolders, statementFolders, old);
      return 0;
    }

    auto start = std::chrono::steady_clock::now();
    SampleVault source(VaultEdition::Solo, FreshInstall());
    AddFolderTrees(source, kFolderCount, kDataFolderCount);
    {
      auto c = source.connect();
      c->startTransaction();
      for (const std::string& sql : FillStatements())
        c->executeDirect(sql);
      c->commit();
    }
    const int64_t rows = PlanRows(source);
    std::printf("generated vault: %lld rows for the plan's %zu steps in %.1f s\n",
                static_cast<long long>(rows), SoloCopyPlan().size(), Seconds(start));
    TimeFolderStatements(source, kFolderCount, kDataFolderCount, old);

    const std::vector<bench::RawCopyStep> steps = RawSteps();
    bench::RoundRates rates;
    for (int round = 0; round < rounds; ++round) {
      SampleVault rawDest(VaultEdition::Server, FreshInstall());
      SampleVault engineDest(VaultEdition::Server, FreshInstall());
      const bool engineFirst = round % 2 == 1;
      Migrated engine;
      if (engineFirst) engine = Migrate(source, engineDest);
      const double cpu = bench::CpuSeconds();
      const bench::RawCopyResult raw =
          bench::RawCopySteps(source.databaseFile(), rawDest.databaseFile(), steps);
      const double rawCpuSeconds = bench::CpuSeconds() - cpu;
      if (!engineFirst) engine = Migrate(source, engineDest);
      const double engineSeconds = engine.seconds;
      if (raw.rows != rows) {
        std::fprintf(stderr, "the raw loop copied %d of %lld rows\n", raw.rows,
                     static_cast<long long>(rows));
        return 1;
      }
      std::printf("round %d of %d (%s first)\n", round + 1, rounds,
                  engineFirst ? "migration" : "raw loop");
      std::printf("  raw read+insert loop: %7.2f s (%6.0f rows/s)\n", raw.seconds,
                  rows / raw.seconds);
      std::printf("  offline migration:    %7.2f s (%6.0f rows/s)\n", engineSeconds,
                  rows / engineSeconds);
      std::printf("  ratio (migration / raw pace): %.3f\n", raw.seconds / engineSeconds);
      // The server's work is the same for both; this is what the program adds.
      std::printf("  client CPU per row: raw %.1f us, migration %.1f us\n",
                  rawCpuSeconds / rows * 1e6, engine.cpuSeconds / rows * 1e6);
      rates.add(rows / raw.seconds, rows / engineSeconds);
      if (round == 0 && engine.stepSeconds.size() == raw.stepSeconds.size()) {
        std::printf("  %-28s %8s %8s\n", "step", "raw s", "ours s");
        for (size_t i = 0; i < raw.stepSeconds.size(); ++i) {
          std::printf("  %-28s %8.2f %8.2f\n", SoloCopyPlan()[i].caption, raw.stepSeconds[i],
                      engine.stepSeconds[i]);
        }
      }
    }
    rates.print("raw read+insert loop", "offline migration");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
