#pragma once
// Vaults of every edition "installed" below a temporary folder the way
// vault discovery finds them: the registry keys of the Outpost and Solo
// Vault services, the server vault's installation key and uninstaller, and
// an enterprise vault in the default program folder, each with its
// configuration file, an (empty) database file, a storage folder and a
// version of its own. No database is real.
#include <string>

#include "support/platform/TempDir.h"
#include "support/platform/TestPlatform.h"

namespace movrano::testing {

struct InstalledVault {
  std::string folder;        // as discovery gives it, with a trailing "/"
  std::string databaseFile;  // as the configuration reader gives it
  std::string storage;       // with a trailing "/"
  std::string version;       // empty for the Outpost vault, which has none
};

class InstalledVaults {
 public:
  // Fills the platform's registry and points %ProgramFiles% at the root.
  explicit InstalledVaults(TestPlatform& platform);
  ~InstalledVaults();
  InstalledVaults(const InstalledVaults&) = delete;
  InstalledVaults& operator=(const InstalledVaults&) = delete;

  static constexpr const char* kUninstaller = "/opt/Tavrin Vault/unins000";

  // A folder that exists but has no configuration file of any edition.
  std::string unconfiguredFolder() const;

  InstalledVault outpost;
  InstalledVault solo;
  InstalledVault server;
  InstalledVault enterprise;

 private:
  TempDir root_;
};

// A ".reg" export with the given keys' text.
std::string RegistryExport(const std::string& body);
std::string ServiceKey(const std::string& service, const std::string& program);
std::string TavrinVaultKey(const std::string& vaultFolder);

}  // namespace movrano::testing
