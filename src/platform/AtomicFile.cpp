#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "platform/Exceptions.h"

namespace movrano {

namespace {

// A temporary file in the target's folder, removed unless committed.
class TempFile {
 public:
  explicit TempFile(const std::filesystem::path& target) {
    static std::atomic<unsigned> counter{0};
    const auto folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = folder / ("." + target.filename().string() + ".part" + std::to_string(::getpid()) +
                        "-" + std::to_string(counter++));
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0 || errno != EEXIST) break;
    }
    if (fd_ < 0) throw MakeOSError(errno);
  }
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!committed_) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  void write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
      if (n < 0) {
        if (errno == EINTR) continue;
        throw MakeOSError(errno);
      }
      bytes.remove_prefix(static_cast<size_t>(n));
    }
  }

  // Puts the file in place with `mode`, or else the permissions of the file
  // it replaces.
  void commit(const std::filesystem::path& target, std::optional<mode_t> mode = std::nullopt) {
    struct stat old;
    if (!mode && ::stat(target.c_str(), &old) == 0) mode = old.st_mode;
    if (mode) ::fchmod(fd_, *mode & 07777);
    if (::fsync(fd_) != 0 || ::close(std::exchange(fd_, -1)) != 0) throw MakeOSError(errno);
    if (::rename(path_.c_str(), target.c_str()) != 0) throw MakeOSError(errno);
    committed_ = true;
  }

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  bool committed_ = false;
};

// A file opened for reading, closed with its owner.
class ReadFile {
 public:
  explicit ReadFile(const std::filesystem::path& file)
      : fd_(::open(file.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) throw MakeOSError(errno);
  }
  ~ReadFile() { ::close(fd_); }
  mode_t mode() const {
    struct stat st;
    return ::fstat(fd_, &st) == 0 ? st.st_mode : 0644;
  }
  ReadFile(const ReadFile&) = delete;
  ReadFile& operator=(const ReadFile&) = delete;

  // Hands the file to `sink` in pieces.
  void each(const std::function<void(std::string_view)>& sink) {
    char buffer[1 << 16];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n == 0) return;
      if (n < 0) {
        if (errno == EINTR) continue;
        throw MakeOSError(errno);
      }
      sink(std::string_view(buffer, static_cast<size_t>(n)));
    }
  }

 private:
  int fd_;
};

}  // namespace

void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes) {
  TempFile temp(file);
  temp.write(bytes);
  temp.commit(file);
}

void ReplaceFileWithCopy(const std::filesystem::path& file, const std::filesystem::path& source) {
  ReadFile in(source);
  TempFile temp(file);
  in.each([&](std::string_view piece) { temp.write(piece); });
  temp.commit(file, in.mode());
}

}  // namespace movrano
