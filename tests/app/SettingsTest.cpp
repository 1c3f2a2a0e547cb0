// The settings file: what is stored in which form, the legacy password,
// the stored mode index, writes that never leave half a file, and a file
// that stays its owner's alone.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/InstalledVaults.h"
#include "app/Settings.h"
#include "app/uCrypt.h"
#include "platform/IniFile.h"

namespace movrano::testing {
namespace {

class SettingsFile : public ::testing::Test {
 protected:
  std::filesystem::path file() const { return GetSettingsFileName(folder_.path()); }
  void store(const std::string& lines) { folder_.write("Movrano.ini", "[Settings]\n" + lines); }
  std::string stored(const std::string& key) const {
    return IniFile(file()).readString(kSettingsSection, key, "<missing>");
  }
  FormModel read() {
    FormModel model;
    ReadSettings(file(), model);
    return model;
  }

  TestPlatform platform_;  // no vault is installed
  TempDir folder_;
};

// The process's umask for one test.
class Umask {
 public:
  explicit Umask(mode_t mask) : previous_(::umask(mask)) {}
  ~Umask() { ::umask(previous_); }
  Umask(const Umask&) = delete;
  Umask& operator=(const Umask&) = delete;

 private:
  mode_t previous_;
};

mode_t ModeOf(const std::filesystem::path& file) {
  struct stat st;
  if (::lstat(file.c_str(), &st) != 0) return 0;
  return st.st_mode;
}

void Fill(FormModel& model) {
  const std::pair<FormField, std::string> texts[] = {
      {FormField::UserName, "engineer@tavrin.com"},
      {FormField::UserPass, "correct horse"},
      {FormField::OraTNSName, "VAULTDB"},
      {FormField::OraScheme, "TVS"},
      {FormField::OraUser, "vault"},
      {FormField::OraPassword, "tiger"},
      {FormField::TVSInstaller, "/setup/TavrinVaultSetup.exe"},
      {FormField::BackupFileName, "/backup/tvs.zip"},
      {FormField::SourceDatabaseFile, "/gone/SOLO.FDB"},
      {FormField::SourceFileRepositoryPath, "/gone/Revisions/"},
      {FormField::SourceVaultPath, "/gone/Vault/"},
      {FormField::DestVaultPath, "/gone/Server/Vault/"},
  };
  for (const auto& [field, text] : texts)
    model.setText(field, text);
}

TEST_F(SettingsFile, EveryValueSurvivesARestartWithThePasswordsProtected) {
  FormModel written;
  Fill(written);
  written.setItemIndex(3);
  WriteSettings(file(), written);

  const FormModel model = read();
  for (const FormField field : kFormFields) {
    EXPECT_EQ(model.text(field), written.text(field)) << static_cast<int>(field);
  }
  EXPECT_EQ(model.itemIndex(), 3);
  EXPECT_EQ(stored("IDSPassword2"), EncryptText("correct horse", SettingsCryptKey));
  EXPECT_EQ(stored("OraPassword"), EncryptText("tiger", SettingsCryptKey));
  EXPECT_EQ(stored("MigrationMode"), "3");
  const std::string bytes = ReadFileBytes(file());
  EXPECT_EQ(bytes.find("correct horse"), std::string::npos);
  EXPECT_EQ(bytes.find("tiger"), std::string::npos);
}

TEST_F(SettingsFile, TheOfflineModeIsStoredAsTheSoloVaultItemAndComesBackUnticked) {
  FormModel written;
  written.setItemIndex(2);
  written.setOfflineTicked(true);
  WriteSettings(file(), written);
  const FormModel model = read();
  EXPECT_EQ(stored("MigrationMode"), "2");
  EXPECT_EQ(model.GetMigrationMode(), TMigrationMode::mmSVSToTVS);
}

TEST_F(SettingsFile, AnEmptyPasswordIsStoredEmptyAndReadBackEmpty) {
  FormModel written;
  WriteSettings(file(), written);
  EXPECT_EQ(stored("IDSPassword2"), "");
  EXPECT_EQ(read().text(FormField::UserPass), "");
}

TEST_F(SettingsFile, TheLegacyPlainPasswordIsTakenOnceAndReplacedAtTheNextWrite) {
  store("IDSPassword=plain old\nIDSPassword2=" + EncryptText("newer", SettingsCryptKey) + "\n");
  FormModel model = read();
  EXPECT_EQ(model.text(FormField::UserPass), "plain old");
  EXPECT_EQ(stored("IDSPassword"), "<missing>");

  WriteSettings(file(), model);
  EXPECT_EQ(stored("IDSPassword"), "<missing>");
  EXPECT_EQ(stored("IDSPassword2"), EncryptText("plain old", SettingsCryptKey));
  EXPECT_EQ(read().text(FormField::UserPass), "plain old");
}

TEST_F(SettingsFile, WithoutAFileEveryFieldKeepsItsDefaultAndNothingIsCreated) {
  const FormModel model = read();
  EXPECT_EQ(model.text(FormField::UserName), kDefaultUserName);
  EXPECT_EQ(model.text(FormField::UserPass), "");
  EXPECT_EQ(model.itemIndex(), 0);
  EXPECT_FALSE(std::filesystem::exists(file()));
}

TEST_F(SettingsFile, AMissingKeyLeavesTheFieldsTextAndAGarbledPasswordIsNoError) {
  store("OraPassword=typed by hand\n");
  FormModel model;
  model.setText(FormField::OraScheme, "CURRENT");
  ASSERT_NO_THROW(ReadSettings(file(), model));
  EXPECT_EQ(model.text(FormField::OraScheme), "CURRENT");
  EXPECT_NE(model.text(FormField::OraPassword), "typed by hand");
}

TEST_F(SettingsFile, TheStoredModeIndexIsHeldToTheRadioItems) {
  const struct {
    const char* stored;
    int item;
  } cases[] = {{"4", 4}, {"7", 4}, {"-1", -1}, {"-3", -1}, {"two", 0}, {"", 0}, {"$1", 1}};
  for (const auto& c : cases) {
    store(std::string("MigrationMode=") + c.stored + "\n");
    EXPECT_EQ(read().itemIndex(), c.item) << c.stored;
  }
}

TEST_F(SettingsFile, AFailingSourceFolderRuleEndsTheReadingThere) {
  InstalledVaults vaults(platform_);
  store("MigrationMode=0\nSourceVaultPath=" + vaults.unconfiguredFolder() +
        "\nDestVaultPath=/stored/dest/\n");
  FormModel model;
  EXPECT_THROW(ReadSettings(file(), model), Exception);
  EXPECT_EQ(model.text(FormField::DestVaultPath), "");
  // The reading is over: a change of the source folder empties the fields again.
  model.setText(FormField::SourceDatabaseFile, "x.fdb");
  model.setText(FormField::SourceVaultPath, "/elsewhere/");
  EXPECT_EQ(model.text(FormField::SourceDatabaseFile), "");
}

TEST_F(SettingsFile, AFileThatCannotBeWrittenIsReportedByName) {
  const std::filesystem::path unwritable[] = {
      GetSettingsFileName(folder_.write("plain-file", "")),  // below a file
      folder_.mkdir("Movrano.ini"),                          // a folder of that name
  };
  for (const auto& file : unwritable) {
    try {
      WriteSettings(file, FormModel());
      ADD_FAILURE() << "written: " << file;
    } catch (const Exception& e) {
      EXPECT_EQ(e.message(), "Unable to write to " + file.string());
    }
  }
}

// A line break never reaches the file: the model holds a text given with
// one as its first line, and that is what is written.
TEST_F(SettingsFile, AValueGivenWithALineBreakIsStoredAsItsFirstLine) {
  store("IDSUserName=before\nOraUser=before\n");
  FormModel model;
  Fill(model);
  model.setText(FormField::OraScheme, "two\nlines");
  model.setText(FormField::OraUser, "vault\r\n");
  WriteSettings(file(), model);
  EXPECT_EQ(stored("OraScheme"), "two");
  EXPECT_EQ(stored("OraUser"), "vault");
  EXPECT_EQ(stored("IDSUserName"), "engineer@tavrin.com");
  EXPECT_EQ(stored("OraPassword"), EncryptText("tiger", SettingsCryptKey));
  EXPECT_EQ(read().text(FormField::OraScheme), "two");
}

TEST_F(SettingsFile, OtherLinesOfTheFileAreKept) {
  folder_.write("Movrano.ini", "; kept\n[Other]\nKey=Value\n");
  WriteSettings(file(), FormModel());
  const std::string bytes = ReadFileBytes(file());
  EXPECT_NE(bytes.find("; kept"), std::string::npos);
  EXPECT_EQ(IniFile(file()).readString("Other", "Key", ""), "Value");
}

// The file holds both passwords: no other user may read it, whatever the
// umask, whatever was at its name before.
TEST_F(SettingsFile, TheFileIsReadableByItsOwnerAloneFromTheFirstWriteOn) {
  const Umask open(0);
  FormModel model;
  Fill(model);
  WriteSettings(file(), model);
  EXPECT_EQ(ModeOf(file()), S_IFREG | 0600) << "first write";
  WriteSettings(file(), model);
  EXPECT_EQ(ModeOf(file()), S_IFREG | 0600) << "rewrite";

  // A file left readable by an earlier version, and its legacy password
  // deleted at the reading.
  store("IDSPassword=plain old\n");
  std::filesystem::permissions(file(), std::filesystem::perms(0644));
  read();
  EXPECT_EQ(ModeOf(file()), S_IFREG | 0600) << "legacy key deleted";
  std::filesystem::permissions(file(), std::filesystem::perms(0666));
  WriteSettings(file(), model);
  EXPECT_EQ(ModeOf(file()), S_IFREG | 0600) << "rewrite of a 0666 file";
}

TEST_F(SettingsFile, ALinkPlantedAtItsNameIsReplacedAndItsTargetStaysAsItWas) {
  const Umask open(0);
  const auto target = folder_.write("planted.txt", "[Settings]\nIDSUserName=planted\n");
  std::filesystem::permissions(target, std::filesystem::perms(0666));
  std::filesystem::create_symlink(target, file());
  FormModel model;
  Fill(model);
  WriteSettings(file(), model);
  EXPECT_EQ(ModeOf(file()), S_IFREG | 0600);
  EXPECT_EQ(ModeOf(target), S_IFREG | 0666);
  EXPECT_EQ(ReadFileBytes(target), "[Settings]\nIDSUserName=planted\n");
  EXPECT_EQ(read().text(FormField::UserPass), "correct horse");
}

// Start-up reads the file; a FIFO there must not hold it up.
TEST_F(SettingsFile, AFifoAtItsNameReadsAsNoFileAndCannotBeWritten) {
  const auto fifo = folder_.fifo("Movrano.ini");
  FormModel model;
  EXPECT_TRUE(EndsBesideAnIdleFifo(fifo, [&] { ReadSettings(file(), model); }));
  EXPECT_EQ(model.text(FormField::UserName), kDefaultUserName);
  EXPECT_TRUE(EndsBesideAnIdleFifo(
      fifo, [&] { EXPECT_THROW(WriteSettings(file(), model), EIniFileException); }));
  EXPECT_TRUE(std::filesystem::is_fifo(file()));
}

// A file cut inside its last character (a write that never ended) is
// still the UTF-8 it was written as: only that character is lost.
TEST_F(SettingsFile, AFileCutInsideItsLastCharacterStillReadsAsUtf8) {
  // The first bytes of "ü", "€" and "😀".
  const char* cuts[] = {"\xC3", "\xE2", "\xE2\x82", "\xF0", "\xF0\x9F", "\xF0\x9F\x98"};
  for (const char* cut : cuts) {
    SCOPED_TRACE(::testing::PrintToString(std::string(cut)));
    store("IDSUserName=Jürgen\nOraUser=Grüße €\nTVSBackup=/backup/" + std::string(cut));
    const FormModel model = read();
    EXPECT_EQ(model.text(FormField::UserName), "Jürgen");
    EXPECT_EQ(model.text(FormField::OraUser), "Grüße €");
    EXPECT_EQ(model.text(FormField::BackupFileName), "/backup/\uFFFD");
  }
}

// Any other byte that is no UTF-8 makes it a Windows-1252 file.
TEST_F(SettingsFile, AnyOtherInvalidUtf8ReadsTheFileAsWindows1252) {
  const char* tails[] = {
      "\xC0",        // never the start of a character
      "\xF5",        // beyond the last code point
      "\xE0\x80",    // the start of an overlong form
      "\xED\xA0",    // the start of a surrogate
      "\x80",        // a continuation byte alone
      "\xC3\xC3",    // a cut character after a byte that is none
      "\xFC\n\xC3",  // a Windows-1252 "ü", then a cut character
  };
  for (const char* tail : tails) {
    SCOPED_TRACE(::testing::PrintToString(std::string(tail)));
    store("OraUser=Grüße\nTVSBackup=/backup/" + std::string(tail));
    EXPECT_EQ(read().text(FormField::OraUser), "GrÃ¼ÃŸe");
  }
}

// A file of a size no settings file has (a gigabyte of anything) must
// not hold up the window's start: it reads as no file, and stays as it
// is, legacy password included, until the next write replaces it.
TEST_F(SettingsFile, AFileLargerThanTheBoundReadsAsEmptyWithOneMessageAndStaysAsItIs) {
  const std::string head = "[Settings]\nIDSUserName=stored\nIDSPassword=plain old\n; ";
  for (const size_t size : {kSettingsFileLimit, kSettingsFileLimit + 1}) {
    SCOPED_TRACE(size);
    const std::string bytes = head + std::string(size - head.size() - 1, 'x') + "\n";
    folder_.write("Movrano.ini", bytes);
    FormModel model;
    const std::optional<std::string> message = ReadSettings(file(), model);
    if (size == kSettingsFileLimit) {
      EXPECT_EQ(message, std::nullopt);
      EXPECT_EQ(model.text(FormField::UserName), "stored");
      EXPECT_EQ(model.text(FormField::UserPass), "plain old");
      continue;
    }
    ASSERT_TRUE(message.has_value());
    EXPECT_NE(message->find(file().string()), std::string::npos) << *message;
    EXPECT_EQ(model.text(FormField::UserName), kDefaultUserName);
    EXPECT_EQ(model.text(FormField::UserPass), "");
    EXPECT_EQ(ReadFileBytes(file()), bytes);
  }
}

TEST_F(SettingsFile, AFileLargerThanTheBoundIsReplacedWholeByTheNextWrite) {
  folder_.write("Movrano.ini",
                "[Other]\nKey=Value\n; " + std::string(kSettingsFileLimit, 'x') + "\n");
  FormModel model;
  Fill(model);
  WriteSettings(file(), model);
  EXPECT_LT(std::filesystem::file_size(file()), 4096u);
  EXPECT_EQ(read().text(FormField::UserPass), "correct horse");
  EXPECT_EQ(IniFile(file()).readString("Other", "Key", "<missing>"), "<missing>");
}

}  // namespace
}  // namespace movrano::testing
