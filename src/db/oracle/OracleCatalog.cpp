#include "db/oracle/OracleCatalog.h"

#include <algorithm>
#include <string_view>

#include "db/oracle/OracleText.h"
#include "db/oracle/OracleTriggers.h"
#include "platform/Text.h"

namespace movrano::db::oracle_detail {

namespace {

constexpr const char* kDictionary =
    "CREATE TABLE \"ORA$SCHEMA\" (NAME TEXT NOT NULL);"
    "CREATE TABLE \"ORA$ACCOUNTS\" (USERNAME TEXT PRIMARY KEY, PASSWORD TEXT NOT NULL);"
    "CREATE TABLE \"ORA$CONSTRAINTS\" (SEQ INTEGER PRIMARY KEY, NAME TEXT NOT NULL UNIQUE, "
    "TYPE TEXT NOT NULL, TABLE_NAME TEXT NOT NULL, COLUMNS TEXT NOT NULL, REF_NAME TEXT, "
    "REF_TABLE TEXT, REF_COLUMNS TEXT, CONDITION TEXT, NOT_NULL INTEGER NOT NULL, "
    "STATUS TEXT NOT NULL)";

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n', start);
    items.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return items;
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

}  // namespace

void CreateDictionary(sqlite3* db, const std::string& schema,
                      const std::vector<OracleAccount>& accounts) {
  std::string sql = std::string("BEGIN;") + kDictionary + ";INSERT INTO \"ORA$SCHEMA\" VALUES (" +
                    SqlLiteral(UpperCase(schema)) + ");";
  for (const auto& a : accounts) {
    sql += "INSERT INTO \"ORA$ACCOUNTS\" VALUES (" + SqlLiteral(UpperCase(a.user)) + ", " +
           SqlLiteral(a.password) + ");";
  }
  sql += "COMMIT;";
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw OracleFailure("Could not make the schema's dictionary: " + message);
  }
}

Dictionary::Dictionary(sqlite3* db, const std::string& user, const std::string& password,
                       const std::string& schema)
    : db_(db) {
  std::string owner;
  std::string stored;
  bool known = false;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_,
                         "SELECT (SELECT NAME FROM \"ORA$SCHEMA\"), (SELECT PASSWORD FROM "
                         "\"ORA$ACCOUNTS\" WHERE USERNAME = ?)",
                         -1, &s, nullptr) != SQLITE_OK) {
    sqlite3_finalize(s);
    throw OracleFailure("ORA-12154: TNS:could not resolve the connect identifier specified");
  }
  const std::string folded = UpperCase(user);
  sqlite3_bind_text(s, 1, folded.c_str(), -1, SQLITE_TRANSIENT);
  if (sqlite3_step(s) == SQLITE_ROW) {
    const auto* o = sqlite3_column_text(s, 0);
    const auto* p = sqlite3_column_text(s, 1);
    owner = o ? reinterpret_cast<const char*>(o) : "";
    known = p != nullptr;
    stored = p ? reinterpret_cast<const char*>(p) : "";
  }
  sqlite3_finalize(s);
  if (!known || stored != password) {
    throw OracleFailure("ORA-01017: invalid username/password; logon denied");
  }
  schema_ = UpperCase(schema.empty() ? user : schema);
  if (schema_ != owner) {
    throw OracleFailure(
        Format("ORA-01435: user does not exist (the schema file holds the schema %s only)", owner));
  }
}

void Dictionary::exec(const std::string& sql) const {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw OracleFailure(message);
  }
}

bool Dictionary::anyRow(const std::string& sql) const {
  sqlite3_stmt* s = nullptr;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
    const std::string message = sqlite3_errmsg(db_);
    sqlite3_finalize(s);
    throw OracleFailure(message);
  }
  const int rc = sqlite3_step(s);
  sqlite3_finalize(s);
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw OracleFailure(sqlite3_errmsg(db_));
  return rc == SQLITE_ROW;
}

bool Dictionary::hasTable(const std::string& table) const {
  return anyRow("SELECT 1 FROM sqlite_master WHERE name = " + SqlLiteral(EncodeName(table)));
}

