#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/IniFile.h"
#include "platform/TextCodec.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

using ::testing::HasSubstr;
using testing::ReadFileBytes;
using testing::TempDir;

class PlatformIniFile : public ::testing::Test {
 protected:
  IniFile file(std::string_view contents) { return IniFile(dir.write("test.ini", contents)); }
  std::string contents() const { return ReadFileBytes(dir.path() / "test.ini"); }
  TempDir dir;
};

TEST_F(PlatformIniFile, ReadsWithTheProfileRules) {
  const IniFile ini = file(
      "orphan=before any section\n"
      "[General]\n"
      "  DataSourceType = Firebird  \n"
      "; Comment=not a key\n"
      "Empty=\n"
      "Quoted=\"  spaced  \"\n"
      "Single='x'\n"
      "Half=\"open\n"
      "Twice=first\n"
      "Twice=second\n"
      "[ Vault ]\n"
      "RootFolder=/srv/files=with=equals\n"
      "[general]\n"
      "Late=ignored, the first section wins\n");
  const struct {
    const char* section;
    const char* key;
    const char* expected;
  } cases[] = {
      {"General", "DataSourceType", "Firebird"},
      {"GENERAL", "datasourcetype", "Firebird"},
      {"General", "Empty", ""},  // present and empty: not the default
      {"General", "Quoted", "  spaced  "},
      {"General", "Single", "x"},
      {"General", "Half", "\"open"},
      {"General", "Twice", "first"},
      {"General", "; Comment", "<default>"},
      {"General", "orphan", "<default>"},
      {"General", "Late", "<default>"},
      {"Vault", "RootFolder", "/srv/files=with=equals"},
      {"Vault", "DataSourceType", "<default>"},
      {"Missing", "Key", "<default>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ini.readString(c.section, c.key, "<default>"), c.expected)
        << c.section << "/" << c.key;
  }
  EXPECT_TRUE(ini.valueExists("general", "EMPTY"));
  EXPECT_FALSE(ini.valueExists("General", "Late"));
  EXPECT_TRUE(ini.sectionExists("vault"));
  EXPECT_FALSE(ini.sectionExists("Products"));
}

TEST_F(PlatformIniFile, AMissingFileReadsAsDefaults) {
  const IniFile ini(dir.path() / "none.ini");
  EXPECT_EQ(ini.readString("Settings", "IDSUserName", "@example.com"), "@example.com");
  EXPECT_EQ(ini.readInteger("Settings", "MigrationMode", 2), 2);
  EXPECT_FALSE(ini.sectionExists("Settings"));
}

TEST_F(PlatformIniFile, AFolderOfTheFilesNameReadsAsDefaultsAndRefusesWrites) {
  std::filesystem::create_directory(dir.path() / "Movrano.ini");
  IniFile ini(dir.path() / "Movrano.ini");
  EXPECT_EQ(ini.readString("Settings", "IDSUserName", "@example.com"), "@example.com");
  EXPECT_FALSE(ini.sectionExists("Settings"));
  EXPECT_THROW(ini.writeString("Settings", "IDSUserName", "x"), EIniFileException);
}

TEST_F(PlatformIniFile, AValueReadIsCutAt2047Characters) {
  const std::string exact(2047, 'a');
  const std::string longer = exact + "bcd";
  const IniFile ini =
      file("[S]\nExact=" + exact + "\nLong=" + longer + "\nWide=" + std::string(2046, 'a') + "😀\n");
  EXPECT_EQ(ini.readString("S", "Exact", ""), exact);
  EXPECT_EQ(ini.readString("S", "Long", ""), exact);
  // The cut never leaves half a character.
  EXPECT_EQ(ini.readString("S", "Wide", ""), std::string(2046, 'a'));
}

TEST_F(PlatformIniFile, ReadsWholeNumbersOrTheDefault) {
  const IniFile ini = file("[S]\na=4\nb=-3\nc=$1F\nd=0x10\ne=7x\nf=\ng=99999999999\nh=+2\n");
  const struct {
    const char* key;
    int expected;
  } cases[] = {{"a", 4},  {"b", -3}, {"c", 31}, {"d", 16},   {"e", -1},
               {"f", -1}, {"g", -1}, {"h", 2},  {"none", -1}};
  for (const auto& c : cases)
    EXPECT_EQ(ini.readInteger("S", c.key, -1), c.expected) << c.key;
}

TEST_F(PlatformIniFile, EveryWriteGoesToTheFileAtOnceAndKeepsOtherLines) {
  IniFile ini = file(
      "; settings of the tool\r\n"
      "[Settings]\r\n"
      "IDSUserName=old\r\n"
      "odd line without equals\r\n"
      "\r\n"
      "[Other]\r\n"
      "Keep=1\r\n");
  ini.writeString("settings", "idsusername", "new@example.com");
  ini.writeString("Settings", "MigrationMode", "2");
  ini.writeInteger("Fresh", "Count", 5);
  EXPECT_EQ(contents(),
            "; settings of the tool\r\n"
            "[Settings]\r\n"
            "idsusername=new@example.com\r\n"
            "odd line without equals\r\n"
            "MigrationMode=2\r\n"
            "\r\n"
            "[Other]\r\n"
            "Keep=1\r\n"
            "[Fresh]\r\n"
            "Count=5\r\n");
  // A second object on the same file sees every write.
  EXPECT_EQ(IniFile(ini.fileName()).readInteger("FRESH", "count", 0), 5);
}

TEST_F(PlatformIniFile, AWriteCreatesTheFile) {
  IniFile ini(dir.path() / "Movrano.ini");
  ini.writeString("Settings", "IDSPassword2", "");
  EXPECT_EQ(ReadFileBytes(ini.fileName()), "[Settings]\nIDSPassword2=\n");
  EXPECT_TRUE(ini.valueExists("Settings", "IDSPassword2"));
  EXPECT_EQ(ini.readString("Settings", "IDSPassword2", "default"), "");
}

TEST_F(PlatformIniFile, DeletesAKeyAtOnce) {
  IniFile ini = file("[Settings]\nIDSPassword=plain\nIDSUserName=u\n");
  ini.deleteKey("SETTINGS", "idspassword");
  EXPECT_EQ(contents(), "[Settings]\nIDSUserName=u\n");
  ini.deleteKey("Settings", "NotThere");
  IniFile(dir.path() / "no" / "such" / "folder.ini").deleteKey("S", "K");  // not reported
  EXPECT_EQ(contents(), "[Settings]\nIDSUserName=u\n");
}

TEST_F(PlatformIniFile, KeepsAUtf16FileInUtf16) {
  const std::string utf16 = std::string("\xFF\xFE[\0S\0]\0\n\0K\0=\0\xE9\0\n\0", 18);
  IniFile ini = file(utf16);
  EXPECT_EQ(ini.readString("S", "K", ""), "é");
  ini.writeString("S", "K", "ü");
  EXPECT_EQ(contents(), std::string("\xFF\xFE[\0S\0]\0\n\0K\0=\0\xFC\0\n\0", 18));
}

// Each ill-formed start of a value becomes one replacement character in a
// UTF-16 file; the characters after it are kept.
TEST_F(PlatformIniFile, IllFormedTextGoesIntoAUtf16FileAsReplacementCharacters) {
  const struct {
    std::string value;
    std::u16string units;
  } cases[] = {
      {"\xC3"
       "A/",
       u"\uFFFDA/"},
      {"\xC0\xAF", u"\uFFFD\uFFFD"},
      {"\xED\xA0\x80z", u"\uFFFD\uFFFD\uFFFDz"},
  };
  for (const auto& c : cases) {
    IniFile ini = file(std::string("\xFF\xFE[\0S\0]\0\n\0", 10));
    ini.writeString("S", "K", c.value);
    EXPECT_EQ(contents(), Utf16Bytes(u"\uFEFF[S]\nK=" + c.units + u"\n", ByteOrder::LittleEndian));
    EXPECT_EQ(ini.readString("S", "K", ""), Utf16ToUtf8(c.units));
  }
}

TEST_F(PlatformIniFile, AFileThatCannotBeWrittenRaisesAndStaysUnchanged) {
  dir.write("plain", "a file, not a folder");
  IniFile ini(dir.path() / "plain" / "Movrano.ini");
  try {
    ini.writeString("Settings", "DestVaultPath", "/srv/vault");
    FAIL() << "the write went nowhere without an error";
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.message(), "Unable to write to " + ini.fileName().string());
    EXPECT_STREQ(e.className(), "EIniFileException");
  }
}

TEST_F(PlatformIniFile, RefusesTextThatWouldBreakTheLines) {
  IniFile ini = file("[Settings]\nKey=old\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {{"Settings", "Key", "new\n[Injected]\nEvil=1"},
               {"Settings", "Key", "carriage\rreturn"},
               {"Settings", "Key=2", "x"},
               {"Settings", "", "x"},
               {"Set]tings", "Key", "x"},
               {"Settings", "[Key", "x"},
               {"Settings\n", "Key", "x"}};
  for (const auto& c : cases) {
    EXPECT_THROW(ini.writeString(c.section, c.key, c.value), EIniFileException) << c.key;
  }
  EXPECT_EQ(contents(), "[Settings]\nKey=old\n");
}

}  // namespace
}  // namespace movrano
