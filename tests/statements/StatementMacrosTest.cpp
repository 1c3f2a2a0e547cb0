#include <gtest/gtest.h>

#include "platform/Exceptions.h"
#include "statements/StatementMacros.h"
#include "statements/uSQLManager.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

TEST(StatementMacros, DetectAReferenceOfWordCharactersBetweenTwoPercentSigns) {
  const std::pair<std::string, bool> cases[] = {
      {"select * from %TABLE_1%", true},
      {"100%%", true},
      {"a %not one% but %then_this%", true},
      {"%a b%c%", true},  // the second "%" also opens the next reference
      {"%a b%", false},
      {"%a-b%", false},
      {"%Grüße%", false},  // characters above code 127 are no word characters
      {"50% off", false},
      {"no macro", false},
      {"", false},
  };
  for (const auto& [text, expected] : cases)
    EXPECT_EQ(HasMacroses(text), expected) << "text: " << text;
}

TEST(StatementMacros, ReplaceEveryReferenceWithoutRegardToCaseInIndexOrder) {
  EXPECT_EQ(ReplaceMacros("select %table% from %Table%", {"TABLE"}, {"ITEMS"}),
            "select ITEMS from ITEMS");
  // A value that holds a later name is replaced in turn; an earlier one is not.
  EXPECT_EQ(ReplaceMacros("%a%", {"a", "b"}, {"%b% %a%", "B"}), "B %a%");
  EXPECT_EQ(ReplaceMacros("100%%", {""}, {"x"}), "100x");
  EXPECT_EQ(ReplaceMacros("%a b%", {"a"}, {"x"}), "%a b%");
}

TEST(StatementMacros, FindMacrosStartsFromTheStatementOrTheNameItself) {
  testing::TempDir dir;
  TSQLManager catalogue;
  catalogue.LoadFromFile(dir.write("m.sql", "--$sql_count\nselect count(*) from %table%").string());
  EXPECT_EQ(catalogue.FindMacros("SQL_COUNT", {"TABLE"}, {"ITEMS"}),
            "select count(*) from ITEMS\r\n");
  EXPECT_EQ(catalogue.FindMacros("drop %Table%", {"table"}, {"ITEMS"}), "drop ITEMS");
}

TEST(StatementMacros, ArraysOfDifferentLengthsRaise) {
  TSQLManager catalogue;
  try {
    catalogue.FindMacros("x", {"a"}, {"1", "2"});
    FAIL() << "expected an exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TSQLManager.FindMacros: Length of Names and Values should be equal!");
  }
  EXPECT_THROW(catalogue.FindMacros("x", {"a", "b"}, {"1"}), Exception);
}

}  // namespace
}  // namespace movrano
