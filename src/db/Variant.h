#pragma once
// A value with a type code: what a database field reads as and what a
// parameter binds. The codes are the ones binding rules switch on.
#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "db/DateTime.h"
#include "db/Decimal.h"

namespace movrano::db {

enum class VarType : uint16_t {
  Empty = 0,
  Null = 1,
  SmallInt = 2,
  Integer = 3,
  Single = 4,
  Double = 5,
  Currency = 6,
  Date = 7,
  OleStr = 8,
  Boolean = 11,
  Decimal = 14,  // exact NUMERIC/DECIMAL: a scaled whole number
  ShortInt = 16,
  Byte = 17,
  Word = 18,
  LongWord = 19,
  Int64 = 20,
  UInt64 = 21,
  String = 0x100,   // 8-bit text
  UString = 0x102,  // UTF-16 text (kept as UTF-8 here)
  Bytes = 0x2011,   // array of bytes: BLOB contents
};

// The name a conversion error prints for a type code ("Null", "OleStr"...).
const char* VarTypeName(VarType type);

// The whole-number codes that fit a signed 64-bit value (every integer
// code but UInt64).
bool IsSignedIntegerType(VarType type);

using Bytes = std::vector<uint8_t>;

// BLOB contents are shared, never copied, between the row that read them
// and the parameters they are bound to: a copied row holds one copy.
using SharedBytes = std::shared_ptr<const Bytes>;

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(int32_t v) : type_(VarType::Integer), value_(int64_t{v}) {}
  Variant(int64_t v) : type_(VarType::Int64), value_(v) {}
  Variant(double v) : type_(VarType::Double), value_(v) {}
  Variant(bool v) : type_(VarType::Boolean), value_(v) {}
  Variant(DateTime v) : type_(VarType::Date), value_(v) {}
  Variant(Decimal v) : type_(VarType::Decimal), value_(v) {}
  Variant(std::string v) : type_(VarType::UString), value_(std::move(v)) {}
  Variant(const char* v) : Variant(std::string(v)) {}

  static Variant Null();
  // A whole number with an explicit integer code (SmallInt...Int64, UInt64).
  static Variant Integral(VarType type, int64_t v);
  static Variant Unsigned64(uint64_t v);
  static Variant Floating(VarType type, double v);  // Single, Double or Currency
  static Variant Text(std::string utf8, VarType type = VarType::UString);  // String/UString/OleStr
  static Variant FromBytes(Bytes bytes);
  static Variant FromBytes(SharedBytes bytes);

  VarType type() const { return type_; }
  bool isEmpty() const { return type_ == VarType::Empty; }
  bool isNull() const { return type_ == VarType::Null; }
  bool isNullOrEmpty() const { return isNull() || isEmpty(); }
  bool isIntegral() const;
  bool isFloating() const;
  bool isText() const;
  bool isBytes() const { return type_ == VarType::Bytes; }
  bool isDecimal() const { return type_ == VarType::Decimal; }

  // Conversions; a decimal gives its exact text and the nearest double and
  // whole number. Null raises EVariantTypeCastError, a text that is not a
  // number raises EVariantTypeCastError, an out-of-range number ERangeError.
  std::string toString() const;  // Empty gives ""
  int32_t toInt32() const;       // Empty gives 0
  int64_t toInt64() const;
  double toDouble() const;
  bool toBool() const;
  DateTime toDateTime() const;
  const Bytes& bytes() const;  // only for Bytes; text gives its bytes via toString()
  // The held text without a copy; null when the value is not text.
  const std::string* textIf() const { return std::get_if<std::string>(&value_); }
  // The held decimal; null when the value is not one.
  const Decimal* decimalIf() const { return std::get_if<Decimal>(&value_); }
  // The held bytes, shared without a copy; only for Bytes.
  const SharedBytes& sharedBytes() const;

  // Equality as the gates use it: Null equals only Null, Empty only Empty,
  // texts compare exactly, numbers by value, a text never equals a number.
  friend bool operator==(const Variant& a, const Variant& b);

 private:
  using Value = std::variant<std::monostate, int64_t, uint64_t, double, bool, std::string,
                             SharedBytes, DateTime, Decimal>;
  Variant(VarType type, Value value) : type_(type), value_(std::move(value)) {}
  [[noreturn]] void castError(VarType target) const;

  VarType type_ = VarType::Empty;
  Value value_;
};

}  // namespace movrano::db
