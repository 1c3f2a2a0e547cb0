// The move of a server vault from Firebird to Oracle, end to end through the
// worker: a real Firebird source, the old server's backup tool and
// uninstaller started for real as small scripts in folders with blanks that
// record their arguments (their effects played by the test), the new
// server's installer played from its command line, and the new server
// vault on a stand-in Oracle schema.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>

#include "db/Query.h"
#include "db/oracle/OracleDriver.h"
#include "engine/EngineHarness.h"
#include "platform/CommandLine.h"
#include "platform/FolderLock.h"
#include "platform/Processes.h"
#include "platform/Version.h"
#include "services/IDS.h"
#include "support/db/OracleSchemaFile.h"
#include "support/platform/PeFixture.h"
#include "support/platform/TempDir.h"
#include "support/vaults/PlanTables.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"
#include "support/vaults/oracle/OracleSchema.h"

namespace movrano::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kVaultVersion = "ZaredorEvovu-1.0.1";
constexpr const char* kMarker = "installer marker";
constexpr const char* kRestoreNote = "The old Tavrin Vault's data to restore it from:";
constexpr const char* kNoteFileName = "MovranoRestoreNote.txt";
constexpr const char* kNoteWritten = "Restore note written to ";
// The database file is the server's user's alone: only root copies it.
constexpr const char* kBackupCopyNeedsRoot =
    "needs root: the backup copy reads a database file that only the server's user can read";

// Item revision links with quantities at the limits of NUMERIC(18,4).
const std::pair<std::string, db::Decimal> kEdgeQuantities[] = {
    {"{EDGE-LINK-1}", {123456789012345678, 4}},
    {"{EDGE-LINK-2}", {-1, 4}},
    {"{EDGE-LINK-3}", {999999999999999999, 4}},
    {"{EDGE-LINK-4}", {-999999999999999999, 4}},
};

bool IsVersionTable(const std::string& table) {
  return SameText(table, "TBL_VERSION") || SameText(table, "TBL_VERSION2");
}

bool Holds(const std::vector<std::string>& names, const std::string& name) {
  for (const auto& n : names) {
    if (SameText(n, name)) return true;
  }
  return false;
}

std::string Export(const std::string& body) {
  return "Windows Registry Editor Version 5.00\n\n" + body;
}

std::string TavrinVaultKey(const std::string& vaultFolder) {
  return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\Tavrin Vault\\Vault]\n\"Path\"=\"" + vaultFolder +
         "\"\n\n";
}

std::set<std::string> FilesBelow(const fs::path& root) {
  std::set<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file()) files.insert(fs::relative(e.path(), root).string());
  }
  return files;
}

// A source table's rows as the Oracle schema holds them once copied: a
// NOT NULL text left empty becomes one blank, any other empty text and
// every empty BLOB or memo become NULL (Oracle keeps the empty string as
// NULL).
TableRows AsCopiedToOracle(db::Connection& source, const std::string& table) {
  db::Query q(source);
  q.setSql("SELECT * FROM " + table);
  q.open();
  TableRows result;
  for (const auto& def : q.fieldDefs()) {
    result.columns.push_back(def.name);
    result.types.push_back(def.type);
  }
  for (; !q.eof(); q.next()) {
    Row row;
    for (int i = 0; i < q.fieldCount(); ++i) {
      const db::Field f = q.field(i);
      Cell cell;
      if (f.def().isBlob()) {
        const db::Bytes bytes = f.asBytes();
        if (!bytes.empty()) cell = std::string(bytes.begin(), bytes.end());
      } else if (db::IsTextType(f.def().type)) {
        const std::string text = f.asString();
        if (!text.empty()) {
          cell = text;
        } else if (f.def().required) {
          cell = " ";
        }
      } else if (!f.isNull()) {
        cell = f.value().toString();
      }
      row.push_back(std::move(cell));
    }
    result.rows.push_back(std::move(row));
  }
  std::sort(result.rows.begin(), result.rows.end());
  return result;
}

// A row in each cleared table that only the installer writes: every text
// "installer marker", so that the rows' references to each other hold.
void InsertMarker(db::Connection& c, const std::string& table) {
  db::Query columns(c);
  columns.setSql("Select * from \"" + table + "\"");
  columns.open();
  const std::vector<db::FieldDef> defs = columns.fieldDefs();
  columns.close();
  std::string names;
  std::string values;
  for (const auto& def : defs) {
    names += (names.empty() ? "\"" : ", \"") + def.name + "\"";
    values += (values.empty() ? ":" : ", :") + def.name;
  }
  db::Query insert(c);
  insert.setSql("INSERT INTO \"" + table + "\" (" + names + ") VALUES (" + values + ")");
  for (const auto& def : defs) {
    db::Param& p = insert.paramByName(def.name);
    if (def.type == db::FieldType::Blob) {
      p.setNull();
    } else if (db::IsTextType(def.type) || def.isBlob()) {
      const std::string marker = kMarker;
      p.setText(def.size > 0 ? marker.substr(0, def.size) : marker);
    } else if (def.type == db::FieldType::DateTime) {
      p.setDateTime(db::DateTime::FromParts(2024, 6, 1, 12, 0, 0));
    } else {
      p.setInteger(0);
    }
  }
  insert.execSql();
}

void InsertMarkers(const std::string& schemaFile) {
  const auto c = ConnectOracleSchema(schemaFile);
  const std::vector<std::string> present = c->tableNames();
  std::vector<std::string> pending;
  for (const auto& t : OracleClearedTables()) {
    for (const auto& name : present) {
      if (SameText(name, t)) pending.push_back(name);
    }
  }
  // A row whose parent has no marker yet waits for the next round.
  while (!pending.empty()) {
    std::vector<std::string> waiting;
    std::string problem;
    for (const auto& table : pending) {
      try {
        InsertMarker(*c, table);
      } catch (const db::EDatabaseError& e) {
        waiting.push_back(table);
        problem = e.what();
      }
    }
    if (waiting.size() == pending.size()) throw std::runtime_error("No marker fits: " + problem);
    pending = waiting;
  }
}

std::string VersionTableName(db::Connection& c, const std::string& table) {
  for (const auto& t : c.tableNames()) {
    if (SameText(t, table)) return t;
  }
  return table;
}

std::vector<std::string> CopyLines(const std::vector<std::string>& tables) {
  std::vector<std::string> lines;
  for (const auto& t : tables) {
    lines.push_back("Start Tavrin Vault database table \"" + t + "\" copying");
    lines.push_back("Tavrin Vault database table \"" + t + "\" copying finished");
  }
  return lines;
}

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A program of the vault product: a script that writes the arguments it
// was started with, one a line, into the file beside it named "<name>.args".
void WriteRecordingProgram(const fs::path& file) {
  fs::create_directories(file.parent_path());
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << "#!/bin/sh\n"
           ": > \"$0.args\"\n"
           "for a in \"$0\" \"$@\"; do printf '%s\\n' \"$a\" >> \"$0.args\"; done\n";
  }
  fs::permissions(file, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
}

std::vector<std::string> RecordedArguments(const std::string& program) {
  std::ifstream in(program + ".args");
  std::vector<std::string> argv;
  for (std::string line; std::getline(in, line);)
    argv.push_back(line);
  return argv;
}

