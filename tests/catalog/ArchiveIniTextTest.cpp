// The INI text of an archive entry: the part GUID list and the reading
// rules of the INI files the vault product writes into its archives.
#include <gtest/gtest.h>

#include "catalog/ArchiveIniText.h"

namespace movrano {
namespace {

using Guids = std::vector<std::string>;

TEST(PartGuidList, EndsAtTheNoneValue) {
  EXPECT_EQ(
      PartGuidsOfIniText("[PartGuidList]\r\nPartGuid0=A\r\nPartGuid1=None\r\nPartGuid2=C\r\n"),
      Guids{"A"});
}

TEST(PartGuidList, EndsAtTheFirstMissingNumber) {
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\nPartGuid0=A\nPartGuid1=B\nPartGuid2=C\n"
                               "PartGuid4=E\n"),
            (Guids{"A", "B", "C"}));
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\nPartGuid1=B\n"), Guids{});
}

TEST(PartGuidList, TakesOtherSpellingsOfNoneAndTheEmptyValueAsGuids) {
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\nPartGuid0=none\nPartGuid1=\nPartGuid2=NONE\n"
                               "PartGuid3=None\n"),
            (Guids{"none", "", "NONE"}));
}

TEST(PartGuidList, KeepsValuesAsWrittenBeyondTheTrimming) {
  // No quotes are removed, nothing is checked for the GUID form, and a
  // GUID listed twice stays twice.
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\n  PartGuid0 =  \"{Q}\"  \nPartGuid1=x=y\n"
                               "PartGuid2='{Q}'\nPartGuid3=\"{Q}\"\n"),
            (Guids{"\"{Q}\"", "x=y", "'{Q}'", "\"{Q}\""}));
}

TEST(PartGuidList, MatchesSectionAndKeysWithoutRegardToCase) {
  EXPECT_EQ(PartGuidsOfIniText("[ partguidlist ]\nPARTGUID0=A\npartguid1=B\n"), (Guids{"A", "B"}));
}

TEST(PartGuidList, NothingWithoutTheSection) {
  EXPECT_EQ(PartGuidsOfIniText("[Revision]\nPartGuid0=A\n"), Guids{});
  EXPECT_EQ(PartGuidsOfIniText("PartGuid0=A\n[Other]\n"), Guids{});
  EXPECT_EQ(PartGuidsOfIniText(""), Guids{});
}

TEST(PartGuidList, KeysOfOtherSectionsAndBeforeTheFirstSectionDoNotCount) {
  EXPECT_EQ(PartGuidsOfIniText("PartGuid0=early\n[PartGuidList]\nPartGuid0=A\n[Revision]\n"
                               "PartGuid1=B\n"),
            Guids{"A"});
}

TEST(PartGuidList, TheFirstOfTwoSectionsAndTheFirstOfTwoKeysCount) {
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\nPartGuid0=A\nPartGuid0=Z\n[PartGuidList]\n"
                               "PartGuid1=B\n"),
            Guids{"A"});
}

TEST(PartGuidList, IgnoresCommentsBlankLinesAndLinesWithoutEquals) {
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\n; PartGuid0=commented\n\n   \nPartGuid0\n"
                               "PartGuid0=A\n\tPartGuid1=B\t\n"),
            (Guids{"A", "B"}));
}

TEST(PartGuidList, ASectionLineMustEndInItsBracket) {
  // "[PartGuidList] x" opens no section, so its keys belong to [Revision].
  EXPECT_EQ(PartGuidsOfIniText("[Revision]\n[PartGuidList] x\nPartGuid0=A\n"), Guids{});
  EXPECT_EQ(PartGuidsOfIniText("[Revision]\n[PartGuidList]   \nPartGuid0=A\n"), Guids{"A"});
}

TEST(PartGuidList, LinesEndAtCarriageReturnsToo) {
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\rPartGuid0=A\rPartGuid1=B\r\n\nPartGuid2=C"),
            (Guids{"A", "B", "C"}));
}

TEST(PartGuidList, DecodesByTheByteOrderMarkElseUtf8ElseWindows1252) {
  std::string utf16le = "\xFF\xFE";
  for (const char16_t unit : std::u16string(u"[PartGuidList]\nPartGuid0=\u00A9\n")) {
    utf16le += static_cast<char>(unit & 0xFF);
    utf16le += static_cast<char>(unit >> 8);
  }
  EXPECT_EQ(PartGuidsOfIniText(utf16le), Guids{"\xC2\xA9"});
  EXPECT_EQ(PartGuidsOfIniText("\xEF\xBB\xBF[PartGuidList]\nPartGuid0=\xC3\xA9\n"),
            Guids{"\xC3\xA9"});
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\nPartGuid0=\xE9\n"), Guids{"\xC3\xA9"});
}

TEST(PartGuidList, BinaryBytesListNothing) {
  std::string bytes;
  for (int round = 0; round < 4; ++round)
    for (int b = 0; b < 256; ++b)
      bytes += static_cast<char>(b);
  EXPECT_EQ(PartGuidsOfIniText(bytes), Guids{});
}

TEST(ArchiveIniText, AMissingKeyReadsAsTheDefault) {
  const TArchiveIniText ini = TArchiveIniText::FromBytes("[A]\nk=v\n");
  EXPECT_EQ(ini.ReadString("A", "K", "d"), "v");
  EXPECT_EQ(ini.ReadString("A", "other", "d"), "d");
  EXPECT_EQ(ini.ReadString("B", "k", "d"), "d");
}

}  // namespace
}  // namespace movrano
