#include "support/platform/TempDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "support/platform/Waits.h"

namespace movrano::testing {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "movrano-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Folders a test made unreadable are opened up again first.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::write(std::string_view relative, std::string_view contents) const {
  const auto file = path_ / relative;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return file;
}

std::filesystem::path TempDir::mkdir(std::string_view relative) const {
  const auto folder = path_ / relative;
  std::filesystem::create_directories(folder);
  return folder;
}

std::filesystem::path TempDir::fifo(std::string_view relative) const {
  const auto file = path_ / relative;
  std::filesystem::create_directories(file.parent_path());
  if (::mkfifo(file.c_str(), 0600) != 0) throw std::runtime_error("cannot make " + file.string());
  return file;
}

bool EndsBesideAnIdleFifo(const std::filesystem::path& fifo, const std::function<void()>& call,
                          std::chrono::seconds limit) {
  std::future<void> done = std::async(std::launch::async, call);
  if (done.wait_for(limit) == std::future_status::ready) {
    done.get();
    return true;
  }
  // A call may open it again and again.
  const WaitBound bound("a call beside " + fifo.string() + " to end once writers come and go");
  do {
    bound.check();
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
  } while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready);
  try {
    done.get();
  } catch (...) {
  }
  return false;
}

std::string ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace movrano::testing