class OracleMode : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterIDSTypes();
    WriteRecordingProgram(uninstaller_);
    WriteRecordingProgram(backupTool_);
    fs::create_directories(fs::path(backupFile_).parent_path());
    PeFixture setup;
    setup.productVersion = "zaredorevovu-1.0.1";
    fs::create_directories(fs::path(installer_).parent_path());
    WritePeFile(installer_, setup);
    CreateEmptyOracleSchema(schemaFile_);
    // The old server as its installer registered it.
    platform_.setRegistry(Export(TavrinVaultKey(source_.vaultFolder())));
    platform_.processes->handler = [this](const std::string& line) { return runProgram(line); };
    install_.afterwards = {
        "UPDATE TBL_VERSION SET UPDATEDAT = '2024-06-01 12:00:00'",
        "INSERT INTO TBL_VERSION2 (GUID, COMPONENT, VERSIONNUMBER, APPLIEDAT, NOTES) VALUES "
        "('{ORA-0001}', 'OracleSchema', '2.0.0.7', '2024-06-01 12:00:00', 'Oracle')",
    };
  }

  void recreateSchema(const std::string& user, const std::string& password) {
    fs::remove(schemaFile_);
    CreateOracleSchema(schemaFile_, kOracleSchemaName, {{user, password}});
  }

  // The old server is gone already: no uninstaller, no backup tool, and
  // the window found no uninstall command.
  void removeOldServer() {
    fs::remove_all(oldServer_);
    platform_.setRegistry(Export(""));
    uninstaller_.clear();
  }

  RunRequest request() const {
    RunRequest r;
    r.MigrationMode = TMigrationMode::mmTVSFirebirdToTVSOracle;
    r.SourceDatabaseFile = source_.databaseFile();
    r.SourceFileRepositoryPath = source_.fileStorageFolder();
    r.DestVaultPath = source_.vaultFolder();
    r.SourceVersion = kVaultVersion;
    r.TVSOracleParams.TNSName = schemaFile_;
    r.TVSOracleParams.DirectConnection = false;
    r.TVSOracleParams.Host = " ";
    r.TVSOracleParams.Port = 0;
    r.TVSOracleParams.Scheme = kOracleSchemaName;
    r.TVSOracleParams.User = kOracleUser;
    r.TVSOracleParams.Password = kOraclePassword;
    r.TVSOracleParams.Installer = installer_;
    r.TVSOracleParams.UnInstaller = uninstaller_;
    r.TVSOracleParams.BackupFileName = backupFile_;
    return r;
  }

  std::string databaseArguments() const {
    return "/DBType=Oracle /DBServer=\" :0\" /DBUsername=\"movrano\" /DBPassword=\"oracle "
           "secret\" /DatabaseName=\"" +
           schemaFile_ + "\"";
  }

  // The tables of the installed schema, in its order, that the copy takes.
  std::vector<std::string> copiedTables() {
    const auto sourceTables = source_.connect()->tableNames();
    std::vector<std::string> tables;
    for (const auto& t : installedTables_) {
      if (!IsVersionTable(t) && Holds(sourceTables, t)) tables.push_back(t);
    }
    return tables;
  }

  // Every copied table holds what the source holds, in the schema's case.
  void expectEveryTableCopied() {
    const auto src = source_.connect();
    const auto oracle = ConnectOracleSchema(schemaFile_);
    for (const auto& table : copiedTables()) {
      SCOPED_TRACE(table);
      EXPECT_EQ(DumpTable(*oracle, table), AsCopiedToOracle(*src, table));
    }
  }

  DatabaseRows oracleVersionTables() {
    const auto oracle = ConnectOracleSchema(schemaFile_);
    return DumpTables(*oracle, {VersionTableName(*oracle, "TBL_VERSION"),
                                VersionTableName(*oracle, "TBL_VERSION2")});
  }

  Cell oracleCell(const std::string& table, const std::string& column, const std::string& guid) {
    const auto oracle = ConnectOracleSchema(schemaFile_);
    db::Query q(*oracle);
    q.setSql("SELECT " + column + " FROM " + table + " WHERE GUID = :GUID");
    q.paramByName("GUID").setText(guid);
    q.open();
    if (q.eof()) throw std::runtime_error("No row " + guid + " in " + table);
    if (q.field(0).isNull()) return std::nullopt;
    const db::Variant& v = q.field(0).value();
    if (v.isBytes()) return std::string(v.bytes().begin(), v.bytes().end());
    return v.toString();
  }

  int64_t oracleRows(const std::string& table) {
    const auto oracle = ConnectOracleSchema(schemaFile_);
    db::Query q(*oracle);
    q.setSql("SELECT Count(*) FROM " + table);
    q.open();
    return q.field(0).value().toInt64();
  }

  std::vector<std::string> preamble(bool withSourceVersion = true) const {
    std::vector<std::string> lines = {
        "Start migration",
        "Tool version " + GetOwnVersionString() + ", migration mode mmTVSFirebirdToTVSOracle"};
    if (withSourceVersion) lines.push_back(std::string("Source version - ") + kVaultVersion);
    return lines;
  }

  // Runs the migration; the lines that say what is left to restore the old
  // server from after a late failure are taken out into restoreNote_, the
  // line that names the note's file into noteFile_.
  RunResult migrate(const RunRequest& r) {
    RunResult run = RunMigration(r);
    noteFile_.clear();
    const auto written = std::find_if(run.lines.begin(), run.lines.end(), [](const auto& line) {
      return line.rfind(kNoteWritten, 0) == 0;
    });
    if (written != run.lines.end()) {
      noteFile_ = written->substr(std::string(kNoteWritten).size());
      run.lines.erase(written);
    }
    restoreNote_.clear();
    const auto note = std::find(run.lines.begin(), run.lines.end(), kRestoreNote);
    if (note != run.lines.end()) {
      auto end = note + 1;
      while (end != run.lines.end() &&
             (end->rfind("Backup file ", 0) == 0 || end->rfind("Database file ", 0) == 0 ||
              end->rfind("File storage folder ", 0) == 0)) {
        ++end;
      }
      restoreNote_.assign(note, end);
      run.lines.erase(note, end);
    }
    return run;
  }

  const std::vector<std::string>& commands() const { return platform_.processes->commandLines; }

  // Where the restore note goes while the old server is installed.
  fs::path besideBackup() const { return fs::path(backupFile_).parent_path() / kNoteFileName; }

  // The programs of the vault product, as this machine runs them: the
  // scripts are started for real and what they received decides what
  // they do; a PE installer cannot start here and is played from its line.
  uint32_t runProgram(const std::string& line) {
    const std::string program = SplitCommandLine(line).at(0);
    if (program == installer_ && !installerIsScript_) return install(SplitCommandLine(line));
    if (PosixProcessLauncher().runAndWait(line) != 0) return 99;
    const std::vector<std::string> argv = RecordedArguments(program);
    started_.push_back(argv);
    if (argv.at(0) == backupTool_) {
      EXPECT_FALSE(fs::exists(backupFile_)) << "the old backup file was not deleted first";
      if (backupWrites_ && argv.size() == 4) {
        std::ofstream(argv[3], std::ios::binary) << "backup";
      }
      return backupExit_;
    }
    if (!uninstaller_.empty() && argv.at(0) == uninstaller_) {
      noteAtUninstall_ = fs::exists(besideBackup()) ? ReadFileBytes(besideBackup()) : "<none>";
      if (uninstallExit_ != 0) return uninstallExit_;
      platform_.setRegistry(Export(""));
      fs::remove(uninstaller_);
      return 0;
    }
    if (argv.at(0) == installer_) return install(argv);
    throw MakeOSError(ENOENT);
  }

  uint32_t install(const std::vector<std::string>& argv) {
    std::map<std::string, std::string> args;
    for (size_t i = 1; i < argv.size(); ++i) {
      const size_t eq = argv[i].find('=');
      args[argv[i].substr(0, eq)] = eq == std::string::npos ? "" : argv[i].substr(eq + 1);
    }
    if (installExit_ != 0) return installExit_;
    const fs::path vault = newServer_ / "Vault";
    const std::string storage = args.contains("/RevisionFolder")
                                    ? args["/RevisionFolder"]
                                    : (newServer_ / "Revisions").string();
    fs::create_directories(vault);
    fs::create_directories(storage);
    machine_.write("new/LocalVault.ini",
                   "[General]\nDataSourceType=Oracle\n\n[Vault]\nFileStorageType=FileSystem\n"
                   "RootFolder=" +
                       storage + "\n\n[Products]\nTavrin Vault=" + kVaultVersion + "\n");
    if (registersNewServer_) platform_.setRegistry(Export(TavrinVaultKey(vault.string())));
    InstallOracleServerSchema(args["/DatabaseName"], install_);
    InsertMarkers(args["/DatabaseName"]);
    installedTables_ = ConnectOracleSchema(schemaFile_)->tableNames();
    installedVersionTables_ = oracleVersionTables();
    if (onInstalled_) onInstalled_(storage);
    return 0;
  }

  TestPlatform platform_;
  DeployedStatements statements_;
  SampleVault source_{VaultEdition::Server, SampleContent()};
  TempDir machine_;
  const fs::path oldServer_ = machine_.path() / "Tavrin Vault";
  const fs::path newServer_ = machine_.path() / "new";
  std::string uninstaller_ = (oldServer_ / "unins000.exe").string();
  const std::string backupTool_ = (oldServer_ / "BackupTool" / "tvbackup.exe").string();
  std::string installer_ = (machine_.path() / "My Setups" / "TavrinVaultSetup.exe").string();
  bool installerIsScript_ = false;
  const std::string schemaFile_ = (machine_.path() / "MOVRANO.db").string();
  std::string backupFile_ = (machine_.path() / "My Backups" / "Tavrin Vault.zip").string();
  std::vector<std::vector<std::string>> started_;  // what the scripts received
  std::vector<std::string> restoreNote_;
  std::string noteFile_;         // the file the run's line names
  std::string noteAtUninstall_;  // the note when the uninstaller started

  OracleInstallOptions install_;
  uint32_t backupExit_ = 0;
  bool backupWrites_ = true;
  uint32_t uninstallExit_ = 0;
  uint32_t installExit_ = 0;
  bool registersNewServer_ = true;
  std::function<void(const fs::path& storage)> onInstalled_;  // what the new storage holds then
  std::vector<std::string> installedTables_;
  DatabaseRows installedVersionTables_;
};

