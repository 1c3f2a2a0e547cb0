#pragma once
// File systems that fail a copy as users meet it: a full disk, a read-only
// mount, an immutable file, a limit on the size of files the process may
// write. Each undoes itself; the ones that need root give nothing where
// the process may not make them, so a test can skip.
#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <utility>

namespace movrano::testing {

// A change a test made to the file system, undone with the object.
class ScopedChange {
 public:
  explicit ScopedChange(std::function<void()> undo) : undo_(std::move(undo)) {}
  ScopedChange(ScopedChange&& other) noexcept : undo_(std::exchange(other.undo_, {})) {}
  ScopedChange& operator=(ScopedChange&&) = delete;
  ~ScopedChange() {
    if (undo_) undo_();
  }

 private:
  std::function<void()> undo_;
};

// An empty tmpfs of `bytes` mounted at `folder` (made if missing).
std::optional<ScopedChange> MountTmpfs(const std::filesystem::path& folder, size_t bytes);
// `folder` itself mounted again at the same place, read-only.
std::optional<ScopedChange> MountReadOnly(const std::filesystem::path& folder);
// A file that cannot be changed, renamed or replaced ("chattr +i").
std::optional<ScopedChange> MakeImmutable(const std::filesystem::path& file);

// Files the process writes stop growing at `bytes`: writes beyond fail
// with EFBIG (SIGXFSZ is ignored meanwhile).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_;
  void (*oldHandler_)(int);
};

}  // namespace movrano::testing
