#include "db/oracle/OracleDriver.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string_view>

#include "db/oracle/OracleCatalog.h"
#include "db/oracle/OracleConstraintBlocks.h"
#include "db/oracle/OracleCursor.h"
#include "db/oracle/OracleSql.h"
#include "db/oracle/OracleText.h"
#include "db/oracle/OracleValues.h"
#include "platform/Text.h"

namespace movrano::db {

namespace {

using namespace oracle_detail;

// The schema's own tables and their constraints, as Oracle's dictionary
// views list them.
constexpr const char* kDictionaryViews =
    "CREATE TEMP VIEW USER_TABLES AS SELECT ORA_NAME(name) AS TABLE_NAME FROM main.sqlite_master "
    "WHERE type = 'table' AND name NOT LIKE 'sqlite!_%' ESCAPE '!' AND name NOT GLOB 'ORA$[A-Z]*';"
    "CREATE TEMP VIEW USER_CONSTRAINTS AS SELECT (SELECT NAME FROM main.\"ORA$SCHEMA\") AS OWNER, "
    "NAME AS CONSTRAINT_NAME, TYPE AS CONSTRAINT_TYPE, TABLE_NAME, STATUS, REF_NAME AS "
    "R_CONSTRAINT_NAME, CONDITION AS SEARCH_CONDITION FROM main.\"ORA$CONSTRAINTS\" ORDER BY SEQ";

// SQLite's own messages in Oracle's words.
std::string OracleMessage(const std::string& message) {
  if (message.rfind("ORA-", 0) == 0) return message;
  if (message.rfind("no such table:", 0) == 0) return "ORA-00942: table or view does not exist";
  std::string column;
  if (message.rfind("no such column: ", 0) == 0) {
    column = message.substr(16);
    const size_t dot = column.find_last_of('.');
    if (dot != std::string::npos) column = column.substr(dot + 1);
  } else if (const size_t named = message.find(" has no column named ");
             message.rfind("table ", 0) == 0 && named != std::string::npos) {
    column = message.substr(named + 21);
  }
  if (!column.empty()) return Format("ORA-00904: \"%s\": invalid identifier", DecodeName(column));
  if (message.find(" already exists") != std::string::npos) {
    return "ORA-00955: name is already used by an existing object";
  }
  return DecodeName(message);
}

// CREATE, ALTER or DROP TABLE.
bool DefinesTable(const std::vector<Token>& tokens) {
  Cursor c(tokens);
  return (c.take("CREATE") || c.take("ALTER") || c.take("DROP")) && c.peek().is("TABLE");
}

constexpr int kBusyTimeoutMs = 10000;

// A column that is no NUMBER; -1 is one without a precision.
constexpr int kNoNumber = -2;

// The SQLite connection and the schema's dictionary, shared by the
// connection and its statements so that a statement outliving its
// connection is still finalized safely.
class Session {
 public:
  explicit Session(sqlite3* db) : db_(db) {}
  ~Session() { sqlite3_close_v2(db_); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  sqlite3* db() const { return db_; }
  Dictionary& dictionary() const { return *dictionary_; }
  void logIn(const ConnectionParams& params) {
    dictionary_ = std::make_unique<Dictionary>(db_, params.user, params.password, params.catalog);
  }

  [[noreturn]] void fail(std::string_view message) const {
    throw EDatabaseError(Format("%s (Oracle schema %s)", OracleMessage(std::string(message)),
                                dictionary_ ? dictionary_->schema() : std::string()),
                         sqlite3_extended_errcode(db_));
  }
  [[noreturn]] void failFromDb() const { fail(sqlite3_errmsg(db_)); }

  void exec(const char* sql) const {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) failFromDb();
  }

  bool inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }
  void begin() const { exec("BEGIN"); }
  void commit() const {
    if (inTransaction()) exec("COMMIT");
  }
  void rollback() const {
    if (inTransaction()) exec("ROLLBACK");
  }

  // Data definition: Oracle commits the open transaction first.
  template <typename Action>
  void define(Action action) const {
    commit();
    try {
      action(*dictionary_);
    } catch (const OracleFailure& e) {
      fail(e.what());
    }
  }