class OracleModeAsRoot : public OracleMode {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << kBackupCopyNeedsRoot;
    OracleMode::SetUp();
  }
};

TEST_F(OracleMode, ReinstallsAnInstalledServerOnOracleAndCopiesEveryTable) {
  // Texts and BLOBs that Oracle keeps differently.
  {
    const auto src = source_.connect();
    src->executeDirect(
        "INSERT INTO TBL_CLIENT (GUID, CLIENTNAME, CLIENTVERSION, ADDRESS, LASTSEENAT) VALUES "
        "('{EMPTY-CLIENT}', '', '', NULL, NULL)");
    db::Query repo(*src);
    repo.setSql(
        "INSERT INTO VCS_REPOSITORY (GUID, HRID, REPOSITORYKIND, REPOSITORYURL, CREDENTIALS, "
        "CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) VALUES ('{EMPTY-REPO}', 'REPO-EMPTY', 'Git', "
        "'https://git.example/empty.git', :CREDENTIALS, '2023-03-01 10:00:00', "
        "'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f601', '2023-03-01 10:00:00')");
    repo.paramByName("CREDENTIALS").setBlob(db::Bytes{});
    repo.execSql();
    db::Query parameter(*src);
    parameter.setSql(
        "INSERT INTO TLU_PARAMETERMETADATA (GUID, HRID, PARAMETERNAME, DATATYPE, DESCRIPTION) "
        "VALUES ('{EMPTY-TEXT}', 'Tolerance', 'Tolerance', 'Number', :DESCRIPTION)");
    parameter.paramByName("DESCRIPTION").setBlob(db::Bytes{}, db::FieldType::WideMemo);
    parameter.execSql();
    // Quantities at the limits of NUMERIC(18,4), times to the 1/10000 s.
    for (const auto& [guid, quantity] : kEdgeQuantities) {
      src->executeDirect(
          "INSERT INTO TLU_ITEMREVISIONLINK (GUID, PARENTITEMREVISIONGUID, "
          "CHILDITEMREVISIONGUID, LINKKIND, QUANTITY, CREATEDAT, CREATEDBYGUID, LASTMODIFIEDAT) "
          "VALUES ('" +
          guid +
          "', '{010A0004-3C5E-4A7B-9D1F-2E4A6C8B0D1F}', "
          "'{010A0001-3C5E-4A7B-9D1F-2E4A6C8B0D1F}', 'Uses', " +
          quantity.toString() +
          ", '2023-03-14 15:09:26.1234', 'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f603', "
          "'2023-03-14 15:09:26.9999')");
    }
  }
  const RunResult run = migrate(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);

  EXPECT_EQ(commands(), (std::vector<std::string>{
                            "\"" + backupTool_ + "\" backup -z \"" + backupFile_ + "\"",
                            "\"" + uninstaller_ + "\" /silent keep-data",
                            "\"" + installer_ + "\" /Silent " + databaseArguments() +
                                " /RevisionFolder=\"" + source_.fileStorageFolder() + "\""}));
  // The paths with blanks arrived whole.
  EXPECT_EQ(started_,
            (std::vector<std::vector<std::string>>{{backupTool_, "backup", "-z", backupFile_},
                                                   {uninstaller_, "/silent", "keep-data"}}));
  const std::vector<std::string> expected = Concat(
      Concat(preamble(), {"Found source database file " + source_.databaseFile(),
                          "Found source file storage folder  " + source_.fileStorageFolder(),
                          "Start Tavrin Vault backup", "Tavrin Vault backup finished",
                          "Start Tavrin Vault uninstalling", "Tavrin Vault uninstalling finished",
                          "Start Tavrin Vault installing", "Tavrin Vault installing finished",
                          "Start Tavrin Vault database copying"}),
      Concat(CopyLines(copiedTables()),
             {"Tavrin Vault database copying finished", "Migration succesfully finished"}));
  EXPECT_EQ(run.lines, expected);
  EXPECT_EQ(run.events.front(), "busy");
  EXPECT_EQ(run.events.back(), "idle");

  // Every table but the two version tables, the empty catalog ones too.
  const auto tables = copiedTables();
  EXPECT_EQ(tables.size() + 2, installedTables_.size());
  EXPECT_TRUE(Holds(tables, "CAT_MORGANIZATION"));
  expectEveryTableCopied();
  EXPECT_EQ(oracleVersionTables(), installedVersionTables_);
  EXPECT_EQ(oracleRows("TBL_VERSION2"), 3);

  EXPECT_EQ(oracleCell("TBL_CLIENT", "CLIENTNAME", "{EMPTY-CLIENT}"), " ");
  EXPECT_EQ(oracleCell("TBL_CLIENT", "CLIENTVERSION", "{EMPTY-CLIENT}"), std::nullopt);
  EXPECT_EQ(oracleCell("VCS_REPOSITORY", "CREDENTIALS", "{EMPTY-REPO}"), std::nullopt);
  EXPECT_EQ(oracleCell("VCS_REPOSITORY", "CREDENTIALS", "{01250001-3C5E-4A7B-9D1F-2E4A6C8B0D1F}"),
            std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10"));
  EXPECT_EQ(oracleCell("TLU_PARAMETERMETADATA", "DESCRIPTION", "{EMPTY-TEXT}"), std::nullopt);
  EXPECT_EQ(oracleCell("TLU_LANGUAGE", "NAME", "{01190003-3C5E-4A7B-9D1F-2E4A6C8B0D1F}"), "日本語");
  {
    const auto oracle = ConnectOracleSchema(schemaFile_);
    db::Query link(*oracle);
    link.setSql(
        "SELECT QUANTITY, CREATEDAT, LASTMODIFIEDAT FROM TLU_ITEMREVISIONLINK WHERE GUID = :GUID");
    for (const auto& [guid, quantity] : kEdgeQuantities) {
      SCOPED_TRACE(guid);
      link.paramByName("GUID").setText(guid);
      link.open();
      ASSERT_FALSE(link.eof());
      const db::Decimal* kept = link.field(0).value().decimalIf();
      ASSERT_NE(kept, nullptr);
      EXPECT_EQ(kept->unscaled, quantity.unscaled);
      EXPECT_EQ(kept->scale, 4);
      EXPECT_EQ(link.field(1).value().toDateTime(),
                db::DateTime::FromParts(2023, 3, 14, 15, 9, 26, 123, 4));
      EXPECT_EQ(link.field(2).value().toDateTime(),
                db::DateTime::FromParts(2023, 3, 14, 15, 9, 26, 999, 9));
      link.close();
    }
  }

  // The new server was given the old storage folder: nothing to copy.
  EXPECT_EQ(run.lineStartingWith("Start FileStorage copying"), "");
  EXPECT_FALSE(FilesBelow(source_.fileStorageFolder()).empty());
}

TEST_F(OracleModeAsRoot,
       WithoutTheOldServerCopiesFromBackupCopiesAndInstallsWithDatabaseArgumentsOnly) {
  removeOldServer();
  RunRequest r = request();
  r.SourceVersion.clear();
  const std::time_t before = std::time(nullptr);
  const RunResult run = migrate(r);
  const std::time_t after = std::time(nullptr);
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);

  // One backup folder beside the storage folder, stamped with the run's time.
  const fs::path installation = fs::path(source_.fileStorageFolder()).parent_path().parent_path();
  std::vector<fs::path> backups;
  for (const auto& e : fs::directory_iterator(installation)) {
    if (e.path().filename().string().rfind("VaultServerDataBackUp_", 0) == 0) {
      backups.push_back(e.path());
    }
  }
  ASSERT_EQ(backups.size(), 1u);
  const std::string name = backups[0].filename().string();
  std::smatch stamp;
  ASSERT_TRUE(std::regex_match(
      name, stamp, std::regex(R"(VaultServerDataBackUp_(\d+)_(\d+)_(\d+)_(\d+)_(\d+)_(\d+))")));
  for (int i = 2; i <= 6; ++i)
    EXPECT_TRUE(stamp[i].length() == 1 || stamp[i].str().front() != '0') << name;
  std::tm parts{};
  parts.tm_year = std::stoi(stamp[1]) - 1900;
  parts.tm_mon = std::stoi(stamp[2]) - 1;
  parts.tm_mday = std::stoi(stamp[3]);
  parts.tm_hour = std::stoi(stamp[4]);
  parts.tm_min = std::stoi(stamp[5]);
  parts.tm_sec = std::stoi(stamp[6]);
  parts.tm_isdst = -1;
  const std::time_t taken = std::mktime(&parts);
  EXPECT_GE(taken, before);
  EXPECT_LE(taken, after);

  const std::string backupStorage = (backups[0] / "Revisions").string();
  const std::string backupDatabase = (backups[0] / "VAULT.FDB").string();
  EXPECT_EQ(FilesBelow(backupStorage), FilesBelow(source_.fileStorageFolder()));
  EXPECT_EQ(fs::file_size(backupDatabase), fs::file_size(source_.databaseFile()));
  const std::string newStorage = (newServer_ / "Revisions").string() + "/";
  EXPECT_EQ(FilesBelow(newStorage), FilesBelow(source_.fileStorageFolder()));

  EXPECT_EQ(commands(),
            (std::vector<std::string>{"\"" + installer_ + "\" " + databaseArguments()}));
  const std::vector<std::string> expected = Concat(
      Concat(
          preamble(false),
          {"Source Vault uninstaller () does not exists.",
           "Start file storage backup copying from " + source_.fileStorageFolder() + " to " +
               backupStorage,
           "File storage backup copying finished",
           "Start database backup copying from " + source_.databaseFile() + " to " + backupDatabase,
           "Database backup copying finished", "Found source database file " + backupDatabase,
           "Found source file storage folder  " + backupStorage + "/",
           "Could not found backup tool \"\"", "Start Tavrin Vault installing",
           "Tavrin Vault installing finished", "Start Tavrin Vault database copying"}),
      Concat(CopyLines(copiedTables()),
             {"Tavrin Vault database copying finished",
              "Start FileStorage copying from " + backupStorage + "/ to " + newStorage,
              "File storage copying finished", "Migration succesfully finished"}));
  EXPECT_EQ(run.lines, expected);
  expectEveryTableCopied();
  EXPECT_EQ(oracleVersionTables(), installedVersionTables_);
}

