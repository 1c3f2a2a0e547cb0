#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "platform/Registry.h"
#include "platform/TextCodec.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

using ::testing::HasSubstr;
using testing::TempDir;

constexpr RegistryRoot HKLM = RegistryRoot::LocalMachine;
constexpr RegistryRoot HKCU = RegistryRoot::CurrentUser;

std::string ReadString(const RegistryContent& reg, RegistryRoot root, const char* key,
                       const char* value) {
  const auto opened = reg.openKeyReadOnly(root, key);
  if (!opened) return "<no key>";
  return opened->readString(value);
}

std::string Utf16LeWithMark(std::string_view utf8) {
  return Utf16Bytes(u"\uFEFF" + Utf8ToUtf16(utf8), ByteOrder::LittleEndian);
}

constexpr const char* kExport5 = R"(Windows Registry Editor Version 5.00

; an exported service and an installation
[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\services\TavrinOutpostVaultService]
"ImagePath"="\"/opt/Tavrin Outpost/bin/OutpostService\" -service"
"Start"=dword:00000002
"Description"=hex(2):25,00,50,00,72,00,6f,00,67,00,72,00,61,00,6d,00,46,00,69,00,\
  6c,00,65,00,73,00,25,00,2f,00,78,00,00,00
@="default value"

[HKEY_LOCAL_MACHINE\SOFTWARE\Tavrin\Tavrin Vault\Vault]
"Path"="C:\\Program Files\\Tavrin\\Vault"
"Blob"=hex:01,02,ff
"Empty"=""
"Quote\"d"="Ünïcode ✓"

[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\{APP}_is1]
"UninstallString"="\"/opt/tavrin/unins000\""

[HKEY_CLASSES_ROOT\.fdb]
@="FirebirdDatabase"
)";

