#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "services/soap/Errors.h"
#include "services/soap/XSDateTime.h"

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

// Runs with a fixed zone without daylight saving, restoring the old one.
class FixedZone {
 public:
  explicit FixedZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~FixedZone() {
    if (old_)
      setenv("TZ", old_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

TEST(SoapXSDateTime, ConvertsToLocalTimeThroughItsOffset) {
  FixedZone zone("CET-1");  // UTC+1 all year
  EXPECT_EQ(XSDateTime::Parse("2021-12-31T23:30:00.250Z").AsLocal(),
            (Parts{2022, 1, 1, 0, 30, 0, 250}));
  EXPECT_EQ(XSDateTime::Parse("2021-03-01T01:00:00+03:00").AsLocal(),
            (Parts{2021, 2, 28, 23, 0, 0, 0}));
  // Without an offset the value is local time already.
  EXPECT_EQ(XSDateTime::Parse("2021-03-01T01:00:00").AsLocal(), (Parts{2021, 3, 1, 1, 0, 0, 0}));
}

}  // namespace
}  // namespace movrano::soap
