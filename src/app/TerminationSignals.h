#pragma once
// How SIGINT, SIGTERM, SIGHUP (the terminal that started the program is
// gone) and SIGQUIT end the program. They are blocked in every thread
// from the start of main, so that no library's handler (the Firebird
// client installs its own) ever takes them, and are received on the main
// thread instead: during a run the run is cancelled as a confirmed close
// does and the window closes when it has ended; without a run the program
// ends at once. The process then ends by the signal, as it would have
// without all this, but never with a core file.
#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace movrano {

class TfrmMain;

// Blocks these signals in the calling thread and in every thread it starts
// from now on; first thing in main, before any thread or library starts.
void BlockTerminationSignals();

class TerminationSignals final : public QObject {
  Q_OBJECT

 public:
  // Receives the blocked signals on the calling (main) thread.
  TerminationSignals();
  ~TerminationSignals() override;

  // The first signal received; 0 when none was.
  int received() const { return received_; }

 signals:
  void arrived(int signal);

 private:
  void read();

  int fd_;
  std::unique_ptr<QSocketNotifier> notifier_;
  int received_ = 0;
};

// When `signal` is not 0: ends the process by it, with its default action
// (never with a core file). For the very end of main, once what it made is
// gone (the runtime folder among it).
void EndProcessBySignal(int signal);

// Shows the window's event loop until the program is to end, with each
// signal ending it as described above; returns the loop's exit code once
// no run is left.
int ExecMainWindow(TfrmMain& window, const TerminationSignals& termination);

}  // namespace movrano
