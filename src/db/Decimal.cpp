#include "db/Decimal.h"

#include <charconv>
#include <cstdlib>

namespace movrano::db {

namespace {

// 10^n for n in 0..kMaxScale.
int64_t Power10(int n) {
  int64_t p = 1;
  for (int i = 0; i < n; ++i)
    p *= 10;
  return p;
}

}  // namespace

std::string Decimal::toString() const {
  // The magnitude in unsigned form, so that the lowest int64 has one too.
  const bool negative = unscaled < 0;
  const uint64_t magnitude =
      negative ? uint64_t{0} - static_cast<uint64_t>(unscaled) : static_cast<uint64_t>(unscaled);
  std::string digits = std::to_string(magnitude);
  if (scale <= 0) return negative ? "-" + digits : digits;
  const auto places = static_cast<size_t>(scale);
  if (digits.size() <= places) digits.insert(0, places + 1 - digits.size(), '0');
  digits.insert(digits.size() - places, 1, '.');
  return negative ? "-" + digits : digits;
}

double Decimal::toDouble() const {
  // Reading the exact text back gives the correctly rounded double, which
  // repeated division by ten does not.
  const std::string text = toString();
  double v = 0;
  std::from_chars(text.data(), text.data() + text.size(), v);
  return v;
}

int64_t Decimal::rounded() const {
  if (scale <= 0) return unscaled;
  const int64_t unit = Power10(scale);
  const int64_t whole = unscaled / unit;  // toward zero
  const int64_t rest = unscaled % unit;
  if (std::llabs(rest) * 2 >= unit) return unscaled < 0 ? whole - 1 : whole + 1;
  return whole;
}

bool operator==(const Decimal& a, const Decimal& b) {
  // Brought to the larger scale in 128 bits, where no factor overflows.
  const int scale = a.scale > b.scale ? a.scale : b.scale;
  const __int128 av = static_cast<__int128>(a.unscaled) * Power10(scale - a.scale);
  const __int128 bv = static_cast<__int128>(b.unscaled) * Power10(scale - b.scale);
  return av == bv;
}

}  // namespace movrano::db
