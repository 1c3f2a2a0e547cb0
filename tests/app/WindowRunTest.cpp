// Run from the window, the log pane with copy and save, and closing before,
// during and after a run. The runs are real workers that fail early (no
// destination), so each ends with its error lines.
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <regex>

#include "app/LogText.h"
#include "app/MigrationModes.h"
#include "app/Pickers.h"
#include "app/Settings.h"
#include "app/WindowHarness.h"
#include "platform/IniFile.h"
#include "platform/Version.h"

namespace movrano::testing {
namespace {

using enum TMigrationMode;

constexpr const char* kQuitQuestion =
    "Do you want to quit? This will lead to the cancellation of migration process?";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

// A saved log: every line of the pane followed by CR LF.
std::string AsSaved(const std::vector<std::string>& lines) {
  std::string saved;
  for (const auto& line : lines)
    saved += line + "\r\n";
  return saved;
}

TEST_F(WindowTest, EachModeAsksItsQuestionAndNoStartsNothing) {
  const std::pair<TMigrationMode, const char*> questions[] = {
      {mmOutpostToTVS,
       "This will import the data from Outpost Vault and Global Catalog to Target Vault.\r\n"
       "Do you want to proceed now?"},
      {mmOutpostToSVS,
       "This will import the data from Outpost Vault and Global Catalog to Target Vault.\r\n"
       "Do you want to proceed now?"},
      {mmSVSToTVS,
       "This will migrate the data from Solo Vault and Global Catalog to Tavrin Vault.\r\n"
       "Do you want to proceed now?"},
      {mmUpdateTVSCatalog,
       "This will import the supply chain information you are using from the Global Catalog, "
       "in your local Catalog.\r\nIt is necessary for TVS 1.2 and above to function "
       "correctly.\r\nDo you want to proceed now?"},
      {mmTVSFirebirdToTVSOracle,
       "This will migrate the data from Tavrin Vault Firebird based database to Tavrin Vault "
       "Oracle based database.\r\nDo you want to proceed now?"},
      {mmSVSToTVSOffline,
       "This will migrate the data from Solo Vault to Tavrin Vault.\r\nDo you want to proceed "
       "now?"},
  };
  prompter_.onConfirm = [](const std::string&) { return false; };
  open();
  for (const auto& [mode, question] : questions) {
    selectItem(ModeItemIndex(mode));
    if ((mode == mmSVSToTVSOffline) != control<QAbstractButton>("Check_Offline")->isChecked()) {
      click("Check_Offline");
    }
    prompter_.confirmations.clear();
    click("btnImport");
    ASSERT_EQ(prompter_.confirmations.size(), 1u) << MigrationModeName(mode);
    EXPECT_EQ(prompter_.confirmations[0], question) << MigrationModeName(mode);
    EXPECT_FALSE(running());
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(paneLines().empty());
}

TEST_F(WindowTest, ARunShowsEveryLineWithItsTimeAndEnablesRunAgainAtItsEnd) {
  open();
  click("btnImport");
  // Run counts as busy from the moment the worker exists.
  EXPECT_TRUE(running());
  serveUntilIdle();
  const std::regex timed(R"(\d\d:\d\d:\d\d: .*)");
  for (const auto& line : paneLines())
    EXPECT_TRUE(std::regex_match(line, timed)) << line;
  const auto texts = paneTexts();
  ASSERT_GE(texts.size(), 4u);
  EXPECT_EQ(texts[0], "Start migration");
  EXPECT_EQ(texts[1], "Tool version " + GetOwnVersionString() + ", migration mode mmOutpostToTVS");
  EXPECT_TRUE(StartsWith(texts[texts.size() - 2], "ERROR - EMovrano ")) << texts[texts.size() - 2];
  EXPECT_EQ(texts.back(), "Import aborted");
  EXPECT_TRUE(control<QWidget>("btnImport")->isEnabled());
}

TEST_F(WindowTest, ASecondRunsLinesFollowTheFirstRunsLines) {
  open();
  runToEnd();
  const auto first = paneLines();
  runToEnd();
  const auto both = paneLines();
  ASSERT_EQ(both.size(), 2 * first.size());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), both.begin()));
  EXPECT_EQ(paneTexts()[first.size()], "Start migration");
}

