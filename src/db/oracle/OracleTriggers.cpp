#include "db/oracle/OracleTriggers.h"

#include "db/oracle/OracleSql.h"
#include "platform/Text.h"

namespace movrano::db::oracle_detail {

namespace {

std::string Raise(const std::string& message) {
  return "SELECT RAISE(ABORT, " + SqlLiteral(message) + ");";
}

// The condition with the table's columns read from the row being written.
std::string OnNewRow(const std::string& condition, const std::vector<std::string>& columns) {
  std::string sql;
  for (const Token& t : Tokenize(condition)) {
    if (t.isName()) {
      bool column = false;
      for (const auto& c : columns)
        column = column || c == t.name();
      if (column) {
        sql += "NEW." + QuotedStoredName(t.name());
        continue;
      }
    }
    sql += ToSqlite({t});
  }
  return sql;
}

}  // namespace

std::string ConstraintTriggerPrefix(int64_t seq) {
  return Format("ORA$T%d_", seq);
}

// "a = b AND c = d" over two lists of column expressions.
std::string Pairs(const std::vector<std::string>& left, const std::vector<std::string>& right,
                  std::string_view op, std::string_view joiner) {
  std::vector<std::string> parts;
  for (size_t i = 0; i < left.size() && i < right.size(); ++i)
    parts.push_back(left[i] + " " + std::string(op) + " " + right[i]);
  return JoinTexts(parts, joiner);
}

std::vector<std::string> Prefixed(const std::string& prefix,
                                  const std::vector<std::string>& names) {
  std::vector<std::string> out;
  for (const auto& n : names)
    out.push_back(prefix + QuotedStoredName(n));
  return out;
}

std::vector<std::string> ConstraintTriggers(const StoredConstraint& c, const std::string& schema,
                                            const std::vector<std::string>& tableColumns) {
  std::vector<std::string> statements;
  const std::string table = QuotedStoredName(c.table);
  const std::string prefix = "\"" + ConstraintTriggerPrefix(c.seq);
  const std::string qualified = schema + "." + c.name;
  int count = 0;
  // Keys are checked before the row is written; references after it, so
  // that a row may refer to itself, as Oracle checks them at the end of
  // the statement.
  const auto trigger = [&](const std::string& event, const std::string& on, const std::string& when,
                           const std::string& message, const char* timing = "BEFORE") {
    statements.push_back("CREATE TRIGGER " + prefix + std::to_string(++count) + "\" " + timing +
                         " " + event + " ON " + on + " FOR EACH ROW WHEN " + when + " BEGIN " +
                         Raise(message) + " END");
  };
  const std::vector<std::string> newCols = Prefixed("NEW.", c.columns);
  const std::string columnList = JoinTexts(Prefixed("", c.columns), ", ");
  const auto columnName = [&](const std::string& column) {
    return Format("(\"%s\".\"%s\".\"%s\")", schema, c.table, column);
  };
  if (c.notNull || c.type == 'P') {
    for (size_t i = 0; i < c.columns.size(); ++i) {
      trigger("INSERT", table, newCols[i] + " IS NULL",
              "ORA-01400: cannot insert NULL into " + columnName(c.columns[i]));
      trigger("UPDATE OF " + QuotedStoredName(c.columns[i]), table, newCols[i] + " IS NULL",
              "ORA-01407: cannot update " + columnName(c.columns[i]) + " to NULL");
    }
  }
  if (c.type == 'C' && !c.notNull) {
    const std::string when = "NOT (" + OnNewRow(c.condition, tableColumns) + ")";
    const std::string message = Format("ORA-02290: check constraint (%s) violated", qualified);
    trigger("INSERT", table, when, message);
    trigger("UPDATE", table, when, message);
  }
  if (c.type == 'P' || c.type == 'U') {
    const std::vector<std::string> cols = Prefixed("t.", c.columns);
    const std::string same =
        "EXISTS (SELECT 1 FROM " + table + " t WHERE " + Pairs(cols, newCols, "IS", " AND ");
    const std::string allNull = "(" + JoinTexts(newCols, " IS NULL AND ") + " IS NULL)";
    const std::string message = Format("ORA-00001: unique constraint (%s) violated", qualified);
    trigger("INSERT", table, "NOT " + allNull + " AND " + same + ")", message);
    trigger("UPDATE OF " + columnList, table,
            "NOT " + allNull + " AND " + same + " AND t.rowid <> OLD.rowid)", message);
  }
  if (c.type == 'R') {
    const std::string parent = QuotedStoredName(c.refTable);
    const std::vector<std::string> parentCols = Prefixed("p.", c.refColumns);
    const std::string missing = "(" + JoinTexts(newCols, " IS NOT NULL AND ") +
                                " IS NOT NULL) AND NOT EXISTS (SELECT 1 FROM " + parent +
                                " p WHERE " + Pairs(parentCols, newCols, "=", " AND ") + ")";
    const std::string noParent =
        Format("ORA-02291: integrity constraint (%s) violated - parent key not found", qualified);
    trigger("INSERT", table, missing, noParent, "AFTER");
    trigger("UPDATE OF " + columnList, table, missing, noParent, "AFTER");
    const std::vector<std::string> oldParent = Prefixed("OLD.", c.refColumns);
    const std::vector<std::string> newParent = Prefixed("NEW.", c.refColumns);
    const std::vector<std::string> childCols = Prefixed("c.", c.columns);
    const std::string children = "EXISTS (SELECT 1 FROM " + table + " c WHERE " +
                                 Pairs(childCols, oldParent, "=", " AND ") + ")";
    const std::string childFound =
        Format("ORA-02292: integrity constraint (%s) violated - child record found", qualified);
    trigger("DELETE", parent, children, childFound, "AFTER");
    trigger("UPDATE OF " + JoinTexts(Prefixed("", c.refColumns), ", "), parent,
            "(" + Pairs(oldParent, newParent, "IS NOT", " OR ") + ") AND " + children, childFound,
            "AFTER");
  }
  return statements;
}

}  // namespace movrano::db::oracle_detail
