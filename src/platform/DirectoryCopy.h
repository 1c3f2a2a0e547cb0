#pragma once
// Copying a folder tree into another folder, as the file-storage copy of a
// migration needs it: as `cp -a` run as root keeps it, never through a link
// that stands in either tree, and with a report of every entry that could
// not be copied, so that a caller can refuse an incomplete copy.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Exceptions.h"
#include "platform/FileDescriptor.h"

namespace movrano {

MOVRANO_DECLARE_EXCEPTION(EDirectoryNotFoundException, Exception);
MOVRANO_DECLARE_EXCEPTION(EInOutError, Exception);

// An entry of the source that is missing from the copy, or not as it is.
struct SkippedEntry {
  std::filesystem::path path;  // the source entry
  std::string reason;
  size_t entries = 1;  // the entry and, for a folder, everything below it
};

// How many source entries the skipped ones stand for.
size_t EntriesNotCopied(const std::vector<SkippedEntry>& skipped);

// A folder held open, so that what is made in it cannot be sent elsewhere
// by swapping its path for a link.
class OpenFolder {
 public:
  // Makes the folder anew (mode 0755 within the umask) and opens it; an
  // entry of that name that exists already, of whatever kind, gives
  // nothing. Raises EOSError for other failures.
  static std::optional<OpenFolder> CreateNew(const std::filesystem::path& path);

  OpenFolder(OpenFolder&& other) noexcept = default;
  OpenFolder& operator=(OpenFolder&&) = delete;

  int fd() const { return fd_.get(); }
  const std::filesystem::path& path() const { return path_; }

 private:
  OpenFolder(std::filesystem::path path, FileDescriptor fd)
      : path_(std::move(path)), fd_(std::move(fd)) {}
  std::filesystem::path path_;
  FileDescriptor fd_;
};

// Called with a source file's path right before the file is opened.
using BeforeFileOpen = std::function<void(const std::filesystem::path&)>;

// Copies every entry below `source` (hidden ones included) to the same
// place below `destination`, creating it and its missing parents (mode
// 0755 within the umask) and replacing files of the same name. Files and
// folders keep owner, group, mode, access lists and times; a setuid or
// setgid file whose owner cannot be kept loses those bits; links are
// copied as links. A file reaches its name only whole, through a
// short-named temporary file, and temporary files that an earlier, killed
// copy left are removed. An entry that cannot be copied is skipped and the
// copy goes on: a special file (never opened), a file that is no longer
// what the listing saw when it is opened, a link in the destination where
// the source has a file or folder (never followed, never removed), a full
// disk, a read-only or immutable destination. Synced to disk before it
// returns. Raises EDirectoryNotFoundException for a missing source,
// EInOutError when the destination is the source itself or lies inside
// it, and EOSError when the destination cannot be made or synced.
// Returns the skipped entries in the order met.
std::vector<SkippedEntry> CopyDirectory(const std::filesystem::path& source,
                                        const std::filesystem::path& destination,
                                        const BeforeFileOpen& beforeFileOpen = {});

// The same into the new folder `name` made exclusively in `parent`.
std::vector<SkippedEntry> CopyDirectoryInto(const std::filesystem::path& source,
                                            const OpenFolder& parent, const std::string& name);

// Copies a file into the new file `name` in `folder` (never one that
// exists), with the source's owner, group, mode and times set on the open
// copy. Synced to disk. Raises EInOutError with the system's text.
void CopyFileInto(const std::filesystem::path& source, const OpenFolder& folder,
                  const std::string& name);

}  // namespace movrano
