#pragma once
// The per-user runtime folder that Qt expects in XDG_RUNTIME_DIR. A program
// started without a login session (sudo, su, a service, a bare console)
// has none, and Qt then warns at every start and falls back to a folder of
// a predictable name in /tmp. This gives the run a private folder of its
// own instead.
#include <filesystem>

namespace movrano {

class PrivateRuntimeFolder {
 public:
  // When XDG_RUNTIME_DIR is unset or empty: makes a new folder only the
  // process's user can enter (in TMPDIR, else /tmp) and names it there.
  // A folder that cannot be made leaves the environment as it was. Call
  // before any other thread starts: it changes the environment.
  PrivateRuntimeFolder();
  // Removes the folder made, with what was left in it (links are removed,
  // never followed), and puts the variable back as it was.
  ~PrivateRuntimeFolder();
  PrivateRuntimeFolder(const PrivateRuntimeFolder&) = delete;
  PrivateRuntimeFolder& operator=(const PrivateRuntimeFolder&) = delete;

  // The folder made; empty when the environment named one already, or
  // none could be made.
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  bool wasEmpty_ = false;  // set, but to the empty text
};

}  // namespace movrano
