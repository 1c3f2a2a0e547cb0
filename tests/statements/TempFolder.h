#pragma once
// A fresh temporary folder for one test, removed with everything in it;
// files are written below it as raw bytes.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace movrano::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "movrano-sql-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string folder() const { return path_.string() + "/"; }

  // Writes a file (parents created) and returns its path.
  std::filesystem::path write(std::string_view relative, std::string_view bytes) const {
    const auto file = path_ / relative;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return file;
  }
  std::filesystem::path mkdir(std::string_view relative) const {
    const auto folder = path_ / relative;
    std::filesystem::create_directories(folder);
    return folder;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace movrano::testing
