#include <gtest/gtest.h>

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

}  // namespace
}  // namespace movrano::db
