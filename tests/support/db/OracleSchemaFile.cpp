#include "support/db/OracleSchemaFile.h"

#include <sqlite3.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "db/oracle/OracleCursor.h"
#include "db/oracle/OracleSql.h"
#include "db/oracle/OracleText.h"
#include "db/oracle/OracleTriggers.h"
#include "platform/Text.h"
#include "support/db/OracleTableDefinition.h"

namespace movrano::testing {

namespace {

namespace fs = std::filesystem;
using namespace db::oracle_detail;

// The dictionary the stand-in reads: the owner, the accounts and every
// constraint with its status.
constexpr const char* kDictionary =
    "CREATE TABLE \"ORA$SCHEMA\" (NAME TEXT NOT NULL);"
    "CREATE TABLE \"ORA$ACCOUNTS\" (USERNAME TEXT PRIMARY KEY, PASSWORD TEXT NOT NULL);"
    "CREATE TABLE \"ORA$CONSTRAINTS\" (SEQ INTEGER PRIMARY KEY, NAME TEXT NOT NULL UNIQUE, "
    "TYPE TEXT NOT NULL, TABLE_NAME TEXT NOT NULL, COLUMNS TEXT NOT NULL, REF_NAME TEXT, "
    "REF_TABLE TEXT, REF_COLUMNS TEXT, CONDITION TEXT, NOT_NULL INTEGER NOT NULL, "
    "STATUS TEXT NOT NULL)";

constexpr int kBusyTimeoutMs = 10000;

// Whether a declared (upper-case) NUMBER holds values that neither a
// double (15 digits) nor a 64-bit whole number keeps, so that SQLite must
// keep them as text.
bool HoldsWideNumbers(std::string_view declared) {
  if (!IsExactNumber(declared)) return false;
  const auto args = TypeArguments(declared);
  if (args.empty()) return true;
  return NumberScale(declared) > 0 ? args[0] > 15 : args[0] > 18;
}

// The declared type as SQLite reads it, with Oracle's meaning kept: the
// length unit moves before the parenthesis ("VARCHAR2 CHAR(40)"), bytes
// being the default; a NUMBER that holds wide values gets a word that has
// SQLite keep them as they are written ("NUMBER EXACT_BLOB(18,4)"), where
// it would turn their text into a double of 15 digits.
std::string SqliteType(const std::string& declared) {
  const size_t open = declared.find('(');
  const size_t close = declared.find(')', open);
  if (HoldsWideNumbers(UpperCase(Trim(declared)))) {
    if (open == std::string::npos) return Trim(declared) + " EXACT_BLOB";
    return Trim(declared.substr(0, open)) + " EXACT_BLOB" + declared.substr(open);
  }
  if (open == std::string::npos || close == std::string::npos) return declared;
  std::string inside = UpperCase(declared.substr(open + 1, close - open - 1));
  std::string unit;
  for (const char* u : {"CHAR", "BYTE"}) {
    const size_t at = inside.find(u);
    if (at == std::string::npos) continue;
    unit = u;
    inside = Trim(inside.substr(0, at));
  }
  if (unit.empty()) return declared;
  return Trim(declared.substr(0, open)) + (unit == "CHAR" ? " CHAR(" : "(") + inside + ")" +
         declared.substr(close + 1);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> items;
  for (size_t start = 0; !text.empty();) {
    const size_t end = text.find('\n', start);
    items.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return items;
}

// An open schema file; every failure raises std::runtime_error with
// Oracle's message where Oracle has one.
class SchemaFile {
 public:
  SchemaFile(const fs::path& file, int openFlags) {
    const int rc = sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | openFlags, nullptr);
    if (rc != SQLITE_OK) {
      const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
      sqlite3_close_v2(db_);
      throw std::runtime_error(message);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  }
  ~SchemaFile() { sqlite3_close_v2(db_); }
  SchemaFile(const SchemaFile&) = delete;
  SchemaFile& operator=(const SchemaFile&) = delete;

  void exec(const std::string& sql) const {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : sqlite3_errmsg(db_);
      sqlite3_free(error);
      throw std::runtime_error(message);
    }
  }

  // Every row of a query, each column as text ("" for NULL).
  std::vector<std::vector<std::string>> rows(const std::string& sql) const {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      throw std::runtime_error(sqlite3_errmsg(db_));
    }
    std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> owned(s, &sqlite3_finalize);
    std::vector<std::vector<std::string>> result;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
      auto& row = result.emplace_back();
      for (int i = 0; i < sqlite3_column_count(s); ++i) {
        const auto* text = sqlite3_column_text(s, i);
        row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      }
    }
    if (rc != SQLITE_DONE) throw std::runtime_error(sqlite3_errmsg(db_));
    return result;
  }

