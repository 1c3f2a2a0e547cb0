// The program as the signal test runs it in a child process: the
// program's own start and end (ProgramRun.h) with its runtime folder and
// signal path, the real window on the offscreen platform, questions
// answered Yes, and platform doubles (administrator rights, no services).
// Every line the log pane receives goes to standard output at once;
// "shown" tells that the window is up.
//   signal_child <program folder>
//       the window only
//   signal_child <program folder> <source database> <source storage> <destination vault>
//       and an offline Solo Vault migration started at once
#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <cstdio>
#include <string>

#include "app/ProgramRun.h"
#include "app/ScriptedAnswers.h"
#include "app/ufrmMain.h"
#include "support/platform/TestPlatform.h"

namespace {

using namespace movrano;

void Print(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

void Type(TfrmMain& window, const char* edit, const char* text) {
  QLineEdit* field = window.findChild<QLineEdit*>(edit);
  field->selectAll();
  field->insert(QString::fromUtf8(text));
}

void Click(TfrmMain& window, const char* button) {
  window.findChild<QAbstractButton*>(button)->click();
}

void StartOfflineRun(TfrmMain& window, char** argv) {
  window.findChild<QAbstractButton*>("rgMigrationModeItem2")->click();
  Click(window, "Check_Offline");
  Type(window, "edSourceDatabaseFile", argv[2]);
  Type(window, "edSourceFileRepositoryPath", argv[3]);
  Type(window, "edDestVaultPathEdit", argv[4]);
  Click(window, "btnImport");
}

// Prints the lines the pane gained since the last call.
void PrintNewLines(const QPlainTextEdit& pane, int& printed) {
  const QStringList lines = pane.toPlainText().split('\n');
  for (; printed < lines.size(); ++printed) {
    if (!lines[printed].isEmpty()) Print(lines[printed].toStdString());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && argc != 5) return 2;
  return RunProgram(argc, argv, [&](const TerminationSignals& termination) {
    testing::TestPlatform platform;
    platform.setRegistry("Windows Registry Editor Version 5.00\n");
    testing::ScriptedPrompter prompter;
    prompter.onWarn = [](const std::string&) { return true; };
    prompter.onError = [](const std::string& message) { Print("error - " + message); };
    testing::ScriptedDialogs dialogs;  // every dialog cancelled
    TfrmMain window(argv[1], prompter, dialogs);
    const auto* pane = window.findChild<QPlainTextEdit*>("mmLog");
    int printed = 0;
    QObject::connect(pane, &QPlainTextEdit::textChanged, [&] { PrintNewLines(*pane, printed); });
    window.show();
    QTimer::singleShot(0, [&] {
      if (argc == 5) StartOfflineRun(window, argv);
      Print("shown");
    });
    return ExecMainWindow(window, termination);
  });
}
