// The log pane's text: the time in front of each line, and the text the
// clipboard and a saved log file get.
#include <gtest/gtest.h>

#include <clocale>

#include "app/LogText.h"
#include "app/Pickers.h"
#include "platform/Exceptions.h"
#include "support/platform/TempDir.h"

namespace movrano::testing {
namespace {

std::tm At(int hour, int minute, int second) {
  std::tm time{};
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

TEST(LogText, PutsTheTimeOfDayBeforeTheFirstLineOnly) {
  std::setlocale(LC_TIME, "C");
  EXPECT_EQ(LogLine(At(14, 5, 9), "Start migration"), "14:05:09: Start migration");
  EXPECT_EQ(LogLine(At(9, 0, 0), "one\r\ntwo\rthree\nfour"), "09:00:00: one\ntwo\nthree\nfour");
  EXPECT_EQ(LogLine(At(0, 0, 0), "100% done"), "00:00:00: 100% done");
}

std::string LeftOut(size_t characters) {
  return "... [" + std::to_string(characters) + " characters left out]";
}

TEST(LogText, AVeryLongLineKeepsItsStartAndSaysHowManyCharactersWereLeftOut) {
  const std::string full(kLongestShownLine, 'a');
  const std::string umlauts = [] {
    std::string text;
    for (size_t i = 0; i < kLongestShownLine + 5; ++i)
      text += "\xC3\xBC";  // two bytes, one character
    return text;
  }();
  const struct {
    const char* name;
    std::string text;
    std::string shown;
  } cases[] = {
      {"short", "Fault: short", "Fault: short"},
      {"at the bound", full, full},
      {"one over", full + "b", full + LeftOut(1)},
      {"characters, not bytes", umlauts, umlauts.substr(0, 2 * kLongestShownLine) + LeftOut(5)},
      {"each line on its own", full + "bb\nshort\n" + full + "ccc",
       full + LeftOut(2) + "\nshort\n" + full + LeftOut(3)},
      {"empty lines stay", "\n\nend\n", "\n\nend\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShownLogText(c.text), c.shown) << c.name;
  }
  // Broken UTF-8 is cut at a character's start too.
  const std::string broken = full.substr(1) + "\xE2\x82\xAC\xE2\x82";
  EXPECT_EQ(ShownLogText(broken), full.substr(1) + "\xE2\x82\xAC" + LeftOut(1));
}

TEST(LogText, AVeryLongTextEndsWhereItsBoundIsReached) {
  const size_t lines = kLongestShownText / (kLongestShownLine + 1) + 3;
  std::string text;
  for (size_t i = 0; i < lines; ++i)
    text += (i ? "\n" : "") + std::string(kLongestShownLine, static_cast<char>('a' + i % 26));
  const std::string shown = ShownLogText(text);
  const std::string note = LeftOut(text.size() - kLongestShownText);
  ASSERT_GT(shown.size(), note.size());
  EXPECT_EQ(shown.substr(0, kLongestShownText), text.substr(0, kLongestShownText));
  EXPECT_EQ(shown.substr(kLongestShownText), note);

  // Many short lines are bounded as a whole as well.
  std::string many;
  while (many.size() < 3 * kLongestShownText)
    many += "a line of a fault text\n";
  EXPECT_EQ(ShownLogText(many),
            many.substr(0, kLongestShownText) + LeftOut(many.size() - kLongestShownText));
}

TEST(LogText, TheTimeGoesBeforeTheShownText) {
  std::setlocale(LC_TIME, "C");
  const std::string text = std::string(kLongestShownLine + 7, 'x') + "\r\nnext";
  EXPECT_EQ(LogLine(At(1, 2, 3), text),
            "01:02:03: " + std::string(kLongestShownLine, 'x') + LeftOut(7) + "\nnext");
}

TEST(LogText, TheClipboardGetsTheLinesSeparatedByCrLf) {
  EXPECT_EQ(ClipboardText("a\nb\nc"), "a\r\nb\r\nc");
  EXPECT_EQ(ClipboardText(""), "");
}

TEST(LogText, ASavedLogEndsEveryLineWithCrLfAndReplacesTheFile) {
  TempDir folder;
  const auto file = folder.write("MovranoLog.txt", "an older and much longer log\n");
  SaveLogFile(file, "first\nz\xC3\xBCrich");
  EXPECT_EQ(ReadFileBytes(file), "first\r\nz\xC3\xBCrich\r\n");
}

TEST(LogText, ALogThatCannotBeSavedRaises) {
  TempDir folder;
  const auto notAFolder = folder.write("plain-file", "");
  try {
    SaveLogFile(notAFolder / "MovranoLog.txt", "line");
    ADD_FAILURE() << "saved below a plain file";
  } catch (const EOSError& e) {
    EXPECT_NE(std::string(e.what()).find((notAFolder / "MovranoLog.txt").string()),
              std::string::npos)
        << e.what();
  }
}

TEST(Pickers, TheDestinationIsTheVaultFolderOfAPickedServerInstallation) {
  TempDir root;
  root.write("Install/LocalVault.ini", "");
  root.mkdir("Install/Vault");
  root.write("IniOnly/LocalVault.ini", "");
  root.mkdir("VaultOnly/Vault");
  const std::string base = root.folder();
  EXPECT_EQ(DestinationVaultFolder(base + "Install/"), base + "Install/Vault");
  EXPECT_EQ(DestinationVaultFolder(base + "Install/Vault/"), base + "Install/Vault/");
  EXPECT_EQ(DestinationVaultFolder(base + "IniOnly/"), base + "IniOnly/");
  EXPECT_EQ(DestinationVaultFolder(base + "VaultOnly/"), base + "VaultOnly/");
}

TEST(Pickers, ATypedNameGetsTheDefaultSuffixOnlyWhenItDoesNotExistAsTyped) {
  TempDir root;
  root.write("setup", "");
  root.write("Setup.EXE", "");
  root.mkdir("folder");
  const std::string base = root.folder();
  const std::pair<std::string, std::string> cases[] = {
      {base + "setup", base + "setup"},
      {base + "Setup", base + "Setup.EXE"},
      {base + "folder", base + "folder"},
      {base + "missing", base + "missing.EXE"},
      {base + "setup.v2", base + "setup.v2"},
      {base + "folder.d/setup", base + "folder.d/setup.EXE"},
  };
  for (const auto& [typed, taken] : cases)
    EXPECT_EQ(TypedExistingFileName(typed, "EXE"), taken) << typed;
  EXPECT_EQ(TypedExistingFileName(base + "missing", ""), base + "missing");
}

TEST(Pickers, OnlyTheInstallerPickerRequiresAnExistingFile) {
  const FileDialogRequest backup = BackupFileRequest("/b/tvs.zip");
  EXPECT_EQ(backup.title, "Select Tavrin Vault backup file");
  EXPECT_EQ(backup.fileName, "/b/tvs.zip");
  EXPECT_EQ(backup.defaultSuffix, "ZIP");
  EXPECT_FALSE(backup.mustExist);
  const FileDialogRequest installer = InstallerFileRequest("");
  EXPECT_EQ(installer.title, "Select Tavrin Vault Installer file");
  EXPECT_EQ(installer.filters.front(), (FileFilter{"Executable files", "*.exe"}));
  EXPECT_EQ(installer.defaultSuffix, "EXE");
  EXPECT_TRUE(installer.mustExist);
}

}  // namespace
}  // namespace movrano::testing
