#pragma once
// A sample vault of one edition for a test: a temporary folder tree laid
// out as the edition's installer does it (VaultLayout.h), with the real
// Firebird database made from this folder's schema and row scripts (a
// copy of one built once per test program, FinishedDatabases.h), the file
// store, and the configuration file the program reads. Everything is
// removed with the object.
#include <filesystem>
#include <memory>
#include <string>

#include "db/Connection.h"
#include "support/vaults/VaultDatabase.h"
#include "support/vaults/VaultEdition.h"
#include "support/vaults/VaultLayout.h"

namespace movrano::testing {

class SampleVault {
 public:
  explicit SampleVault(VaultEdition edition, VaultOptions options = {});
  ~SampleVault();
  SampleVault(const SampleVault&) = delete;
  SampleVault& operator=(const SampleVault&) = delete;

  VaultEdition edition() const { return edition_; }
  // The folder the program is given, with a trailing "/".
  std::string vaultFolder() const;
  std::string databaseFile() const;
  // The file store's root, with a trailing "/".
  std::string fileStorageFolder() const;
  // LocalVault.ini (server vault, Solo Vault) or Config.ini (Outpost).
  std::string configFile() const;
  const VaultLayout& layout() const { return layout_; }

  std::unique_ptr<db::Connection> connect() const;

 private:
  // A folder below FirebirdTempFolder(), where the server can reach files.
  class RootFolder {
   public:
    RootFolder();
    ~RootFolder();
    RootFolder(const RootFolder&) = delete;
    RootFolder& operator=(const RootFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

   private:
    std::filesystem::path path_;
  };

  VaultEdition edition_;
  RootFolder root_;  // declared before the database, so it outlives it
  VaultLayout layout_;
  std::unique_ptr<VaultDatabase> database_;
};

}  // namespace movrano::testing
