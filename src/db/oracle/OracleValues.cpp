#include "db/oracle/OracleValues.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <string_view>

#include "db/oracle/OracleSql.h"
#include "db/oracle/OracleText.h"
#include "platform/Text.h"

namespace movrano::db::oracle_detail {

namespace {

// A failure that becomes the statement's error.
struct OracleError {
  std::string message;
};

std::string Text(sqlite3_value* v) {
  const auto* p = sqlite3_value_text(v);
  return p ? std::string(reinterpret_cast<const char*>(p),
                         static_cast<size_t>(sqlite3_value_bytes(v)))
           : std::string();
}

const char* StorageName(int storage) {
  switch (storage) {
    case SQLITE_BLOB:
      return "BLOB";
    case SQLITE_TEXT:
      return "CHAR";
    default:
      return "NUMBER";
  }
}

[[noreturn]] void Inconsistent(const char* expected, int storage) {
  throw OracleError{Format("ORA-00932: inconsistent datatypes: expected %s got %s", expected,
                           StorageName(storage))};
}

void SetText(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void ToText(sqlite3_context* ctx, sqlite3_value* v, const std::string& declared,
            const std::string& column) {
  const int storage = sqlite3_value_type(v);
  if (storage == SQLITE_BLOB) Inconsistent("CHAR", storage);
  std::string text = Text(v);
  const auto args = TypeArguments(declared);
  const size_t maximum = args.empty() ? (StartsWith(declared, "CHAR") ? 1 : 0) : args[0];
  const bool countsCharacters =
      StartsWith(declared, "N") || declared.find(" CHAR(") != std::string::npos;
  const size_t actual = countsCharacters ? Utf8CharacterCount(text) : text.size();
  if (maximum > 0 && actual > maximum) {
    throw OracleError{Format("ORA-12899: value too large for column %s (actual: %d, maximum: %d)",
                             column, static_cast<int64_t>(actual), static_cast<int64_t>(maximum))};
  }
  const bool fixed = StartsWith(declared, "CHAR") || StartsWith(declared, "NCHAR");
  if (fixed && maximum > actual) {
    text.append(maximum - actual, ' ');
  }
  SetText(ctx, text);
}

// Numeric text as Oracle reads it: blanks around it, an optional sign,
// digits with at most one ".", an optional exponent.
bool ParseNumber(const std::string& raw, double& value) {
  const std::string text = Trim(raw);
  if (text.empty()) return false;
  size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  size_t digits = 0;
  bool dot = false;
  for (; i < text.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++digits;
    } else if (text[i] == '.' && !dot) {
      dot = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponent = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
      ++i;
      ++exponent;
    }
    if (exponent == 0) return false;
  }
  if (i != text.size()) return false;
  value = std::strtod(text.c_str(), nullptr);
  return true;
}

// The number in plain decimal digits: "-12.345". A double gives the 15
// digits it keeps.
std::string PlainDigits(sqlite3_value* v, const std::string& text) {
  try {
    switch (sqlite3_value_type(v)) {
      case SQLITE_INTEGER:
        return std::to_string(sqlite3_value_int64(v));
      case SQLITE_TEXT:
        return PlainNumber(Trim(text));
      default: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", sqlite3_value_double(v));
        return PlainNumber(buf);
      }
    }
  } catch (const std::out_of_range&) {
    throw OracleError{"ORA-01426: numeric overflow"};
  }
}

void SetExactNumber(sqlite3_context* ctx, const std::string& plain) {
  const StoredNumber n = ExactStorage(plain);
  if (const auto* whole = std::get_if<int64_t>(&n)) {
    sqlite3_result_int64(ctx, *whole);
  } else if (const auto* real = std::get_if<double>(&n)) {
    sqlite3_result_double(ctx, *real);
  } else {
    SetText(ctx, std::get<std::string>(n));
  }
}

void ToNumber(sqlite3_context* ctx, sqlite3_value* v, const std::string& declared) {
  const int storage = sqlite3_value_type(v);
  if (storage == SQLITE_BLOB) Inconsistent("NUMBER", storage);
  const std::string text = storage == SQLITE_TEXT ? Text(v) : std::string();
  double value = sqlite3_value_double(v);
  if (storage == SQLITE_TEXT && !ParseNumber(text, value)) {
    throw OracleError{"ORA-01722: invalid number"};
  }
  if (!IsExactNumber(declared)) {
    if (storage == SQLITE_INTEGER) {
      sqlite3_result_int64(ctx, sqlite3_value_int64(v));
    } else {
      sqlite3_result_double(ctx, value);
    }
    return;
  }
  const std::string plain = PlainDigits(v, text);
  const auto args = TypeArguments(declared);
  if (args.empty()) {
    // Oracle's NUMBER ends below 10^126.
    const size_t sign = plain[0] == '-' ? 1 : 0;
    if (std::min(plain.find('.'), plain.size()) - sign > 126) {
      throw OracleError{"ORA-01426: numeric overflow"};
    }
    SetExactNumber(ctx, plain);
    return;
  }
  const int precision = args[0];
  const int scale = std::max(NumberScale(declared), 0);
  int wholeDigits = 0;
  const std::string rounded = RoundDecimal(plain, scale, wholeDigits);
  if (wholeDigits > precision - scale) {
    throw OracleError{"ORA-01438: value larger than specified precision allowed for this column"};
  }
  SetExactNumber(ctx, rounded);
}

// "yyyy-mm-dd", optionally " hh:nn", ":ss" and ".f..." ("T" may stand
// for the blank), checked part by part as Oracle checks them.
std::string ToDateText(const std::string& text, int fractionDigits) {
  int parts[6] = {0, 0, 0, 0, 0, 0};
  const char separators[6] = {0, '-', '-', ' ', ':', ':'};
  size_t at = 0;
  int count = 0;
  std::string fraction;
  for (int i = 0; i < 6 && at < text.size(); ++i) {
    if (i > 0) {
      if (!(text[at] == separators[i] || (i == 3 && text[at] == 'T'))) break;
      ++at;
    }
    const size_t start = at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) &&
           at - start < (i == 0 ? 4u : 2u)) {
      ++at;
    }
    if (at == start) throw OracleError{"ORA-01861: literal does not match format string"};
    parts[i] = std::stoi(text.substr(start, at - start));
    count = i + 1;
  }
  if (count == 6 && at < text.size() && text[at] == '.') {
    const size_t start = ++at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
      ++at;
    fraction = text.substr(start, at - start);
  }
  if (count < 3 || count == 4 || at != text.size()) {
    throw OracleError{"ORA-01861: literal does not match format string"};
  }
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const int year = parts[0];
  const int month = parts[1];
  if (year == 0)
    throw OracleError{"ORA-01841: (full) year must be between -4713 and +9999, and not be 0"};
  if (month < 1 || month > 12) throw OracleError{"ORA-01843: not a valid month"};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  if (parts[2] < 1 || parts[2] > days) {
    throw OracleError{"ORA-01847: day of month must be between 1 and last day of month"};
  }
  if (parts[3] > 23) throw OracleError{"ORA-01850: hour must be between 0 and 23"};
  if (parts[4] > 59) throw OracleError{"ORA-01851: minutes must be between 0 and 59"};
  if (parts[5] > 59) throw OracleError{"ORA-01852: seconds must be between 0 and 59"};
  char buf[80];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", year, month, parts[2], parts[3],
                parts[4], parts[5]);
  std::string result = buf;
  fraction = fraction.substr(0, static_cast<size_t>(fractionDigits));
  while (!fraction.empty() && fraction.back() == '0')
    fraction.pop_back();
  if (!fraction.empty()) result += "." + fraction;
  return result;
}

