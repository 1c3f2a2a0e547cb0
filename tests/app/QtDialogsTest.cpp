// The program's own file dialogs offscreen, answered as a person does: a
// name typed into the dialog's file name box and Enter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <optional>
#include <string>

#include "app/Pickers.h"
#include "app/QtDialogs.h"
#include "support/platform/TempDir.h"

namespace movrano::testing {
namespace {

struct Answer {
  std::optional<std::string> file;
  bool refused = false;  // the dialog said so in a message box and stayed open
};

// Opens the installer picker, types `typed` and presses Enter; a dialog
// that refuses the name is then cancelled.
Answer TypeIntoInstallerPicker(const std::string& typed) {
  Answer answer;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);
    name->setText(QString::fromStdString(typed));
    // A refusal comes as a message box over the dialog, in its own loop.
    QTimer::singleShot(0, [&answer] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        answer.refused = true;
        box->accept();
      }
    });
    QTest::keyClick(name, Qt::Key_Return);
    if (dialog->isVisible()) dialog->reject();
  });
  QtFileDialogs dialogs;
  answer.file = dialogs.openFile(InstallerFileRequest(""));
  return answer;
}

TEST(QtFileDialogs, TheInstallerPickerTakesATypedProgramWithoutAnExtension) {
  TempDir folder;
  const std::string base = folder.folder();
  folder.write("tavrin-vault-setup", "#!/bin/sh\n");
  folder.write("Setup.EXE", "MZ");
  folder.write("Other.exe", "MZ");
  const struct {
    const char* typed;
    std::optional<std::string> answered;  // nothing: refused
  } cases[] = {
      {"tavrin-vault-setup", base + "tavrin-vault-setup"},  // as typed: it exists
      {"Setup", base + "Setup.EXE"},                        // the default extension added
      {"Other.exe", base + "Other.exe"},
      {"missing", std::nullopt},
  };
  for (const auto& c : cases) {
    const Answer answer = TypeIntoInstallerPicker(base + c.typed);
    EXPECT_EQ(answer.file, c.answered) << c.typed;
    EXPECT_EQ(answer.refused, !c.answered) << c.typed;
  }
}

}  // namespace
}  // namespace movrano::testing
