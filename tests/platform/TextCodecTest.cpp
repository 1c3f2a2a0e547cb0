#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/TextCodec.h"

namespace movrano {
namespace {

const std::string kFFFD = "\xEF\xBF\xBD";

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::u16string units;  // what the decoder makes of them
};

// Ill-formed input: each maximal ill-formed start is one U+FFFD and the
// bytes after it are read again, so no character is swallowed.
const DecodeCase kDecodeCases[] = {
    {"SecondByteNotAContinuation",
     "\xC3"
     "A",
     u"\uFFFDA"},
    {"OverlongSlash", "\xC0\xAF", u"\uFFFD\uFFFD"},
    {"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
    {"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
    {"AboveTheLastCodePoint", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"FiveByteLead", "\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"LoneContinuation", "a\x80z", u"a\uFFFDz"},
    {"CutThreeByteCharacter", "\xE2\x82z", u"\uFFFDz"},
    {"CutFourByteCharacterAtTheEnd", "x\xF0\x9F\x98", u"x\uFFFD"},
    {"Latin1Text", "caf\xE9 ", u"caf\uFFFD "},
    {"EveryLength", "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", u"A\u00E9\u20AC\U0001F600"},
    {"Edges",
     "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF0\x90\x80\x80"
     "\xF4\x8F\xBF\xBF",
     u"\u007F\u0080\u07FF\u0800\uD7FF\uE000\uFFFF\U00010000\U0010FFFF"},
    {"Nul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
};

void PrintTo(const DecodeCase& c, std::ostream* out) {
  *out << c.name;
}

class Utf8Decoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(Utf8Decoding, GivesTheReplacementWhereTheValidatorRefuses) {
  const DecodeCase& c = GetParam();
  EXPECT_EQ(Utf8ToUtf16(c.bytes), c.units);
  const std::string text = Utf16ToUtf8(c.units);
  EXPECT_EQ(ReplaceInvalidUtf8(c.bytes), text);
  EXPECT_EQ(IsValidUtf8(c.bytes), text == c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Utf8Decoding, ::testing::ValuesIn(kDecodeCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Every text of up to three bytes drawn from bytes that start, continue
// and break sequences of each length: the decoder, the replacement and the
// validator agree on each.
TEST(Utf8Codec, DecoderReplacementAndValidatorAgreeOnEveryShortText) {
  const std::string bytes(
      "\x00\x41\x7F\x80\x8F\x90\x9F\xA0\xBF\xC0\xC1\xC2\xDF\xE0\xE1\xEC\xED"
      "\xEE\xEF\xF0\xF1\xF3\xF4\xF5\xFF",
      25);
  std::vector<std::string> texts = {""};
  for (size_t length = 0; length < 3; ++length) {
    const size_t from = texts.size();
    for (size_t i = 0; i < from; ++i)
      if (texts[i].size() == length)
        for (const char b : bytes)
          texts.push_back(texts[i] + b);
  }
  for (const std::string& s : texts) {
    SCOPED_TRACE(::testing::PrintToString(s));
    const std::string replaced = ReplaceInvalidUtf8(s);
    ASSERT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), replaced);
    ASSERT_EQ(IsValidUtf8(s), replaced == s);
    ASSERT_TRUE(IsValidUtf8(replaced));
  }
}

TEST(Utf8Codec, UnitsOutsideTheBasicPlaneTravelAsSurrogatePairs) {
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD83D, 0xDE00}), "\xF0\x9F\x98\x80");
  // A surrogate without its partner cannot be written as UTF-8.
  EXPECT_EQ(Utf16ToUtf8(std::u16string{u'a', 0xD83D}), "a" + kFFFD);
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDE00, 0xD83D, u'b'}), kFFFD + kFFFD + "b");
}

// What a reader of pieces keeps back for the next piece: only the start of
// a character that more bytes can still complete.
TEST(Utf8Codec, OpenTailIsAWellFormedStartOnly) {
  const struct {
    std::string text;
    size_t open;
  } cases[] = {
      {"", 0},
      {"abc", 0},
      {"a\xC3", 1},
      {"a\xE2\x82", 2},
      {"a\xF0\x9F\x98", 3},
      {"a\xF0\x9F\x98\x80", 0},
      {"a\xC3\xA9", 0},
      {"a\xE0\x80", 0},  // an overlong form whatever follows
      {"a\xED\xA0", 0},  // a surrogate whatever follows
      {"a\xF4\x90", 0},  // above U+10FFFF
      {"a\x80\x80\x80", 0},
      {"a\xFF", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(OpenUtf8Tail(c.text), c.open) << ::testing::PrintToString(c.text);
}

TEST(Utf16Codec, ReadsAndWritesBothByteOrders) {
  const std::u16string units = u"A\u00E9\U0001F600";
  const std::string little("A\0\xE9\0\x3D\xD8\x00\xDE", 8);
  const std::string big("\0A\0\xE9\xD8\x3D\xDE\x00", 8);
  EXPECT_EQ(Utf16Bytes(units, ByteOrder::LittleEndian), little);
  EXPECT_EQ(Utf16Bytes(units, ByteOrder::BigEndian), big);
  EXPECT_EQ(Utf16Units(little, ByteOrder::LittleEndian), units);
  EXPECT_EQ(Utf16Units(big, ByteOrder::BigEndian), units);
  EXPECT_EQ(Utf16BytesToUtf8(big + "\x41", ByteOrder::BigEndian), "A\xC3\xA9\xF0\x9F\x98\x80")
      << "an odd last byte is left out";
}

TEST(Utf16Codec, UnitsUpToZeroStopAtTheFirstZeroUnitOnly) {
  const auto bytes = [](std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); };
  const auto le = ByteOrder::LittleEndian;
  EXPECT_EQ(Utf16UnitsUpToZero(bytes(std::string("a\0\0\x01\0\0b\0", 8)), le), u"a\u0100");
  EXPECT_EQ(Utf16UnitsUpToZero(bytes(std::string("a\0b", 3)), le), u"a");
  EXPECT_EQ(Utf16UnitsUpToZero(bytes(std::string("\0\0a\0", 4)), le), u"");
}

TEST(Utf16Codec, OpenTailIsAnOddByteAndALeadingSurrogate) {
  const auto le = ByteOrder::LittleEndian;
  const auto be = ByteOrder::BigEndian;
  EXPECT_EQ(OpenUtf16Tail("", le), 0u);
  EXPECT_EQ(OpenUtf16Tail(std::string("a\0", 2), le), 0u);
  EXPECT_EQ(OpenUtf16Tail(std::string("a\0b", 3), le), 1u);
  EXPECT_EQ(OpenUtf16Tail("\x3D\xD8", le), 2u);
  EXPECT_EQ(OpenUtf16Tail(std::string("\x3D\xD8\x00", 3), le), 3u);
  EXPECT_EQ(OpenUtf16Tail("\xD8\x3D", be), 2u);
  EXPECT_EQ(OpenUtf16Tail("\xD8\x3D", le), 0u);  // U+3DD8 in this order
  EXPECT_EQ(OpenUtf16Tail(std::string("\x3D\xD8\x00\xDE", 4), le), 0u);
}

TEST(Windows1252Codec, MapsTheHighBytesAndKeepsTheUnassignedOnes) {
  EXPECT_EQ(Windows1252ToUtf8("\x80\x81\x9F\xA0\xE9\xFF"),
            "\xE2\x82\xAC\xC2\x81\xC5\xB8\xC2\xA0\xC3\xA9\xC3\xBF");
  EXPECT_EQ(Windows1252ToUtf8("plain"), "plain");
}

}  // namespace
}  // namespace movrano
