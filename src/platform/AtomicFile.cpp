#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/Exceptions.h"
#include "platform/FileDescriptor.h"
#include "platform/TempName.h"

namespace movrano {

namespace {

namespace fs = std::filesystem;

fs::path FolderOf(const fs::path& file) {
  return file.parent_path().empty() ? fs::path(".") : file.parent_path();
}

// A temporary file in the target's folder (see TempName.h), removed
// unless it took the target's place.
class TempFile {
 public:
  TempFile(const fs::path& target, mode_t mode) {
    const fs::path folder = FolderOf(target);
    const std::string name = CreateUnderTempName([&](const std::string& candidate) {
      fd_ = FileDescriptor(
          ::open((folder / candidate).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
      return fd_.valid();
    });
    if (name.empty()) throw MakeOSError(errno);
    path_ = folder / name;
  }
  ~TempFile() {
    fd_.reset();
    if (!committed_) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  int fd() const { return fd_.get(); }
  void close() { fd_.close(); }

  void commit(const fs::path& target) {
    if (::rename(path_.c_str(), target.c_str()) != 0) throw MakeOSError(errno);
    committed_ = true;
  }

 private:
  fs::path path_;
  FileDescriptor fd_;
  bool committed_ = false;
};

// The mode a new file gets: 0666 less the process's umask, which only
// /proc tells without changing it.
mode_t NewFileMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) != 0) continue;
    char* end = nullptr;
    const unsigned long mask = std::strtoul(line.c_str() + 6, &end, 8);
    if (end != line.c_str() + 6) return 0666 & ~static_cast<mode_t>(mask);
  }
  return 0644;
}

// The bytes in a temporary file of mode 0600, which gets `mode` once
// written and then takes the file's place.
void ReplaceWith(const fs::path& file, std::string_view bytes, mode_t mode) {
  TempFile temp(file, 0600);
  // Exactly 0600 whatever the umask, before the first byte.
  if (::fchmod(temp.fd(), 0600) != 0) throw MakeOSError(errno);
  WriteAll(temp.fd(), bytes);
  if (mode != 0600 && ::fchmod(temp.fd(), mode) != 0) throw MakeOSError(errno);
  if (::fsync(temp.fd()) != 0) throw MakeOSError(errno);
  temp.close();
  temp.commit(file);
}

}  // namespace

void ReplaceFileContents(const fs::path& file, std::string_view bytes) {
  // What the name itself holds: a link's target keeps its own mode.
  struct stat old;
  const bool regular = ::lstat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  ReplaceWith(file, bytes, regular ? old.st_mode & 07777 : NewFileMode());
}

void ReplacePrivateFileContents(const fs::path& file, std::string_view bytes) {
  ReplaceWith(file, bytes, 0600);
}

void SyncFileSystem(const fs::path& path) {
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0 || ::syncfs(fd.get()) != 0) throw MakeOSError(errno);
}

}  // namespace movrano
