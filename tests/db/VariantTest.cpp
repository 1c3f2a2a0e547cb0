#include <gtest/gtest.h>

#include <charconv>

#include "db/Variant.h"
#include "platform/Exceptions.h"

namespace movrano::db {
namespace {

TEST(Variant, NullCannotBecomeTextOrInteger) {
  try {
    (void)Variant::Null().toString();
    FAIL() << "no exception";
  } catch (const EVariantTypeCastError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (OleStr)");
    EXPECT_STREQ(e.className(), "EVariantTypeCastError");
  }
  try {
    (void)Variant::Null().toInt32();
    FAIL() << "no exception";
  } catch (const EVariantTypeCastError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (Integer)");
  }
}

TEST(Variant, EqualityKeepsNullApartFromEmptyText) {
  EXPECT_TRUE(Variant::Null() == Variant::Null());
  EXPECT_FALSE(Variant::Null() == Variant(""));
  EXPECT_FALSE(Variant("") == Variant::Null());
  EXPECT_TRUE(Variant("") == Variant::Text("", VarType::String));
  EXPECT_FALSE(Variant("a") == Variant("A"));
  EXPECT_FALSE(Variant("1") == Variant(1));
  EXPECT_TRUE(Variant(1) == Variant(int64_t{1}));
  EXPECT_TRUE(Variant::Unsigned64(5) == Variant(int64_t{5}));
  EXPECT_FALSE(Variant::Unsigned64(~0ull) == Variant(int64_t{-1}));
}

TEST(Variant, ConversionsAndRange) {
  EXPECT_EQ(Variant(" 42 ").toInt32(), 42);
  EXPECT_EQ(Variant(int64_t{7}).toString(), "7");
  EXPECT_EQ(Variant(true).toString(), "True");
  EXPECT_EQ(Variant(2.5).toString(), "2.5");
  EXPECT_EQ(Variant().toString(), "");
  EXPECT_THROW((void)Variant(int64_t{1} << 40).toInt32(), ERangeError);
  EXPECT_THROW((void)Variant("4294967296").toInt32(), ERangeError);
  EXPECT_THROW((void)Variant("abc").toInt32(), EVariantTypeCastError);
}

TEST(DateTime, PartsRoundTripAndEpoch) {
  EXPECT_EQ(DateTime::FromParts(1899, 12, 30).milliseconds(), 0);
  EXPECT_EQ(DateTime::FromParts(1900, 1, 1).dayNumber(), 2);
  const DateTime t = DateTime::FromParts(2026, 2, 28, 23, 59, 58, 987);
  const auto p = t.parts();
  EXPECT_EQ(p.year, 2026);
  EXPECT_EQ(p.month, 2);
  EXPECT_EQ(p.day, 28);
  EXPECT_EQ(p.hour, 23);
  EXPECT_EQ(p.minute, 59);
  EXPECT_EQ(p.second, 58);
  EXPECT_EQ(p.millisecond, 987);
  EXPECT_EQ(t.toString(), "2026-02-28 23:59:58.987");
  const DateTime before = DateTime::FromParts(1850, 6, 1, 12);
  EXPECT_EQ(before.parts().year, 1850);
  EXPECT_EQ(before.parts().hour, 12);
  EXPECT_THROW(DateTime::FromParts(2025, 2, 29), EConvertError);
}

TEST(Variant, DecimalsConvertExactlyAndCompareByValue) {
  struct Case {
    Decimal d;
    const char* text;
    int64_t whole;
    double nearest;
  };
  const Case cases[] = {
      {{123456789012345678, 4}, "12345678901234.5678", 12345678901235, 12345678901234.5678},
      {{-1, 4}, "-0.0001", 0, -0.0001},
      {{999999999999999999, 4}, "99999999999999.9999", 100000000000000, 99999999999999.9999},
      {{INT64_MIN, 18}, "-9.223372036854775808", -9, -9.223372036854775808},
      {{-25, 1}, "-2.5", -3, -2.5},
      {{15, 1}, "1.5", 2, 1.5},
      {{0, 2}, "0.00", 0, 0},
      {{42, 0}, "42", 42, 42},
  };
  for (const Case& c : cases) {
    const Variant v(c.d);
    EXPECT_EQ(v.type(), VarType::Decimal);
    EXPECT_EQ(v.toString(), c.text);
    EXPECT_EQ(v.toInt64(), c.whole) << c.text;
    EXPECT_EQ(v.toDouble(), c.nearest) << c.text;
    EXPECT_EQ(v.toBool(), c.d.unscaled != 0);
  }
  EXPECT_TRUE(Variant(Decimal{150, 2}) == Variant(Decimal{15, 1}));
  EXPECT_TRUE(Variant(Decimal{300, 2}) == Variant(3));
  EXPECT_FALSE(Variant(Decimal{123456789012345679, 4}) == Variant(Decimal{123456789012345678, 4}));
  EXPECT_FALSE(Variant(Decimal{1, 1}) == Variant("0.1"));
  EXPECT_STREQ(VarTypeName(VarType::Decimal), "Decimal");
}

TEST(Variant, DoublesBecomeTheShortestTextThatReadsBack) {
  struct Case {
    Variant v;
    const char* text;
  };
  const Case cases[] = {
      {Variant(0.1 + 0.2), "0.30000000000000004"},
      {Variant(12345678901234.566), "12345678901234.566"},
      {Variant(1.0 / 3), "0.3333333333333333"},
      {Variant(1e21), "1e+21"},
      {Variant(-2.5), "-2.5"},
      {Variant::Floating(VarType::Single, 0.1f), "0.1"},
  };
  for (const Case& c : cases) {
    const std::string text = c.v.toString();
    EXPECT_EQ(text, c.text);
    double back = 0;
    std::from_chars(text.data(), text.data() + text.size(), back);
    if (c.v.type() == VarType::Double) {
      EXPECT_EQ(back, c.v.toDouble());
    }
  }
}

TEST(DateTime, KeepsTheTenThousandthOfASecond) {
  const DateTime t = DateTime::FromParts(2024, 3, 5, 14, 7, 9, 123, 4);
  EXPECT_EQ(t.toString(), "2024-03-05 14:07:09.1234");
  EXPECT_EQ(t.parts().tenthOfMs, 4);
  EXPECT_EQ(t.milliseconds() % 1000, 123);
  EXPECT_EQ(DateTime::FromParts(2024, 3, 5, 14, 7, 9, 120).toString(), "2024-03-05 14:07:09.120");
  EXPECT_EQ(DateTime::FromParts(2024, 3, 5, 14, 7, 9, 0, 1).toString(), "2024-03-05 14:07:09.0001");
  EXPECT_FALSE(t == DateTime::FromParts(2024, 3, 5, 14, 7, 9, 123, 5));
  EXPECT_FALSE(Variant(t) == Variant(DateTime::FromParts(2024, 3, 5, 14, 7, 9, 123)));
  EXPECT_EQ(DateTime::FromDays(t.days()), t);
  const DateTime before = DateTime::FromTicks(-1);  // the last tick before the epoch
  EXPECT_EQ(before.toString(), "1899-12-29 23:59:59.9999");
  EXPECT_THROW(DateTime::FromParts(2024, 3, 5, 0, 0, 0, 0, 10), EConvertError);
}

}  // namespace
}  // namespace movrano::db
