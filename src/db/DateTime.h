#pragma once
// A date and time of day to the millisecond, counted from the day-number
// epoch 1899-12-30 00:00 (day 0), so that whole days are the familiar
// serial date numbers and the value round-trips through a TIMESTAMP.
#include <cstdint>
#include <string>

namespace movrano::db {

class DateTime {
 public:
  static constexpr int64_t kMsPerDay = 86400000;

  DateTime() = default;
  static DateTime FromMilliseconds(int64_t ms) { return DateTime(ms); }
  // Throws EConvertError for a date or time that does not exist.
  static DateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0, int millisecond = 0);
  static DateTime FromDays(double days);

  int64_t milliseconds() const { return ms_; }
  double days() const { return static_cast<double>(ms_) / kMsPerDay; }
  // Whole days since the epoch (floored) and the milliseconds into that day.
  int64_t dayNumber() const;
  int64_t msOfDay() const { return ms_ - dayNumber() * kMsPerDay; }

  struct Parts {
    int year, month, day, hour, minute, second, millisecond;
  };
  Parts parts() const;

  // "yyyy-mm-dd hh:nn:ss", with ".zzz" when the milliseconds are not zero.
  std::string toString() const;

  friend bool operator==(const DateTime&, const DateTime&) = default;
  friend auto operator<=>(const DateTime&, const DateTime&) = default;

 private:
  explicit DateTime(int64_t ms) : ms_(ms) {}
  int64_t ms_ = 0;
};

}  // namespace movrano::db
