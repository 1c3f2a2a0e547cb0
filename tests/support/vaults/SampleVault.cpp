#include "support/vaults/SampleVault.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "support/db/FirebirdFixture.h"
#include "support/platform/TempDir.h"
#include "support/vaults/FinishedDatabases.h"
#include "support/vaults/VaultRecipe.h"

namespace movrano::testing {

namespace fs = std::filesystem;

namespace {

void WriteText(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) throw std::runtime_error("Could not write " + file.string());
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text)
    out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}

std::string WithSlash(const fs::path& folder) {
  return folder.string() + "/";
}

// Makes the folders from `root` down to `folder` (which the server writes)
// reachable for the server's user whatever the process's umask.
void OpenToServer(const fs::path& root, const fs::path& folder) {
  fs::create_directories(folder);
  fs::path at = root;
  for (const auto& part : folder.lexically_relative(root)) {
    at /= part;
    fs::permissions(at, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  }
  fs::permissions(folder, fs::perms::all);
}

// The long-named files, an empty folder, and times in the past (to the
// nanosecond) on all of them, folders last.
void AddEdgeFiles(const fs::path& store) {
  const fs::file_time_type past = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400) +
                                  std::chrono::nanoseconds(123456789);
  fs::create_directories(store / "Documents/Empty");
  for (const auto& name : EdgeFileNames()) {
    WriteText(store / name, "Edge file " + name.substr(name.size() - 8));
    fs::last_write_time(store / name, past);
  }
  for (const char* folder : {"Documents/Empty", "Documents/Archive/2019", "Documents/Archive"}) {
    fs::last_write_time(store / folder, past - std::chrono::hours(1));
  }
}

}  // namespace

SampleVault::RootFolder::RootFolder() {
  std::string pattern = FirebirdTempFolder() + "/vault-XXXXXX";
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("Could not make a vault folder");
  path_ = pattern;
  fs::permissions(path_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
}

SampleVault::RootFolder::~RootFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

SampleVault::SampleVault(VaultEdition edition, VaultOptions options)
    : edition_(edition), layout_(LayoutFor(edition, root_.path())) {
  const VaultRecipe recipe = RecipeFor(edition, options);

  fs::create_directories(layout_.vaultFolder);
  OpenToServer(root_.path(), layout_.databaseFile.parent_path());
  database_ =
      MakeVaultDatabase(layout_.databaseFile.string(), recipe.schemaScripts, recipe.rowScripts);
  for (const auto& script : recipe.shapeScripts)
    database_->run(ReadFileBytes(VaultDataFolder() / script), true);
  if (!options.vaultVersion.empty()) {
    database_->run("UPDATE TBL_VERSION SET VERSIONVALUE = " + Quoted(options.vaultVersion) +
                       " WHERE VERSIONKEY = 'VaultVersion';",
                   true);
  }

  fs::create_directories(layout_.fileStorage);
  if (!recipe.fileStore.empty()) {
    fs::copy(VaultDataFolder() / recipe.fileStore, layout_.fileStorage,
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  if (options.edges) AddEdgeFiles(layout_.fileStorage);
  WriteText(layout_.configFile, ConfigText(edition, layout_));
}

SampleVault::~SampleVault() = default;

std::string SampleVault::vaultFolder() const {
  return WithSlash(layout_.vaultFolder);
}
std::string SampleVault::databaseFile() const {
  return layout_.databaseFile.string();
}
std::string SampleVault::fileStorageFolder() const {
  return WithSlash(layout_.fileStorage);
}
std::string SampleVault::configFile() const {
  return layout_.configFile.string();
}

std::unique_ptr<db::Connection> SampleVault::connect() const {
  return database_->connect();
}

}  // namespace movrano::testing
