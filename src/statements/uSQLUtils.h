#pragma once
// Running named statements of the catalogue on a connection: create a
// query, read one value, read the first row, execute with parameters bound
// by name. A name that no statement has is used itself as the SQL text.
// Failures of the database layer reach the caller unchanged.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/Connection.h"
#include "db/Query.h"
#include "db/Variant.h"

namespace movrano {

// One result row, a value per column in the statement's column order.
using TVarArray = std::vector<db::Variant>;

// A new query on the connection holding the statement's text; neither
// prepared nor opened.
std::unique_ptr<db::Query> CreateQuery(db::Connection& AConnection, std::string_view AName);

// The first column of the first row; Null when there is no row or that
// column is NULL. A failing statement raises, and the value is then Null.
void GetValue(db::Connection& AConnection, std::string_view AName, db::Variant& AValue);

// The first row, resized to its column count; left exactly as it was when
// the statement returns no row.
void GetRow(db::Connection& AConnection, std::string_view AName, TVarArray& ARow);

// Prepares the statement, binds the values by name and executes it.
void ExecStatement(db::Connection& AConnection, std::string_view AName,
                   const std::vector<std::string>& ANames, const std::vector<db::Variant>& AValues);

// Binds values[i] to the parameter named names[i] (without regard to case)
// by the value's type code. Every parameter must be named exactly once;
// otherwise Exception is raised before any value is bound. An integral
// value outside the 32-bit range raises ERangeError.
void BindParams(db::Query& AQuery, const std::vector<std::string>& ANames,
                const std::vector<db::Variant>& AValues);

}  // namespace movrano
