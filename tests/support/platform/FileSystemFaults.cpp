#include "support/platform/FileSystemFaults.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <csignal>
#include <string>

namespace movrano::testing {

namespace fs = std::filesystem;

namespace {

ScopedChange Unmounting(const fs::path& at) {
  return ScopedChange([at] { ::umount2(at.c_str(), MNT_DETACH); });
}

bool SetImmutable(const fs::path& file, bool on) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  int flags = 0;
  bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  ::close(fd);
  return done;
}

}  // namespace

std::optional<ScopedChange> MountTmpfs(const fs::path& folder, size_t bytes) {
  fs::create_directories(folder);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    return std::nullopt;
  }
  return Unmounting(folder);
}

std::optional<ScopedChange> MountReadOnly(const fs::path& folder) {
  if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) return std::nullopt;
  ScopedChange mount = Unmounting(folder);
  if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
    return std::nullopt;
  }
  return mount;
}

std::optional<ScopedChange> MakeImmutable(const fs::path& file) {
  if (!SetImmutable(file, true)) return std::nullopt;
  return ScopedChange([file] { SetImmutable(file, false); });
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  ::getrlimit(RLIMIT_FSIZE, &old_);
  oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  const struct rlimit limit = {bytes, old_.rlim_max};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  ::setrlimit(RLIMIT_FSIZE, &old_);
  std::signal(SIGXFSZ, oldHandler_);
}

}  // namespace movrano::testing
