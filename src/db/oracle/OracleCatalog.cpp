#include "db/oracle/OracleCatalog.h"

#include "db/oracle/OracleText.h"
#include "db/oracle/OracleTriggers.h"
#include "platform/Text.h"

namespace movrano::db::oracle_detail {

namespace {

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

}  // namespace

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
                          SqlLiteral(ConstraintTriggerPrefix(c.seq) + "*");
  sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr);
  while (s && sqlite3_step(s) == SQLITE_ROW)
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 0)));
  sqlite3_finalize(s);
  for (const auto& n : names)
    exec("DROP TRIGGER \"" + n + "\"");
}

}  // namespace movrano::db::oracle_detail
