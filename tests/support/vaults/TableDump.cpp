#include "support/vaults/TableDump.h"

#include <algorithm>

#include "db/Query.h"

namespace movrano::testing {

namespace {

Cell CellOf(const db::Field& field) {
  if (field.isNull()) return std::nullopt;
  if (field.value().isBytes()) {
    const db::Bytes& bytes = field.value().bytes();
    return std::string(bytes.begin(), bytes.end());
  }
  return field.value().toString();
}

bool IsMemo(db::FieldType type) {
  return type == db::FieldType::Memo || type == db::FieldType::WideMemo;
}

bool IsUserColumn(const std::string& column) {
  return column == "CREATEDBYGUID" || column == "LASTMODIFIEDBYGUID";
}

void PrintCell(const Cell& cell, std::ostream& out) {
  if (!cell) {
    out << "NULL";
    return;
  }
  out << '"';
  for (unsigned char c : *cell) {
    if (c >= 0x20 && c != 0x7f) {
      out << c;
    } else {
      static const char* digits = "0123456789ABCDEF";
      out << "\\x" << digits[c >> 4] << digits[c & 15];
    }
  }
  out << '"';
}

// The query's rows, sorted, under the columns and types of `defs`.
TableRows ReadRows(db::Query& q, const std::vector<db::FieldDef>& defs) {
  TableRows result;
  for (const auto& def : defs) {
    result.columns.push_back(def.name);
    result.types.push_back(def.type);
  }
  for (; !q.eof(); q.next()) {
    Row row;
    for (int i = 0; i < q.fieldCount(); ++i)
      row.push_back(CellOf(q.field(i)));
    result.rows.push_back(std::move(row));
  }
  std::sort(result.rows.begin(), result.rows.end());
  return result;
}

}  // namespace

TableRows DumpTable(db::Connection& connection, const std::string& table) {
  db::Query q(connection);
  q.setSql("SELECT * FROM \"" + table + "\"");
  q.open();
  return ReadRows(q, q.fieldDefs());
}

TableRows DumpTableAsServerText(db::Connection& connection, const std::string& table) {
  db::Query shape(connection);
  shape.setSql("SELECT * FROM \"" + table + "\" WHERE 1 = 0");
  shape.open();
  std::string select;
  for (const auto& def : shape.fieldDefs()) {
    const std::string column = "\"" + def.name + "\"";
    select += select.empty() ? "" : ", ";
    select += def.isBlob() || db::IsTextType(def.type)
                  ? column
                  : "CAST(" + column + " AS VARCHAR(64)) AS " + column;
  }
  db::Query q(connection);
  q.setSql("SELECT " + select + " FROM \"" + table + "\"");
  q.open();
  return ReadRows(q, shape.fieldDefs());
}

DatabaseRows DumpTables(db::Connection& connection) {
  return DumpTables(connection, connection.tableNames());
}

DatabaseRows DumpTables(db::Connection& connection, const std::vector<std::string>& tables) {
  DatabaseRows result;
  for (const auto& table : tables)
    result[table] = DumpTable(connection, table);
  return result;
}

TableRows AsCopied(TableRows rows) {
  for (auto& row : rows.rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      Cell& cell = row[i];
      if (!cell && (IsMemo(rows.types[i]) || IsUserColumn(rows.columns[i]))) cell = "";
      if (cell && cell->empty() && rows.types[i] == db::FieldType::Blob) cell.reset();
    }
  }
  std::sort(rows.rows.begin(), rows.rows.end());
  return rows;
}

DatabaseRows AsCopied(DatabaseRows tables) {
  for (auto& [name, rows] : tables)
    rows = AsCopied(std::move(rows));
  return tables;
}

void PrintTo(const TableRows& rows, std::ostream* out) {
  *out << "(";
  for (size_t i = 0; i < rows.columns.size(); ++i)
    *out << (i ? ", " : "") << rows.columns[i];
  *out << ")";
  for (const auto& row : rows.rows) {
    *out << "\n  ";
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) *out << ", ";
      PrintCell(row[i], *out);
    }
  }
}

}  // namespace movrano::testing