 private:
  sqlite3* db_;
  std::unique_ptr<Dictionary> dictionary_;
};

class OracleStatement : public StatementBackend {
 public:
  explicit OracleStatement(std::shared_ptr<Session> session) : session_(std::move(session)) {}
  ~OracleStatement() override {
    if (stmt_) sqlite3_finalize(stmt_);
  }

  void prepare(const std::string& sql) override {
    if (stmt_) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
    }
    block_ = Block::None;
    if (sql == kOracleDisableConstraintsBlock) {
      block_ = Block::Disable;
    } else if (sql == kOracleEnableConstraintsBlock) {
      block_ = Block::Enable;
    }
    bound_.clear();
    fieldDefs_.clear();
    if (block_ != Block::None) return;
    const std::string keyword = FirstKeyword(sql);
    if (keyword == "BEGIN" || keyword == "DECLARE") {
      session_->fail(
          "This PL/SQL block is not one the Oracle stand-in knows; it runs only the constraint "
          "switch blocks of the table transfer");
    }
    ddl_ = IsDdl(keyword);
    const std::vector<Token> tokens = Tokenize(sql);
    if (DefinesTable(tokens)) {
      // The tables are the installer's; one defined here would escape the
      // dictionary that keeps their constraints.
      session_->fail(Format(
          "%s TABLE is not a statement the Oracle stand-in takes; it uses the schema's tables "
          "as they are",
          keyword));
    }
    const std::string text = sqliteText(tokens);
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(session_->db(), text.c_str(), static_cast<int>(text.size()), &stmt_,
                           &tail) != SQLITE_OK) {
      session_->failFromDb();
    }
    if (!stmt_) session_->fail("The statement text holds no statement");
    if (tail && !Trim(tail).empty()) {
      sqlite3_finalize(stmt_);
      stmt_ = nullptr;
      session_->fail("The statement text holds more than one statement");
    }
    bound_.assign(sqlite3_bind_parameter_count(stmt_), BoundValue{});
  }

  int positionCount() const override { return static_cast<int>(bound_.size()); }

  void bind(int position, const BoundValue& value) override { bound_.at(position) = value; }

  bool returnsRows() const override { return stmt_ && sqlite3_column_count(stmt_) > 0; }

  void execute() override {
    closeCursor();
    changes_ = 0;
    if (block_ != Block::None) {
      const bool enable = block_ == Block::Enable;
      session_->define([&](Dictionary& d) { d.switchConstraints(enable); });
      return;
    }
    if (!stmt_) session_->fail("The statement is not prepared");
    sqlite3_clear_bindings(stmt_);
    for (size_t i = 0; i < bound_.size(); ++i)
      bindOne(static_cast<int>(i) + 1, bound_[i]);
    const bool writes = !ddl_ && !sqlite3_stmt_readonly(stmt_);
    if (ddl_) {
      session_->commit();
    } else if (writes && !session_->inTransaction()) {
      // Writes belong to a transaction that the connection commits or
      // rolls back; reads see what is committed, statement by statement.
      session_->begin();
    }
    done_ = false;
    step();
    describeColumns();
    if (done_) {
      if (writes) changes_ = sqlite3_changes(session_->db());
      sqlite3_reset(stmt_);
    }
  }

  const std::vector<FieldDef>& describe() override { return fieldDefs_; }

  bool fetch(std::vector<Variant>& row) override {
    if (!stmt_) return false;
    if (!pendingRow_) {
      if (done_) return false;
      step();
      if (!pendingRow_) {
        sqlite3_reset(stmt_);
        return false;
      }
    }
    pendingRow_ = false;
    row.resize(fieldDefs_.size());
    for (size_t i = 0; i < fieldDefs_.size(); ++i)
      row[i] = readColumn(static_cast<int>(i), fieldDefs_[i], numberScales_[i]);
    return true;
  }

  void closeCursor() override {
    pendingRow_ = false;
    done_ = true;
    if (stmt_) sqlite3_reset(stmt_);
  }

  long rowsAffected() const override { return changes_; }

 private:
  enum class Block { None, Disable, Enable };

  // Moves to the next row: pendingRow_ when there is one, done_ at the end.
  void step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
      pendingRow_ = true;
      return;
    }
    pendingRow_ = false;
    done_ = true;
    if (rc == SQLITE_DONE) return;
    const std::string message = sqlite3_errmsg(session_->db());
    sqlite3_reset(stmt_);
    session_->fail(message);
  }

  void describeColumns() {
    fieldDefs_.clear();
    numberScales_.clear();
    std::map<std::string, std::set<std::string>> required;
    const int count = sqlite3_column_count(stmt_);
    for (int i = 0; i < count; ++i) {
      FieldDef def;
      def.name = DecodeName(sqlite3_column_name(stmt_, i));
      const char* declaredOrNull = sqlite3_column_decltype(stmt_, i);
      const std::string_view declared = declaredOrNull ? declaredOrNull : "";
      def.type = DeclaredFieldType(declared, def.size);
      const std::string upper = UpperCase(Trim(declared));
      numberScales_.push_back(IsExactNumber(upper) ? NumberScale(upper) : kNoNumber);
      if (def.type == FieldType::Unknown) {
        def.type =
            pendingRow_ ? StorageFieldType(sqlite3_column_type(stmt_, i)) : FieldType::WideString;
      }
      const char* table = sqlite3_column_table_name(stmt_, i);
      const char* column = sqlite3_column_origin_name(stmt_, i);
      if (table && column) {
        const std::string name = DecodeName(table);
        auto known = required.find(name);
        if (known == required.end()) {
          known = required.emplace(name, session_->dictionary().requiredColumns(name)).first;
        }
        def.required = known->second.count(DecodeName(column)) > 0;
      }
      fieldDefs_.push_back(std::move(def));
    }
  }

  // The statement for SQLite: names encoded, and each value written into
  // a column passed through the column's own rules.
  std::string sqliteText(const std::vector<Token>& tokens) {
    std::optional<WriteTarget> target;
    try {
      target = ParseWrite(tokens);
    } catch (const std::invalid_argument&) {
      return ToSqlite(tokens);  // SQLite reports what it cannot read
    }
    if (!target) return ToSqlite(tokens);
    std::vector<std::pair<std::string, std::string>> columns;
    try {
      columns = session_->dictionary().columns(target->table);
    } catch (const OracleFailure& e) {
      session_->fail(e.what());
    }
    std::map<size_t, std::pair<size_t, std::string>> wrapped;  // begin -> end, suffix
    for (const ValueSlot& slot : target->slots) {
      const std::pair<std::string, std::string>* column = nullptr;
      if (slot.column.empty()) {
        if (slot.position >= columns.size()) session_->fail("ORA-00913: too many values");
        column = &columns[slot.position];
      } else {
        for (const auto& c : columns) {
          if (c.first == slot.column) column = &c;
        }
        if (!column) session_->fail(Format("ORA-00904: \"%s\": invalid identifier", slot.column));
      }
      const std::string qualified = Format("\"%s\".\"%s\".\"%s\"", session_->dictionary().schema(),
                                           target->table, column->first);
      wrapped[slot.begin] = {
          slot.end, ", " + SqlLiteral(column->second) + ", " + SqlLiteral(qualified) + ")"};
    }
    std::string sql;
    for (size_t i = 0; i < tokens.size();) {
      const auto slot = wrapped.find(i);
      if (slot == wrapped.end()) {
        sql += ToSqlite({tokens[i]});
        ++i;
        continue;
      }
      const size_t end = slot->second.first;
      sql += "ORA_VALUE(" +
             ToSqlite(std::vector<Token>(tokens.begin() + static_cast<long>(i),
                                         tokens.begin() + static_cast<long>(end))) +
             slot->second.second;
      i = end;
    }
    return sql;
  }

  std::string columnText(int column) const {
    const auto* p = sqlite3_column_text(stmt_, column);
    const int n = sqlite3_column_bytes(stmt_, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
             : std::string();
  }

  // A NUMBER with a scale, or without a precision, as the exact decimal
  // it holds: to the column's scale, or to the places the value has.
  Variant readDecimal(int column, int scale, const FieldDef& def) const {
    std::string plain;
    try {
      switch (sqlite3_column_type(stmt_, column)) {
        case SQLITE_INTEGER:
          plain = std::to_string(sqlite3_column_int64(stmt_, column));
          break;
        case SQLITE_FLOAT: {
          char buf[64];
          std::snprintf(buf, sizeof buf, "%.15g", sqlite3_column_double(stmt_, column));
          plain = PlainNumber(buf);
          break;
        }
        default:
          plain = PlainNumber(Trim(columnText(column)));
      }
    } catch (const std::out_of_range&) {
      session_->fail(
          Format("The value \"%s\" of column %s is not a number", columnText(column), def.name));
    }
    if (const std::optional<Decimal> d = DecimalOf(plain, scale)) return Variant(*d);
    return Variant(std::strtod(plain.c_str(), nullptr));  // beyond a decimal's 18 places
  }

  Variant readColumn(int column, const FieldDef& def, int numberScale) const {
    const int storage = sqlite3_column_type(stmt_, column);
    if (storage == SQLITE_NULL) return Variant::Null();
    if (numberScale != kNoNumber && numberScale != 0) return readDecimal(column, numberScale, def);
    switch (def.type) {
      case FieldType::String:
      case FieldType::WideString:
      case FieldType::Memo:
      case FieldType::WideMemo:
        return Variant(columnText(column));
      case FieldType::Blob: {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
        const int n = sqlite3_column_bytes(stmt_, column);
        return Variant::FromBytes(p ? Bytes(p, p + n) : Bytes());
      }
      case FieldType::SmallInt:
        return Variant::Integral(VarType::SmallInt, sqlite3_column_int64(stmt_, column));
      case FieldType::Integer: {
        const int64_t v = sqlite3_column_int64(stmt_, column);
        if (v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max()) {
          return Variant(static_cast<int32_t>(v));
        }
        return Variant(v);
      }
      case FieldType::LargeInt:
        return Variant(static_cast<int64_t>(sqlite3_column_int64(stmt_, column)));
      case FieldType::Float:
        return Variant(sqlite3_column_double(stmt_, column));
      case FieldType::Boolean:
        return Variant(sqlite3_column_int64(stmt_, column) != 0);
      case FieldType::Date:
      case FieldType::Time:
      case FieldType::DateTime: {
        if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
          return Variant(DateTime::FromDays(sqlite3_column_double(stmt_, column)));
        }
        const std::string text = columnText(column);
        DateTime value;
        if (!ParseDateTime(text, value)) {
          session_->fail(
              Format("The value \"%s\" of column %s is not a date and time", text, def.name));
        }
        return Variant(value);
      }
      case FieldType::Unknown:
        break;
    }
    return Variant(columnText(column));
  }

  void bindText(int position, std::string_view text) {
    // Oracle keeps the empty string as NULL.
    const int rc = text.empty()
                       ? sqlite3_bind_null(stmt_, position)
                       : sqlite3_bind_text(stmt_, position, text.data(),
                                           static_cast<int>(text.size()), SQLITE_TRANSIENT);
    checkBind(rc);
  }

  void checkBind(int rc) const {
    if (rc != SQLITE_OK) session_->failFromDb();
  }

  // Oracle keeps empty bytes as NULL too.
  void bindBytes(int position, const void* data, size_t size) {
    checkBind(size == 0 ? sqlite3_bind_null(stmt_, position)
                        : sqlite3_bind_blob(stmt_, position, data, static_cast<int>(size),
                                            SQLITE_TRANSIENT));
  }

  void bindOne(int position, const BoundValue& b) {
    const Variant& v = b.value;
    if (v.isNullOrEmpty()) {
      checkBind(sqlite3_bind_null(stmt_, position));
      return;
    }
    if (v.isBytes()) {
      const Bytes& bytes = v.bytes();
      if (b.type == FieldType::Memo || b.type == FieldType::WideMemo || IsTextType(b.type)) {
        // A memo's bytes are its text, as a CLOB receives them.
        bindText(position,
                 std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
      } else {
        bindBytes(position, bytes.data(), bytes.size());
      }
      return;
    }
    if (const Decimal* d = v.decimalIf()) {
      // As a column keeps it, so that it also compares equal to one.
      const StoredNumber n = ExactStorage(d->toString());
      if (const auto* whole = std::get_if<int64_t>(&n)) {
        checkBind(sqlite3_bind_int64(stmt_, position, *whole));
      } else if (const auto* real = std::get_if<double>(&n)) {
        checkBind(sqlite3_bind_double(stmt_, position, *real));
      } else {
        bindText(position, std::get<std::string>(n));
      }
    } else if (v.type() == VarType::Boolean) {
      checkBind(sqlite3_bind_int(stmt_, position, v.toBool() ? 1 : 0));
    } else if (IsIntegralType(v.type())) {
      checkBind(sqlite3_bind_int64(stmt_, position, v.toInt64()));
    } else if (v.isFloating()) {
      checkBind(sqlite3_bind_double(stmt_, position, v.toDouble()));
    } else if (v.type() == VarType::Date) {
      bindText(position, v.toDateTime().toString());
    } else if (b.type == FieldType::Blob) {
      const std::string text = v.toString();
      bindBytes(position, text.data(), text.size());
    } else {
      bindText(position, v.toString());
    }
  }

  std::shared_ptr<Session> session_;
  sqlite3_stmt* stmt_ = nullptr;
  Block block_ = Block::None;
  bool ddl_ = false;
  bool pendingRow_ = false;
  bool done_ = true;
  long changes_ = 0;
  std::vector<BoundValue> bound_;
  std::vector<FieldDef> fieldDefs_;
  std::vector<int> numberScales_;  // per column: a NUMBER's scale, or kNoNumber
};