TEST_F(WindowTest, WithoutASelectedModeRunAsksNothingAndStartsNothing) {
  IniFile(settingsFile()).writeString(kSettingsSection, "MigrationMode", "-1");
  open();
  click("btnImport");
  EXPECT_TRUE(prompter_.confirmations.empty());
  EXPECT_EQ(prompter_.errors, std::vector<std::string>{"Select a migration mode first."});
  EXPECT_FALSE(running());
}

TEST_F(WindowTest, CopyLogPutsThePaneOnTheClipboardWithCrLfBetweenTheLines) {
  open();
  runToEnd();
  click("btnCopyLog");
  const auto lines = paneLines();
  std::string expected;
  for (size_t i = 0; i < lines.size(); ++i)
    expected += (i ? "\r\n" : "") + lines[i];
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), expected);
}

TEST_F(WindowTest, SaveLogReplacesTheChosenFileWithThePanesLines) {
  open();
  runToEnd();
  const auto file = programFolder_.write("chosen.txt", "an older log that is much longer");
  dialogs_.answer = file.string();
  click("btnSaveLog");
  ASSERT_EQ(dialogs_.saveRequests.size(), 1u);
  EXPECT_EQ(dialogs_.saveRequests[0], SaveLogRequest());
  EXPECT_EQ(dialogs_.saveRequests[0].fileName, "MovranoLog.txt");
  EXPECT_EQ(ReadFileBytes(file), AsSaved(paneLines()));
}

TEST_F(WindowTest, SaveLogCancelledWritesNothingAndAFailureIsReported) {
  open();
  runToEnd();
  const auto before = paneLines();
  click("btnSaveLog");
  EXPECT_FALSE(std::filesystem::exists(programFolder_.path() / "MovranoLog.txt"));

  dialogs_.answer = (programFolder_.write("plain-file", "") / "MovranoLog.txt").string();
  click("btnSaveLog");
  EXPECT_EQ(prompter_.errors.size(), 1u);
  EXPECT_EQ(paneLines(), before);
}

// A service's fault text is logged as it came, of any length: the pane
// shows its start and says how much of it was left out, and the window
// goes on answering (how fast: bench/LogPaneBench.cpp). Copy log and Save
// log give what is shown.
TEST_F(WindowTest, ALogLineOfAnyLengthShowsAtOnceWithItsStartAndWhatWasLeftOut) {
  open();
  const std::regex shortened(R"((Fault: x+)\.\.\. \[(\d+) characters left out\])");
  for (const size_t length : {size_t{1} << 20, size_t{10} << 20}) {
    const std::string fault = "Fault: " + std::string(length, 'x');
    window().AddLogLine(fault);
    QCoreApplication::processEvents();
    window().resize(window().width() - 40, window().height());
    window().AddLogLine("next line");
    QCoreApplication::processEvents();

    const auto texts = paneTexts();
    ASSERT_GE(texts.size(), 2u);
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(texts[texts.size() - 2], parts, shortened))
        << texts[texts.size() - 2].substr(0, 80);
    EXPECT_EQ(parts[1].length() + std::stoul(parts[2]), fault.size());
    EXPECT_EQ(texts.back(), "next line");
  }

  click("btnCopyLog");
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            ClipboardText(control<QPlainTextEdit>("mmLog")->toPlainText().toStdString()));
  const auto file = programFolder_.path() / "MovranoLog.txt";
  dialogs_.answer = file.string();
  click("btnSaveLog");
  EXPECT_EQ(ReadFileBytes(file), AsSaved(paneLines()));
}

