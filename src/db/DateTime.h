#pragma once
// A date and time of day to the 1/10000 s (a tick, the unit database
// timestamps keep), counted from the day-number epoch 1899-12-30 00:00
// (day 0), so that whole days are the familiar serial date numbers and the
// value round-trips through a TIMESTAMP unchanged.
#include <cstdint>
#include <string>

namespace movrano::db {

class DateTime {
 public:
  static constexpr int64_t kMsPerDay = 86400000;
  static constexpr int64_t kTicksPerMs = 10;
  static constexpr int64_t kTicksPerDay = kMsPerDay * kTicksPerMs;

  DateTime() = default;
  static DateTime FromMilliseconds(int64_t ms) { return DateTime(ms * kTicksPerMs); }
  static DateTime FromTicks(int64_t ticks) { return DateTime(ticks); }
  // Throws EConvertError for a date or time that does not exist.
  static DateTime FromParts(int year, int month, int day, int hour = 0, int minute = 0,
                            int second = 0, int millisecond = 0, int tenthOfMs = 0);
  static DateTime FromDays(double days);

  int64_t ticks() const { return ticks_; }
  // Whole milliseconds, rounded down.
  int64_t milliseconds() const { return FloorDiv(ticks_, kTicksPerMs); }
  double days() const { return static_cast<double>(ticks_) / kTicksPerDay; }
  // Whole days since the epoch (floored) and the time into that day.
  int64_t dayNumber() const { return FloorDiv(ticks_, kTicksPerDay); }
  int64_t ticksOfDay() const { return ticks_ - dayNumber() * kTicksPerDay; }

  struct Parts {
    int year, month, day, hour, minute, second, millisecond;
    int tenthOfMs;  // the fourth digit of the fraction of a second
  };
  Parts parts() const;

  // "yyyy-mm-dd hh:nn:ss", with ".zzz" when the milliseconds are not zero,
  // ".zzzz" when the fourth digit of the fraction is not zero.
  std::string toString() const;

  friend bool operator==(const DateTime&, const DateTime&) = default;
  friend auto operator<=>(const DateTime&, const DateTime&) = default;

 private:
  static int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
  explicit DateTime(int64_t ticks) : ticks_(ticks) {}
  int64_t ticks_ = 0;
};

}  // namespace movrano::db
