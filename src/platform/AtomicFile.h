#pragma once
// Whole-file writes that never leave a half-written file behind: the bytes
// go to a temporary file beside the target, which then replaces it.
#include <filesystem>
#include <string_view>

namespace movrano {

// Replaces (or creates) the file with the bytes; an existing file keeps its
// permissions. Raises EOSError when the file cannot be written; the old
// contents then stay as they were.
void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes);

// The same for a copy of another file's contents and permissions.
void ReplaceFileWithCopy(const std::filesystem::path& file, const std::filesystem::path& source);

}  // namespace movrano