template <typename Action>
void Dictionary::atomically(Action action) {
  exec("BEGIN");
  try {
    action();
    exec("COMMIT");
  } catch (const OracleFailure&) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

std::vector<std::pair<std::string, std::string>> Dictionary::columns(
    const std::string& table) const {
  std::vector<std::pair<std::string, std::string>> result;
  sqlite3_stmt* s = nullptr;
  const std::string sql = "PRAGMA table_info(" + QuotedStoredName(table) + ")";
  sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr);
  while (s && sqlite3_step(s) == SQLITE_ROW) {
    const auto* name = sqlite3_column_text(s, 1);
    const auto* type = sqlite3_column_text(s, 2);
    result.emplace_back(DecodeName(reinterpret_cast<const char*>(name)),
                        type ? reinterpret_cast<const char*>(type) : "");
  }
  sqlite3_finalize(s);
  if (result.empty()) throw OracleFailure("ORA-00942: table or view does not exist");
  return result;
}

std::set<std::string> Dictionary::requiredColumns(const std::string& table) const {
  std::set<std::string> required;
  for (const Constraint& c : load("TABLE_NAME = " + SqlLiteral(table))) {
    if (c.notNull || c.type == 'P') required.insert(c.columns.begin(), c.columns.end());
  }
  return required;
}

std::vector<Dictionary::Constraint> Dictionary::load(const std::string& where) const {
  std::vector<Constraint> result;
  sqlite3_stmt* s = nullptr;
  const std::string sql =
      "SELECT SEQ, NAME, TYPE, TABLE_NAME, COLUMNS, REF_NAME, REF_TABLE, REF_COLUMNS, CONDITION, "
      "NOT_NULL, STATUS FROM \"ORA$CONSTRAINTS\" WHERE " +
      where;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
    sqlite3_finalize(s);
    throw OracleFailure(sqlite3_errmsg(db_));
  }
  const auto text = [&](int i) {
    const auto* p = sqlite3_column_text(s, i);
    return std::string(p ? reinterpret_cast<const char*>(p) : "");
  };
  while (sqlite3_step(s) == SQLITE_ROW) {
    Constraint c;
    c.seq = sqlite3_column_int64(s, 0);
    c.name = text(1);
    c.type = text(2).empty() ? 'C' : text(2)[0];
    c.table = text(3);
    c.columns = Split(text(4));
    c.refName = text(5);
    c.refTable = text(6);
    c.refColumns = Split(text(7));
    c.condition = text(8);
    c.notNull = sqlite3_column_int(s, 9) != 0;
    c.enabled = text(10) == "ENABLED";
    result.push_back(std::move(c));
  }
  sqlite3_finalize(s);
  return result;
}

std::string Dictionary::qualified(const Constraint& c) const {
  return schema_ + "." + c.name;
}

void Dictionary::createTable(const TableDef& table) {
  std::vector<std::string> columnSql;
  for (const ColumnDef& column : table.columns) {
    std::string sql = QuotedStoredName(column.name) + " " + SqliteType(column.type);
    if (!column.defaultText.empty()) sql += " DEFAULT " + ToSqlite(Tokenize(column.defaultText));
    columnSql.push_back(sql);
  }
  try {
    atomically([&] {
      if (hasTable(table.name)) {
        throw OracleFailure("ORA-00955: name is already used by an existing object");
      }
      exec("CREATE TABLE " + QuotedStoredName(table.name) + " (" + JoinTexts(columnSql, ", ") +
           ")");
      // Keys first, so that a foreign key of the table may refer to them.
      for (const std::string_view pass : {"PUC", "R"}) {
        for (const ConstraintDef& def : table.constraints) {
          if (pass.find(def.type) != std::string_view::npos) addConstraint(table, def);
        }
      }
    });
  } catch (const OracleFailure& e) {
    const std::string message = e.what();
    if (message.find("UNIQUE constraint failed: ORA$CONSTRAINTS.NAME") != std::string::npos) {
      throw OracleFailure("ORA-02264: name already used by an existing constraint");
    }
    throw;
  }
}

