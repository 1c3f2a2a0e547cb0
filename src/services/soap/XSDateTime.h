#pragma once
// The XML Schema dateTime value that the services send: a calendar date and
// time of day to the millisecond, with the time-zone offset when the text
// carried one. A value type; absent dates are std::optional<XSDateTime>.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace movrano::soap {

class XSDateTime {
 public:
  struct Parts {
    int year = 1, month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
    friend bool operator==(const Parts&, const Parts&) = default;
  };

  XSDateTime() = default;
  // Throws ESOAPMessageError for a date or time that does not exist or an
  // offset beyond 14 hours.
  XSDateTime(const Parts& parts, std::optional<int> utcOffsetMinutes = std::nullopt);

  // "yyyy-mm-ddThh:nn:ss[.fff][Z|+hh:mm|-hh:mm]"; digits past the
  // milliseconds are dropped, and "24:00:00" is midnight of the next day.
  // Throws ESOAPMessageError for any other form.
  static XSDateTime Parse(std::string_view text);
  // "yyyy-mm-ddThh:nn:ss.zzz", then "Z" or the offset when there is one.
  std::string ToString() const;

  const Parts& parts() const { return parts_; }
  const std::optional<int>& utcOffsetMinutes() const { return offset_; }

  // The moment in this machine's local time; a value without an offset is
  // taken as local time already.
  Parts AsLocal() const;
  // The moment on the one time line, for telling which of two values is
  // later: local wall-clock times repeat an hour when the clocks go back. A
  // value without an offset is taken as local time (in the repeated hour,
  // whichever of the two moments the C library picks).
  std::chrono::sys_time<std::chrono::milliseconds> AsInstant() const;

  friend bool operator==(const XSDateTime&, const XSDateTime&) = default;

 private:
  Parts parts_;
  std::optional<int> offset_;
};

}  // namespace movrano::soap
