#include "db/Variant.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace movrano::db {

const char* VarTypeName(VarType type) {
  switch (type) {
    case VarType::Empty:
      return "Empty";
    case VarType::Null:
      return "Null";
    case VarType::SmallInt:
      return "SmallInt";
    case VarType::Integer:
      return "Integer";
    case VarType::Single:
      return "Single";
    case VarType::Double:
      return "Double";
    case VarType::Currency:
      return "Currency";
    case VarType::Date:
      return "Date";
    case VarType::OleStr:
      return "OleStr";
    case VarType::Boolean:
      return "Boolean";
    case VarType::Decimal:
      return "Decimal";
    case VarType::ShortInt:
      return "ShortInt";
    case VarType::Byte:
      return "Byte";
    case VarType::Word:
      return "Word";
    case VarType::LongWord:
      return "Cardinal";
    case VarType::Int64:
      return "Int64";
    case VarType::UInt64:
      return "UInt64";
    case VarType::String:
      return "String";
    case VarType::UString:
      return "UnicodeString";
    case VarType::Bytes:
      return "Array Byte";
  }
  return "Unknown";
}

bool IsSignedIntegerType(VarType type) {
  switch (type) {
    case VarType::SmallInt:
    case VarType::Integer:
    case VarType::ShortInt:
    case VarType::Byte:
    case VarType::Word:
    case VarType::LongWord:
    case VarType::Int64:
      return true;
    default:
      return false;
  }
}

Variant Variant::Null() {
  return Variant(VarType::Null, std::monostate{});
}

Variant Variant::Integral(VarType type, int64_t v) {
  return Variant(type, v);
}

Variant Variant::Unsigned64(uint64_t v) {
  return Variant(VarType::UInt64, v);
}

Variant Variant::Floating(VarType type, double v) {
  return Variant(type, v);
}

Variant Variant::Text(std::string utf8, VarType type) {
  return Variant(type, std::move(utf8));
}

Variant Variant::FromBytes(Bytes bytes) {
  return Variant(VarType::Bytes, std::make_shared<const Bytes>(std::move(bytes)));
}

Variant Variant::FromBytes(SharedBytes bytes) {
  if (!bytes) bytes = std::make_shared<const Bytes>();
  return Variant(VarType::Bytes, std::move(bytes));
}

bool Variant::isIntegral() const {
  return std::holds_alternative<int64_t>(value_) || std::holds_alternative<uint64_t>(value_);
}

bool Variant::isFloating() const {
  return std::holds_alternative<double>(value_);
}

bool Variant::isText() const {
  return std::holds_alternative<std::string>(value_);
}

void Variant::castError(VarType target) const {
  throw EVariantTypeCastError(Format("Could not convert variant of type (%s) into type (%s)",
                                     VarTypeName(type_), VarTypeName(target)));
}

std::string Variant::toString() const {
  if (isEmpty()) return {};
  if (isNull()) castError(VarType::OleStr);
  if (auto* s = std::get_if<std::string>(&value_)) return *s;
  if (auto* i = std::get_if<int64_t>(&value_)) return std::to_string(*i);
  if (auto* u = std::get_if<uint64_t>(&value_)) return std::to_string(*u);
  if (auto* d = std::get_if<double>(&value_)) {
    // The shortest text that reads back as the same number; a single
    // reads back as a single.
    char buf[32];
    const auto r = type_ == VarType::Single
                       ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(*d))
                       : std::to_chars(buf, buf + sizeof buf, *d);
    return std::string(buf, r.ptr);
  }
  if (auto* n = std::get_if<Decimal>(&value_)) return n->toString();
  if (auto* b = std::get_if<bool>(&value_)) return *b ? "True" : "False";
  if (auto* t = std::get_if<DateTime>(&value_)) return t->toString();
  const Bytes& held = bytes();
  return std::string(held.begin(), held.end());
}

int64_t Variant::toInt64() const {
  if (isEmpty()) return 0;
  if (isNull()) castError(VarType::Int64);
  if (auto* i = std::get_if<int64_t>(&value_)) return *i;
  if (auto* u = std::get_if<uint64_t>(&value_)) {
    if (*u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      throw ERangeError("Range check error");
    }
    return static_cast<int64_t>(*u);
  }
  if (auto* d = std::get_if<double>(&value_)) {
    if (!std::isfinite(*d) || std::fabs(*d) >= 9.2e18) throw ERangeError("Range check error");
    return std::llround(*d);
  }
  if (auto* n = std::get_if<Decimal>(&value_)) return n->rounded();
  if (auto* b = std::get_if<bool>(&value_)) return *b ? 1 : 0;
  if (auto* t = std::get_if<DateTime>(&value_)) return t->dayNumber();
  if (auto* s = std::get_if<std::string>(&value_)) {
    const std::string text = Trim(*s);
    int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc::result_out_of_range) throw ERangeError("Range check error");
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) return v;
  }
  castError(VarType::Int64);
}

