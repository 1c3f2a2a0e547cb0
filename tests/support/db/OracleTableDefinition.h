#pragma once
// CREATE TABLE and DROP TABLE in Oracle's words, read for the schema files
// of the "oracle" stand-in (OracleSchemaFile.h): a table's columns with
// their declared types and defaults, and its constraints, named or not.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace movrano::testing {

struct OracleConstraintDef {
  std::string name;  // empty: the system names it
  char type = 'C';   // P, U, R or C
  std::vector<std::string> columns;
  std::string refTable;  // R: the parent table
  std::vector<std::string> refColumns;
  std::string condition;  // C: Oracle's text of the condition
  bool notNull = false;   // C: the column's NOT NULL
};

struct OracleColumnDef {
  std::string name;
  std::string type;  // as declared, e.g. VARCHAR2(40 CHAR)
  std::string defaultText;
};

struct OracleTableDef {
  std::string name;
  std::vector<OracleColumnDef> columns;
  std::vector<OracleConstraintDef> constraints;
};

// CREATE TABLE, or nothing when the statement is another one. Throws
// std::invalid_argument for a CREATE TABLE it cannot read.
std::optional<OracleTableDef> ParseCreateTable(std::string_view sql);

// DROP TABLE <name>: the table's name.
std::optional<std::string> ParseDropTable(std::string_view sql);

}  // namespace movrano::testing