  // Runs `action` in a transaction of its own, rolled back on a failure.
  template <typename Action>
  void atomically(Action action) const {
    exec("BEGIN IMMEDIATE");
    try {
      action();
      exec("COMMIT");
    } catch (const std::exception&) {
      sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  }

  void createTable(const OracleTableDef& table) const {
    std::vector<std::string> columnSql;
    for (const OracleColumnDef& column : table.columns) {
      std::string sql = QuotedStoredName(column.name) + " " + SqliteType(column.type);
      if (!column.defaultText.empty()) sql += " DEFAULT " + ToSqlite(Tokenize(column.defaultText));
      columnSql.push_back(sql);
    }
    try {
      atomically([&] {
        if (hasTable(table.name)) {
          throw std::runtime_error("ORA-00955: name is already used by an existing object");
        }
        exec("CREATE TABLE " + QuotedStoredName(table.name) + " (" + JoinTexts(columnSql, ", ") +
             ")");
        // Keys first, so that a foreign key of the table may refer to them.
        for (const std::string_view pass : {"PUC", "R"}) {
          for (const OracleConstraintDef& def : table.constraints) {
            if (pass.find(def.type) != std::string_view::npos) addConstraint(table, def);
          }
        }
      });
    } catch (const std::runtime_error& e) {
      if (std::string(e.what()).find("UNIQUE constraint failed: ORA$CONSTRAINTS.NAME") !=
          std::string::npos) {
        throw std::runtime_error("ORA-02264: name already used by an existing constraint");
      }
      throw;
    }
  }

  void dropTable(const std::string& table) const {
    atomically([&] {
      if (!hasTable(table)) throw std::runtime_error("ORA-00942: table or view does not exist");
      for (const auto& constraint :
           rows("SELECT SEQ FROM \"ORA$CONSTRAINTS\" WHERE TABLE_NAME = " + SqlLiteral(table))) {
        const std::string pattern = ConstraintTriggerPrefix(std::stoll(constraint[0])) + "*";
        for (const auto& trigger :
             rows("SELECT name FROM sqlite_master WHERE type = 'trigger' AND name GLOB " +
                  SqlLiteral(pattern))) {
          exec("DROP TRIGGER \"" + trigger[0] + "\"");
        }
      }
      exec("DELETE FROM \"ORA$CONSTRAINTS\" WHERE TABLE_NAME = " + SqlLiteral(table));
      exec("DROP TABLE " + QuotedStoredName(table));
    });
  }

 private:
  bool hasTable(const std::string& table) const {
    return !rows("SELECT 1 FROM sqlite_master WHERE name = " + SqlLiteral(EncodeName(table)))
                .empty();
  }

  // Written enabled, with its triggers; an unnamed one gets the system's
  // name from its place in the dictionary.
  void addConstraint(const OracleTableDef& table, const OracleConstraintDef& def) const {
    std::vector<std::string> tableColumns;
    for (const OracleColumnDef& column : table.columns)
      tableColumns.push_back(column.name);
    for (const auto& column : def.columns) {
      if (std::find(tableColumns.begin(), tableColumns.end(), column) == tableColumns.end()) {
        throw std::runtime_error(Format("ORA-00904: \"%s\": invalid identifier", column));
      }
    }
    StoredConstraint c;
    c.type = def.type;
    c.table = table.name;
    c.columns = def.columns;
    c.notNull = def.notNull;
    c.condition = def.notNull ? "\"" + def.columns[0] + "\" IS NOT NULL" : def.condition;
    if (def.type == 'R') referTo(table, def, c);
    exec(Format(
        "INSERT INTO \"ORA$CONSTRAINTS\" (NAME, TYPE, TABLE_NAME, COLUMNS, REF_NAME, REF_TABLE, "
        "REF_COLUMNS, CONDITION, NOT_NULL, STATUS) VALUES (%s, %s, %s, %s, %s, %s, %s, %s, %d, "
        "'ENABLED')",
        def.name.empty() ? std::string("'#'") : SqlLiteral(def.name),
        SqlLiteral(std::string(1, c.type)), SqlLiteral(c.table),
        SqlLiteral(JoinTexts(c.columns, "\n")), SqlLiteral(c.refName), SqlLiteral(c.refTable),
        SqlLiteral(JoinTexts(c.refColumns, "\n")), SqlLiteral(c.condition), c.notNull ? 1 : 0));
    c.seq = sqlite3_last_insert_rowid(db_);
    c.name = def.name;
    if (def.name.empty()) {
      const std::string number = std::to_string(c.seq);
      c.name = "SYS_C" + std::string(number.size() < 7 ? 7 - number.size() : 0, '0') + number;
      exec(Format("UPDATE \"ORA$CONSTRAINTS\" SET NAME = %s WHERE SEQ = %d", SqlLiteral(c.name),
                  c.seq));
    }
    const std::string schema = rows("SELECT NAME FROM \"ORA$SCHEMA\"").at(0).at(0);
    for (const std::string& sql : ConstraintTriggers(
             c, schema, c.type == 'C' && !c.notNull ? tableColumns : std::vector<std::string>{}))
      exec(sql);
  }

  // A foreign key's parent key: the primary key of the parent table, or
  // its key on the columns named.
  void referTo(const OracleTableDef& table, const OracleConstraintDef& def,
               StoredConstraint& c) const {
    const auto keys =
        rows("SELECT NAME, TABLE_NAME, COLUMNS, TYPE FROM \"ORA$CONSTRAINTS\" WHERE TABLE_NAME = " +
             SqlLiteral(def.refTable) + " AND TYPE IN ('P', 'U')");
    if (keys.empty() && def.refTable != table.name && !hasTable(def.refTable)) {
      throw std::runtime_error("ORA-00942: table or view does not exist");
    }
    for (const auto& key : keys) {
      if (def.refColumns.empty() ? key[3] == "P" : Lines(key[2]) == def.refColumns) {
        c.refName = key[0];
        c.refTable = key[1];
        c.refColumns = Lines(key[2]);
        return;
      }
    }
    throw std::runtime_error("ORA-02270: no matching unique or primary key for this column-list");
  }

  sqlite3* db_ = nullptr;
};

[[noreturn]] void Fail(const fs::path& file, std::string_view what, const std::exception& e) {
  throw std::runtime_error(Format("Could not %s in the Oracle schema file \"%s\": %s",
                                  std::string(what), file.string(), std::string(e.what())));
}

}  // namespace

