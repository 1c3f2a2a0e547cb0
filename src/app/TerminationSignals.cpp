#include "app/TerminationSignals.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>

#include "app/ufrmMain.h"
#include "platform/Exceptions.h"

namespace movrano {

namespace {

sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
    sigaddset(&set, signal);
  return set;
}

}  // namespace

void BlockTerminationSignals() {
  const sigset_t set = TerminationSet();
  if (const int rc = pthread_sigmask(SIG_BLOCK, &set, nullptr); rc != 0) throw MakeOSError(rc);
}

TerminationSignals::TerminationSignals() {
  const sigset_t set = TerminationSet();
  fd_ = signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) throw MakeOSError(errno);
  notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::read);
}

TerminationSignals::~TerminationSignals() {
  notifier_.reset();
  ::close(fd_);
}

void TerminationSignals::read() {
  signalfd_siginfo info;
  while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    const int signal = static_cast<int>(info.ssi_signo);
    if (!received_) received_ = signal;
    emit arrived(signal);
  }
}

void EndProcessBySignal(int signal) {
  if (!signal) return;
  // SIGQUIT's default action writes a core file, and this process holds
  // passwords: it ends by the signal without one.
  const struct rlimit noCore = {0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  // Pending for this thread while blocked; delivered when unblocked.
  raise(signal);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  _exit(128 + signal);  // not reached
}

int ExecMainWindow(TfrmMain& window, const TerminationSignals& termination) {
  const QMetaObject::Connection connection =
      QObject::connect(&termination, &TerminationSignals::arrived, &window, &TfrmMain::EndOnSignal);
  // One that came while the window was being made ends the program now.
  const int result = termination.received() ? 0 : QApplication::exec();
  window.StopRunAndWait();
  QObject::disconnect(connection);
  return result;
}

}  // namespace movrano
