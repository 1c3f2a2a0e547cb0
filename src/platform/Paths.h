#pragma once
// Path texts as the program handles them: "/" is the delimiter, folders
// that the program keeps carry a trailing one, and ".." in a configured
// path is resolved by text, as the vault products' own platform does.
#include <filesystem>
#include <string>
#include <string_view>

namespace movrano {

inline constexpr char kPathDelimiter = '/';

// The folder text with one "/" at its end; the empty text becomes "/".
std::string IncludeTrailingPathDelimiter(std::string_view folder);

// The path resolved against the base folder: a path that begins with "/",
// or with a drive letter and a colon, is kept; any other is appended to
// the base with a "/" between them. Nothing else is normalised.
std::string MakeAbsolutePath(std::string_view path, std::string_view baseFolder);

// A regular file (or a folder) exists at the path, with "." and ".."
// resolved by text first. Never throws.
bool FileExists(std::string_view path);
bool DirectoryExists(std::string_view path);

// The running program's own file and the folder that holds it.
std::filesystem::path ExecutableFileName();
std::filesystem::path ExecutableFolder();

}  // namespace movrano