class OracleConnection : public ConnectionBackend {
 public:
  explicit OracleConnection(std::shared_ptr<Session> session) : session_(std::move(session)) {}

  // As in Oracle, the transaction begins with its first write (each
  // statement begins one when none is open); reads before it take no lock.
  void begin(TransactionKind kind) override {
    if (session_->inTransaction()) throw EDatabaseError("A transaction is already active");
    // Only ever a destination: nothing reads an Oracle schema in a snapshot.
    if (kind == TransactionKind::ReadOnlySnapshot) {
      throw EDatabaseError("The Oracle stand-in has no read-only snapshot transactions");
    }
  }
  void commit() override { session_->commit(); }
  void rollback() override { session_->rollback(); }
  bool hasTransaction() const override { return session_->inTransaction(); }

  std::unique_ptr<StatementBackend> makeStatement() override {
    return std::make_unique<OracleStatement>(session_);
  }

  std::vector<std::string> tableNames() override {
    OracleStatement statement(session_);
    statement.prepare("SELECT table_name FROM user_tables");
    statement.execute();
    std::vector<std::string> names;
    std::vector<Variant> row;
    while (statement.fetch(row))
      names.push_back(row[0].toString());
    return names;
  }

 private:
  std::shared_ptr<Session> session_;
};

}  // namespace

std::unique_ptr<ConnectionBackend> OpenOracle(const ConnectionParams& params) {
  const std::string schema = UpperCase(params.catalog.empty() ? params.user : params.catalog);
  std::error_code ec;
  if (params.database.empty() || !std::filesystem::is_regular_file(params.database, ec)) {
    throw EDatabaseError(
        Format("ORA-12154: TNS:could not resolve the connect identifier specified: \"%s\" names no "
               "schema file (Oracle schema %s)",
               params.database, schema));
  }
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(params.database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw EDatabaseError(Format("Could not connect to Oracle \"%s\": %s (Oracle schema %s)",
                                params.database, message, schema),
                         rc);
  }
  auto session = std::make_shared<Session>(db);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  // A double-quoted name is never a text, as SQLite would otherwise take
  // an unknown one to be.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  RegisterOracleFunctions(db);
  session->exec("PRAGMA synchronous = OFF");  // a stand-in: its speed counts, not its durability
  try {
    session->logIn(params);
  } catch (const OracleFailure& e) {
    throw EDatabaseError(Format("%s (Oracle schema %s)", std::string(e.what()), schema));
  }
  session->exec(kDictionaryViews);
  return std::make_unique<OracleConnection>(std::move(session));
}

}  // namespace movrano::db
