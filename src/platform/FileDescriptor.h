#pragma once
// An open file descriptor, closed with its owner.
#include <unistd.h>

#include <cerrno>
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

}  // namespace movrano
