#include "platform/DirectoryCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "platform/Text.h"

namespace movrano {

namespace fs = std::filesystem;

namespace {

// A file descriptor, closed with its owner.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Closes now, where a failure still counts (a delayed write error).
  int close() { return ::close(std::exchange(fd_, -1)); }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

// Why an entry could not be copied; `error` is the errno where there is one.
class NotCopied : public std::runtime_error {
 public:
  explicit NotCopied(int code)
      : std::runtime_error(std::system_category().message(code)), error(code) {}
  explicit NotCopied(const std::string& reason) : std::runtime_error(reason), error(0) {}
  int error;
};

NotCopied Changed() {
  return NotCopied("it changed while the copy ran");
}

std::string Quoted(const fs::path& path) {
  return "\"" + path.string() + "\"";
}

const char* KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "named pipe";
  if (S_ISSOCK(mode)) return "socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "device";
  return "special file";
}

// The names in a folder, read at once, so that no listing stays open while
// the copy goes deeper.
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

// Opens a source entry without following a link and without waiting (a
// pipe swapped in for a file), and only when it is still the entry the
// listing saw. `now` receives what it is now.
Fd OpenSourceAt(int folder, const std::string& name, const struct stat& seen, int flags,
                struct stat& now) {
  Fd fd(::openat(folder, name.c_str(),
                 flags | O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!fd) {
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

// The source's access lists on the copy, or none where it has none (a copy
// made in a folder with a default list inherits one): the group bits of a
// mode with a list show the list's mask, so the mode alone could give the
// file's group more than the list did.
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

// The source's owner, group, access lists and mode on the open copy, as
// `cp -a` run as root keeps them. A setuid or setgid bit on a copy whose
// owner could not be given would let it run as the copier: those bits go
// then.
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
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno != EINTR) throw NotCopied(errno);
      if (w > 0) done += w;
    }
  }
}

// A file's contents with its owner, mode and times, on their way to disk:
// the writing starts now, so the one sync at the end of a large copy waits
// for little.
void CopyFileContents(int in, int out, const struct stat& source) {
  CopyContents(in, out);
  ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
  TakeOverOwnerAndMode(in, out, source);
  if (!TakeOverTimes(out, source)) throw NotCopied(errno);
}

constexpr std::string_view kTempPrefix = ".movrano-";
constexpr std::string_view kTempSuffix = ".part";

// A temporary entry in a folder, removed unless it took its final name.
// Its name is short whatever the final one, so that a name as long as the
// file system allows can still be replaced, and names the process, so that
// a later copy can tell one that a killed copy left.
class TempEntry {
 public:
  // `create` makes the entry under the name it is given, answering false
  // (errno set) when it cannot.
  template <typename Create>
  TempEntry(int folder, Create create) : folder_(folder) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = std::string(kTempPrefix) + std::to_string(::getpid()) + "-" +
              std::to_string(counter++) + std::string(kTempSuffix);
      if (create(name_)) return;
      if (errno != EEXIST) break;
    }
    const int error = errno;
    name_.clear();
    throw NotCopied(error);
  }
  ~TempEntry() {
    if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
  }
  TempEntry(const TempEntry&) = delete;
  TempEntry& operator=(const TempEntry&) = delete;

  const std::string& name() const { return name_; }
  void renameTo(const std::string& name) {
    if (::renameat(folder_, name_.c_str(), folder_, name.c_str()) != 0) throw NotCopied(errno);
    name_.clear();
  }

 private:
  int folder_;
  std::string name_;
};

// A temporary entry of ours whose process has ended: a copy was killed.
bool IsLeftOver(const std::string& name) {
  if (name.size() <= kTempPrefix.size() + kTempSuffix.size() || !name.starts_with(kTempPrefix) ||
      !name.ends_with(kTempSuffix)) {
    return false;
  }
  const std::string middle =
      name.substr(kTempPrefix.size(), name.size() - kTempPrefix.size() - kTempSuffix.size());
  const size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string::npos || dash > 9 ||
      middle.find_first_not_of("0123456789-") != std::string::npos ||
      middle.find('-', dash + 1) != std::string::npos || dash + 1 == middle.size()) {
    return false;
  }
  const pid_t pid = static_cast<pid_t>(std::stol(middle.substr(0, dash)));
  // Our own process copies into one folder at a time, after this cleanup.
  return pid == ::getpid() || (::kill(pid, 0) != 0 && errno == ESRCH);
}