TEST(PlatformRegistry, ReadsStringsAsStoredUnderBothRoots) {
  const auto reg = RegistryContent::Parse(Utf16LeWithMark(kExport5));
  const auto* service = "SYSTEM\\CurrentControlSet\\services\\TavrinOutpostVaultService";
  const auto* vault = "SOFTWARE\\Tavrin\\Tavrin Vault\\Vault";
  const struct {
    RegistryRoot root;
    const char* key;
    const char* value;
    const char* expected;
  } cases[] = {
      {HKLM, service, "ImagePath", "\"/opt/Tavrin Outpost/bin/OutpostService\" -service"},
      {HKLM, service, "Description", "%ProgramFiles%/x"},  // expandable, not expanded
      {HKLM, service, "", "default value"},
      {HKLM, service, "NoSuchValue", ""},
      {HKLM, vault, "Path", "C:\\Program Files\\Tavrin\\Vault"},
      {HKLM, vault, "empty", ""},
      {HKLM, vault, "quote\"D", "Ünïcode ✓"},
      {HKLM, "software\\TAVRIN\\tavrin vault\\vault", "PATH", "C:\\Program Files\\Tavrin\\Vault"},
      {HKLM, "\\SOFTWARE\\Tavrin\\Tavrin Vault\\Vault\\", "Path",
       "C:\\Program Files\\Tavrin\\Vault"},
      {HKCU, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{APP}_is1",
       "UninstallString", "\"/opt/tavrin/unins000\""},
      {HKCU, vault, "Path", "<no key>"},
      {HKLM, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{APP}_is1",
       "UninstallString", "<no key>"},
      {HKLM, "SOFTWARE\\Tavrin\\Kelm Apps Server\\Vault\\Vault", "Path", "<no key>"},
      {HKLM, ".fdb", "", "<no key>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadString(reg, c.root, c.key, c.value), c.expected) << c.key << " " << c.value;
  }
}

TEST(PlatformRegistry, AKeyWithOnlySubKeysExists) {
  const auto reg = RegistryContent::Parse(kExport5);
  EXPECT_TRUE(reg.openKeyReadOnly(HKLM, "SOFTWARE\\Tavrin"));
  EXPECT_TRUE(reg.openKeyReadOnly(HKLM, "SYSTEM"));
  EXPECT_FALSE(reg.openKeyReadOnly(HKLM, "SOFTWARE\\Tav"));
}

TEST(PlatformRegistry, AValueOfAnotherTypeRaisesTheInvalidDataTypeError) {
  const auto reg = RegistryContent::Parse(kExport5);
  const auto service =
      reg.openKeyReadOnly(HKLM, "SYSTEM\\CurrentControlSet\\services\\TavrinOutpostVaultService");
  ASSERT_TRUE(service);
  try {
    service->readString("Start");
    FAIL() << "a DWORD was read as text";
  } catch (const ERegistryException& e) {
    EXPECT_EQ(e.message(), "Invalid data type for 'Start'");
    EXPECT_STREQ(e.className(), "ERegistryException");
  }
  EXPECT_THROW(
      reg.openKeyReadOnly(HKLM, "SOFTWARE\\Tavrin\\Tavrin Vault\\Vault")->readString("Blob"),
      ERegistryException);
}

TEST(PlatformRegistry, Regedit4TextAndDeletionsAreRead) {
  const std::string export4 =
      "REGEDIT4\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n\"Keep\"=\"caf\xE9\"\r\n\"Gone\"=\"x\"\r\n"
      "\"Expand\"=hex(2):25,54,4d,50,25,00\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\A]\r\n\"Gone\"=-\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\B\\C]\r\n\"V\"=\"1\"\r\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\B]\r\n";
  const auto reg = RegistryContent::Parse(export4);
  EXPECT_EQ(ReadString(reg, HKLM, "SOFTWARE\\A", "Keep"), "café");
  EXPECT_EQ(ReadString(reg, HKLM, "SOFTWARE\\A", "Expand"), "%TMP%");
  EXPECT_FALSE(reg.openKeyReadOnly(HKLM, "SOFTWARE\\A")->valueExists("Gone"));
  EXPECT_FALSE(reg.openKeyReadOnly(HKLM, "SOFTWARE\\B"));
  EXPECT_FALSE(reg.openKeyReadOnly(HKLM, "SOFTWARE\\B\\C"));
}

// The keys form a tree: a deletion takes the key's whole subtree and
// nothing beside it, a key made again starts empty, and a key's path reads
// as its names were first written.
TEST(PlatformRegistry, ADeletedKeyTakesItsSubtreeAndComesBackEmpty) {
  const std::string text =
      "REGEDIT4\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\Deep\\Er]\n\"V\"=\"1\"\n"
      "[HKEY_LOCAL_MACHINE\\software\\tavrin\\DeepSide]\n\"V\"=\"side\"\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\Tavrin\\Deep]\n\"V\"=\"user\"\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\TAVRIN\\DEEP]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\Deep\\Er]\n\"W\"=\"2\"\n"
      "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Nowhere]\n";
  const auto reg = RegistryContent::Parse(text);
  const auto again = reg.openKeyReadOnly(HKLM, "\\software\\TAVRIN\\deep\\er\\");
  ASSERT_TRUE(again);
  EXPECT_FALSE(again->valueExists("V"));
  EXPECT_EQ(again->readString("W"), "2");
  EXPECT_EQ(again->path(), "SOFTWARE\\Tavrin\\Deep\\Er");
  EXPECT_EQ(ReadString(reg, HKLM, "SOFTWARE\\Tavrin\\DeepSide", "V"), "side");
  EXPECT_EQ(ReadString(reg, HKCU, "SOFTWARE\\Tavrin\\Deep", "V"), "user");
  EXPECT_FALSE(reg.openKeyReadOnly(HKLM, ""));

  const auto rooted = RegistryContent::Parse(
      "REGEDIT4\n[HKEY_CURRENT_USER]\n\"R\"=\"root\"\n"
      "[HKEY_CURRENT_USER\\A]\n[-HKEY_CURRENT_USER]\n");
  EXPECT_FALSE(rooted.openKeyReadOnly(HKCU, ""));
  EXPECT_FALSE(rooted.openKeyReadOnly(HKCU, "A"));
}

TEST(PlatformRegistry, AMalformedExportIsRefusedWithItsLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "reg.reg is not a registry export"},
      {"[HKEY_LOCAL_MACHINE\\X]\n", "reg.reg is not a registry export"},
      {"REGEDIT4\n\"V\"=\"outside\"\n", "reg.reg, line 2: value outside a key"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X\n", "reg.reg, line 2: missing \"]\""},
      {"REGEDIT4\n[HKEY_NOWHERE\\X]\n", "reg.reg, line 2: unknown root key HKEY_NOWHERE"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"V\"=\"open\n",
       "reg.reg, line 3: missing closing quote"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"V\"=dword:xyz\n",
       "reg.reg, line 3: bad hexadecimal number"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"V\"=hex:1,2,345\n",
       "reg.reg, line 3: bad hexadecimal number"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\nV=1\n", "reg.reg, line 3: unexpected text"},
      // Lines count from the file's first, blank ones and continued ones too.
      {"\r\n \n\nREGEDIT4\n[HKEY_NOWHERE]\n", "reg.reg, line 5: unknown root key HKEY_NOWHERE"},
      {"REGEDIT4\r\n\r\n\n[HKEY_LOCAL_MACHINE\\X]\r\n\"V\"=hex:01,\\\r\n  02,\\\n  zz\r\n",
       "reg.reg, line 5: bad hexadecimal number"},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\X]\n\"V\"=hex:01,\\\n  02,\\\r\n  03\n\nV=1\n",
       "reg.reg, line 7: unexpected text"},
  };
  for (const auto& c : cases) {
    try {
      RegistryContent::Parse(c.text, "reg.reg");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.message(), c.message);
    }
  }
}

