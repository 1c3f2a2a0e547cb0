#pragma once
// An exclusive advisory lock on a folder, taken on the folder itself, so
// that nothing is created or written for it. The lock belongs to the
// folder's opening held by the object: a second lock of the same folder is
// refused within one process too, whatever path names the folder, and a
// process that ends, killed or not, lets go of it. Programs the process
// starts do not inherit it.
#include <optional>
#include <string>

#include "platform/FileDescriptor.h"

namespace movrano {

class FolderLock {
 public:
  // The folder's lock, or nothing when another holder has it now. Raises
  // EOSError when the folder cannot be opened or locked.
  static std::optional<FolderLock> TryTake(const std::string& folder);

 private:
  explicit FolderLock(FileDescriptor folder) : folder_(std::move(folder)) {}
  FileDescriptor folder_;
};

}  // namespace movrano