void ToDate(sqlite3_context* ctx, sqlite3_value* v, const std::string& declared) {
  const int storage = sqlite3_value_type(v);
  if (storage != SQLITE_TEXT)
    Inconsistent(StartsWith(declared, "DATE") ? "DATE" : "TIMESTAMP", storage);
  int digits = 0;
  if (StartsWith(declared, "TIMESTAMP")) {
    const auto args = TypeArguments(declared);
    digits = args.empty() ? 6 : args[0];
  }
  SetText(ctx, ToDateText(Trim(Text(v)), digits));
}

void OraValue(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  const std::string declared = UpperCase(Trim(Text(argv[1])));
  const std::string column = Text(argv[2]);
  const int storage = sqlite3_value_type(v);
  if (storage == SQLITE_NULL ||
      ((storage == SQLITE_TEXT || storage == SQLITE_BLOB) && sqlite3_value_bytes(v) == 0)) {
    sqlite3_result_null(ctx);  // Oracle keeps the empty string as NULL
    return;
  }
  try {
    if (StartsWith(declared, "BLOB") || declared.find("RAW") != std::string::npos) {
      if (storage != SQLITE_BLOB) Inconsistent("BLOB", storage);
      sqlite3_result_value(ctx, v);
    } else if (StartsWith(declared, "CLOB") || StartsWith(declared, "NCLOB") ||
               StartsWith(declared, "LONG")) {
      if (storage == SQLITE_BLOB) Inconsistent("CLOB", storage);
      SetText(ctx, Text(v));
    } else if (declared.find("CHAR") != std::string::npos) {
      ToText(ctx, v, declared, column);
    } else if (StartsWith(declared, "DATE") || StartsWith(declared, "TIMESTAMP")) {
      ToDate(ctx, v, declared);
    } else if (IsExactNumber(declared) || StartsWith(declared, "INT") ||
               StartsWith(declared, "SMALLINT") || StartsWith(declared, "FLOAT") ||
               StartsWith(declared, "BINARY_") || StartsWith(declared, "REAL") ||
               StartsWith(declared, "DOUBLE")) {
      ToNumber(ctx, v, declared);
    } else {
      sqlite3_result_value(ctx, v);
    }
  } catch (const OracleError& e) {
    sqlite3_result_error(ctx, e.message.c_str(), static_cast<int>(e.message.size()));
  }
}

void OraName(sqlite3_context* ctx, int, sqlite3_value** argv) {
  SetText(ctx, DecodeName(Text(argv[0])));
}

}  // namespace

void RegisterOracleFunctions(sqlite3* db) {
  const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  sqlite3_create_function(db, "ORA_VALUE", 3, flags, nullptr, OraValue, nullptr, nullptr);
  sqlite3_create_function(db, "ORA_NAME", 1, flags, nullptr, OraName, nullptr, nullptr);
}

}  // namespace movrano::db::oracle_detail