TEST_F(OracleMode, TablesMatchWithoutRegardToCaseAndAreWrittenInTheSchemasCase) {
  install_.renamed = {{"TBL_CLIENT", "Tbl_Client"},
                      {"TLU_ITEMREVISION", "tlu_itemrevision"},
                      {"TBL_VERSION", "tbl_version"},
                      {"TBL_VERSION2", "Tbl_Version2"}};
  const RunResult run = migrate(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  const auto tables = copiedTables();
  EXPECT_TRUE(Holds(tables, "TBL_CLIENT"));
  EXPECT_NE(run.indexOf("Start Tavrin Vault database table \"Tbl_Client\" copying"), -1);
  EXPECT_NE(run.indexOf("Tavrin Vault database table \"tlu_itemrevision\" copying finished"), -1);
  EXPECT_EQ(run.lineStartingWith("Start Tavrin Vault database table \"tbl_version"), "");
  EXPECT_EQ(run.lineStartingWith("Start Tavrin Vault database table \"Tbl_Version2"), "");
  EXPECT_EQ(ConnectOracleSchema(schemaFile_)->tableNames(), installedTables_);
  expectEveryTableCopied();
  EXPECT_EQ(oracleVersionTables(), installedVersionTables_);
  EXPECT_EQ(installedVersionTables_.count("tbl_version"), 1u);
}

TEST_F(OracleMode, EmptiesTheInstallersTablesAlsoWhenTheOldDatabaseLacksThem) {
  // The old database has no listeners, nor the new schema the acquisition
  // pointers; the new schema has a table of its own.
  source_.connect()->executeDirect("DROP TABLE TBL_LISTENER");
  install_.omitted = {"TLU_ACQUISITIONPOINTER"};
  install_.afterwards.push_back("CREATE TABLE TLU_ORACLEJOB (GUID VARCHAR2(40) NOT NULL)");
  install_.afterwards.push_back("INSERT INTO TLU_ORACLEJOB VALUES ('{JOB-1}')");
  const RunResult run = migrate(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);

  const auto oracle = ConnectOracleSchema(schemaFile_);
  for (const auto& table : OracleClearedTables()) {
    SCOPED_TRACE(table);
    db::Query q(*oracle);
    q.setSql("SELECT Count(*) FROM " + table + " WHERE " +
             (table == "ACLDATA"          ? "OBJECTGUID"
              : table == "TBLTOOLS"       ? "NAME"
              : table == "TBL_CATEGORIES" ? "NAME"
                                          : "GUID") +
             " = :MARKER");
    q.paramByName("MARKER").setText(kMarker);
    q.open();
    EXPECT_EQ(q.field(0).asInteger(), 0);
  }
  EXPECT_EQ(oracleRows("TBL_LISTENER"), 0);
  EXPECT_EQ(run.lineStartingWith("Start Tavrin Vault database table \"TBL_LISTENER\""), "");
  EXPECT_EQ(oracleRows("TLU_ORACLEJOB"), 1);
  EXPECT_EQ(run.lineStartingWith("Start Tavrin Vault database table \"TLU_ORACLEJOB\""), "");
  EXPECT_EQ(run.lineStartingWith("Start Tavrin Vault database table \"TLU_ACQUISITIONPOINTER\""),
            "");
  expectEveryTableCopied();
}

TEST_F(OracleMode, RefusesASchemaThatAlreadyHasTablesBeforeUninstalling) {
  DefineOracleTable(schemaFile_, "CREATE TABLE LEFTOVER (ID NUMBER(10))");
  const RunResult run = migrate(request());
  EXPECT_EQ(run.lines.back(), "Import aborted");
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Destination database is not empty - it already has tables!");
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Tavrin Vault backup finished");
  EXPECT_EQ(commands().size(), 1u);
  EXPECT_TRUE(fs::exists(uninstaller_));
}

TEST_F(OracleMode, AFailedInstallationEndsTheRunAfterTheUninstallation) {
  installExit_ = 1603;
  const RunResult run = migrate(request());
  EXPECT_EQ(run.lines.back(), "Import aborted");
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Start Tavrin Vault installing");
  EXPECT_EQ(run.lines[run.lines.size() - 2], "ERROR - EMovrano Could not install Tavrin Vault");
  EXPECT_EQ(commands().size(), 3u);
  EXPECT_TRUE(ConnectOracleSchema(schemaFile_)->tableNames().empty());
}

TEST_F(OracleMode, AFailingTableIsNamedAndTheTablesBeforeItStayCommitted) {
  // The new schema's listeners have no EVENTMASK or ISACTIVE column, and
  // come last.
  install_.omitted = {"TBL_LISTENER"};
  install_.afterwards.push_back(
      "CREATE TABLE TBL_LISTENER (GUID VARCHAR2(40) NOT NULL, URL VARCHAR2(500) NOT NULL, "
      "CONSTRAINT PK_LISTENER PRIMARY KEY (GUID))");
  const RunResult run = migrate(request());
  ASSERT_FALSE(run.succeeded());
  const auto tables = copiedTables();
  ASSERT_EQ(tables.back(), "TBL_LISTENER");
  const std::vector<std::string> copied(tables.begin(), tables.end() - 1);
  const auto copyStart = run.indexOf("Start Tavrin Vault database copying");
  ASSERT_NE(copyStart, -1);
  const std::vector<std::string> tail(run.lines.begin() + copyStart + 1, run.lines.end());
  EXPECT_EQ(tail, Concat(CopyLines(copied),
                         {"Start Tavrin Vault database table \"TBL_LISTENER\" copying",
                          "ERROR - EMovrano Could not copy table \"TBL_LISTENER\": ORA-00904: "
                          "\"EVENTMASK\": invalid identifier (Oracle schema MOVRANO)",
                          "Import aborted"}));
  // Switching the constraints on again committed what was copied.
  const auto src = source_.connect();
  const auto oracle = ConnectOracleSchema(schemaFile_);
  for (const auto& table : copied) {
    SCOPED_TRACE(table);
    EXPECT_EQ(DumpTable(*oracle, table), AsCopiedToOracle(*src, table));
  }
  EXPECT_EQ(oracleRows("TBL_LISTENER"), 0);
}

// The new installation's own rows refer to a language that the copy
// removes with the installer's languages.
void AddLanguagePack(OracleInstallOptions& options) {
  options.afterwards.push_back(
      "INSERT INTO TLU_LANGUAGE (GUID, HRID, LANGUAGECODE, NAME, ISDEFAULT) VALUES "
      "('{LANG-FR}', 'fr', 'fr-FR', 'Français', 0)");
  options.afterwards.push_back(
      "CREATE TABLE TLU_LANGUAGEPACK (GUID VARCHAR2(40) NOT NULL, LANGUAGEGUID VARCHAR2(40) NOT "
      "NULL, CONSTRAINT PK_LANGUAGEPACK PRIMARY KEY (GUID), CONSTRAINT FK_PACK_LANGUAGE FOREIGN "
      "KEY (LANGUAGEGUID) REFERENCES TLU_LANGUAGE (GUID))");
  options.afterwards.push_back("INSERT INTO TLU_LANGUAGEPACK VALUES ('{PACK-FR}', '{LANG-FR}')");
}

const char* const kEnableFailure =
    "ERROR - EZSQLException ORA-02298: cannot validate (MOVRANO.FK_PACK_LANGUAGE) - parent keys "
    "not found (Oracle schema MOVRANO)";

TEST_F(OracleMode, ConstraintsThatCannotBeEnabledAgainEndTheRunAfterTheCopy) {
  AddLanguagePack(install_);
  const RunResult run = migrate(request());
  ASSERT_GE(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[run.lines.size() - 3],
            "Tavrin Vault database table \"" + copiedTables().back() + "\" copying finished");
  EXPECT_EQ(run.lines[run.lines.size() - 2], kEnableFailure);
  EXPECT_EQ(run.lines.back(), "Import aborted");
  EXPECT_EQ(run.indexOf("Tavrin Vault database copying finished"), -1);
}

TEST_F(OracleMode, AnEnableFailureReplacesTheFailureOfATable) {
  AddLanguagePack(install_);
  install_.omitted = {"TBL_LISTENER"};
  install_.afterwards.push_back(
      "CREATE TABLE TBL_LISTENER (GUID VARCHAR2(40) NOT NULL, URL VARCHAR2(500) NOT NULL)");
  const RunResult run = migrate(request());
  ASSERT_GE(run.lines.size(), 3u);
  EXPECT_EQ(run.lines[run.lines.size() - 3],
            "Start Tavrin Vault database table \"TBL_LISTENER\" copying");
  EXPECT_EQ(run.lines[run.lines.size() - 2], kEnableFailure);
}

TEST_F(OracleMode, AFailedDeletionNamesSchemaAndTableAndKeepsTheDeletionsBeforeIt) {
  install_.omitted = {"TBL_CLIENT"};
  const RunResult run = migrate(request());
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Start Tavrin Vault database copying");
  EXPECT_EQ(
      run.lines[run.lines.size() - 2],
      "ERROR - EMovrano Could not delete data from table \"MOVRANO\".\"TBL_CLIENT\": ORA-00942: "
      "table or view does not exist (Oracle schema MOVRANO)");
  EXPECT_EQ(oracleRows("TLU_LANGUAGE"), 0);
  EXPECT_EQ(oracleRows("VCS_REPOSITORY"), 1);  // the installer's marker
}

TEST_F(OracleMode, TheInstallersVersionMustBeTheSourcesExceptForCase) {
  PeFixture setup;
  setup.productVersion = "ZaredorEvovu-1.0.2";
  WritePeFile(installer_, setup);
  const RunResult run = migrate(request());
  EXPECT_EQ(run.lines,
            Concat(preamble(), {"Found source database file " + source_.databaseFile(),
                                "Found source file storage folder  " + source_.fileStorageFolder(),
                                "ERROR - EMovrano Source Tavrin Vault (Firebird) must be the same "
                                "version target Tavrin Vault (Oracle)",
                                "Import aborted"}));
  EXPECT_TRUE(commands().empty());

  setup.productVersion.reset();  // no version at all
  WritePeFile(installer_, setup);
  EXPECT_EQ(migrate(request()).lines[5],
            "ERROR - EMovrano Source Tavrin Vault (Firebird) must be the same version target "
            "Tavrin Vault (Oracle)");
  EXPECT_TRUE(commands().empty());
}

TEST_F(OracleModeAsRoot, WithoutTheOldServerTheNewDatabaseMustHaveTheSourcesVersion) {
  removeOldServer();
  install_.afterwards.push_back(
      "UPDATE TBL_VERSION SET VERSIONVALUE = 'ZaredorEvovu-1.0.2' WHERE VERSIONKEY = "
      "'VaultVersion'");
  const RunResult run = migrate(request());
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Tavrin Vault installing finished");
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Source Tavrin Vault database (Firebird) must be the same version "
            "target Tavrin Vault database (Oracle)");
  EXPECT_EQ(oracleRows("TLU_ITEM"), 0);
}