void CreateOracleSchema(const fs::path& file, const std::string& schema,
                        const std::vector<OracleLogin>& accounts) {
  try {
    const SchemaFile f(file, SQLITE_OPEN_CREATE);
    f.atomically([&] {
      f.exec(kDictionary);
      f.exec("INSERT INTO \"ORA$SCHEMA\" VALUES (" + SqlLiteral(UpperCase(schema)) + ")");
      for (const auto& a : accounts) {
        f.exec("INSERT INTO \"ORA$ACCOUNTS\" VALUES (" + SqlLiteral(UpperCase(a.user)) + ", " +
               SqlLiteral(a.password) + ")");
      }
    });
  } catch (const std::exception& e) {
    Fail(file, "make the schema " + schema, e);
  }
}

bool IsOracleTableDefinition(std::string_view sql) {
  const std::vector<Token> tokens = Tokenize(sql);
  Cursor c(tokens);
  return (c.take("CREATE") || c.take("DROP")) && c.peek().is("TABLE");
}

void DefineOracleTable(const fs::path& file, std::string_view sql) {
  try {
    const SchemaFile f(file, 0);
    if (const auto dropped = ParseDropTable(sql)) {
      f.dropTable(*dropped);
    } else if (const auto created = ParseCreateTable(sql)) {
      f.createTable(*created);
    } else {
      throw std::invalid_argument("neither a CREATE TABLE nor a DROP TABLE");
    }
  } catch (const std::exception& e) {
    Fail(file, "run \"" + std::string(sql) + "\"", e);
  }
}

}  // namespace movrano::testing
