// The protected form of the stored passwords, against vectors computed
// once with OpenSSL's Blowfish and the cipher-feedback register written
// out by hand.
#include <gtest/gtest.h>

#include "app/Settings.h"
#include "app/uCrypt.h"

namespace movrano {
namespace {

struct Vector {
  const char* plain;
  const char* stored;
};

// One, two and three code units give one "=", two "=" and none.
const Vector kVectors[] = {
    {"", ""},
    {"a", "wjw="},
    {"ab", "wjzgtA=="},
    {"secret", "0I7fHb8QejFVmr3G"},
    {"p\xC3\xA4ssw\xC3\xB6rd\xE2\x82\xAC", "08yWmMO5/9ztTKkkRTlfeR8v"},  // pässwörd€
    {"x\xF0\x9F\x98\x80", "22dAZGhg"},  // x and an emoji: three code units
    {"correct horse battery staple",
     "wPs3cqX+oOQNWSkVcyLghbfpws6BrxJIYHr26MLvz8KvMS+oTbhrGTBJFCOHSzMTATEDfzgd+jI="},
};

TEST(Crypt, EncryptsToTheKnownStoredForms) {
  for (const auto& v : kVectors) {
    EXPECT_EQ(EncryptText(v.plain, SettingsCryptKey), v.stored) << v.plain;
  }
}

TEST(Crypt, DecryptsTheKnownStoredForms) {
  for (const auto& v : kVectors) {
    EXPECT_EQ(DecryptText(v.stored, SettingsCryptKey), v.plain) << v.stored;
  }
}

TEST(Crypt, RoundTripsLongTextsAndEveryKindOfCharacter) {
  std::string all;
  for (int c = 1; c < 128; ++c)
    all += static_cast<char>(c);
  all += "\xC3\xA9\xE4\xB8\xAD\xF0\x90\x8D\x88";  // é, a CJK ideograph, a Gothic letter
  const std::string texts[] = {all, std::string(3000, 'z'), " leading and trailing "};
  for (const auto& text : texts) {
    const std::string stored = EncryptText(text, SettingsCryptKey);
    EXPECT_EQ(stored.find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(DecryptText(stored, SettingsCryptKey), text);
  }
}

// Ill-formed UTF-8 is protected as the decoder reads it: a replacement
// character for each ill-formed start, no character swallowed nor made up.
TEST(Crypt, IllFormedTextIsProtectedWithReplacementCharacters) {
  const struct {
    std::string text, read;
  } cases[] = {
      {"\xC3"
       "A",
       "\xEF\xBF\xBD"
       "A"},
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // not "/"
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
  };
  for (const auto& c : cases) {
    const std::string stored = EncryptText(c.text, SettingsCryptKey);
    EXPECT_EQ(stored, EncryptText(c.read, SettingsCryptKey)) << c.read;
    EXPECT_EQ(DecryptText(stored, SettingsCryptKey), c.read);
  }
}

TEST(Crypt, AnotherKeyGivesAnotherForm) {
  EXPECT_NE(EncryptText("secret", "{00000000-0000-0000-0000-000000000000}"), "0I7fHb8QejFVmr3G");
  EXPECT_NE(DecryptText("0I7fHb8QejFVmr3G", "other key"), "secret");
}

TEST(Crypt, ValuesThatAreNoStoredFormNeverFail) {
  const struct {
    const char* stored;
    const char* plain;  // null: unreadable, whatever it is
  } cases[] = {
      {"", ""},
      {"wjw", ""},  // shorter than one group
      {"wjzgtA==trailing", nullptr},
      {"wjzgtA==xyz", "ab"},  // what follows the last whole group is ignored
      {"hunter2", nullptr},   // a plain password typed into the file
      {"!!!!????", nullptr},  // not of the alphabet
      {"=abc", ""},           // "=" ends the group's data at once
  };
  for (const auto& c : cases) {
    std::string plain;
    EXPECT_NO_THROW(plain = DecryptText(c.stored, SettingsCryptKey)) << c.stored;
    if (c.plain) {
      EXPECT_EQ(plain, c.plain) << c.stored;
    }
  }
  EXPECT_NE(DecryptText("hunter2", SettingsCryptKey), "hunter2");
}

}  // namespace
}  // namespace movrano