TEST_F(OracleMode, AnInstalledServerNeedsItsBackupTool) {
  fs::remove(oldServer_ / "BackupTool" / "tvbackup.exe");
  const RunResult run = migrate(request());
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Could not found backup tool \"" +
                (oldServer_ / "BackupTool" / "tvbackup.exe").string() + "\"");
  EXPECT_TRUE(commands().empty());
}

TEST_F(OracleMode, WithoutTheOldServerAnEmptyStorageFolderEndsTheRunBeforeAnyCopy) {
  removeOldServer();
  RunRequest r = request();
  r.SourceFileRepositoryPath.clear();
  const RunResult run = migrate(r);
  EXPECT_EQ(run.lines, Concat(preamble(), {"Source Vault uninstaller () does not exists.",
                                           "ERROR - EMovrano Could not find source Vault file "
                                           "storage directory ",
                                           "Import aborted"}));
  EXPECT_TRUE(commands().empty());
}

TEST_F(OracleMode, RefusesBackupFileNamesBeforeAnythingIsDeletedOrRun) {
  const auto previous = machine_.write("backup/previous", "kept");
  const struct {
    std::string name;
    std::string error;
  } cases[] = {
      {previous.string(), "Backup file name has no extension \"" + previous.string() + "\""},
      {previous.string() + ".", "Backup file name has no extension \"" + previous.string() + ".\""},
      {machine_.str() + "/backup.d/file",
       "Backup file name has no extension \"" + machine_.str() + "/backup.d/file\""},
      {machine_.str() + "/back|up.zip",
       "Backup file name has invalid characters \"" + machine_.str() + "/back|up.zip\""},
      {machine_.str() + "/back\tup.zip",
       "Backup file name has invalid characters \"" + machine_.str() + "/back\tup.zip\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunRequest r = request();
    r.TVSOracleParams.BackupFileName = c.name;
    const RunResult run = migrate(r);
    EXPECT_EQ(run.lines[run.lines.size() - 2], "ERROR - EMovrano " + c.error);
  }
  EXPECT_TRUE(commands().empty());
  EXPECT_TRUE(fs::exists(previous));
}

TEST_F(OracleMode, TheBackupToolMustSucceedAndLeaveItsFile) {
  std::ofstream(backupFile_) << "an older backup";
  backupExit_ = 3;
  RunResult run = migrate(request());
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Start Tavrin Vault backup");
  EXPECT_EQ(run.lines[run.lines.size() - 2], "ERROR - EMovrano Could not backup Tavrin Vault");

  backupExit_ = 0;
  backupWrites_ = false;
  run = migrate(request());
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Tavrin Vault backup finished");
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Could not found backup file \"" + backupFile_ + "\"");
  EXPECT_EQ(commands().size(), 2u);
}

