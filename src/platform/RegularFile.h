#pragma once
// Reading a whole file that the program looks for by name (the settings
// file, the registry export, statement files) without ever blocking on a
// name that holds something else: a FIFO, a device or a folder there is
// not read as a file.
#include <filesystem>
#include <optional>
#include <string>

namespace movrano {

// The file's bytes; nullopt when nothing, or no regular file, is at the
// path (a link is followed). Raises EOSError when a regular file cannot be
// opened or read.
std::optional<std::string> ReadRegularFile(const std::filesystem::path& file);

}  // namespace movrano
