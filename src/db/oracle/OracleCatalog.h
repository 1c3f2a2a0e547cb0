#pragma once
// The stand-in's data dictionary, kept in the schema file beside the
// tables: the schema's owner, the accounts that may log in, and every
// constraint of the schema's tables with its status, as Oracle lists them
// in user_constraints (P primary, U unique, R foreign, C check and NOT
// NULL). An enabled constraint is enforced by SQLite triggers made for it
// and raises Oracle's error; a disabled one has none. Switching one on
// validates the rows first, and Oracle's dependency rules hold: a key
// referenced by an enabled foreign key cannot be switched off, and a
// foreign key cannot be switched on while its key is off.
#include <sqlite3.h>

#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/oracle/OracleSql.h"
#include "db/oracle/OracleTriggers.h"

namespace movrano::db::oracle_detail {

// A failure with Oracle's message.
class OracleFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Dictionary {
 public:
  // Logs in: the schema named (or the user's own) must be the file's, and
  // the account must exist with that password (ORA-01017).
  Dictionary(sqlite3* db, const std::string& user, const std::string& password,
             const std::string& schema);

  const std::string& schema() const { return schema_; }

  // The blocks of the table transfer: every constraint in the given
  // status switched, in the order of its type (descending to switch them
  // off), each switch committed on its own.
  void switchConstraints(bool enable);

  // Columns with a NOT NULL or primary key constraint.
  std::set<std::string> requiredColumns(const std::string& table) const;

  // The table's columns and their declared types, in their order; throws
  // ORA-00942 when the table does not exist.
  std::vector<std::pair<std::string, std::string>> columns(const std::string& table) const;

 private:
  using Constraint = StoredConstraint;
  std::vector<Constraint> load(const std::string& where) const;
  void enable(const Constraint& c);
  void disable(const Constraint& c);
  void makeTriggers(const Constraint& c);
  void dropTriggers(const Constraint& c);
  void exec(const std::string& sql) const;
  bool anyRow(const std::string& sql) const;
  // Runs `action` in a transaction of its own, rolled back on a failure.
  template <typename Action>
  void atomically(Action action);
  std::string qualified(const Constraint& c) const;

  sqlite3* db_;
  std::string schema_;
};

}  // namespace movrano::db::oracle_detail
