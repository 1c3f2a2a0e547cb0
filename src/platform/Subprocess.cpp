#include "platform/Subprocess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/Exceptions.h"

extern char** environ;

namespace movrano {

namespace {

// A file descriptor closed with its owner.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

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

// The child's signal mask: this thread's without SIGINT and SIGTERM, which
// the program keeps blocked for itself (a mask outlives exec).
class SpawnAttributes {
 public:
  SpawnAttributes() {
    posix_spawnattr_init(&attributes_);
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    sigdelset(&mask, SIGINT);
    sigdelset(&mask, SIGTERM);
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
  Child(const std::vector<std::string>& argv, posix_spawn_file_actions_t* actions) {
    if (argv.empty() || argv.front().empty()) throw MakeOSError(ENOENT);
    std::vector<char*> args;
    for (const auto& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const SpawnAttributes attributes;
    const int rc = posix_spawnp(&pid_, args[0], actions, attributes.get(), args.data(), environ);
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
  Child child(argv, nullptr);
  return child.wait();
}

CapturedRun SpawnAndCapture(const std::vector<std::string>& argv) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw MakeOSError(errno);
  Fd readEnd(fds[0]);
  Fd writeEnd(fds[1]);
  SpawnActions actions;
  posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), STDOUT_FILENO);
  posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  Child child(argv, actions.get());
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
