#pragma once
// Text rules of the Oracle stand-in: statement keywords, declared column
// types and the stored date-time form.
#include <string>
#include <string_view>
#include <vector>

#include "db/DateTime.h"
#include "db/Types.h"
#include "db/Variant.h"

namespace movrano::db::oracle_detail {

// The first keyword of a statement, upper-case, after blanks and comments.
std::string FirstKeyword(std::string_view sql);

bool IsDdl(const std::string& keyword);

// The numbers between the parentheses of a declared type: "NUMBER(10,2)".
std::vector<int> TypeArguments(std::string_view declared);

bool StartsWith(std::string_view s, std::string_view prefix);

// The field type (and text size) of a declared Oracle column type.
FieldType DeclaredFieldType(std::string_view declaredText, int& size);

FieldType StorageFieldType(int storage);

// "yyyy-mm-dd", optionally followed by " hh:nn", ":ss" and ".zzz" (or a
// "T" in place of the blank).
bool ParseDateTime(std::string_view text, DateTime& result);

bool IsIntegralType(VarType t);

}  // namespace movrano::db::oracle_detail
