#include "db/oracle/OracleDriver.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <filesystem>
#include <limits>
#include <string_view>

#include "db/oracle/OracleText.h"
#include "platform/Text.h"

namespace movrano::db {

namespace {

using namespace oracle_detail;

// The blocks of the Oracle table transfer that switch the schema's
// constraints off and on, exactly as the engine sends them.
constexpr std::string_view kDisableConstraintsBlock =
    "BEGIN\r\n"
    "  FOR c IN\r\n"
    "  (SELECT c.owner, c.table_name, c.constraint_name\r\n"
    "   FROM user_constraints c, user_tables t\r\n"
    "   WHERE c.table_name = t.table_name\r\n"
    "   AND c.status = 'ENABLED'\r\n"
    "   ORDER BY c.constraint_type DESC)\r\n"
    "  LOOP\r\n"
    "    dbms_utility.exec_ddl_statement('alter table \"' || c.owner || '\".\"' || c.table_name "
    "|| '\" disable constraint ' || c.constraint_name);\r\n"
    "  END LOOP;\r\n"
    "END;";

constexpr std::string_view kEnableConstraintsBlock =
    "BEGIN\r\n"
    "  FOR c IN\r\n"
    "  (SELECT c.owner, c.table_name, c.constraint_name\r\n"
    "   FROM user_constraints c, user_tables t\r\n"
    "   WHERE c.table_name = t.table_name\r\n"
    "   AND c.status = 'DISABLED'\r\n"
    "   ORDER BY c.constraint_type)\r\n"
    "  LOOP\r\n"
    "    dbms_utility.exec_ddl_statement('alter table \"' || c.owner || '\".\"' || c.table_name "
    "|| '\" enable constraint ' || c.constraint_name);\r\n"
    "  END LOOP;\r\n"
    "END;";

// The schema's own tables, as Oracle's dictionary view lists them.
constexpr const char* kUserTablesView =
    "CREATE TEMP VIEW user_tables AS SELECT name AS table_name FROM main.sqlite_master "
    "WHERE type = 'table' AND name NOT LIKE 'sqlite!_%' ESCAPE '!'";

constexpr int kBusyTimeoutMs = 10000;

// The SQLite connection, shared by the connection and its statements so
// that a statement outliving its connection is still finalized safely.
class Session {
 public:
  Session(sqlite3* db, std::string schema) : db_(db), schema_(std::move(schema)) {}
  ~Session() { sqlite3_close_v2(db_); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  sqlite3* db() const { return db_; }

  [[noreturn]] void fail(std::string_view message) const {
    throw EDatabaseError(Format("%s (Oracle schema %s)", message, schema_),
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

  // What the constraint blocks do: Oracle commits at the DDL they run.
  void switchConstraints(bool enabled) const {
    commit();
    if (!enabled) {
      exec("PRAGMA foreign_keys = OFF");
      return;
    }
    exec("PRAGMA foreign_keys = ON");
    validateForeignKeys();
  }

 private:
  // Enabling a constraint validates the rows; one that fails stays off.
  void validateForeignKeys() const {
    sqlite3_stmt* check = nullptr;
    if (sqlite3_prepare_v2(db_, "PRAGMA foreign_key_check", -1, &check, nullptr) != SQLITE_OK) {
      failFromDb();
    }
    const int rc = sqlite3_step(check);
    std::string problem;
    if (rc == SQLITE_ROW) {
      const auto text = [&](int column) {
        const auto* p = sqlite3_column_text(check, column);
        return std::string(p ? reinterpret_cast<const char*>(p) : "");
      };
      problem = Format(
          "cannot validate the foreign keys of table \"%s\" - parent keys not found (row %d "
          "refers to a missing row of \"%s\")",
          text(0), static_cast<int64_t>(sqlite3_column_int64(check, 1)), text(2));
    } else if (rc != SQLITE_DONE) {
      problem = sqlite3_errmsg(db_);
    }
    sqlite3_finalize(check);
    if (problem.empty()) return;
    sqlite3_exec(db_, "PRAGMA foreign_keys = OFF", nullptr, nullptr, nullptr);
    fail(problem);
  }

  sqlite3* db_;
  std::string schema_;
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
    if (sql == kDisableConstraintsBlock) {
      block_ = Block::Disable;
    } else if (sql == kEnableConstraintsBlock) {
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
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(session_->db(), sql.c_str(), static_cast<int>(sql.size()), &stmt_,
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
      session_->switchConstraints(block_ == Block::Enable);
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
      row[i] = readColumn(static_cast<int>(i), fieldDefs_[i]);
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
    const int count = sqlite3_column_count(stmt_);
    for (int i = 0; i < count; ++i) {
      FieldDef def;
      def.name = sqlite3_column_name(stmt_, i);
      const char* declared = sqlite3_column_decltype(stmt_, i);
      def.type = DeclaredFieldType(declared ? declared : "", def.size);
      if (def.type == FieldType::Unknown) {
        def.type =
            pendingRow_ ? StorageFieldType(sqlite3_column_type(stmt_, i)) : FieldType::WideString;
      }
      const char* database = sqlite3_column_database_name(stmt_, i);
      const char* table = sqlite3_column_table_name(stmt_, i);
      const char* column = sqlite3_column_origin_name(stmt_, i);
      if (database && table && column) {
        int notNull = 0;
        int primaryKey = 0;
        if (sqlite3_table_column_metadata(session_->db(), database, table, column, nullptr, nullptr,
                                          &notNull, &primaryKey, nullptr) == SQLITE_OK) {
          def.required = notNull != 0 || primaryKey != 0;
        }
      }
      fieldDefs_.push_back(std::move(def));
    }
  }

  std::string columnText(int column) const {
    const auto* p = sqlite3_column_text(stmt_, column);
    const int n = sqlite3_column_bytes(stmt_, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(n))
             : std::string();
  }

  Variant readColumn(int column, const FieldDef& def) const {
    const int storage = sqlite3_column_type(stmt_, column);
    if (storage == SQLITE_NULL) return Variant::Null();
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

  void bindOne(int position, const BoundValue& b) {
    const Variant& v = b.value;
    if (v.isNullOrEmpty()) {
      checkBind(sqlite3_bind_null(stmt_, position));
      return;
    }
    if (v.isBytes()) {
      const Bytes& bytes = v.bytes();
      if (bytes.empty()) {
        checkBind(sqlite3_bind_null(stmt_, position));
      } else if (b.type == FieldType::Memo || b.type == FieldType::WideMemo || IsTextType(b.type)) {
        // A memo's bytes are its text, as a CLOB receives them.
        bindText(position,
                 std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
      } else {
        checkBind(sqlite3_bind_blob(stmt_, position, bytes.data(), static_cast<int>(bytes.size()),
                                    SQLITE_TRANSIENT));
      }
      return;
    }
    if (v.type() == VarType::Boolean) {
      checkBind(sqlite3_bind_int(stmt_, position, v.toBool() ? 1 : 0));
    } else if (IsIntegralType(v.type())) {
      checkBind(sqlite3_bind_int64(stmt_, position, v.toInt64()));
    } else if (v.isFloating()) {
      checkBind(sqlite3_bind_double(stmt_, position, v.toDouble()));
    } else if (v.type() == VarType::Date) {
      bindText(position, v.toDateTime().toString());
    } else if (b.type == FieldType::Blob) {
      const std::string text = v.toString();
      if (text.empty()) {
        checkBind(sqlite3_bind_null(stmt_, position));
      } else {
        checkBind(sqlite3_bind_blob(stmt_, position, text.data(), static_cast<int>(text.size()),
                                    SQLITE_TRANSIENT));
      }
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
};

class OracleConnection : public ConnectionBackend {
 public:
  explicit OracleConnection(std::shared_ptr<Session> session) : session_(std::move(session)) {}

  void begin() override {
    if (session_->inTransaction()) throw EDatabaseError("A transaction is already active");
    session_->begin();
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
  const std::string schema = params.catalog.empty() ? params.user : params.catalog;
  std::error_code ec;
  if (params.database.empty() || !std::filesystem::is_regular_file(params.database, ec)) {
    throw EDatabaseError(Format(
        "Could not connect to Oracle: the TNS alias \"%s\" names no schema file (Oracle schema %s)",
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
  auto session = std::make_shared<Session>(db, schema);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db, 1);
  session->exec("PRAGMA foreign_keys = ON");
  session->exec(kUserTablesView);
  return std::make_unique<OracleConnection>(std::move(session));
}

}  // namespace movrano::db