TEST_F(OracleMode, AFailedUninstallationStopsBeforeTheInstaller) {
  uninstallExit_ = 2;
  const RunResult run = migrate(request());
  EXPECT_EQ(run.lines[run.lines.size() - 3], "Start Tavrin Vault uninstalling");
  EXPECT_EQ(run.lines[run.lines.size() - 2], "ERROR - EMovrano Could not uninstall Tavrin Vault");
  EXPECT_EQ(commands().size(), 2u);
}

TEST_F(OracleMode, ACancellationAtATablesFirstLineAbortsAndAtItsLastLineNamesTheTable) {
  for (const bool atTheEnd : {false, true}) {
    SCOPED_TRACE(atTheEnd);
    CreateEmptyOracleSchema(schemaFile_);
    WriteRecordingProgram(uninstaller_);
    platform_.processes->commandLines.clear();
    const std::string line = atTheEnd
                                 ? "Tavrin Vault database table \"TLU_FOLDER\" copying finished"
                                 : "Start Tavrin Vault database table \"TLU_FOLDER\" copying";
    RunRequest r = request();
    r.onLine = [&](const std::string& l, TMigrationThread& worker) {
      if (l == line) worker.Terminate();
    };
    const RunResult run = migrate(r);
    ASSERT_GE(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[run.lines.size() - 2], line);
    EXPECT_EQ(run.lines.back(), atTheEnd
                                    ? "ERROR - EMovrano Could not copy table \"TLU_FOLDER\": Abort"
                                    : "ERROR - EMovrano Abort");
    EXPECT_EQ(run.events.back(), "idle");
  }
}

TEST_F(OracleModeAsRoot, ANewServerThatCannotBeFoundFailsTheStorageCopyOnItsEmptyFolder) {
  removeOldServer();
  registersNewServer_ = false;
  const RunResult run = migrate(request());
  ASSERT_GE(run.lines.size(), 4u);
  EXPECT_EQ(run.lines[run.lines.size() - 4], "Tavrin Vault database copying finished");
  EXPECT_EQ(run.lines[run.lines.size() - 3].rfind("Start FileStorage copying from ", 0), 0u);
  EXPECT_EQ(run.lines[run.lines.size() - 3].back(), ' ');
  EXPECT_EQ(run.lines[run.lines.size() - 2].rfind("ERROR - EOSError ", 0), 0u);
  EXPECT_EQ(run.lines.back(), "Import aborted");
  // The tables were committed when the constraints came back.
  expectEveryTableCopied();
}

