#include "app/ProgramRun.h"

#include <QApplication>

#include "app/RuntimeFolder.h"
#include "engine/MigrationThread.h"
#include "services/IDS.h"
#include "services/TavrinGlobalCatalog.h"
#include "statements/uSQLManager.h"

namespace movrano {

int RunProgram(int& argc, char** argv,
               const std::function<int(const TerminationSignals&)>& showWindow) {
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
    result = showWindow(termination);
    TMigrationThread::WaitForAll();
    signal = termination.received();
  }
  EndProcessBySignal(signal);
  return result;
}

}  // namespace movrano
