#include "platform/Paths.h"

#include <system_error>

namespace movrano {

std::string IncludeTrailingPathDelimiter(std::string_view folder) {
  std::string result(folder);
  if (result.empty() || result.back() != kPathDelimiter) result += kPathDelimiter;
  return result;
}

std::string MakeAbsolutePath(std::string_view path, std::string_view baseFolder) {
  const bool rooted = !path.empty() && path.front() == kPathDelimiter;
  const bool driveLetter = path.size() >= 3 && path[1] == ':';
  if (rooted || driveLetter) return std::string(path);
  return IncludeTrailingPathDelimiter(baseFolder) + std::string(path);
}

namespace {
std::filesystem::path Resolved(std::string_view path) {
  return std::filesystem::path(path).lexically_normal();
}
}  // namespace

bool FileExists(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_regular_file(Resolved(path), ec);
}

bool DirectoryExists(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  return std::filesystem::is_directory(Resolved(path), ec);
}

std::filesystem::path ExecutableFileName() {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self;
}

std::filesystem::path ExecutableFolder() {
  return ExecutableFileName().parent_path();
}

}  // namespace movrano