void RemoveLeftOvers(int folder) {
  try {
    for (const std::string& name : NamesIn(folder)) {
      if (IsLeftOver(name)) ::unlinkat(folder, name.c_str(), 0);
    }
  } catch (const NotCopied&) {
    // a folder that cannot be listed fails its copy on its own
  }
}

// The entry and, for a folder, everything below it.
size_t EntriesAt(int folder, const std::string& name) {
  struct stat st;
  if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) {
    return 1;
  }
  const Fd below(
      ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  size_t entries = 1;
  if (!below) return entries;
  try {
    for (const std::string& inner : NamesIn(below.get()))
      entries += EntriesAt(below.get(), inner);
  } catch (const NotCopied&) {
  }
  return entries;
}

// Walks the source tree through open folders, so that no path that
// someone changes meanwhile leads the copy out of either tree.
class TreeCopy {
 public:
  explicit TreeCopy(const BeforeFileOpen& beforeFileOpen) : beforeFileOpen_(beforeFileOpen) {}

  // Copies what the folder `from` holds into `to`; a folder that was there
  // before may hold what a killed copy left.
  void copyContent(int from, int to, const fs::path& fromPath, const fs::path& toPath,
                   bool toIsNew) {
    if (!toIsNew) RemoveLeftOvers(to);
    for (const std::string& name : NamesIn(from)) {
      copyEntry(from, to, name, fromPath / name, toPath / name);
    }
  }

  void skip(const fs::path& source, const std::string& reason, size_t entries = 1) {
    skipped_.push_back({source, reason, entries});
  }
  std::vector<SkippedEntry> skipped() && { return std::move(skipped_); }

 private:
  void copyEntry(int from, int to, const std::string& name, const fs::path& source,
                 const fs::path& target) {
    try {
      const struct stat seen = StatAt(from, name);
      if (S_ISDIR(seen.st_mode)) {
        copyFolder(from, to, name, seen, source, target);
      } else if (S_ISREG(seen.st_mode)) {
        copyFile(from, to, name, seen, source, target);
      } else if (S_ISLNK(seen.st_mode)) {
        copyLink(from, to, name, seen, target);
      } else {
        throw NotCopied(std::string("it is a ") + KindOf(seen.st_mode) +
                        ", not a file, folder or link");
      }
    } catch (const NotCopied& e) {
      skip(source, e.what());
    }
  }

  // What stands at the target is not followed nor removed where the source
  // has a file or link: a folder, or a user's link out of the store.
  static void RefuseTargetInTheWay(int to, const std::string& name, const fs::path& target,
                                   bool linkAllowed) {
    struct stat existing;
    if (::fstatat(to, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) return;
      throw NotCopied(errno);
    }
    if (S_ISDIR(existing.st_mode)) throw NotCopied(Quoted(target) + " is a folder");
    if (S_ISLNK(existing.st_mode) && !linkAllowed) {
      throw NotCopied(Quoted(target) + " is a symbolic link");
    }
  }

  void copyFile(int from, int to, const std::string& name, const struct stat& seen,
                const fs::path& source, const fs::path& target) {
    RefuseTargetInTheWay(to, name, target, false);
    if (beforeFileOpen_) beforeFileOpen_(source);
    struct stat now;
    const Fd in = OpenSourceAt(from, name, seen, 0, now);
    Fd out;
    TempEntry temp(to, [&](const std::string& tempName) {
      out = Fd(::openat(to, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600));
      return static_cast<bool>(out);
    });
    CopyFileContents(in.get(), out.get(), now);
    if (out.close() != 0) throw NotCopied(errno);
    temp.renameTo(name);
  }

  static void copyLink(int from, int to, const std::string& name, const struct stat& seen,
                       const fs::path& target) {
    RefuseTargetInTheWay(to, name, target, true);
    std::vector<char> text(PATH_MAX + 1);
    const ssize_t length = ::readlinkat(from, name.c_str(), text.data(), text.size());
    if (length < 0) throw errno == EINVAL ? Changed() : NotCopied(errno);
    if (static_cast<size_t>(length) >= text.size()) throw NotCopied(ENAMETOOLONG);
    text[static_cast<size_t>(length)] = '\0';
    TempEntry temp(to, [&](const std::string& tempName) {
      return ::symlinkat(text.data(), to, tempName.c_str()) == 0;
    });
    // A link's own owner and times, where the file system keeps them.
    ::fchownat(to, temp.name().c_str(), seen.st_uid, seen.st_gid, AT_SYMLINK_NOFOLLOW);
    const struct timespec times[2] = {seen.st_atim, seen.st_mtim};
    ::utimensat(to, temp.name().c_str(), times, AT_SYMLINK_NOFOLLOW);
    temp.renameTo(name);
  }

