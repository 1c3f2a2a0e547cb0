#pragma once
// Whole-file writes that never let a half-written file take the place of
// a good one: new bytes for an existing file go to a short-named temporary
// file beside it, which then replaces it.
#include <filesystem>
#include <string_view>

namespace movrano {

// Replaces (or creates) the file with the bytes, synced to disk; an
// existing regular file keeps its permissions, anything else at the name
// (a link above all, which is replaced, never followed) is replaced by a
// file of the mode new files get. Raises EOSError when the file cannot be
// written; the old contents then stay as they were.
void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes);

// The same for a file that holds secrets: it is readable and writable by
// its owner alone (0600), from the creation of the temporary file, before
// any byte is written, whatever was at the name.
void ReplacePrivateFileContents(const std::filesystem::path& file, std::string_view bytes);

// Writes everything cached for the file system that holds `path` to disk.
// Raises EOSError.
void SyncFileSystem(const std::filesystem::path& path);

}  // namespace movrano
