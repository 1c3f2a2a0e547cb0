#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "services/soap/Errors.h"
#include "services/soap/XSDateTime.h"
#include "support/platform/ScopedTimeZone.h"

namespace movrano::soap {
namespace {

using Parts = XSDateTime::Parts;

struct ParseCase {
  const char* text;
  Parts parts;
  std::optional<int> offset;
  const char* written;
};

TEST(SoapXSDateTime, ParsesTheSchemaForms) {
  const ParseCase cases[] = {
      {"2024-02-29T23:59:58",
       {2024, 2, 29, 23, 59, 58, 0},
       std::nullopt,
       "2024-02-29T23:59:58.000"},
      {"2021-06-07T08:09:10.5Z", {2021, 6, 7, 8, 9, 10, 500}, 0, "2021-06-07T08:09:10.500Z"},
      {" 2021-06-07T08:09:10.123456+05:30 ",
       {2021, 6, 7, 8, 9, 10, 123},
       330,
       "2021-06-07T08:09:10.123+05:30"},
      {"0001-01-01T00:00:00-12:00", {1, 1, 1, 0, 0, 0, 0}, -720, "0001-01-01T00:00:00.000-12:00"},
      // The end of a day is the start of the next one.
      {"2021-06-07T24:00:00", {2021, 6, 8, 0, 0, 0, 0}, std::nullopt, "2021-06-08T00:00:00.000"},
      {"2024-12-31T24:00:00.000Z", {2025, 1, 1, 0, 0, 0, 0}, 0, "2025-01-01T00:00:00.000Z"},
      {"2024-02-28T24:00:00+01:00", {2024, 2, 29, 0, 0, 0, 0}, 60, "2024-02-29T00:00:00.000+01:00"},
  };
  for (const ParseCase& c : cases) {
    const XSDateTime d = XSDateTime::Parse(c.text);
    EXPECT_EQ(d.parts(), c.parts) << c.text;
    EXPECT_EQ(d.utcOffsetMinutes(), c.offset) << c.text;
    EXPECT_EQ(d.ToString(), c.written);
    EXPECT_EQ(XSDateTime::Parse(d.ToString()), d);
  }
}

TEST(SoapXSDateTime, RefusesOtherForms) {
  for (const char* text :
       {"", "2021-06-07", "2021-6-07T08:09:10", "2021-02-29T00:00:00", "2021-06-07T24:00:01",
        "2021-06-07T24:01:00", "2021-06-07T24:00:00.5", "2021-02-29T24:00:00",
        "9999-12-31T24:00:00", "2021-06-07T08:09:60", "2021-06-07 08:09:10", "2021-06-07T08:09:10.",
        "2021-06-07T08:09:10+5", "2021-06-07T08:09:10+15:00", "2021-06-07T08:09:10Zjunk",
        "-2021-06-07T08:09:10"})
    EXPECT_THROW(XSDateTime::Parse(text), ESOAPMessageError) << text;
}

TEST(SoapXSDateTime, ConvertsToLocalTimeThroughItsOffset) {
  testing::ScopedTimeZone zone("CET-1");  // UTC+1 all year
  EXPECT_EQ(XSDateTime::Parse("2021-12-31T23:30:00.250Z").AsLocal(),
            (Parts{2022, 1, 1, 0, 30, 0, 250}));
  EXPECT_EQ(XSDateTime::Parse("2021-03-01T01:00:00+03:00").AsLocal(),
            (Parts{2021, 2, 28, 23, 0, 0, 0}));
  // Without an offset the value is local time already.
  EXPECT_EQ(XSDateTime::Parse("2021-03-01T01:00:00").AsLocal(), (Parts{2021, 3, 1, 1, 0, 0, 0}));
}

TEST(SoapXSDateTime, OrdersMomentsWhereTheLocalClockGoesBack) {
  testing::ScopedTimeZone zone("Europe/Berlin");
  // 02:45 summer time comes before 02:15 winter time on 29 October 2023.
  const XSDateTime summer = XSDateTime::Parse("2023-10-29T00:45:00Z");
  const XSDateTime winter = XSDateTime::Parse("2023-10-29T01:15:00Z");
  EXPECT_EQ(summer.AsLocal(), (Parts{2023, 10, 29, 2, 45, 0, 0}));
  EXPECT_EQ(winter.AsLocal(), (Parts{2023, 10, 29, 2, 15, 0, 0}));
  EXPECT_LT(summer.AsInstant(), winter.AsInstant());
  EXPECT_EQ(winter.AsInstant() - summer.AsInstant(), std::chrono::minutes(30));
}

TEST(SoapXSDateTime, TakesTheMomentFromTheOffsetOrElseFromTheLocalZone) {
  testing::ScopedTimeZone zone("Europe/Berlin");
  using std::chrono::milliseconds;
  using std::chrono::sys_days;
  using namespace std::chrono_literals;
  const sys_days july1{std::chrono::year{2023} / 7 / 1};
  const struct {
    const char* text;
    std::chrono::sys_time<milliseconds> instant;
  } cases[] = {
      {"2023-07-01T10:00:00.250Z", july1 + 10h + 250ms},
      {"2023-07-01T12:00:00+05:30", july1 + 6h + 30min},
      {"2023-07-01T00:30:00-01:00", july1 + 1h + 30min},
      // Without an offset, Berlin's summer time (UTC+2) and winter time (UTC+1).
      {"2023-07-01T12:00:00.007", july1 + 10h + 7ms},
      {"2023-01-15T12:00:00", sys_days{std::chrono::year{2023} / 1 / 15} + 11h},
      {"1969-12-31T23:59:59Z", sys_days{std::chrono::year{1970} / 1 / 1} - 1s},
      {"1970-01-01T00:59:59", sys_days{std::chrono::year{1970} / 1 / 1} - 1s},
  };
  for (const auto& c : cases)
    EXPECT_EQ(XSDateTime::Parse(c.text).AsInstant(), c.instant) << c.text;
}

}  // namespace
}  // namespace movrano::soap