// The pane is edited as text, but Tab and Shift+Tab move on as from every
// other control, so the buttons below it are reachable forwards.
TEST_F(WindowTest, TabAndShiftTabLeaveTheLogPaneWhichStaysEditable) {
  open();
  window().AddLogLine("Start migration");
  auto* pane = control<QPlainTextEdit>("mmLog");
  const std::string before = pane->toPlainText().toStdString();
  QApplication::setActiveWindow(&window());
  const auto focused = [] {
    QWidget* widget = QApplication::focusWidget();
    return widget ? widget->objectName().toStdString() : std::string("(none)");
  };

  pane->setFocus();
  QTest::keyClick(pane, Qt::Key_Tab);
  EXPECT_EQ(focused(), "btnCopyLog");
  for (const char* next : {"btnSaveLog", "btnImport", "Button1"}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(focused(), next);
  }
  pane->setFocus();
  QTest::keyClick(pane, Qt::Key_Tab, Qt::ShiftModifier);
  EXPECT_NE(focused(), "mmLog");
  EXPECT_EQ(pane->toPlainText().toStdString(), before);

  pane->setFocus();
  pane->moveCursor(QTextCursor::End);
  QTest::keyClicks(pane, " noted");
  EXPECT_EQ(pane->toPlainText().toStdString(), before + " noted");
}

TEST_F(WindowTest, ClosingWhileIdleClosesAndWritesTheSettings) {
  open();
  EXPECT_TRUE(window().close());
  EXPECT_TRUE(prompter_.warnings.empty());
  EXPECT_EQ(IniFile(settingsFile()).readString(kSettingsSection, "IDSUserName", ""),
            kDefaultUserName);
}

TEST_F(WindowTest, ClosingDuringARunAndAnsweringNoLetsTheRunGoOnAndAsksAgain) {
  open();
  click("btnImport");
  EXPECT_FALSE(window().close());
  EXPECT_FALSE(window().close());
  EXPECT_EQ(prompter_.warnings, (std::vector<std::string>{kQuitQuestion, kQuitQuestion}));
  serveUntilIdle();
  EXPECT_TRUE(isOpen());
  EXPECT_EQ(paneTexts().back(), "Import aborted");
  EXPECT_FALSE(std::filesystem::exists(settingsFile()));
}

TEST_F(WindowTest, ClosingDuringARunAndAnsweringYesCancelsItAndClosesAtItsEnd) {
  prompter_.onWarn = [](const std::string&) { return true; };
  open();
  click("btnImport");
  EXPECT_FALSE(window().close());
  // A close is pending: further requests are refused without a question.
  EXPECT_FALSE(window().close());
  EXPECT_EQ(prompter_.warnings.size(), 1u);
  EXPECT_TRUE(isOpen());

  ServeEventsUntil([this] { return !isOpen(); }, "the window to close when the run is idle");
  const auto texts = paneTexts();
  EXPECT_EQ(texts.front(), "Start migration");
  EXPECT_EQ(texts.back(), "ERROR - EMovrano Abort");
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Import aborted"), 0);
  EXPECT_TRUE(std::filesystem::exists(settingsFile()));
}

TEST_F(WindowTest, ARunThatEndsWhileTheQuestionIsOpenLetsTheWindowClose) {
  prompter_.onWarn = [this](const std::string&) {
    serveUntilIdle();
    return true;
  };
  open();
  click("btnImport");
  EXPECT_TRUE(window().close());
  EXPECT_EQ(paneTexts().back(), "Import aborted");
}

TEST_F(WindowTest, ACloseAtTheRunsEndThatCannotWriteTheSettingsKeepsTheWindowForTheNextRun) {
  prompter_.onWarn = [](const std::string&) { return true; };
  open();
  programFolder_.mkdir("Movrano.ini");  // a folder: the settings file cannot be written
  click("btnImport");
  EXPECT_FALSE(window().close());
  serveUntilIdle();
  EXPECT_TRUE(isOpen());
  ASSERT_EQ(prompter_.errors.size(), 1u) << ::testing::PrintToString(prompter_.errors);
  EXPECT_EQ(prompter_.errors[0], "Unable to write to " + settingsFile());

  // The failed close is not carried into the next run.
  runToEnd();
  EXPECT_TRUE(isOpen());
  EXPECT_EQ(paneTexts().back(), "Import aborted");
  EXPECT_EQ(prompter_.errors.size(), 1u);
}

}  // namespace
}  // namespace movrano::testing
