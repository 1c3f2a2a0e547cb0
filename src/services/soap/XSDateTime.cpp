#include "services/soap/XSDateTime.h"

#include <chrono>
#include <ctime>

#include "platform/Text.h"
#include "services/soap/Errors.h"

namespace movrano::soap {
namespace {

std::chrono::year_month_day DateOf(const XSDateTime::Parts& p) {
  using namespace std::chrono;
  return {year{p.year}, month{static_cast<unsigned>(p.month)}, day{static_cast<unsigned>(p.day)}};
}

bool ValidParts(const XSDateTime::Parts& p) {
  return p.year >= 1 && p.year <= 9999 && DateOf(p).ok() && p.hour >= 0 && p.hour < 24 &&
         p.minute >= 0 && p.minute < 60 && p.second >= 0 && p.second < 60 && p.millisecond >= 0 &&
         p.millisecond < 1000;
}

// Reads exactly `count` digits at `pos`; false when they are not all digits.
bool Digits(std::string_view s, size_t& pos, size_t count, int& value) {
  if (pos + count > s.size()) return false;
  value = 0;
  for (size_t i = 0; i < count; ++i) {
    const char c = s[pos + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  pos += count;
  return true;
}

bool Expect(std::string_view s, size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

std::string Pad(int value, int width) {
  std::string digits = std::to_string(value);
  return std::string(digits.size() < static_cast<size_t>(width) ? width - digits.size() : 0, '0') +
         digits;
}

// Seconds since 1970 UTC of a date and time at that offset from UTC.
std::time_t UtcSeconds(const XSDateTime::Parts& p, int offsetMinutes) {
  using namespace std::chrono;
  const sys_days date{year{p.year} / p.month / p.day};
  return static_cast<std::time_t>(date.time_since_epoch().count()) * 86400 + p.hour * 3600 +
         p.minute * 60 + p.second - static_cast<std::time_t>(offsetMinutes) * 60;
}

[[noreturn]] void BadText(std::string_view text) {
  throw ESOAPMessageError(
      Format("'%s' is not a valid XML Schema dateTime", std::string(text.substr(0, 40))));
}

}  // namespace

XSDateTime::XSDateTime(const Parts& parts, std::optional<int> utcOffsetMinutes)
    : parts_(parts), offset_(utcOffsetMinutes) {
  if (!ValidParts(parts)) throw ESOAPMessageError("Invalid date or time for an XSDateTime");
  if (offset_ && (*offset_ < -14 * 60 || *offset_ > 14 * 60))
    throw ESOAPMessageError("Invalid time-zone offset for an XSDateTime");
}

XSDateTime XSDateTime::Parse(std::string_view text) {
  const std::string trimmed = Trim(text);
  const std::string_view s = trimmed;
  Parts p;
  size_t pos = 0;
  if (!(Digits(s, pos, 4, p.year) && Expect(s, pos, '-') && Digits(s, pos, 2, p.month) &&
        Expect(s, pos, '-') && Digits(s, pos, 2, p.day) && Expect(s, pos, 'T') &&
        Digits(s, pos, 2, p.hour) && Expect(s, pos, ':') && Digits(s, pos, 2, p.minute) &&
        Expect(s, pos, ':') && Digits(s, pos, 2, p.second)))
    BadText(text);
  if (pos < s.size() && s[pos] == '.') {
    ++pos;
    int scale = 100;
    const size_t first = pos;
    for (; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos) {
      p.millisecond += (s[pos] - '0') * scale;
      scale /= 10;
    }
    if (pos == first) BadText(text);
  }
  std::optional<int> offset;
  if (pos < s.size() && s[pos] == 'Z') {
    offset = 0;
    ++pos;
  } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
    const int sign = s[pos] == '-' ? -1 : 1;
    ++pos;
    int hours = 0, minutes = 0;
    if (!(Digits(s, pos, 2, hours) && Expect(s, pos, ':') && Digits(s, pos, 2, minutes)) ||
        minutes >= 60)
      BadText(text);
    offset = sign * (hours * 60 + minutes);
  }
  if (pos != s.size()) BadText(text);
  // "24:00:00" is the first moment of the next day.
  if (p.hour == 24 && p.minute == 0 && p.second == 0 && p.millisecond == 0) {
    using namespace std::chrono;
    const year_month_day date = DateOf(p);
    if (!date.ok()) BadText(text);
    const year_month_day next{sys_days{date} + days{1}};
    p = Parts{static_cast<int>(next.year()), static_cast<int>(unsigned{next.month()}),
              static_cast<int>(unsigned{next.day()})};
  }
  if (!ValidParts(p)) BadText(text);
  return XSDateTime(p, offset);
}

std::string XSDateTime::ToString() const {
  const Parts& p = parts_;
  std::string s = Pad(p.year, 4) + "-" + Pad(p.month, 2) + "-" + Pad(p.day, 2) + "T" +
                  Pad(p.hour, 2) + ":" + Pad(p.minute, 2) + ":" + Pad(p.second, 2) + "." +
                  Pad(p.millisecond, 3);
  if (!offset_) return s;
  if (*offset_ == 0) return s + "Z";
  const int magnitude = *offset_ < 0 ? -*offset_ : *offset_;
  return s + (*offset_ < 0 ? "-" : "+") + Pad(magnitude / 60, 2) + ":" + Pad(magnitude % 60, 2);
}

XSDateTime::Parts XSDateTime::AsLocal() const {
  if (!offset_) return parts_;
  const std::time_t utc = UtcSeconds(parts_, *offset_);
  std::tm local{};
  if (!localtime_r(&utc, &local)) throw ESOAPMessageError("Date outside the local calendar");
  return Parts{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,     local.tm_hour,
               local.tm_min,         local.tm_sec,     parts_.millisecond};
}

std::chrono::sys_time<std::chrono::milliseconds> XSDateTime::AsInstant() const {
  std::time_t seconds = 0;
  if (offset_) {
    seconds = UtcSeconds(parts_, *offset_);
  } else {
    std::tm local{};
    local.tm_year = parts_.year - 1900;
    local.tm_mon = parts_.month - 1;
    local.tm_mday = parts_.day;
    local.tm_hour = parts_.hour;
    local.tm_min = parts_.minute;
    local.tm_sec = parts_.second;
    local.tm_isdst = -1;  // the zone's rule for that date decides
    local.tm_wday = -1;   // set by a successful conversion only
    seconds = std::mktime(&local);
    // -1 is also the second before 1970; a failure leaves the weekday alone.
    if (seconds == -1 && local.tm_wday == -1)
      throw ESOAPMessageError("Date outside the local calendar");
  }
  using namespace std::chrono;
  return sys_time<milliseconds>(duration_cast<milliseconds>(std::chrono::seconds(seconds)) +
                                milliseconds(parts_.millisecond));
}

}  // namespace movrano::soap
