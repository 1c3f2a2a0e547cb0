// Text entered into the window's fields in every way a person can: typed,
// pasted through the clipboard, chosen from the destination list or
// completed. What the field shows is what a run is given and what the
// settings file keeps, and no line break gets into a field.
#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>
#include <functional>

#include "app/InstalledVaults.h"
#include "app/Settings.h"
#include "app/WindowHarness.h"
#include "app/uCrypt.h"
#include "platform/IniFile.h"

namespace movrano::testing {
namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Keys go to the field with the focus in the active window, as a person's do
// (the inline completion needs it).
void Focus(QWidget* field) {
  QApplication::setActiveWindow(field->window());
  field->setFocus();
}

void Paste(QLineEdit* edit, const QString& clipboard) {
  QGuiApplication::clipboard()->setText(clipboard);
  Focus(edit);
  QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

class WindowInput : public WindowTest {
 protected:
  QComboBox* destList() { return control<QComboBox>("edDestVaultPath"); }
  QLineEdit* destEdit() { return control<QLineEdit>("edDestVaultPathEdit"); }
  std::string stored(const char* key) {
    return IniFile(settingsFile()).readString(kSettingsSection, key, "<missing>");
  }
};

// A destination folder that does not exist: the run names it and stops.
constexpr const char* kDestination = "/srv/tavrin/destination-alpha";

struct DestinationWay {
  const char* name;
  std::function<void(QComboBox*, QLineEdit*)> enter;
  int listItems;  // what the test itself put into the list
};

void PrintTo(const DestinationWay& way, std::ostream* out) {
  *out << way.name;
}

// Types the start of the list's one entry and takes the inline completion
// with `key`.
std::function<void(QComboBox*, QLineEdit*)> Completed(const char* start, Qt::Key key) {
  return [start, key](QComboBox* list, QLineEdit* edit) {
    list->addItem(kDestination);
    edit->clear();
    QTest::keyClicks(edit, start);
    QTest::keyClick(edit, key);
  };
}

// The program never fills the destination list; the choices below put
// entries there themselves to show that a choice reaches the run too.
const DestinationWay kDestinationWays[] = {
    {"typed", [](QComboBox*, QLineEdit* edit) { QTest::keyClicks(edit, kDestination); }, 0},
    {"typed and entered",
     [](QComboBox*, QLineEdit* edit) {
       QTest::keyClicks(edit, kDestination);
       QTest::keyClick(edit, Qt::Key_Return);
       QTest::keyClicks(edit, "/");
       QTest::keyClick(edit, Qt::Key_Backspace);
       QTest::keyClick(edit, Qt::Key_Enter);
     },
     0},
    {"pasted with its line break",
     [](QComboBox*, QLineEdit* edit) { Paste(edit, QString(kDestination) + "\n"); }, 0},
    {"chosen from the list",
     [](QComboBox* list, QLineEdit*) {
       list->addItems({"/srv/tavrin/destination-beta", kDestination});
       list->setCurrentIndex(0);
       QTest::keyClick(list, Qt::Key_Down);
     },
     2},
    {"picked from the drop-down",
     [](QComboBox* list, QLineEdit*) {
       list->addItems({"/srv/tavrin/destination-beta", kDestination});
       list->showPopup();
       QAbstractItemView* view = list->view();
       const QRect item = view->visualRect(view->model()->index(1, 0));
       QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
     },
     2},
    {"completed and tabbed", Completed("/srv/tavrin/dest", Qt::Key_Tab), 1},
    {"completed and entered", Completed("/srv/tavrin/destination-", Qt::Key_Return), 1},
};

class DestinationInput : public WindowInput,
                         public ::testing::WithParamInterface<DestinationWay> {};

TEST_P(DestinationInput, TheRunAndTheSettingsGetTheFolderShown) {
  deployStatements();
  open();
  Focus(destEdit());
  GetParam().enter(destList(), destEdit());
  EXPECT_EQ(destEdit()->text().toStdString(), kDestination);
  EXPECT_EQ(destList()->count(), GetParam().listItems) << "the list stays empty";

  runToEnd();
  const std::string refusal = std::string("ERROR - EMovrano Destination Vault folder (") +
                              kDestination + "/) does not exists.";
  EXPECT_TRUE(Contains(paneTexts(), refusal)) << ::testing::PrintToString(paneTexts());
  EXPECT_TRUE(window().close());
  EXPECT_EQ(stored("DestVaultPath"), kDestination);
}

INSTANTIATE_TEST_SUITE_P(Ways, DestinationInput, ::testing::ValuesIn(kDestinationWays));

TEST_F(WindowInput, APastedSourceFolderRunsTheRuleWithoutItsLineBreak) {
  const InstalledVaults vaults(platform_);
  deployStatements();
  open();
  selectItem(2);
  click("Check_Offline");
  QLineEdit* source = control<QLineEdit>("edSourceVaultPath");
  source->selectAll();
  QTest::keyClick(source, Qt::Key_Delete);
  EXPECT_EQ(text("edSourceDatabaseFile"), "");

  Paste(source, QString::fromStdString(vaults.solo.folder) + "\r\n");
  EXPECT_EQ(text("edSourceVaultPath"), vaults.solo.folder);
  EXPECT_EQ(text("edSourceDatabaseFile"), vaults.solo.databaseFile);
  EXPECT_EQ(text("edSourceFileRepositoryPath"), vaults.solo.storage);

  runToEnd();
  EXPECT_TRUE(Contains(paneTexts(), "Found source database file " + vaults.solo.databaseFile))
      << ::testing::PrintToString(paneTexts());
  EXPECT_TRUE(window().close()) << ::testing::PrintToString(prompter_.errors);
  EXPECT_EQ(stored("SourceVaultPath"), vaults.solo.folder);
  EXPECT_EQ(stored("SourceDataBaseFile"), vaults.solo.databaseFile);
}

struct PasteCase {
  const char* field;
  const char* key;
  const char* before;
  int cursor;  // -1: the whole text selected
  const char* clipboard;
  const char* shown;
};

// Pasted text ends at its first line break; what stood after the cursor stays.
const PasteCase kPasteCases[] = {
    {"LabeledEdit_OraTNSName", "OraTNSName", "", 0, "VAULTDB\n", "VAULTDB"},
    {"LabeledEdit_OraScheme", "OraScheme", "", 0, "TAVRIN\r\n", "TAVRIN"},
    {"LabeledEdit_OraUser", "OraUser", "old", -1, "vault\r\nsecond line\n", "vault"},
    {"LabeledEdit_TVSInstaller", "OraTVSInstaller", "/setup/.exe", 7, "Setup\nnoise",
     "/setup/Setup.exe"},
    {"edUserName", "IDSUserName", "@tavrin.com", 0, "engineer\r", "engineer@tavrin.com"},
};

TEST_F(WindowInput, APastedLineBreakEndsThePastedText) {
  open();
  selectItem(4);
  for (const PasteCase& c : kPasteCases) {
    QLineEdit* edit = control<QLineEdit>(c.field);
    edit->setText(c.before);
    if (c.cursor < 0) {
      edit->selectAll();
    } else {
      edit->setCursorPosition(c.cursor);
    }
    Paste(edit, c.clipboard);
    EXPECT_EQ(text(c.field), c.shown) << c.field;
  }
  Paste(control<QLineEdit>("edUserPass"), "correct horse\n");
  dialogs_.answer = "/backup/vault.zip\r\n";
  click("Button_BackupFileName");
  EXPECT_EQ(text("LabeledEdit_BackupFileName"), "/backup/vault.zip");

  runToEnd();
  EXPECT_TRUE(Contains(paneTexts(),
                       "ERROR - EMovrano Destination Vault installer (/setup/Setup.exe) does not "
                       "exists."))
      << ::testing::PrintToString(paneTexts());
  EXPECT_TRUE(window().close()) << ::testing::PrintToString(prompter_.errors);
  for (const PasteCase& c : kPasteCases)
    EXPECT_EQ(stored(c.key), c.shown) << c.key;
  EXPECT_EQ(stored("IDSPassword2"), EncryptText("correct horse", SettingsCryptKey));
  EXPECT_EQ(stored("TVSBackup"), "/backup/vault.zip");
}

}  // namespace
}  // namespace movrano::testing
