#pragma once
// Copying a folder tree into another folder, as the file-storage copy of a
// migration needs it.
#include <filesystem>
#include <vector>

#include "platform/Exceptions.h"

namespace movrano {

MOVRANO_DECLARE_EXCEPTION(EDirectoryNotFoundException, Exception);
MOVRANO_DECLARE_EXCEPTION(EInOutError, Exception);

// Copies every entry below `source` (hidden ones included) to the same
// place below `destination`, creating it and its missing parents and
// replacing files of the same name. A file that cannot be copied is
// skipped and the copy goes on; a half-copied file never replaces one that
// was there, nor stays where there was none. Files keep their permissions
// and times, folders their times; the copy is synced to disk before this
// returns. Symbolic links are copied as links; other special files are
// skipped. Raises EDirectoryNotFoundException for a missing source and
// EInOutError when the destination is the source itself or lies inside it,
// and EOSError when the copy cannot be synced.
// Returns the source paths of the entries that were skipped, in the order
// met, so a caller that needs a complete copy can refuse an incomplete one.
std::vector<std::filesystem::path> CopyDirectory(const std::filesystem::path& source,
                                                 const std::filesystem::path& destination);

}  // namespace movrano
