#include "platform/DirectoryCopy.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "platform/EntryCopy.h"
#include "platform/RegularFile.h"
#include "platform/Text.h"

namespace movrano {

namespace fs = std::filesystem;

namespace {

using namespace copying;

std::string Quoted(const fs::path& path) {
  return "\"" + path.string() + "\"";
}

// A folder's owner, access lists and mode as the source's (left alone
// where they are already, as on a read-only mount), and its times once its
// content is in place, since every entry written into it changes them. A
// folder whose times cannot be set still holds its copy.
void TakeOverFolder(int in, int out, const struct stat& source) {
  struct stat current;
  if (::fstat(out, &current) != 0 || current.st_uid != source.st_uid ||
      current.st_gid != source.st_gid || (current.st_mode & 07777) != (source.st_mode & 07777)) {
    TakeOverOwnerAndMode(in, out, source);
  } else {
    TakeOverAccessLists(in, out, true);
  }
  TakeOverTimes(out, source);
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
    const FileDescriptor in = OpenSourceAt(from, name, seen, 0, now);
    FileDescriptor out;
    TempEntry temp(to, [&](const std::string& tempName) {
      out = FileDescriptor(::openat(to, tempName.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      return out.valid();
    });
    CopyFileContents(in.get(), out.get(), now);
    if (::close(out.release()) != 0) throw NotCopied(errno);
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
  static FileDescriptor TargetFolder(int to, const std::string& name, const fs::path& target,
                                     bool& made) {
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
    FileDescriptor folder(
        ::openat(to, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folder.valid()) {
      if (errno == ELOOP) throw NotCopied(Quoted(target) + " is a symbolic link");
      if (errno == ENOTDIR) throw NotCopied(Quoted(target) + " is a file, not a folder");
      throw NotCopied(errno);
    }
    return folder;
  }

  void copyFolder(int from, int to, const std::string& name, const struct stat& seen,
                  const fs::path& source, const fs::path& target) {
    struct stat now;
    const FileDescriptor in = OpenSourceAt(from, name, seen, O_DIRECTORY, now);
    bool made = false;
    FileDescriptor out;
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
FileDescriptor OpenSourceFolder(const fs::path& source, const fs::path& destination,
                                struct stat& st) {
  std::error_code ec;
  if (source.empty() || !fs::is_directory(source, ec)) {
    throw EDirectoryNotFoundException(
        Format("The specified path was not found: %s", source.string()));
  }
  if (InsideSource(source, destination)) {
    throw EInOutError(Format("Cannot copy the folder %s into itself (%s)", source.string(),
                             destination.string()));
  }
  FileDescriptor fd(::open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0) throw MakeOSError(errno);
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
      TakeOverFolder(from, to, source);
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
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  // Who can write the parent folder can put a folder of theirs in its place.
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()) return std::nullopt;
  return OpenFolder(path, std::move(fd));
}

std::vector<SkippedEntry> CopyDirectory(const fs::path& source, const fs::path& destination,
                                        const BeforeFileOpen& beforeFileOpen) {
  struct stat st;
  const FileDescriptor from = OpenSourceFolder(source, destination, st);
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
  const FileDescriptor to(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!to.valid()) throw MakeOSError(errno);
  return CopyInto(from.get(), st, source, to.get(), destination, made, beforeFileOpen);
}

std::vector<SkippedEntry> CopyDirectoryInto(const fs::path& source, const OpenFolder& parent,
                                            const std::string& name) {
  struct stat st;
  const FileDescriptor from = OpenSourceFolder(source, parent.path() / name, st);
  if (::mkdirat(parent.fd(), name.c_str(), 0700) != 0) throw MakeOSError(errno);
  const FileDescriptor to(
      ::openat(parent.fd(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!to.valid()) throw MakeOSError(errno);
  return CopyInto(from.get(), st, source, to.get(), parent.path() / name, true, {});
}

void CopyFileInto(const fs::path& source, const OpenFolder& folder, const std::string& name) {
  const auto fail = [](int error) { return EInOutError(std::system_category().message(error)); };
  struct stat st;
  const FileDescriptor in = OpenWithoutWaiting(source, st);
  if (!in.valid()) throw fail(errno);
  if (!S_ISREG(st.st_mode)) throw fail(EINVAL);
  FileDescriptor out(::openat(folder.fd(), name.c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out.valid()) throw fail(errno);
  try {
    CopyFileContents(in.get(), out.get(), st);
    if (::fsync(out.get()) != 0 || ::close(out.release()) != 0) throw NotCopied(errno);
  } catch (const NotCopied& e) {
    ::unlinkat(folder.fd(), name.c_str(), 0);
    throw EInOutError(e.what());
  }
}

}  // namespace movrano
