#pragma once
// Every row of a database's tables as comparable values: to check that a
// destination holds what the source held, and that a failed run left a
// database exactly as it was.
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "db/Connection.h"
#include "db/Types.h"
#include "support/vaults/PlanTables.h"

namespace movrano::testing {

// A column's value: nullopt for NULL, else its text; BLOBs and memos as
// their bytes, numbers and time stamps as the database layer writes them.
using Cell = std::optional<std::string>;
using Row = std::vector<Cell>;

struct TableRows {
  std::vector<std::string> columns;
  std::vector<db::FieldType> types;
  std::vector<Row> rows;  // sorted, so that the order of insertion does not count

  // Columns and rows; two databases may type a column differently.
  friend bool operator==(const TableRows& a, const TableRows& b) {
    return a.columns == b.columns && a.rows == b.rows;
  }
};

// By table name.
using DatabaseRows = std::map<std::string, TableRows>;

TableRows DumpTable(db::Connection& connection, const std::string& table);
// The same rows with every column that is neither text nor BLOB turned
// into text by the database itself (numbers to their last decimal, times
// to the 1/10000 s), so that no client-side conversion can hide a changed
// value.
TableRows DumpTableAsServerText(db::Connection& connection, const std::string& table);

// Every user table of the database.
DatabaseRows DumpTables(db::Connection& connection);
DatabaseRows DumpTables(db::Connection& connection, const std::vector<std::string>& tables);

// The rows as the table copy writes them: a NULL memo becomes the empty
// text, an empty binary BLOB becomes NULL, and a NULL CREATEDBYGUID or
// LASTMODIFIEDBYGUID (the user columns the copy collects) the empty text.
TableRows AsCopied(TableRows rows);
DatabaseRows AsCopied(DatabaseRows tables);

// Readable failure output for GoogleTest.
void PrintTo(const TableRows& rows, std::ostream* out);

}  // namespace movrano::testing
