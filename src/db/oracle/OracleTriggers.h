#pragma once
// The SQLite triggers that enforce one enabled Oracle constraint of the
// stand-in, each raising Oracle's error: NOT NULL and primary-key columns
// refuse NULL (ORA-01400, ORA-01407); keys refuse a second row with the
// same values (ORA-00001); checks refuse a row that fails them
// (ORA-02290); a foreign key refuses a row without its parent (ORA-02291)
// and a parent row that still has children (ORA-02292).
#include <cstdint>
#include <string>
#include <vector>

namespace movrano::db::oracle_detail {

// A constraint as the dictionary keeps it (Oracle's names).
struct StoredConstraint {
  int64_t seq = 0;
  std::string name;
  char type = 'C';
  std::string table;
  std::vector<std::string> columns;
  std::string refName;
  std::string refTable;
  std::vector<std::string> refColumns;
  std::string condition;
  bool notNull = false;
  bool enabled = true;
};

// The CREATE TRIGGER statements, named "ORA$T<seq>_<n>" (the prefix
// with a number); a check constraint needs the names of its table's
// columns.
std::string ConstraintTriggerPrefix(int64_t seq);
std::vector<std::string> ConstraintTriggers(const StoredConstraint& c, const std::string& schema,
                                            const std::vector<std::string>& tableColumns);

// Column names as stored, each after a prefix ("NEW.", "t."), and two
// such lists paired: "a = b AND c = d".
std::vector<std::string> Prefixed(const std::string& prefix, const std::vector<std::string>& names);
std::string Pairs(const std::vector<std::string>& left, const std::vector<std::string>& right,
                  std::string_view op, std::string_view joiner);

}  // namespace movrano::db::oracle_detail
