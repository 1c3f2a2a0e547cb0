#pragma once
// Text rules of the Oracle stand-in: statement keywords, declared column
// types, the stored date-time form and exact numbers as text.
#include <optional>
#include <string>
#include <string_view>
#include <variant>
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

// "yyyy-mm-dd", optionally followed by " hh:nn", ":ss" and a fraction of a
// second, kept to the 1/10000 s (or a "T" in place of the blank).
bool ParseDateTime(std::string_view text, DateTime& result);

bool IsIntegralType(VarType t);

// Numbers as exact text. PlainNumber writes a checked numeric text
// ("[sign]digits[.digits][E[sign]digits]") in plain digits: "-1.50E3" gives
// "-1500", "+0.10" gives "0.1"; throws std::out_of_range for an exponent
// beyond any NUMBER.
std::string PlainNumber(std::string_view number);
// Plain digits rounded half away from zero to `scale` places, all of them
// written; the digits before the point (leading zeros not counted) go to
// `wholeDigits`.
std::string RoundDecimal(const std::string& plain, int scale, int& wholeDigits);
// Plain digits as a decimal of `scale` places (-1: as many as they have);
// nothing when it does not fit one.
std::optional<Decimal> DecimalOf(const std::string& plain, int scale);

// An exact number as SQLite is to keep it: a whole one that fits 64 bits
// as an integer, one of at most 15 significant digits as the double that
// gives them back, any other as its plain digits without trailing zeros
// (which only a column that holds wide numbers is declared to leave as
// they are).
using StoredNumber = std::variant<int64_t, double, std::string>;
StoredNumber ExactStorage(const std::string& plain);

// A declared (upper-case) NUMBER, NUMERIC or DECIMAL: an exact number.
bool IsExactNumber(std::string_view declared);
// Its scale: 0 for NUMBER(p), -1 for NUMBER without a precision (a
// floating decimal).
int NumberScale(std::string_view declared);

}  // namespace movrano::db::oracle_detail