  // The folder of the same name in the destination, made when missing
  // (private until its copy is complete). `made` tells which.
  static Fd TargetFolder(int to, const std::string& name, const fs::path& target, bool& made) {
    struct stat existing;
    made = false;
    if (::fstatat(to, name.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
      if (S_ISLNK(existing.st_mode)) throw NotCopied(Quoted(target) + " is a symbolic link");
      if (!S_ISDIR(existing.st_mode)) throw NotCopied(Quoted(target) + " is a file, not a folder");
    } else if (errno != ENOENT) {
      throw NotCopied(errno);
    } else if (::mkdirat(to, name.c_str(), 0700) == 0) {
      made = true;
    } else if (errno != EEXIST) {
      throw NotCopied(errno);
    }
    Fd folder(::openat(to, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder) {
      if (errno == ELOOP) throw NotCopied(Quoted(target) + " is a symbolic link");
      if (errno == ENOTDIR) throw NotCopied(Quoted(target) + " is a file, not a folder");
      throw NotCopied(errno);
    }
    return folder;
  }

  void copyFolder(int from, int to, const std::string& name, const struct stat& seen,
                  const fs::path& source, const fs::path& target) {
    struct stat now;
    const Fd in = OpenSourceAt(from, name, seen, O_DIRECTORY, now);
    bool made = false;
    Fd out;
    try {
      out = TargetFolder(to, name, target, made);
    } catch (const NotCopied& e) {
      skip(source, e.what(), EntriesAt(from, name));
      return;
    }
    try {
      copyContent(in.get(), out.get(), source, target, made);
    } catch (const NotCopied& e) {
      skip(source, e.what());  // its listing failed: what it holds is unknown
    }
    TakeOverFolder(in.get(), out.get(), now);
  }

 public:
  // A folder's owner, access lists and mode as the source's (left alone
  // where they are already, as on a read-only mount), and its times once its
  // content is in place, since every entry written into it changes them. A
  // folder whose times cannot be set still holds its copy.
  static void TakeOverFolder(int in, int out, const struct stat& source) {
    struct stat current;
    if (::fstat(out, &current) != 0 || current.st_uid != source.st_uid ||
        current.st_gid != source.st_gid || (current.st_mode & 07777) != (source.st_mode & 07777)) {
      TakeOverOwnerAndMode(in, out, source);
    } else {
      TakeOverAccessLists(in, out, true);
    }
    TakeOverTimes(out, source);
  }

 private:
  const BeforeFileOpen& beforeFileOpen_;
  std::vector<SkippedEntry> skipped_;
};

// The destination is the source or one of its sub-folders (also through
// links or a different spelling).
bool InsideSource(const fs::path& source, const fs::path& destination) {
  std::error_code ec;
  const fs::path from = fs::weakly_canonical(source, ec);
  if (ec) return false;
  const fs::path to = fs::weakly_canonical(destination, ec);
  if (ec) return false;
  auto f = from.begin();
  auto t = to.begin();
  for (; f != from.end(); ++f, ++t) {
    if (f->empty() && std::next(f) == from.end()) break;  // trailing "/"
    if (t == to.end() || *f != *t) return false;
  }
  return true;
}

// The source folder, opened once its copy may go to `destination`.
Fd OpenSourceFolder(const fs::path& source, const fs::path& destination, struct stat& st) {
  std::error_code ec;
  if (source.empty() || !fs::is_directory(source, ec)) {
    throw EDirectoryNotFoundException(
        Format("The specified path was not found: %s", source.string()));
  }
  if (InsideSource(source, destination)) {
    throw EInOutError(Format("Cannot copy the folder %s into itself (%s)", source.string(),
                             destination.string()));
  }
  Fd fd(::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd || ::fstat(fd.get(), &st) != 0) throw MakeOSError(errno);
  return fd;
}

// Makes the folder's missing parents as `mkdir -p` does (0755 within the
// umask, never wider).
void MakeParents(const fs::path& folder) {
  const fs::path parent = folder.parent_path();
  struct stat st;
  if (parent.empty() || parent == folder || ::stat(parent.c_str(), &st) == 0) return;
  MakeParents(parent);
  if (::mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) throw MakeOSError(errno);
}

// Copies into the open destination folder; one that this copy made takes
// the source's owner and mode, as `cp -a` gives them.
std::vector<SkippedEntry> CopyInto(int from, const struct stat& source, const fs::path& sourcePath,
                                   int to, const fs::path& destination, bool made,
                                   const BeforeFileOpen& beforeFileOpen) {
  TreeCopy copy(beforeFileOpen);
  try {
    copy.copyContent(from, to, sourcePath, destination, made);
  } catch (const NotCopied& e) {
    copy.skip(sourcePath, e.what());
  }
  if (made) {
    try {
      TreeCopy::TakeOverFolder(from, to, source);
    } catch (const NotCopied& e) {
      copy.skip(sourcePath, e.what());
    }
  } else {
    TakeOverTimes(to, source);
  }
  // Files are not synced one by one: one sync of the file system makes the
  // whole copy durable at a fraction of the cost.
  if (::syncfs(to) != 0) throw MakeOSError(errno);
  return std::move(copy).skipped();
}

}  // namespace

size_t EntriesNotCopied(const std::vector<SkippedEntry>& skipped) {
  size_t entries = 0;
  for (const SkippedEntry& s : skipped)
    entries += s.entries;
  return entries;
}

std::optional<OpenFolder> OpenFolder::CreateNew(const fs::path& path) {
  if (::mkdir(path.c_str(), 0755) != 0) {
    if (errno == EEXIST) return std::nullopt;
    throw MakeOSError(errno);
  }
  Fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  // Who can write the parent folder can put a folder of theirs in its place.
  if (!fd || ::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()) return std::nullopt;
  return OpenFolder(path, fd.release());
}

OpenFolder::OpenFolder(OpenFolder&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)) {}

