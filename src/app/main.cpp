// Movrano: start-up in the order the services and the statement catalogue
// need, the main window, and an orderly end with no worker left running,
// also when a termination signal ends the program (TerminationSignals.h).
#include <QApplication>

#include "app/QtDialogs.h"
#include "app/RuntimeFolder.h"
#include "app/TerminationSignals.h"
#include "app/ufrmMain.h"
#include "engine/MigrationThread.h"
#include "platform/Paths.h"
#include "services/IDS.h"
#include "services/TavrinGlobalCatalog.h"
#include "statements/uSQLManager.h"

int main(int argc, char** argv) {
  using namespace movrano;
  BlockTerminationSignals();  // before any thread or library starts
  int result = 0;
  int signal = 0;
  {
    // Changes the environment: while no other thread runs.
    const PrivateRuntimeFolder runtimeFolder;
    RegisterIDSTypes();
    const SQLManagerScope statements;
    RegisterTavrinGlobalCatalogTypes();

    QApplication application(argc, argv);
    const TerminationSignals termination;
    QtPrompter prompter;
    QtFileDialogs dialogs;
    {
      TfrmMain frmMain(ExecutableFolder(), prompter, dialogs);
      prompter.setParent(&frmMain);
      dialogs.setParent(&frmMain);
      frmMain.show();
      result = ExecMainWindow(frmMain, termination);
    }
    TMigrationThread::WaitForAll();
    signal = termination.received();
  }
  EndProcessBySignal(signal);
  return result;
}
