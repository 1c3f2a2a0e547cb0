#include "support/vaults/VaultDatabase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "db/firebird/FirebirdDriver.h"
#include "platform/FileDescriptor.h"
#include "support/db/FirebirdFixture.h"
#include "support/platform/Waits.h"

namespace movrano::testing {

namespace fs = std::filesystem;

VaultDatabase::VaultDatabase(std::string path) : path_(std::move(path)) {
  db::CreateFirebirdDatabase(TestConnectionParams(path_));
}

VaultDatabase::VaultDatabase(std::string path, const CopyOf& finished) : path_(std::move(path)) {
  CopyDatabaseFile(finished.file, path_);
}

VaultDatabase::~VaultDatabase() {
  try {
    db::DropFirebirdDatabase(TestConnectionParams(path_));
  } catch (...) {
    std::error_code ec;
    fs::remove(path_, ec);
  }
}

std::unique_ptr<db::Connection> VaultDatabase::connect() const {
  return ConnectTestDatabase(path_);
}

void VaultDatabase::run(const std::string& script, bool oneTransaction) const {
  auto c = connect();
  if (!oneTransaction) {
    ExecScript(*c, script);
    return;
  }
  c->startTransaction();
  ExecScript(*c, script);
  c->commit();
}

bool CanCopyDatabaseFiles() {
  return ::geteuid() == 0;
}

namespace {

// Whether any process has the file open, as far as /proc shows (all of it
// to root).
bool HeldOpen(const fs::path& file) {
  std::error_code ec;
  for (const auto& process : fs::directory_iterator("/proc", ec)) {
    std::error_code fdError;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
      std::error_code linkError;
      if (fs::read_symlink(fd.path(), linkError) == file) return true;
    }
  }
  return false;
}

[[noreturn]] void Fail(const std::string& what, const std::string& file) {
  throw std::system_error(errno, std::generic_category(), what + " " + file);
}

}  // namespace

void WaitUntilClosed(const std::string& file) {
  WaitUntil([&] { return !HeldOpen(file); }, "the server to close " + file,
            std::chrono::seconds(30));
}

void CopyDatabaseFile(const std::string& from, const std::string& to) {
  const FileDescriptor in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (!in.valid() || ::fstat(in.get(), &st) != 0) Fail("Cannot read", from);
  const FileDescriptor out(
      ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!out.valid()) Fail("Cannot make", to);
  try {
    for (off_t left = st.st_size; left > 0;) {
      const ssize_t n =
          ::copy_file_range(in.get(), nullptr, out.get(), nullptr, static_cast<size_t>(left), 0);
      if (n <= 0) Fail("Cannot copy to", to);
      left -= n;
    }
    if (::fchown(out.get(), st.st_uid, st.st_gid) != 0 ||
        ::fchmod(out.get(), st.st_mode & 07777) != 0)
      Fail("Cannot hand to the server", to);
  } catch (...) {
    ::unlink(to.c_str());
    throw;
  }
}

}  // namespace movrano::testing