int32_t Variant::toInt32() const {
  if (isNull()) castError(VarType::Integer);
  if (isText()) {
    try {
      const int64_t v = toInt64();
      if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        throw ERangeError("Range check error");
      }
      return static_cast<int32_t>(v);
    } catch (const EVariantTypeCastError&) {
      castError(VarType::Integer);
    }
  }
  const int64_t v = toInt64();
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
    throw ERangeError("Range check error");
  }
  return static_cast<int32_t>(v);
}

double Variant::toDouble() const {
  if (isEmpty()) return 0;
  if (isNull()) castError(VarType::Double);
  if (auto* d = std::get_if<double>(&value_)) return *d;
  if (auto* i = std::get_if<int64_t>(&value_)) return static_cast<double>(*i);
  if (auto* u = std::get_if<uint64_t>(&value_)) return static_cast<double>(*u);
  if (auto* n = std::get_if<Decimal>(&value_)) return n->toDouble();
  if (auto* b = std::get_if<bool>(&value_)) return *b ? 1 : 0;
  if (auto* t = std::get_if<DateTime>(&value_)) return t->days();
  if (auto* s = std::get_if<std::string>(&value_)) {
    const std::string text = Trim(*s);
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) return v;
  }
  castError(VarType::Double);
}

bool Variant::toBool() const {
  if (isEmpty()) return false;
  if (isNull()) castError(VarType::Boolean);
  if (auto* b = std::get_if<bool>(&value_)) return *b;
  if (auto* n = std::get_if<Decimal>(&value_)) return !n->isZero();
  if (isIntegral() || isFloating()) return toDouble() != 0;
  if (auto* s = std::get_if<std::string>(&value_)) {
    if (SameText(*s, "true")) return true;
    if (SameText(*s, "false")) return false;
  }
  castError(VarType::Boolean);
}

DateTime Variant::toDateTime() const {
  if (isNull()) castError(VarType::Date);
  if (auto* t = std::get_if<DateTime>(&value_)) return *t;
  if (isIntegral() || isFloating() || isDecimal() || isEmpty()) {
    return DateTime::FromDays(toDouble());
  }
  castError(VarType::Date);
}

const Bytes& Variant::bytes() const {
  return *sharedBytes();
}

const SharedBytes& Variant::sharedBytes() const {
  if (auto* b = std::get_if<SharedBytes>(&value_)) return *b;
  castError(VarType::Bytes);
}

namespace {

// Whole numbers and decimals as one exact kind, so that they compare
// without a trip through doubles.
std::optional<Decimal> ExactNumber(const Variant& v) {
  if (const Decimal* n = v.decimalIf()) return *n;
  if (!v.isIntegral()) return std::nullopt;
  if (v.type() == VarType::UInt64 && v.toDouble() >= 9.2e18) return std::nullopt;
  return Decimal{v.toInt64(), 0};
}

}  // namespace

bool operator==(const Variant& a, const Variant& b) {
  if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
  if (a.isEmpty() || b.isEmpty()) return a.isEmpty() && b.isEmpty();
  if (a.isText() != b.isText()) return false;
  if (a.isText()) return std::get<std::string>(a.value_) == std::get<std::string>(b.value_);
  if (a.isBytes() || b.isBytes()) return a.isBytes() && b.isBytes() && a.bytes() == b.bytes();
  const auto* at = std::get_if<DateTime>(&a.value_);
  const auto* bt = std::get_if<DateTime>(&b.value_);
  if (at && bt) return *at == *bt;
  if (at || bt) return a.toDouble() == b.toDouble();
  if (a.isDecimal() || b.isDecimal()) {
    const std::optional<Decimal> an = ExactNumber(a);
    const std::optional<Decimal> bn = ExactNumber(b);
    if (an && bn) return *an == *bn;
    return a.toDouble() == b.toDouble();
  }
  if (a.isIntegral() && b.isIntegral()) {
    const auto* au = std::get_if<uint64_t>(&a.value_);
    const auto* bu = std::get_if<uint64_t>(&b.value_);
    if (au && bu) return *au == *bu;
    if (!au && !bu) return std::get<int64_t>(a.value_) == std::get<int64_t>(b.value_);
    const int64_t signedSide = au ? std::get<int64_t>(b.value_) : std::get<int64_t>(a.value_);
    return signedSide >= 0 && static_cast<uint64_t>(signedSide) == (au ? *au : *bu);
  }
  return a.toDouble() == b.toDouble();
}

}  // namespace movrano::db
