#pragma once
// The pieces of a copy of one file-system entry, made through open
// descriptors: a source entry opened only when it is still what a listing
// saw, a copy's owner, access lists, mode and times taken over on the open
// copy, contents copied in the kernel, and a short-named temporary entry
// that reaches its final name only whole. For the directory copy.
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/FileDescriptor.h"
#include "platform/TempName.h"

namespace movrano::copying {

// Why an entry could not be copied; `error` is the errno where there is one.
class NotCopied : public std::runtime_error {
 public:
  explicit NotCopied(int code);
  explicit NotCopied(const std::string& reason) : std::runtime_error(reason), error(0) {}
  int error;
};

// The entry is no longer what the listing saw.
NotCopied Changed();

// "named pipe", "socket", "device": what a special file is.
const char* KindOf(mode_t mode);

// The names in a folder (without "." and ".."), read at once, so that no
// listing stays open while a copy goes deeper. Raises NotCopied.
std::vector<std::string> NamesIn(int folder);

// The entry itself, not what a link names. Raises NotCopied.
struct stat StatAt(int folder, const std::string& name);

// Opens a source entry without following a link and without waiting (a
// pipe swapped in for a file), and only when it is still the entry the
// listing saw (`seen`); `now` receives what it is now. Raises NotCopied.
FileDescriptor OpenSourceAt(int folder, const std::string& name, const struct stat& seen, int flags,
                            struct stat& now);

// The source's owner, group, access lists and mode on the open copy, as
// `cp -a` run as root keeps them; where the owner cannot be given, the
// setuid and setgid bits go. Raises NotCopied.
void TakeOverOwnerAndMode(int in, int out, const struct stat& source);
// The source's POSIX access lists (a folder's default list too) on the
// copy, or none where it has none (a copy made in a folder with a default
// list inherits one): the group bits of a mode with a list show the list's
// mask, so the mode alone could give the file's group more than the list
// did. Raises NotCopied.
void TakeOverAccessLists(int in, int out, bool folder);
// Answers false where the times cannot be set (errno set).
bool TakeOverTimes(int fd, const struct stat& source);

// The rest of `in`, its owner, mode and times onto `out`, on their way to
// disk. Raises NotCopied.
void CopyFileContents(int in, int out, const struct stat& source);

// A temporary entry in a folder (see TempName.h), removed unless it took
// its final name.
class TempEntry {
 public:
  // `create` makes the entry under the name it is given, answering false
  // (errno set) when it cannot. Raises NotCopied.
  template <typename Create>
  TempEntry(int folder, Create create) : folder_(folder), name_(CreateUnderTempName(create)) {
    if (name_.empty()) throw NotCopied(errno);
  }
  ~TempEntry();
  TempEntry(const TempEntry&) = delete;
  TempEntry& operator=(const TempEntry&) = delete;

  const std::string& name() const { return name_; }
  // Raises NotCopied.
  void renameTo(const std::string& name);

 private:
  int folder_;
  std::string name_;
};

// Removes the temporary entries that copies of ended processes left in
// the folder.
void RemoveLeftOvers(int folder);

// The entry and, for a folder, everything below it.
size_t EntriesAt(int folder, const std::string& name);

}  // namespace movrano::copying
