#pragma once
// The program's start-up, in the order the services and the statement
// catalogue need, and its orderly end: no worker left running, the
// runtime folder removed, and then the termination signal that ended it
// (TerminationSignals.h), if one did.
#include <functional>

#include "app/TerminationSignals.h"

namespace movrano {

// Runs `showWindow` (which makes the window, shows it and returns
// ExecMainWindow's result) inside the started program, and returns what it
// returns unless a signal ends the process. The first thing in main.
int RunProgram(int& argc, char** argv,
               const std::function<int(const TerminationSignals&)>& showWindow);

}  // namespace movrano
