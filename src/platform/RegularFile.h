#pragma once
// Opening and reading a whole file that the program looks for by name
// (the settings file, the registry export, statement files, a database
// file to back up) without ever blocking on a name that holds something
// else: a FIFO, a device or a folder there is not read as a file.
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/FileDescriptor.h"

namespace movrano {

// The file at the path opened for reading without waiting, whatever is
// there (opening a FIFO waits for a writer otherwise), and what it is in
// `st`. An invalid descriptor, errno set, where it cannot be opened.
FileDescriptor OpenWithoutWaiting(const std::filesystem::path& file, struct stat& st);

// The file's bytes; nullopt when nothing, or no regular file, is at the
// path (a link is followed). Raises EOSError when a regular file cannot be
// opened or read.
// A file of more than `limit` bytes raises EOSError EFBIG, after reading
// no more than that (it may grow while it is read).
std::optional<std::string> ReadRegularFile(const std::filesystem::path& file,
                                           size_t limit = SIZE_MAX);

}  // namespace movrano