OpenFolder::~OpenFolder() {
  if (fd_ >= 0) ::close(fd_);
}

std::vector<SkippedEntry> CopyDirectory(const fs::path& source, const fs::path& destination,
                                        const BeforeFileOpen& beforeFileOpen) {
  struct stat st;
  const Fd from = OpenSourceFolder(source, destination, st);
  const fs::path folder = destination.has_filename() ? destination : destination.parent_path();
  struct stat existing;
  bool made = false;
  if (::stat(folder.c_str(), &existing) != 0) {
    if (errno != ENOENT) throw MakeOSError(errno);
    MakeParents(folder);
    if (::mkdir(folder.c_str(), 0700) == 0) {
      made = true;
    } else if (errno != EEXIST) {
      throw MakeOSError(errno);
    }
  }
  const Fd to(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!to) throw MakeOSError(errno);
  return CopyInto(from.get(), st, source, to.get(), destination, made, beforeFileOpen);
}

std::vector<SkippedEntry> CopyDirectoryInto(const fs::path& source, const OpenFolder& parent,
                                            const std::string& name) {
  struct stat st;
  const Fd from = OpenSourceFolder(source, parent.path() / name, st);
  if (::mkdirat(parent.fd(), name.c_str(), 0700) != 0) throw MakeOSError(errno);
  const Fd to(::openat(parent.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!to) throw MakeOSError(errno);
  return CopyInto(from.get(), st, source, to.get(), parent.path() / name, true, {});
}

void CopyFileInto(const fs::path& source, const OpenFolder& folder, const std::string& name) {
  const auto fail = [](int error) { return EInOutError(std::system_category().message(error)); };
  const Fd in(::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (!in || ::fstat(in.get(), &st) != 0) throw fail(errno);
  if (!S_ISREG(st.st_mode)) throw fail(EINVAL);
  Fd out(::openat(folder.fd(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  0600));
  if (!out) throw fail(errno);
  try {
    CopyFileContents(in.get(), out.get(), st);
    if (::fsync(out.get()) != 0 || out.close() != 0) throw NotCopied(errno);
  } catch (const NotCopied& e) {
    ::unlinkat(folder.fd(), name.c_str(), 0);
    throw EInOutError(e.what());
  }
}

}  // namespace movrano
