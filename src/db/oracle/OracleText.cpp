#include "db/oracle/OracleText.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <limits>
#include <stdexcept>

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
  if (IsExactNumber(declared)) {
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
      // A fraction of a second: its first four digits, in 1/10000 s.
      int ticks = 0;
      for (size_t d = 0; d < 4; ++d)
        ticks = ticks * 10 + (start + d < at ? text[start + d] - '0' : 0);
      parts[6] = ticks;
    }
    count = i + 1;
  }
  if (count < 3 || at != text.size()) return false;
  try {
    result = DateTime::FromParts(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5],
                                 parts[6] / 10, parts[6] % 10);
  } catch (const EConvertError&) {
    return false;
  }
  return true;
}

bool IsIntegralType(VarType t) {
  return IsSignedIntegerType(t) || t == VarType::UInt64;
}

std::string PlainNumber(std::string_view number) {
  size_t i = 0;
  const bool negative = !number.empty() && number[0] == '-';
  if (!number.empty() && (number[0] == '-' || number[0] == '+')) ++i;
  std::string digits;
  long point = -1;
  for (; i < number.size() &&
         (std::isdigit(static_cast<unsigned char>(number[i])) || number[i] == '.');
       ++i) {
    if (number[i] == '.') {
      point = static_cast<long>(digits.size());
    } else {
      digits += number[i];
    }
  }
  if (point < 0) point = static_cast<long>(digits.size());
  if (i < number.size()) {  // the exponent
    const std::string_view exponent = number.substr(i + 1);
    long shift = 0;
    const size_t sign = !exponent.empty() && exponent[0] == '+' ? 1 : 0;
    const auto [end, ec] =
        std::from_chars(exponent.data() + sign, exponent.data() + exponent.size(), shift);
    if (ec != std::errc() || shift > 1000 || shift < -1000) {
      throw std::out_of_range("numeric overflow");
    }
    point += shift;
  }
  if (point <= 0) {
    digits.insert(0, static_cast<size_t>(1 - point), '0');
    point = 1;
  }
  if (static_cast<size_t>(point) > digits.size()) digits.append(point - digits.size(), '0');
  std::string whole = digits.substr(0, static_cast<size_t>(point));
  std::string fraction = digits.substr(static_cast<size_t>(point));
  whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size() - 1));
  while (!fraction.empty() && fraction.back() == '0')
    fraction.pop_back();
  const bool zero = whole == "0" && fraction.empty();
  return (negative && !zero ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

std::string RoundDecimal(const std::string& plain, int scale, int& wholeDigits) {
  const bool negative = !plain.empty() && plain[0] == '-';
  const std::string digits = negative ? plain.substr(1) : plain;
  const size_t point = digits.find('.');
  std::string whole = digits.substr(0, point);
  std::string fraction = point == std::string::npos ? std::string() : digits.substr(point + 1);
  if (whole.empty()) whole = "0";
  const size_t places = static_cast<size_t>(std::max(scale, 0));
  std::string kept = whole + fraction.substr(0, std::min(fraction.size(), places));
  kept.append(places - std::min(fraction.size(), places), '0');
  if (fraction.size() > places && fraction[places] >= '5') {
    int i = static_cast<int>(kept.size()) - 1;
    for (; i >= 0 && kept[i] == '9'; --i)
      kept[i] = '0';
    if (i >= 0) {
      ++kept[i];
    } else {
      kept.insert(kept.begin(), '1');
    }
  }
  std::string integer = kept.substr(0, kept.size() - places);
  const std::string decimals = kept.substr(kept.size() - places);
  integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
  wholeDigits = static_cast<int>(integer.size());
  if (integer.empty()) integer = "0";
  // Rounded to nothing, the value has no sign.
  const bool zero = kept.find_first_not_of('0') == std::string::npos;
  return (negative && !zero ? "-" : "") + integer + (places > 0 ? "." + decimals : "");
}

std::optional<Decimal> DecimalOf(const std::string& plain, int scale) {
  if (scale < 0) {
    const size_t point = plain.find('.');
    scale = point == std::string::npos ? 0 : static_cast<int>(plain.size() - point - 1);
  }
  if (scale > Decimal::kMaxScale) return std::nullopt;
  int wholeDigits = 0;
  std::string digits = RoundDecimal(plain, scale, wholeDigits);
  digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
  Decimal d;
  d.scale = scale;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), d.unscaled);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return d;
}

StoredNumber ExactStorage(const std::string& plain) {
  const size_t point = plain.find('.');
  const std::string integer = plain.substr(0, point);
  const std::string fraction = point == std::string::npos ? "" : plain.substr(point + 1);
  if (fraction.find_first_not_of('0') == std::string::npos) {
    int64_t whole = 0;
    const auto [end, ec] = std::from_chars(integer.data(), integer.data() + integer.size(), whole);
    if (ec == std::errc() && end == integer.data() + integer.size()) return whole;
  }
  std::string digits = integer + fraction;
  digits.erase(0, std::min(digits.find_first_not_of("-0"), digits.size()));
  while (!digits.empty() && digits.back() == '0')
    digits.pop_back();
  if (digits.size() <= 15) return std::strtod(plain.c_str(), nullptr);
  return PlainNumber(plain);  // one text for one value, whatever its places
}

bool IsExactNumber(std::string_view declared) {
  return StartsWith(declared, "NUMBER") || StartsWith(declared, "NUMERIC") ||
         StartsWith(declared, "DECIMAL");
}

int NumberScale(std::string_view declared) {
  const auto args = TypeArguments(declared);
  if (args.empty()) return -1;
  return args.size() > 1 ? args[1] : 0;
}

}  // namespace movrano::db::oracle_detail
