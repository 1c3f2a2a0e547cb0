#include "db/oracle/OracleText.h"

#include <sqlite3.h>

#include <cctype>
#include <charconv>
#include <limits>

#include "platform/Text.h"

namespace movrano::db::oracle_detail {

std::string FirstKeyword(std::string_view sql) {
  size_t i = 0;
  while (i < sql.size()) {
    if (std::isspace(static_cast<unsigned char>(sql[i]))) {
      ++i;
    } else if (sql.substr(i, 2) == "--") {
      const size_t end = sql.find('\n', i);
      i = end == std::string_view::npos ? sql.size() : end + 1;
    } else if (sql.substr(i, 2) == "/*") {
      const size_t end = sql.find("*/", i + 2);
      i = end == std::string_view::npos ? sql.size() : end + 2;
    } else {
      break;
    }
  }
  size_t end = i;
  while (end < sql.size() && std::isalpha(static_cast<unsigned char>(sql[end])))
    ++end;
  return UpperCase(sql.substr(i, end - i));
}

bool IsDdl(const std::string& keyword) {
  return keyword == "CREATE" || keyword == "ALTER" || keyword == "DROP" || keyword == "RENAME" ||
         keyword == "TRUNCATE" || keyword == "COMMENT" || keyword == "GRANT" || keyword == "REVOKE";
}

// The numbers between the parentheses of a declared type: "NUMBER(10,2)".
std::vector<int> TypeArguments(std::string_view declared) {
  std::vector<int> numbers;
  const size_t open = declared.find('(');
  if (open == std::string_view::npos) return numbers;
  size_t i = open + 1;
  while (i < declared.size() && declared[i] != ')') {
    if (std::isdigit(static_cast<unsigned char>(declared[i]))) {
      int n = 0;
      const auto [end, ec] =
          std::from_chars(declared.data() + i, declared.data() + declared.size(), n);
      if (ec != std::errc()) break;
      numbers.push_back(n);
      i = static_cast<size_t>(end - declared.data());
    } else {
      ++i;
    }
  }
  return numbers;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The field type (and text size) of a declared Oracle column type.
FieldType DeclaredFieldType(std::string_view declaredText, int& size) {
  const std::string declared = UpperCase(Trim(declaredText));
  size = 0;
  if (declared.empty()) return FieldType::Unknown;
  if (StartsWith(declared, "CLOB") || StartsWith(declared, "NCLOB") ||
      (StartsWith(declared, "LONG") && declared.find("RAW") == std::string::npos)) {
    return FieldType::WideMemo;
  }
  if (StartsWith(declared, "BLOB") || declared.find("RAW") != std::string::npos ||
      StartsWith(declared, "BFILE")) {
    return FieldType::Blob;
  }
  if (declared.find("CHAR") != std::string::npos) {
    const auto args = TypeArguments(declared);
    if (!args.empty()) size = args[0];
    return FieldType::WideString;
  }
  if (StartsWith(declared, "NUMBER") || StartsWith(declared, "NUMERIC") ||
      StartsWith(declared, "DECIMAL")) {
    const auto args = TypeArguments(declared);
    if (args.empty() || (args.size() > 1 && args[1] != 0)) return FieldType::Float;
    if (args[0] <= 4) return FieldType::SmallInt;
    if (args[0] <= 9) return FieldType::Integer;
    return FieldType::LargeInt;
  }
  if (declared == "SMALLINT") return FieldType::SmallInt;
  if (declared == "INTEGER" || declared == "INT") return FieldType::Integer;
  if (declared == "BIGINT") return FieldType::LargeInt;
  if (StartsWith(declared, "FLOAT") || StartsWith(declared, "BINARY_") ||
      StartsWith(declared, "DOUBLE") || StartsWith(declared, "REAL")) {
    return FieldType::Float;
  }
  if (StartsWith(declared, "DATE") || StartsWith(declared, "TIMESTAMP")) {
    return FieldType::DateTime;
  }
  if (StartsWith(declared, "BOOLEAN")) return FieldType::Boolean;
  return FieldType::Unknown;
}

FieldType StorageFieldType(int storage) {
  switch (storage) {
    case SQLITE_INTEGER:
      return FieldType::LargeInt;
    case SQLITE_FLOAT:
      return FieldType::Float;
    case SQLITE_BLOB:
      return FieldType::Blob;
    default:
      return FieldType::WideString;
  }
}

// "yyyy-mm-dd", optionally followed by " hh:nn", ":ss" and ".zzz" (or a
// "T" in place of the blank).
bool ParseDateTime(std::string_view text, DateTime& result) {
  int parts[7] = {0, 0, 0, 0, 0, 0, 0};
  const char separators[7] = {0, '-', '-', ' ', ':', ':', '.'};
  size_t at = 0;
  int count = 0;
  for (int i = 0; i < 7 && at < text.size(); ++i) {
    if (i > 0) {
      const char sep = text[at];
      if (!(sep == separators[i] || (i == 3 && sep == 'T'))) break;
      ++at;
    }
    const size_t start = at;
    const auto [end, ec] = std::from_chars(text.data() + at, text.data() + text.size(), parts[i]);
    if (ec != std::errc()) return false;
    at = static_cast<size_t>(end - text.data());
    if (i == 6) {
      // Fractions of a second: milliseconds from the first three digits.
      const size_t digits = at - start;
      int ms = parts[6];
      for (size_t d = digits; d < 3; ++d)
        ms *= 10;
      for (size_t d = 3; d < digits; ++d)
        ms /= 10;
      parts[6] = ms;
    }
    count = i + 1;
  }
  if (count < 3 || at != text.size()) return false;
  try {
    result =
        DateTime::FromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], parts[6]);
  } catch (const EConvertError&) {
    return false;
  }
  return true;
}

bool IsIntegralType(VarType t) {
  return IsSignedIntegerType(t) || t == VarType::UInt64;
}

}  // namespace movrano::db::oracle_detail
