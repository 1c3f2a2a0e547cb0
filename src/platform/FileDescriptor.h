#pragma once
// An open file descriptor, closed with its owner, and whole writes to one.
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <utility>

#include "platform/Exceptions.h"

namespace movrano {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() { reset(); }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Hands the descriptor over to whoever closes it now.
  int release() { return std::exchange(fd_, -1); }
  void reset() {
    if (fd_ >= 0) ::close(std::exchange(fd_, -1));
  }
  // Closes now, where a failure still counts (a delayed write error).
  void close() {
    if (::close(std::exchange(fd_, -1)) != 0) throw MakeOSError(errno);
  }

 private:
  int fd_;
};

// Writes all the bytes, through short and interrupted writes. Raises
// EOSError.
inline void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw MakeOSError(errno);
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
}

}  // namespace movrano
