#pragma once
// A fresh temporary folder for one test, removed with everything in it.
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace movrano::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path as text, with or without a trailing "/".
  std::string str() const { return path_.string(); }
  std::string folder() const { return path_.string() + "/"; }

  // Writes a file below the folder (parents created) and returns its path.
  std::filesystem::path write(std::string_view relative, std::string_view contents) const;
  std::filesystem::path mkdir(std::string_view relative) const;
  // A FIFO that nothing writes to, where a file is looked for.
  std::filesystem::path fifo(std::string_view relative) const;

 private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& file);

// Whether `call` ends (returns, or raises what it raises) within the limit
// while nothing writes to the FIFO. A call still waiting then is set free
// by writers that come and go, and the answer is false.
bool EndsBesideAnIdleFifo(const std::filesystem::path& fifo, const std::function<void()>& call,
                          std::chrono::seconds limit = std::chrono::seconds(5));

}  // namespace movrano::testing
