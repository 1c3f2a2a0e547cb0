#include "platform/Subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Exceptions.h"
#include "platform/FileDescriptor.h"

extern char** environ;

namespace movrano {

namespace {

// What the child does before the program runs. Its last step closes every
// descriptor above standard error: whatever this process holds open, a
// library's socket or a database connection too, stays here however it
// was opened.
class SpawnActions {
 public:
  SpawnActions() { posix_spawn_file_actions_init(&actions_); }
  ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
  SpawnActions(const SpawnActions&) = delete;
  SpawnActions& operator=(const SpawnActions&) = delete;
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// The child's signal mask: empty, as a program started from a shell gets
// it, not this thread's, which keeps the termination signals blocked for
// the program itself (a mask outlives exec).
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attributes_);
    sigset_t mask;
    sigemptyset(&mask);
    posix_spawnattr_setsigmask(&attributes_, &mask);
    posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK);
  }
  ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
  SpawnAttributes(const SpawnAttributes&) = delete;
  SpawnAttributes& operator=(const SpawnAttributes&) = delete;
  const posix_spawnattr_t* get() const { return &attributes_; }

 private:
  posix_spawnattr_t attributes_;
};

// A started child; the destructor ends and reaps one that was not waited for.
class Child {
 public:
  Child(const std::vector<std::string>& argv, SpawnActions& actions) {
    if (argv.empty() || argv.front().empty()) throw MakeOSError(ENOENT);
    std::vector<char*> args;
    for (const auto& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int rc = posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1);
    // A path, never a name looked up on PATH: the program runs as root, and
    // it is the file its caller found that runs.
    const SpawnAttributes attributes;
    if (rc == 0)
      rc = posix_spawn(&pid_, args[0], actions.get(), attributes.get(), args.data(), environ);
    if (rc != 0) throw MakeOSError(rc);
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      reap();
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  uint32_t wait() {
    const int status = reap();
    if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return 128u + static_cast<uint32_t>(WTERMSIG(status));
    return 1;
  }

 private:
  int reap() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0) {
      if (errno != EINTR) {
        const int err = errno;
        pid_ = -1;
        throw MakeOSError(err);
      }
    }
    pid_ = -1;
    return status;
  }

  pid_t pid_ = -1;
};

}  // namespace

uint32_t SpawnAndWait(const std::vector<std::string>& argv) {
  SpawnActions actions;
  Child child(argv, actions);
  return child.wait();
}

CapturedRun SpawnAndCapture(const std::vector<std::string>& argv) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw MakeOSError(errno);
  FileDescriptor readEnd(fds[0]);
  FileDescriptor writeEnd(fds[1]);
  SpawnActions actions;
  posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), STDOUT_FILENO);
  posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  Child child(argv, actions);
  writeEnd.reset();

  CapturedRun run;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(readEnd.get(), buffer, sizeof buffer);
    if (n > 0) {
      run.output.append(buffer, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      throw MakeOSError(errno);
    }
  }
  run.exitCode = child.wait();
  return run;
}

}  // namespace movrano