void Dictionary::addConstraint(const TableDef& table, const ConstraintDef& def) {
  for (const auto& column : def.columns) {
    if (std::none_of(table.columns.begin(), table.columns.end(),
                     [&](const ColumnDef& c) { return c.name == column; })) {
      throw OracleFailure(Format("ORA-00904: \"%s\": invalid identifier", column));
    }
  }
  Constraint c;
  c.seq = 0;
  c.type = def.type;
  c.table = table.name;
  c.columns = def.columns;
  c.notNull = def.notNull;
  c.condition = def.notNull ? "\"" + def.columns[0] + "\" IS NOT NULL" : def.condition;
  if (def.type == 'R') {
    const std::string parentTable = def.refTable;
    std::vector<Constraint> keys =
        load("TABLE_NAME = " + SqlLiteral(parentTable) + " AND TYPE IN ('P', 'U')");
    if (keys.empty() && parentTable != table.name && !hasTable(parentTable)) {
      throw OracleFailure("ORA-00942: table or view does not exist");
    }
    const Constraint* key = nullptr;
    for (const Constraint& k : keys) {
      if (def.refColumns.empty() ? k.type == 'P' : k.columns == def.refColumns) key = &k;
    }
    if (!key) {
      throw OracleFailure("ORA-02270: no matching unique or primary key for this column-list");
    }
    c.refName = key->name;
    c.refTable = key->table;
    c.refColumns = key->columns;
  }
  exec(Format(
      "INSERT INTO \"ORA$CONSTRAINTS\" (NAME, TYPE, TABLE_NAME, COLUMNS, REF_NAME, REF_TABLE, "
      "REF_COLUMNS, CONDITION, NOT_NULL, STATUS) VALUES (%s, %s, %s, %s, %s, %s, %s, %s, %d, "
      "'ENABLED')",
      def.name.empty() ? std::string("'#'") : SqlLiteral(def.name),
      SqlLiteral(std::string(1, c.type)), SqlLiteral(c.table),
      SqlLiteral(JoinTexts(c.columns, "\n")), SqlLiteral(c.refName), SqlLiteral(c.refTable),
      SqlLiteral(JoinTexts(c.refColumns, "\n")), SqlLiteral(c.condition), c.notNull ? 1 : 0));
  c.seq = sqlite3_last_insert_rowid(db_);
  // Unnamed constraints get the system's name.
  c.name = def.name;
  if (def.name.empty()) {
    const std::string number = std::to_string(c.seq);
    c.name = "SYS_C" + std::string(number.size() < 7 ? 7 - number.size() : 0, '0') + number;
    exec(Format("UPDATE \"ORA$CONSTRAINTS\" SET NAME = %s WHERE SEQ = %d", SqlLiteral(c.name),
                c.seq));
  }
  makeTriggers(c);
}

void Dictionary::dropTable(const std::string& table) {
  atomically([&] {
    for (const Constraint& c : load("TABLE_NAME = " + SqlLiteral(table)))
      dropTriggers(c);
    exec("DELETE FROM \"ORA$CONSTRAINTS\" WHERE TABLE_NAME = " + SqlLiteral(table));
    exec("DROP TABLE " + QuotedStoredName(table));
  });
}

void Dictionary::switchConstraints(bool enable) {
  const std::vector<Constraint> all =
      load(std::string("STATUS = ") + (enable ? "'DISABLED'" : "'ENABLED'") + " ORDER BY TYPE" +
           (enable ? "" : " DESC") + ", SEQ");
  for (const Constraint& c : all) {
    atomically([&] {
      if (enable) {
        this->enable(c);
      } else {
        disable(c);
      }
    });
  }
}

