#include "db/DateTime.h"

#include <cmath>
#include <cstdio>

#include "platform/Exceptions.h"

namespace movrano::db {

namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's method).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// 1899-12-30 counted from 1970-01-01.
constexpr int64_t kEpochFromUnix = -25569;

}  // namespace

DateTime DateTime::FromParts(int year, int month, int day, int hour, int minute, int second,
                             int millisecond, int tenthOfMs) {
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > kDays[month - 1] + (month == 2 && leap ? 1 : 0) || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999 || tenthOfMs < 0 || tenthOfMs > 9) {
    throw EConvertError("Invalid argument to date encode");
  }
  const int64_t days = DaysFromCivil(year, month, day) - kEpochFromUnix;
  const int64_t ms = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
  return DateTime(days * kTicksPerDay + ms * kTicksPerMs + tenthOfMs);
}

DateTime DateTime::FromDays(double days) {
  return DateTime(static_cast<int64_t>(std::llround(days * kTicksPerDay)));
}

DateTime::Parts DateTime::parts() const {
  Parts p{};
  CivilFromDays(dayNumber() + kEpochFromUnix, p.year, p.month, p.day);
  int64_t rest = ticksOfDay();
  p.tenthOfMs = static_cast<int>(rest % kTicksPerMs);
  rest /= kTicksPerMs;
  p.millisecond = static_cast<int>(rest % 1000);
  rest /= 1000;
  p.second = static_cast<int>(rest % 60);
  rest /= 60;
  p.minute = static_cast<int>(rest % 60);
  p.hour = static_cast<int>(rest / 60);
  return p;
}

std::string DateTime::toString() const {
  const Parts p = parts();
  char buf[40];
  const auto n =
      static_cast<size_t>(std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year,
                                        p.month, p.day, p.hour, p.minute, p.second));
  if (p.tenthOfMs != 0) {
    std::snprintf(buf + n, sizeof buf - n, ".%03d%d", p.millisecond, p.tenthOfMs);
  } else if (p.millisecond != 0) {
    std::snprintf(buf + n, sizeof buf - n, ".%03d", p.millisecond);
  }
  return buf;
}

}  // namespace movrano::db
