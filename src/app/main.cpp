// Movrano: the main window inside the program's start-up and orderly end
// (ProgramRun.h).
#include "app/ProgramRun.h"
#include "app/QtDialogs.h"
#include "app/ufrmMain.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
  using namespace movrano;
  return RunProgram(argc, argv, [](const TerminationSignals& termination) {
    QtPrompter prompter;
    QtFileDialogs dialogs;
    TfrmMain frmMain(ExecutableFolder(), prompter, dialogs);
    prompter.setParent(&frmMain);
    dialogs.setParent(&frmMain);
    frmMain.show();
    return ExecMainWindow(frmMain, termination);
  });
}
