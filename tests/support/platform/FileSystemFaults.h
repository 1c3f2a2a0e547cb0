#pragma once
// File systems that fail a copy as users meet it: a full disk, a read-only
// mount, an immutable file, a limit on the size of files the process may
// write. Each undoes itself; the ones that need root give nothing where
// the process may not make them, so a test can skip.
#include <sys/resource.h>

#include <filesystem>
#include <optional>
#include <string>

namespace movrano::testing {

// A file system mounted for the object's lifetime.
class ScopedMount {
 public:
  // An empty tmpfs of `bytes` at `folder` (made if missing).
  static std::optional<ScopedMount> Tmpfs(const std::filesystem::path& folder, size_t bytes);
  // `folder` itself, again at the same place, read-only.
  static std::optional<ScopedMount> ReadOnly(const std::filesystem::path& folder);

  ScopedMount(ScopedMount&& other) noexcept;
  ScopedMount& operator=(ScopedMount&&) = delete;
  ~ScopedMount();

 private:
  explicit ScopedMount(std::filesystem::path at) : at_(std::move(at)) {}
  std::filesystem::path at_;
};

// A file that cannot be changed, renamed or replaced ("chattr +i").
class ScopedImmutable {
 public:
  static std::optional<ScopedImmutable> Make(const std::filesystem::path& file);

  ScopedImmutable(ScopedImmutable&& other) noexcept;
  ScopedImmutable& operator=(ScopedImmutable&&) = delete;
  ~ScopedImmutable();

 private:
  explicit ScopedImmutable(std::filesystem::path file) : file_(std::move(file)) {}
  std::filesystem::path file_;
};

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
