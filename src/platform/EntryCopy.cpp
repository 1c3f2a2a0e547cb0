#include "platform/EntryCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string_view>
#include <system_error>

#include "platform/TempName.h"

namespace movrano::copying {

namespace {

// A POSIX access list of an open file; nothing where it has none, or its
// file system keeps none.
std::optional<std::string> AccessListOf(int fd, const char* name) {
  char small[256];
  ssize_t size = ::fgetxattr(fd, name, small, sizeof small);
  if (size >= 0) return std::string(small, static_cast<size_t>(size));
  while (errno == ERANGE) {
    size = ::fgetxattr(fd, name, nullptr, 0);
    if (size < 0) break;
    std::string value(static_cast<size_t>(size), '\0');
    size = ::fgetxattr(fd, name, value.data(), value.size());
    if (size >= 0) return value.substr(0, static_cast<size_t>(size));
  }
  return std::nullopt;
}

// Errors that only say the kernel cannot copy between these two files.
bool KernelCopyUnsupported(int error) {
  return error == EXDEV || error == ENOSYS || error == EINVAL || error == EOPNOTSUPP ||
         error == EBADF;
}

// Copies the rest of `in` to `out`: in the kernel where it can, else
// through a buffer.
void CopyContents(int in, int out) {
  for (;;) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
    if (n == 0) return;
    if (n > 0) continue;
    if (errno == EINTR) continue;
    if (KernelCopyUnsupported(errno)) break;
    throw NotCopied(errno);
  }
  std::vector<char> buffer(size_t{1} << 20);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0) return;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw NotCopied(errno);
    }
    try {
      WriteAll(out, std::string_view(buffer.data(), static_cast<size_t>(n)));
    } catch (const EOSError& e) {
      throw NotCopied(e.errorCode());
    }
  }
}

}  // namespace

NotCopied::NotCopied(int code)
    : std::runtime_error(std::system_category().message(code)), error(code) {}

NotCopied Changed() {
  return NotCopied("it changed while the copy ran");
}

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "named pipe";
  if (S_ISSOCK(mode)) return "socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "device";
  return "special file";
}

std::vector<std::string> NamesIn(int folder) {
  const int fd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) throw NotCopied(errno);
  DIR* listing = ::fdopendir(fd);
  if (!listing) {
    const int error = errno;
    ::close(fd);
    throw NotCopied(error);
  }
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(listing);
    if (!entry) break;
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  const int error = errno;
  ::closedir(listing);
  if (error != 0) throw NotCopied(error);
  return names;
}

struct stat StatAt(int folder, const std::string& name) {
  struct stat st;
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) throw NotCopied(errno);
  return st;
}

FileDescriptor OpenSourceAt(int folder, const std::string& name, const struct stat& seen, int flags,
                            struct stat& now) {
  FileDescriptor fd(::openat(folder, name.c_str(),
                             flags | O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd.valid()) {
    if (errno == ELOOP || errno == ENOTDIR || errno == ENOENT) throw Changed();
    throw NotCopied(errno);
  }
  if (::fstat(fd.get(), &now) != 0) throw NotCopied(errno);
  if (now.st_dev != seen.st_dev || now.st_ino != seen.st_ino ||
      (now.st_mode & S_IFMT) != (seen.st_mode & S_IFMT)) {
    throw Changed();
  }
  return fd;
}

void TakeOverAccessLists(int in, int out, bool folder) {
  static const char* const kLists[] = {"system.posix_acl_access", "system.posix_acl_default"};
  for (size_t i = 0; i < (folder ? 2u : 1u); ++i) {
    const std::optional<std::string> wanted = AccessListOf(in, kLists[i]);
    if (wanted == AccessListOf(out, kLists[i])) continue;
    const int done = wanted ? ::fsetxattr(out, kLists[i], wanted->data(), wanted->size(), 0)
                            : ::fremovexattr(out, kLists[i]);
    if (done != 0) throw NotCopied(errno);
  }
}

// A setuid or setgid bit on a copy whose owner could not be given would let
// it run as the copier.
void TakeOverOwnerAndMode(int in, int out, const struct stat& source) {
  mode_t mode = source.st_mode & 07777;
  if (::fchown(out, source.st_uid, source.st_gid) != 0) mode &= ~(S_ISUID | S_ISGID);
  TakeOverAccessLists(in, out, S_ISDIR(source.st_mode));
  if (::fchmod(out, mode) != 0) throw NotCopied(errno);
}

bool TakeOverTimes(int fd, const struct stat& source) {
  const struct timespec times[2] = {source.st_atim, source.st_mtim};
  return ::futimens(fd, times) == 0;
}

// The writing starts at once, so the one sync at the end of a large copy
// waits for little.
void CopyFileContents(int in, int out, const struct stat& source) {
  CopyContents(in, out);
  ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
  TakeOverOwnerAndMode(in, out, source);
  if (!TakeOverTimes(out, source)) throw NotCopied(errno);
}

TempEntry::~TempEntry() {
  if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
}

void TempEntry::renameTo(const std::string& name) {
  if (::renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) throw NotCopied(errno);
  name_.clear();
}

void RemoveLeftOvers(int folder) {
  try {
    for (const std::string& name : NamesIn(folder)) {
      if (IsLeftOverTempName(name)) ::unlinkat(folder, name.c_str(), 0);
    }
  } catch (const NotCopied&) {
    // a folder that cannot be listed fails its copy on its own
  }
}

size_t EntriesAt(int folder, const std::string& name) {
  struct stat st;
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) {
    return 1;
  }
  const FileDescriptor below(
      ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  size_t entries = 1;
  if (!below.valid()) return entries;
  try {
    for (const std::string& inner : NamesIn(below.get()))
      entries += EntriesAt(below.get(), inner);
  } catch (const NotCopied&) {
  }
  return entries;
}

}  // namespace movrano::copying