TEST_F(OracleModeAsRoot, WithoutTheOldServerItsBackupToolAndTheInstallerStartWithPathsWithBlanks) {
  // The old server is gone but its folder still holds the backup tool.
  fs::remove(uninstaller_);
  platform_.setRegistry(Export(""));
  installerIsScript_ = true;
  WriteRecordingProgram(installer_);
  const RunResult run = migrate(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(started_, (std::vector<std::vector<std::string>>{
                          {backupTool_, "backup", "-z", backupFile_},
                          {installer_, "/DBType=Oracle", "/DBServer= :0", "/DBUsername=movrano",
                           "/DBPassword=oracle secret", "/DatabaseName=" + schemaFile_}}));
  EXPECT_TRUE(fs::exists(backupFile_));
  expectEveryTableCopied();
}

TEST_F(OracleMode, RefusesAPathOrValueWithADoubleQuoteBeforeAnythingRuns) {
  const fs::path quotedFolder = machine_.path() / "Tavrin \"Old\" Vault";
  const struct {
    std::string name;
    std::function<void(RunRequest&)> change;
    std::string error;
  } cases[] = {
      {"installer",
       [&](RunRequest& r) {
         r.TVSOracleParams.Installer = (quotedFolder / "setup.exe").string();
         fs::create_directories(quotedFolder);
         fs::copy_file(installer_, r.TVSOracleParams.Installer,
                       fs::copy_options::overwrite_existing);
       },
       "The path \"" + (quotedFolder / "setup.exe").string() +
           "\" holds a double quote, which no command line can carry"},
      {"uninstaller",
       [&](RunRequest& r) {
         r.TVSOracleParams.UnInstaller = (quotedFolder / "unins000.exe").string();
         WriteRecordingProgram(r.TVSOracleParams.UnInstaller);
         WriteRecordingProgram(quotedFolder / "BackupTool" / "tvbackup.exe");
       },
       "The path \"" + (quotedFolder / "BackupTool" / "tvbackup.exe").string() +
           "\" holds a double quote, which no command line can carry"},
      // Accounts that Oracle would let log in.
      {"password",
       [&](RunRequest& r) {
         r.TVSOracleParams.Password = "pass\"word";
         recreateSchema(r.TVSOracleParams.User, r.TVSOracleParams.Password);
       },
       "The Oracle password holds a double quote, which no command line can carry"},
      {"user",
       [&](RunRequest& r) {
         r.TVSOracleParams.User = "mov\"rano";
         recreateSchema(r.TVSOracleParams.User, r.TVSOracleParams.Password);
       },
       "The Oracle user name holds a double quote, which no command line can carry"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RunRequest r = request();
    c.change(r);
    const RunResult run = migrate(r);
    ASSERT_GE(run.lines.size(), 2u);
    EXPECT_EQ(run.lines[run.lines.size() - 2], "ERROR - EMovrano " + c.error);
    EXPECT_TRUE(restoreNote_.empty());
  }
  EXPECT_TRUE(commands().empty());
  EXPECT_TRUE(fs::exists(uninstaller_));
}

TEST_F(OracleMode, RefusesABackupFileOnTheVaultsOwnDataBeforeAnythingIsDeletedOrRun) {
  const fs::path database = source_.databaseFile();
  const fs::path installation = database.parent_path().parent_path();
  const fs::path link = machine_.path() / "vault link";
  fs::create_directory_symlink(installation, link);
  const struct {
    std::string backupFile;
    std::string data;
  } cases[] = {
      {database.string(), database.string()},
      // Other spellings of the same file: through a link, and with "..".
      {(link / "Database" / "VAULT.FDB").string(), database.string()},
      {(installation / "Database" / "sub" / ".." / "VAULT.FDB").string(), database.string()},
      {source_.fileStorageFolder() + "Revisions.zip", source_.fileStorageFolder()},
      {source_.vaultFolder() + "sub/../Old Backup.zip", source_.vaultFolder()},
  };
  const uintmax_t size = fs::file_size(database);
  for (const bool installed : {true, false}) {
    if (!installed) {
      fs::remove(uninstaller_);
      platform_.setRegistry(Export(""));
    }
    for (const auto& c : cases) {
      SCOPED_TRACE(c.backupFile);
      RunRequest r = request();
      r.TVSOracleParams.BackupFileName = c.backupFile;
      const RunResult run = migrate(r);
      ASSERT_GE(run.lines.size(), 2u);
      EXPECT_EQ(run.lines[run.lines.size() - 2], "ERROR - EMovrano Backup file \"" + c.backupFile +
                                                     "\" would overwrite the vault's own data \"" +
                                                     c.data + "\"");
    }
  }
  EXPECT_TRUE(commands().empty());
  EXPECT_EQ(fs::file_size(database), size);
  EXPECT_NE(source_.connect()->tableNames().size(), 0u);
}

TEST_F(OracleMode, WithoutTheOldServerAStorageFileThatCannotBeCopiedEndsTheRunBeforeInstalling) {
  removeOldServer();
  const fs::path pipe = fs::path(source_.fileStorageFolder()) / "Revisions" / "held open.pipe";
  fs::create_directories(pipe.parent_path());
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  const RunResult run = migrate(request());
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Could not copy \"" + pipe.string() +
                "\" into the file storage backup copy: it is a named pipe, not a file, folder or "
                "link (entries not copied: 1)");
  EXPECT_EQ(run.indexOf("File storage backup copying finished"), -1);
  EXPECT_TRUE(commands().empty());
}

TEST_F(OracleModeAsRoot, AFailureAfterTheUninstallationSaysWhereTheOldDataIs) {
  installExit_ = 1603;
  RunResult run = migrate(request());
  EXPECT_EQ(run.lines[run.lines.size() - 2], "ERROR - EMovrano Could not install Tavrin Vault");
  EXPECT_EQ(restoreNote_,
            (std::vector<std::string>{kRestoreNote, "Backup file " + backupFile_,
                                      "Database file " + source_.databaseFile(),
                                      "File storage folder " + source_.fileStorageFolder()}));

  // Without the old server: the backup copies, and no backup file.
  removeOldServer();
  run = migrate(request());
  ASSERT_EQ(restoreNote_.size(), 3u);
  EXPECT_EQ(restoreNote_[1].rfind(
                "Database file " + fs::path(source_.vaultFolder()).parent_path().string(), 0),
            0u);
  EXPECT_NE(restoreNote_[1].find("VaultServerDataBackUp_"), std::string::npos);
  EXPECT_NE(restoreNote_[2].find("VaultServerDataBackUp_"), std::string::npos);

  // A failure before the uninstallation leaves the old server: no note.
  RunRequest r = request();
  r.TVSOracleParams.TNSName = (machine_.path() / "missing.db").string();
  migrate(r);
  EXPECT_TRUE(restoreNote_.empty());
}

// The note's lines: what the log says after a late failure, and how to
// restore the old server from it.
std::string NoteText(const std::vector<std::string>& lines, bool backupWritten) {
  std::string text;
  for (const auto& line : lines)
    text += line + "\n";
  return text +
         "To restore the old Tavrin Vault, install it again on this database file and file "
         "storage folder" +
         (backupWritten ? ", or restore its data from the backup file with its backup tool.\n"
                        : ".\n");
}

mode_t ModeOf(const fs::path& file) {
  struct stat st {};
  return ::lstat(file.c_str(), &st) == 0 ? st.st_mode : 0;
}

// What the log says only when it is too late reaches a file before the
// old server is uninstalled: a close that takes the log pane with it, or
// a kill, leaves the note beside the backup.
TEST_F(OracleMode, TheRestoreNoteIsWrittenBesideTheBackupBeforeTheUninstallation) {
  // A link at its name is replaced, never followed.
  const fs::path theirs = machine_.write("theirs.txt", "theirs");
  fs::create_symlink(theirs, besideBackup());
  installExit_ = 1603;
  const RunResult run = migrate(request());
  ASSERT_FALSE(run.succeeded());
  const std::vector<std::string> lines = {kRestoreNote, "Backup file " + backupFile_,
                                          "Database file " + source_.databaseFile(),
                                          "File storage folder " + source_.fileStorageFolder()};
  EXPECT_EQ(restoreNote_, lines);  // the log's lines are as they were
  EXPECT_EQ(noteAtUninstall_, NoteText(lines, true));
  EXPECT_EQ(noteFile_, besideBackup().string());
  EXPECT_EQ(ReadFileBytes(besideBackup()), NoteText(lines, true));
  EXPECT_EQ(ModeOf(besideBackup()), S_IFREG | 0600);
  EXPECT_EQ(ReadFileBytes(theirs), "theirs");
}

TEST_F(OracleModeAsRoot, WithoutTheOldServerTheRestoreNoteLiesWithTheBackupCopies) {
  removeOldServer();
  const RunResult run = migrate(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  const std::string database = run.lineStartingWith("Found source database file ")
                                   .substr(std::string("Found source database file ").size());
  const std::string storage = run.lineStartingWith("Found source file storage folder  ")
                                  .substr(std::string("Found source file storage folder  ").size());
  ASSERT_NE(database.find("VaultServerDataBackUp_"), std::string::npos) << database;
  const fs::path note = fs::path(database).parent_path() / kNoteFileName;
  EXPECT_EQ(noteFile_, note.string());
  EXPECT_EQ(ReadFileBytes(note),
            NoteText({kRestoreNote, "Database file " + database, "File storage folder " + storage},
                     false));
  EXPECT_EQ(ModeOf(note), S_IFREG | 0600);
}

TEST_F(OracleMode, ARestoreNoteThatCannotBeWrittenStopsTheRunBeforeTheUninstallation) {
  fs::create_directories(besideBackup());
  const RunResult run = migrate(request());
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(
      run.lines[run.lines.size() - 2].rfind(
          "ERROR - EMovrano Could not write the restore note \"" + besideBackup().string() + "\": ",
          0),
      0u)
      << run.lines[run.lines.size() - 2];
  EXPECT_EQ(commands().size(), 1u);  // the backup tool alone
  EXPECT_TRUE(fs::exists(uninstaller_));
  EXPECT_TRUE(noteFile_.empty());
  EXPECT_TRUE(restoreNote_.empty());
}

TEST_F(OracleMode, AFailureBeforeTheUninstallationWritesNoRestoreNote) {
  backupExit_ = 1;
  migrate(request());
  EXPECT_FALSE(fs::exists(besideBackup()));
  EXPECT_TRUE(noteFile_.empty());
  EXPECT_TRUE(fs::exists(uninstaller_));
}

// The folder name of a backup taken at `t`.
std::string BackupFolderName(std::time_t t) {
  std::tm local{};
  ::localtime_r(&t, &local);
  return "VaultServerDataBackUp_" + std::to_string(local.tm_year + 1900) + "_" +
         std::to_string(local.tm_mon + 1) + "_" + std::to_string(local.tm_mday) + "_" +
         std::to_string(local.tm_hour) + "_" + std::to_string(local.tm_min) + "_" +
         std::to_string(local.tm_sec);
}

TEST_F(OracleModeAsRoot, WithoutTheOldServerAPlantedBackupFolderIsNeverUsed) {
  removeOldServer();
  // Whoever can write the storage's parent folder plants the names of the
  // next seconds: links out of it and folders of their own.
  const fs::path installation = fs::path(source_.fileStorageFolder()).parent_path().parent_path();
  const fs::path outside = machine_.mkdir("theirs");
  const std::time_t start = std::time(nullptr);
  for (std::time_t t = start; t < start + 60; ++t) {
    const fs::path planted = installation / BackupFolderName(t);
    if (t % 2 == 0) {
      fs::create_directory_symlink(outside, planted);
    } else {
      fs::create_directories(planted / "Revisions");
    }
  }
  const RunResult run = migrate(request());
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);

  EXPECT_TRUE(fs::is_empty(outside));
  std::vector<fs::path> made;
  for (const auto& e : fs::directory_iterator(installation)) {
    const std::string name = e.path().filename().string();
    if (name.starts_with("VaultServerDataBackUp_") && name.ends_with("-2"))
      made.push_back(e.path());
    if (!e.is_symlink() && !name.ends_with("-2") && name.starts_with("VaultServerDataBackUp_")) {
      EXPECT_TRUE(fs::is_empty(e.path() / "Revisions")) << name;
    }
  }
  ASSERT_EQ(made.size(), 1u);
  EXPECT_FALSE(fs::is_symlink(made[0]));
  EXPECT_NE(run.indexOf("Start file storage backup copying from " + source_.fileStorageFolder() +
                        " to " + (made[0] / "Revisions").string()),
            -1);
  EXPECT_EQ(FilesBelow(made[0] / "Revisions"), FilesBelow(source_.fileStorageFolder()));

  // The database copy keeps the original's owner and mode.
  struct stat original {};
  struct stat copy {};
  ASSERT_EQ(::stat(source_.databaseFile().c_str(), &original), 0);
  ASSERT_EQ(::lstat((made[0] / "VAULT.FDB").c_str(), &copy), 0);
  EXPECT_TRUE(S_ISREG(copy.st_mode));
  EXPECT_EQ(copy.st_uid, original.st_uid);
  EXPECT_EQ(copy.st_gid, original.st_gid);
  EXPECT_EQ(copy.st_mode & 07777, original.st_mode & 07777);
}

// The process's current folder for a scope.
class CurrentFolder {
 public:
  explicit CurrentFolder(const fs::path& folder) : old_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~CurrentFolder() { fs::current_path(old_); }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  fs::path old_;
};

TEST_F(OracleModeAsRoot, WithoutAnUninstallerNoBackupToolOfTheCurrentFolderRuns) {
  removeOldServer();
  const fs::path current = machine_.mkdir("somewhere");
  WriteRecordingProgram(current / "BackupTool" / "tvbackup.exe");
  RunResult run;
  {
    const CurrentFolder inside(current);
    run = migrate(request());
  }
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_NE(run.indexOf("Could not found backup tool \"\""), -1);
  EXPECT_TRUE(started_.empty());
  EXPECT_FALSE(fs::exists(current / "BackupTool" / "tvbackup.exe.args"));
  EXPECT_EQ(commands(),
            (std::vector<std::string>{"\"" + installer_ + "\" " + databaseArguments()}));
}

TEST_F(OracleMode, ACancellationAtTheInstallationStillSaysWhereTheOldDataIs) {
  RunRequest r = request();
  r.onLine = [](const std::string& line, TMigrationThread& worker) {
    if (line == "Start Tavrin Vault installing") worker.Terminate();
  };
  const RunResult run = migrate(r);
  ASSERT_GE(run.lines.size(), 2u);
  EXPECT_EQ(run.lines[run.lines.size() - 2], "Start Tavrin Vault installing");
  EXPECT_EQ(run.lines.back(), "ERROR - EMovrano Abort");
  EXPECT_EQ(restoreNote_,
            (std::vector<std::string>{kRestoreNote, "Backup file " + backupFile_,
                                      "Database file " + source_.databaseFile(),
                                      "File storage folder " + source_.fileStorageFolder()}));
  EXPECT_EQ(commands().size(), 2u);  // the backup tool and the uninstaller
  EXPECT_TRUE(fs::is_regular_file(besideBackup()));
}

TEST_F(OracleModeAsRoot, WithoutTheOldServerAStoreEntryTheNewServerCannotTakeEndsTheRun) {
  removeOldServer();
  // The new installation holds a file where the store has a folder.
  fs::path newStorage;
  onInstalled_ = [&](const fs::path& storage) {
    newStorage = storage;
    std::ofstream(storage / "ItemRevisions") << "in the way";
  };
  const size_t below = static_cast<size_t>(std::distance(
      fs::recursive_directory_iterator(fs::path(source_.fileStorageFolder()) / "ItemRevisions"),
      {}));
  const RunResult run = migrate(request());
  ASSERT_GE(run.lines.size(), 2u);
  const std::string backupStorage =
      run.lineStartingWith("Found source file storage folder  ")
          .substr(std::string("Found source file storage folder  ").size());
  ASSERT_FALSE(backupStorage.empty());
  EXPECT_EQ(run.lines[run.lines.size() - 2],
            "ERROR - EMovrano Could not copy \"" + backupStorage + "ItemRevisions" +
                "\" into the file storage: \"" + (newStorage / "ItemRevisions").string() +
                "\" is a file, not a folder (entries not copied: " + std::to_string(below + 1) +
                ")");
  EXPECT_EQ(run.lines.back(), "Import aborted");
  EXPECT_EQ(run.indexOf("File storage copying finished"), -1);
  EXPECT_EQ(restoreNote_.size(), 3u);
}

TEST_F(OracleMode, ReadsTheOldTablesInOneSnapshotTakenBeforeTheCopy) {
  const int64_t folders = DumpTable(*source_.connect(), "TLU_DATAFOLDER").rows.size();
  RunRequest r = request();
  // Another session of the old database writes once the copy has begun.
  r.onLine = [this](const std::string& line, TMigrationThread&) {
    if (line != "Start Tavrin Vault database copying") return;
    source_.connect()->executeDirect(
        "INSERT INTO TLU_DATAFOLDER (GUID, HRID, NAME, RELATIVEPATH, CREATEDAT, CREATEDBYGUID, "
        "LASTMODIFIEDAT) VALUES ('{LATE-FOLDER}', 'DF-LATE', 'Late', 'Late', "
        "'2024-06-01 12:00:00', 'a3f1c2d4-5b6e-4f70-8a91-b2c3d4e5f601', '2024-06-01 12:00:00')");
  };
  const RunResult run = migrate(r);
  ASSERT_TRUE(run.succeeded()) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(DumpTable(*source_.connect(), "TLU_DATAFOLDER").rows.size(),
            static_cast<size_t>(folders + 1));
  EXPECT_EQ(oracleRows("TLU_DATAFOLDER"), folders);
}

TEST_F(OracleMode, IsRefusedBeforeAnythingRunsWhileAnotherRunHoldsTheSchema) {
  // A run holds the folder of the stand-in's schema file.
  const std::optional<FolderLock> held = FolderLock::TryTake(machine_.str());
  ASSERT_TRUE(held.has_value());
  const RunResult run = migrate(request());
  EXPECT_EQ(run.lines, Concat(preamble(), {"ERROR - EMovrano Destination Oracle database (" +
                                               schemaFile_ + ") is in use by another migration.",
                                           "Import aborted"}));
  EXPECT_TRUE(commands().empty());
  EXPECT_TRUE(fs::exists(uninstaller_));
}

}  // namespace
}  // namespace movrano::testing
