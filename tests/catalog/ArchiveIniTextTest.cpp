// The INI text of an archive entry: the part GUID list and the reading
// rules of the INI files the vault product writes into its archives.
#include <gtest/gtest.h>

#include "catalog/ArchiveIniText.h"
#include "catalog/CatalogFixture.h"
#include "platform/TextCodec.h"

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
  const std::string utf16le =
      Utf16Bytes(u"\uFEFF[PartGuidList]\nPartGuid0=\u00A9\n", ByteOrder::LittleEndian);
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

TEST(PartGuidList, OnlyKeysSpelledAsTheListSpellsThemCount) {
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\nPartGuid00=Z\nPartGuid+0=Z\nPart Guid0=Z\n"
                               "PartGuid=Z\nPartGuid0x=Z\nPartGuid0=A\n"),
            Guids{"A"});
  EXPECT_EQ(PartGuidsOfIniText("[PartGuidList]\nPartGuid0=A\nPartGuid01=Z\nPartGuid10=K\n"),
            Guids{"A"});
}

// The text fed in pieces split anywhere, one byte at a time too, reads as
// the whole text does: line breaks, byte-order marks and characters
// split between two pieces.
TEST(PartGuidList, PiecesSplitAnywhereReadAsTheWholeText) {
  const std::u16string units = u"\uFEFF[PartGuidList]\r\nPartGuid0=\U0001F600\u00E9\r\n";
  const std::string utf16le = Utf16Bytes(units, ByteOrder::LittleEndian);
  const std::string utf16be = Utf16Bytes(units, ByteOrder::BigEndian);
  const struct {
    const char* name;
    std::string text;
    Guids guids;
  } cases[] = {
      {"crlf", "[PartGuidList]\r\nPartGuid0=A\r\rPartGuid1=B\r\n", {"A", "B"}},
      {"utf8", "[PartGuidList]\nPartGuid0=\xE2\x82\xAC\xC3\xA9\n", {"\xE2\x82\xAC\xC3\xA9"}},
      {"utf8-mark", "\xEF\xBB\xBF[PartGuidList]\nPartGuid0=\xC3\xA9", {"\xC3\xA9"}},
      {"windows-1252", "[PartGuidList]\nPartGuid0=\x80\xE9\n", {"\xE2\x82\xAC\xC3\xA9"}},
      {"utf8-cut-at-end",
       "[PartGuidList]\nPartGuid0=\xC3\xA9\xE2\x82",
       {"\xC3\x83\xC2\xA9\xC3\xA2\xE2\x80\x9A"}},
      {"utf16le", utf16le, {"\xF0\x9F\x98\x80\xC3\xA9"}},
      {"utf16be", utf16be, {"\xF0\x9F\x98\x80\xC3\xA9"}},
      {"utf16-odd-end", utf16le + "X", {"\xF0\x9F\x98\x80\xC3\xA9"}},
      {"short", "\xFF\xFE", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(PartGuidsOfIniText(c.text), c.guids);
    for (size_t cut = 0; cut <= c.text.size(); ++cut) {
      TPartGuidListReader reader;
      reader.Feed(std::string_view(c.text).substr(0, cut));
      reader.Feed(std::string_view(c.text).substr(cut));
      ASSERT_EQ(reader.Finish(), c.guids) << "cut at " << cut;
    }
    TPartGuidListReader bytewise;
    for (const char byte : c.text)
      bytewise.Feed(std::string_view(&byte, 1));
    EXPECT_EQ(bytewise.Finish(), c.guids);
  }
}

// A line counts by its first characters after its leading blanks, so a
// line of any length takes little memory; only a listed GUID longer than
// that limit is refused.
TEST(PartGuidList, LongLinesAreJudgedByTheirStart) {
  constexpr size_t kLimit = TPartGuidListReader::kLineLimit;
  const std::string longer(kLimit + 100, 'x');
  const std::string blanks(kLimit + 100, ' ');
  const std::string fitting(TPartGuidListReader::kValueLimit, 'g');
  const struct {
    const char* name;
    std::string text;
    Guids guids;
  } cases[] = {
      {"long-other-line", "[PartGuidList]\n" + longer + "\nPartGuid0=A\n", {"A"}},
      {"long-other-key", "[PartGuidList]\nOther=" + longer + "\nPartGuid0=A\n", {"A"}},
      {"leading-blanks", "[PartGuidList]\n" + blanks + "PartGuid0=A\n", {"A"}},
      {"trailing-blanks", "[PartGuidList]\nPartGuid0=A" + blanks + "\nPartGuid1=B", {"A", "B"}},
      {"guid-at-the-limit", "[PartGuidList]\nPartGuid0=" + fitting + "\n", {fitting}},
      {"long-section-ends-the-list",
       "[PartGuidList]\nPartGuid0=A\n[" + longer + "]\nPartGuid1=B\n",
       {"A"}},
      {"long-guid-after-the-end", "[PartGuidList]\nPartGuid0=None\nPartGuid1=" + longer, {}},
      {"line-breaks",
       std::string(3 * kLimit, '\n') + "[PartGuidList]\r\n" + std::string(3 * kLimit, '\r') +
           "PartGuid0=A",
       {"A"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPartGuidListReader reader;
    for (size_t at = 0; at < c.text.size(); at += 1000)
      reader.Feed(std::string_view(c.text).substr(at, 1000));
    EXPECT_EQ(reader.Finish(), c.guids);
  }
  TPartGuidListReader reader("Revision.ini in CMP-0001.zip");
  reader.Feed("[PartGuidList]\nPartGuid0=A\nPartGuid1=" + longer + "\n");
  EXPECT_EQ(testing::Raised([&] { reader.Finish(); }),
            "Exception Revision.ini in CMP-0001.zip: PartGuid1 is longer than 256 bytes, which no "
            "part GUID is");
}

// What cannot be a part GUID list is refused once the list reaches it, by
// the text's name; keys past the list's end are never kept.
TEST(PartGuidList, AValueOrAListTooLongForPartGuidsIsRefused) {
  const std::string tooLong(TPartGuidListReader::kValueLimit + 1, 'g');
  std::string four = "[PartGuidList]\n";
  for (int k = 0; k < 4; ++k)
    four += "PartGuid" + std::to_string(k) + "=G" + std::to_string(k) + "\n";
  const struct {
    const char* name;
    std::string text;
    const char* raised;
  } cases[] = {
      {"value", "[PartGuidList]\nPartGuid0=A\nPartGuid1=" + tooLong + "\nPartGuid2=None\n",
       "Exception origin: PartGuid1 is longer than 256 bytes, which no part GUID is"},
      {"value-after-the-end", "[PartGuidList]\nPartGuid0=None\nPartGuid1=" + tooLong, ""},
      {"list", four + "PartGuid4=G4\n",
       "Exception origin: the part GUID list is longer than 4, which no item's is"},
      {"list-at-the-limit", four + "PartGuid4=None\n", ""},
      {"list-at-the-limit-without-its-end", four, ""},
      {"keys-past-the-end", "[PartGuidList]\nPartGuid0=A\nPartGuid9=" + tooLong, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPartGuidListReader reader("origin", 4);
    reader.Feed(c.text);
    EXPECT_EQ(testing::Raised([&] { reader.Finish(); }), c.raised);
  }
}

}  // namespace
}  // namespace movrano
