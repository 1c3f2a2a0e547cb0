// The termination signals (SIGTERM, SIGINT, SIGHUP, SIGQUIT) to the
// program in a child process (SignalChild.cpp): during a run that waits for
// a lock in the destination the run is cancelled and rolled back, the
// settings are written and the process ends by the signal; without a run it
// ends by the signal at once. It never leaves a core file: the process
// holds passwords.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "support/db/PendingChange.h"
#include "support/platform/TempDir.h"
#include "support/vaults/SampleVault.h"
#include "support/vaults/TableDump.h"

extern char** environ;

namespace movrano::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};

// The child program with its standard output read line by line, run in
// `folder` with core files allowed as far as this process may allow them,
// so that a core it writes would be seen there.
class Child {
 public:
  Child(std::vector<std::string> args, const std::filesystem::path& folder) {
    args.insert(args.begin(), MOVRANO_SIGNAL_CHILD);
    std::vector<char*> argv;
    for (std::string& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    // No runtime folder named: the program makes its own in TMPDIR.
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen",
                                    "TMPDIR=" + (folder / "tmp").string()};
    std::filesystem::create_directories(folder / "tmp");
    for (char** e = environ; *e; ++e) {
      const std::string_view var(*e);
      if (!var.starts_with("QT_QPA_PLATFORM=") && !var.starts_with("TMPDIR=") &&
          !var.starts_with("XDG_RUNTIME_DIR="))
        env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (std::string& e : env)
      envp.push_back(e.data());
    envp.push_back(nullptr);
    const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
      ::close(fds[0]);
      throw std::runtime_error("the child program did not start");
    }
    rlimit core{};
    ::getrlimit(RLIMIT_CORE, &core);
    core.rlim_cur = core.rlim_max;
    ::prlimit(pid_, RLIMIT_CORE, &core, nullptr);
    reader_ = std::thread([this, fd = fds[0]] { read(fd); });
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    reader_.join();
  }

  pid_t pid() const { return pid_; }

  // The lines so far, each without the pane's time of day.
  std::vector<std::string> lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  bool printed(const std::string& line) {
    const auto all = lines();
    return std::find(all.begin(), all.end(), line) != all.end();
  }

  // The wait status once the child has ended within `limit`; nothing when
  // it is still running then.
  std::optional<int> waitForExit(std::chrono::seconds limit) {
    const auto until = Clock::now() + limit;
    while (Clock::now() < until) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      std::this_thread::sleep_for(20ms);
    }
    return std::nullopt;
  }

 private:
  void read(int fd) {
    std::string pending;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
      pending.append(buffer, static_cast<size_t>(n));
      for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
        std::string line = pending.substr(0, end);
        pending.erase(0, end + 1);
        // "14:05:09: text": the time has two colons.
        const size_t first = line.find(": ");
        if (first != std::string::npos && first < 12) line.erase(0, first + 2);
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
      }
    }
    ::close(fd);
  }

  pid_t pid_ = -1;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::thread reader_;
};

// Ended by `signal`, without a core file, and with its runtime folder
// removed.
void ExpectEndedBy(int signal, int status, const std::filesystem::path& folder) {
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;
  EXPECT_FALSE(WIFSIGNALED(status) && WCOREDUMP(status)) << "core dumped";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    EXPECT_NE(entry.path().filename().string().rfind("core", 0), 0u) << entry.path();
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder / "tmp")) {
    EXPECT_NE(entry.path().filename().string().rfind("movrano-runtime-", 0), 0u) << entry.path();
  }
}

bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit) {
  const auto until = Clock::now() + limit;
  while (!done()) {
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

class SignalExit : public ::testing::Test {
 protected:
  SignalExit() {
    std::filesystem::copy_file(MOVRANO_STATEMENT_FILE, programFolder_.path() / "Movrano.sql");
  }
  std::string settingsFile() const { return (programFolder_.path() / "Movrano.ini").string(); }

  TempDir programFolder_;
  TempDir workingFolder_;
};

TEST_F(SignalExit, DuringARunTheRunIsCancelledAndRolledBackThenTheProgramEndsByTheSignal) {
  const SampleVault source(VaultEdition::Solo);
  const SampleVault dest(VaultEdition::Server, FreshInstall());
  for (const int signal : kTerminationSignals) {
    SCOPED_TRACE(strsignal(signal));
    std::filesystem::remove(settingsFile());
    const DatabaseRows before = DumpTables(*dest.connect());
    std::optional<int> status;
    std::vector<std::string> lines;
    {
      // The run's first write waits for this session.
      const PendingChange pending(dest.databaseFile(), "update TLU_VAULT set HRID = HRID");
      Child child({programFolder_.path().string(), source.databaseFile(),
                   source.fileStorageFolder(), dest.vaultFolder()},
                  workingFolder_.path());
      ASSERT_TRUE(WaitFor(
          [&] { return StatementRunsElsewhere(dest.databaseFile(), "UPDATE TLU_VAULT"); }, 60s))
          << ::testing::PrintToString(child.lines());
      ::kill(child.pid(), signal);
      status = child.waitForExit(20s);
      lines = child.lines();
    }
    ASSERT_TRUE(status.has_value()) << "still running " << ::testing::PrintToString(lines);
    ExpectEndedBy(signal, *status, workingFolder_.path());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "ERROR - EMovrano Abort") << ::testing::PrintToString(lines);
    EXPECT_TRUE(std::filesystem::exists(settingsFile()));
    EXPECT_EQ(DumpTables(*dest.connect()), before);
  }
}

TEST_F(SignalExit, WithoutARunTheProgramEndsByTheSignalAtOnce) {
  for (const int signal : kTerminationSignals) {
    SCOPED_TRACE(strsignal(signal));
    Child child({programFolder_.path().string()}, workingFolder_.path());
    ASSERT_TRUE(WaitFor([&] { return child.printed("shown"); }, 60s)) << "the window never showed";
    ::kill(child.pid(), signal);
    const std::optional<int> status = child.waitForExit(20s);
    ASSERT_TRUE(status.has_value()) << "still running";
    ExpectEndedBy(signal, *status, workingFolder_.path());
  }
}

}  // namespace
}  // namespace movrano::testing
