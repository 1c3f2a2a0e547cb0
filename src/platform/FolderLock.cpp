#include "platform/FolderLock.h"

#include <fcntl.h>
#include <sys/file.h>

namespace movrano {

std::optional<FolderLock> FolderLock::TryTake(const std::string& folder) {
  // O_DIRECTORY: whatever else lies at the path is refused before it is
  // opened, so no FIFO or device is ever waited on.
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) throw MakeOSError(errno);
  while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return std::nullopt;
    if (errno != EINTR) throw MakeOSError(errno);
  }
  return FolderLock(std::move(fd));
}

}  // namespace movrano