void Dictionary::enable(const Constraint& c) {
  const std::string table = QuotedStoredName(c.table);
  const std::vector<std::string> cols = Prefixed("", c.columns);
  const std::string name = qualified(c);
  if (c.notNull) {
    if (anyRow("SELECT 1 FROM " + table + " WHERE " + cols[0] + " IS NULL LIMIT 1")) {
      throw OracleFailure(Format("ORA-02296: cannot enable (%s) - null values found", name));
    }
  } else if (c.type == 'C') {
    if (anyRow("SELECT 1 FROM " + table + " WHERE NOT (" + ToSqlite(Tokenize(c.condition)) +
               ") LIMIT 1")) {
      throw OracleFailure(
          Format("ORA-02293: cannot validate (%s) - check constraint violated", name));
    }
  } else if (c.type == 'P' || c.type == 'U') {
    if (c.type == 'P' && anyRow("SELECT 1 FROM " + table + " WHERE " +
                                JoinTexts(cols, " IS NULL OR ") + " IS NULL LIMIT 1")) {
      throw OracleFailure("ORA-01449: column contains NULL values; cannot alter to NOT NULL");
    }
    if (anyRow("SELECT 1 FROM " + table + " WHERE NOT (" + JoinTexts(cols, " IS NULL AND ") +
               " IS NULL) GROUP BY " + JoinTexts(cols, ", ") + " HAVING COUNT(*) > 1 LIMIT 1")) {
      throw OracleFailure(
          c.type == 'P' ? Format("ORA-02437: cannot validate (%s) - primary key violated", name)
                        : Format("ORA-02299: cannot validate (%s) - duplicate keys found", name));
    }
  } else if (c.type == 'R') {
    const auto keys = load("NAME = " + SqlLiteral(c.refName) + " AND STATUS = 'ENABLED'");
    if (keys.empty()) {
      throw OracleFailure("ORA-02270: no matching unique or primary key for this column-list");
    }
    const std::vector<std::string> child = Prefixed("c.", c.columns);
    const std::vector<std::string> parent = Prefixed("p.", c.refColumns);
    if (anyRow("SELECT 1 FROM " + table + " c WHERE " + JoinTexts(child, " IS NOT NULL AND ") +
               " IS NOT NULL AND NOT EXISTS (SELECT 1 FROM " + QuotedStoredName(c.refTable) +
               " p WHERE " + Pairs(parent, child, "=", " AND ") + ") LIMIT 1")) {
      throw OracleFailure(Format("ORA-02298: cannot validate (%s) - parent keys not found", name));
    }
  }
  makeTriggers(c);
  exec(Format("UPDATE \"ORA$CONSTRAINTS\" SET STATUS = 'ENABLED' WHERE SEQ = %d", c.seq));
}

void Dictionary::disable(const Constraint& c) {
  if ((c.type == 'P' || c.type == 'U') &&
      !load("REF_NAME = " + SqlLiteral(c.name) + " AND STATUS = 'ENABLED'").empty()) {
    throw OracleFailure(
        Format("ORA-02297: cannot disable constraint (%s) - dependencies exist", qualified(c)));
  }
  dropTriggers(c);
  exec(Format("UPDATE \"ORA$CONSTRAINTS\" SET STATUS = 'DISABLED' WHERE SEQ = %d", c.seq));
}

void Dictionary::makeTriggers(const Constraint& c) {
  std::vector<std::string> tableColumns;
  if (c.type == 'C' && !c.notNull) {
    for (const auto& [name, type] : columns(c.table))
      tableColumns.push_back(name);
  }
  for (const std::string& sql : ConstraintTriggers(c, schema_, tableColumns))
    exec(sql);
}

void Dictionary::dropTriggers(const Constraint& c) {
  std::vector<std::string> names;
  sqlite3_stmt* s = nullptr;
  const std::string sql = "SELECT name FROM sqlite_master WHERE type = 'trigger' AND name GLOB " +
                          SqlLiteral(Format("ORA$T%d_*", c.seq));
  sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr);
  while (s && sqlite3_step(s) == SQLITE_ROW)
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
  sqlite3_finalize(s);
  for (const auto& n : names)
    exec("DROP TRIGGER \"" + n + "\"");
}

}  // namespace movrano::db::oracle_detail
