#include "platform/RegularFile.h"

#include <fcntl.h>

namespace movrano {

FileDescriptor OpenWithoutWaiting(const std::filesystem::path& file, struct stat& st) {
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.valid() && ::fstat(fd.get(), &st) != 0) {
    const int error = errno;
    fd.reset();
    errno = error;
  }
  return fd;
}

std::optional<std::string> ReadRegularFile(const std::filesystem::path& file, size_t limit) {
  struct stat st;
  const FileDescriptor fd = OpenWithoutWaiting(file, st);
  if (!fd.valid()) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    throw MakeOSError(errno);
  }
  if (!S_ISREG(st.st_mode)) return std::nullopt;
  if (static_cast<uintmax_t>(st.st_size) > limit) throw MakeOSError(EFBIG);

  std::string bytes;
  bytes.reserve(static_cast<size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n == 0) return bytes;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw MakeOSError(errno);
    }
    if (static_cast<size_t>(n) > limit - bytes.size()) throw MakeOSError(EFBIG);
    bytes.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace movrano
