#include "platform/DirectoryCopy.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/Text.h"

namespace movrano {

namespace fs = std::filesystem;

namespace {

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

using Skipped = std::vector<fs::path>;

// A folder's times are set once its content is in place, since every entry
// written into it changes them. A folder whose times cannot be set still
// holds its copy, so that is no reason to report it. Both are followed
// through links, as the copy follows them into the folders.
void TakeOverTimes(const fs::path& from, const fs::path& to) {
  struct stat st;
  if (::stat(from.c_str(), &st) != 0) return;
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  ::utimensat(AT_FDCWD, to.c_str(), times, 0);
}

void CopyTree(const fs::path& from, const fs::path& to, Skipped& skipped);

void CopyEntry(const fs::directory_entry& entry, const fs::path& target, Skipped& skipped) {
  std::error_code ec;
  const auto status = entry.symlink_status(ec);
  if (ec) {
    skipped.push_back(entry.path());
    return;
  }
  if (fs::is_symlink(status)) {
    const auto existing = fs::symlink_status(target, ec);
    if (fs::is_symlink(existing) || fs::is_regular_file(existing)) fs::remove(target, ec);
    fs::copy_symlink(entry.path(), target, ec);
    if (ec) skipped.push_back(entry.path());
  } else if (fs::is_directory(status)) {
    fs::create_directory(target, ec);
    if (fs::is_directory(target, ec)) {
      CopyTree(entry.path(), target, skipped);
      TakeOverTimes(entry.path(), target);
    } else {
      skipped.push_back(entry.path());
    }
  } else if (fs::is_regular_file(status)) {
    try {
      ReplaceFileWithCopy(target, entry.path());
    } catch (const EOSError&) {
      // skipped: the copy goes on with the next entry
      skipped.push_back(entry.path());
    }
  } else {
    skipped.push_back(entry.path());
  }
}

// A folder that cannot be listed is skipped like a file.
void CopyTree(const fs::path& from, const fs::path& to, Skipped& skipped) {
  std::error_code ec;
  fs::directory_iterator it(from, ec);
  if (ec) {
    skipped.push_back(from);
    return;
  }
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    CopyEntry(*it, to / it->path().filename(), skipped);
  }
  // An error while listing ends this folder (the iterator is then at its end).
  if (ec) skipped.push_back(from);
}

}  // namespace

std::vector<fs::path> CopyDirectory(const fs::path& source, const fs::path& destination) {
  std::error_code ec;
  if (source.empty() || !fs::is_directory(source, ec)) {
    throw EDirectoryNotFoundException(
        Format("The specified path was not found: %s", source.string()));
  }
  if (InsideSource(source, destination)) {
    throw EInOutError(Format("Cannot copy the folder %s into itself (%s)", source.string(),
                             destination.string()));
  }
  fs::create_directories(destination, ec);
  if (ec) throw MakeOSError(ec.value());

  Skipped skipped;
  CopyTree(source, destination, skipped);
  TakeOverTimes(source, destination);
  // Files are not synced one by one: one sync of the file system makes the
  // whole copy durable at a fraction of the cost.
  SyncFileSystem(destination);
  return skipped;
}

}  // namespace movrano
