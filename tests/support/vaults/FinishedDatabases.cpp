#include "support/vaults/FinishedDatabases.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "DatabaseBuilder.h"
#include "platform/FileDescriptor.h"
#include "support/db/FirebirdFixture.h"
#include "support/platform/TempDir.h"
#include "support/platform/Waits.h"
#include "support/vaults/VaultRecipe.h"

namespace movrano::testing {

namespace fs = std::filesystem;

namespace {

void RunScripts(const VaultDatabase& database, const std::vector<std::string>& schemaScripts,
                const std::vector<std::string>& rowScripts) {
  for (const auto& script : schemaScripts)
    database.run(ReadFileBytes(VaultDataFolder() / script), false);
  for (const auto& script : rowScripts)
    database.run(ReadFileBytes(VaultDataFolder() / script), true);
}

std::string Hex(uint64_t n) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(n));
  return text;
}

// FNV-1a: the same name in every process and every run.
class Fingerprint {
 public:
  Fingerprint& add(std::string_view bytes) {
    for (const char c : bytes)
      hash_ = (hash_ ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
    hash_ = (hash_ ^ 0xFF) * 0x100000001B3ull;  // ends each part
    return *this;
  }
  std::string hex() const { return Hex(hash_); }

 private:
  uint64_t hash_ = 0xCBF29CE484222325ull;
};

// The finished databases of the code that builds them now; those of
// earlier code go.
fs::path Shelf() {
  static const fs::path shelf = [] {
    const fs::path root = MOVRANO_FINISHED_DATABASES_DIR;
    const std::string builder = MOVRANO_DATABASE_BUILDER;
    fs::create_directories(root);
    for (const auto& entry : fs::directory_iterator(root)) {
      if (entry.path().filename() == builder) continue;
      std::error_code ec;
      fs::remove_all(entry.path(), ec);
    }
    fs::create_directories(root / builder);
    return root / builder;
  }();
  return shelf;
}

// Held by one test process at a time.
class ShelfLock {
 public:
  explicit ShelfLock(const fs::path& file)
      : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) {
    if (!fd_.valid()) throw std::system_error(errno, std::generic_category(), file.string());
    WaitUntil([&] { return ::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0; },
              "another test process to finish building " + file.string(), std::chrono::seconds(150),
              std::chrono::milliseconds(50));
  }

 private:
  FileDescriptor fd_;  // the lock goes with it
};

// The finished database of these scripts, built when it is not yet.
fs::path Finished(const std::vector<std::string>& schemaScripts,
                  const std::vector<std::string>& rowScripts) {
  Fingerprint key;
  for (const auto* scripts : {&schemaScripts, &rowScripts}) {
    for (const auto& script : *scripts)
      key.add(script).add(ReadFileBytes(VaultDataFolder() / script));
    key.add("");
  }
  const fs::path finished = Shelf() / (key.hex() + ".fdb");
  if (fs::exists(finished)) return finished;
  const ShelfLock lock(Shelf() / (key.hex() + ".lock"));
  if (fs::exists(finished)) return finished;  // built meanwhile
  {
    const VaultDatabase built(FirebirdTempFolder() + "/finished-" + key.hex() + ".fdb");
    RunScripts(built, schemaScripts, rowScripts);
    WaitUntilClosed(built.path());
    // Whole or not at all for the other processes.
    const fs::path part = finished.string() + "." + std::to_string(::getpid());
    std::error_code ec;
    fs::remove(part, ec);
    CopyDatabaseFile(built.path(), part);
    fs::rename(part, finished);
  }
  return finished;
}

}  // namespace

std::unique_ptr<VaultDatabase> MakeVaultDatabase(const std::string& path,
                                                 const std::vector<std::string>& schemaScripts,
                                                 const std::vector<std::string>& rowScripts) {
  if (!CanCopyDatabaseFiles()) {
    auto database = std::make_unique<VaultDatabase>(path);
    RunScripts(*database, schemaScripts, rowScripts);
    return database;
  }
  return std::make_unique<VaultDatabase>(
      path, VaultDatabase::CopyOf{Finished(schemaScripts, rowScripts).string()});
}

}  // namespace movrano::testing
