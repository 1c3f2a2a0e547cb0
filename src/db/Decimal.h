#pragma once
// An exact fixed-point number: a whole number of units of 10^-scale, as
// NUMERIC and DECIMAL columns hold it. Text, doubles and whole numbers are
// made from it only when asked for.
#include <cstdint>
#include <string>

namespace movrano::db {

struct Decimal {
  static constexpr int kMaxScale = 18;

  int64_t unscaled = 0;
  int scale = 0;  // digits after the point, 0..kMaxScale

  // "-0.0001", "12345678901234.5678": every digit of the scale, no exponent.
  std::string toString() const;
  // The double nearest to the exact value.
  double toDouble() const;
  // The nearest whole number, halves away from zero.
  int64_t rounded() const;
  bool isZero() const { return unscaled == 0; }

  // Equal values, whatever their scales (1.50 equals 1.5).
  friend bool operator==(const Decimal& a, const Decimal& b);
};

}  // namespace movrano::db