TEST(PlatformRegistryFile, IsReadAgainWhenChangedAndAMissingFileIsEmpty) {
  TempDir dir;
  const RegistryFile reg(dir.path() / "Registry.reg");
  EXPECT_FALSE(reg.openKeyReadOnly(HKLM, "SOFTWARE"));
  dir.write("Registry.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"A\"=\"1\"\n");
  ASSERT_TRUE(reg.openKeyReadOnly(HKLM, "SOFTWARE\\X"));
  EXPECT_EQ(reg.openKeyReadOnly(HKLM, "SOFTWARE\\X")->readString("A"), "1");
  dir.write("Registry.reg", "garbage");
  try {
    reg.openKeyReadOnly(HKLM, "SOFTWARE\\X");
    FAIL() << "garbage was read";
  } catch (const ERegistryException& e) {
    EXPECT_THAT(e.message(), HasSubstr("Registry.reg is not a registry export"));
  }
}

// Start-up looks keys up; a FIFO at the file's name must not hold it up.
TEST(PlatformRegistryFile, AFifoAtItsNameIsRefusedWithoutWaiting) {
  TempDir dir;
  const auto fifo = dir.fifo("Registry.reg");
  const RegistryFile reg(fifo);
  EXPECT_TRUE(testing::EndsBesideAnIdleFifo(
      fifo, [&] { EXPECT_THROW(reg.openKeyReadOnly(HKLM, "SOFTWARE"), ERegistryException); }));
}

// A lookup reads the file only when its size or time differs from those of
// the last reading: content changed behind an unchanged size and time is
// not seen, which shows that it was not read again.
TEST(PlatformRegistryFile, IsReadAgainOnlyWhenItsSizeOrTimeChanged) {
  namespace fs = std::filesystem;
  TempDir dir;
  const fs::path file = dir.path() / "Registry.reg";
  const RegistryFile reg(file);
  const auto write = [&](const std::string& value, fs::file_time_type time) {
    dir.write("Registry.reg",
              "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"A\"=\"" + value + "\"\n");
    fs::last_write_time(file, time);
  };
  const auto read = [&] {
    const auto key = reg.openKeyReadOnly(HKLM, "SOFTWARE\\X");
    return key ? key->readString("A") : "<no key>";
  };
  const fs::file_time_type t0 = fs::file_time_type::clock::now() - std::chrono::hours(1);
  const fs::file_time_type t1 = t0 + std::chrono::seconds(1);
  const struct {
    const char* step;
    std::string value;  // empty: the file is removed
    fs::file_time_type time;
    const char* read;
  } steps[] = {
      {"first reading", "1", t0, "1"},
      {"same size and time", "2", t0, "1"},
      {"another time", "2", t1, "2"},
      {"another size", "33", t1, "33"},
      {"same again", "44", t1, "33"},
      {"removed", "", t1, "<no key>"},
      {"back with the stamp of before", "44", t1, "44"},
  };
  for (const auto& s : steps) {
    if (s.value.empty()) {
      fs::remove(file);
    } else {
      write(s.value, s.time);
    }
    for (int lookup = 0; lookup < 2; ++lookup)
      EXPECT_EQ(read(), s.read) << s.step;
  }
}

}  // namespace
}  // namespace movrano
