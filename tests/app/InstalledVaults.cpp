#include "app/InstalledVaults.h"

#include <stdlib.h>

#include "discovery/VaultMigrationPathFinder.h"

namespace movrano::testing {

namespace {

// An installation folder with LocalVault.ini beside its "Vault" folder;
// the version lines go into [General] or [Products] as the edition keeps it.
InstalledVault Installation(const TempDir& root, const std::string& install,
                            const std::string& generalLines, const std::string& productLines,
                            const std::string& version) {
  const std::string base = root.folder() + install;
  root.mkdir(install + "/Vault");
  root.mkdir(install + "/Revisions");
  root.write(install + "/Database/VAULT.FDB", "");
  root.write(install + "/LocalVault.ini", "[General]\nDataSourceType=Firebird\n" + generalLines +
                                              "\n[DataSource]\n" + "DatabaseFile=" + base +
                                              "/Database/VAULT.FDB\n\n[Vault]\n" +
                                              "FileStorageType=FileSystem\nRootFolder=" + base +
                                              "/Revisions\n\n[Products]\n" + productLines);
  return {base + "/Vault/", base + "/Database/VAULT.FDB", base + "/Revisions/", version};
}

}  // namespace

std::string RegistryExport(const std::string& body) {
  return "Windows Registry Editor Version 5.00\n\n" + body;
}

std::string ServiceKey(const std::string& service, const std::string& program) {
  return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\" + service +
         "]\n\"ImagePath\"=\"\\\"" + program + "\\\"\"\n\n";
}

std::string TavrinVaultKey(const std::string& vaultFolder) {
  return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\Tavrin Vault\\Vault]\n\"Path\"=\"" + vaultFolder +
         "\"\n\n";
}

InstalledVaults::InstalledVaults(TestPlatform& platform) {
  const std::string outpostBase = root_.folder() + "Outpost/";
  root_.write("Outpost/_TavrinVaultResources/Private/Config.ini",
              "[DataSource]\nDataSourceType=Firebird\nDatabaseFile=Data/OUTPOST.FDB\n\n"
              "[FileStorage]\nFileStorageType=FileSystem\nRootFolder=Store\n");
  root_.write("Outpost/Data/OUTPOST.FDB", "");
  root_.mkdir("Outpost/Store");
  outpost = {outpostBase, outpostBase + "Data/OUTPOST.FDB", outpostBase + "Store/", ""};

  solo = Installation(root_, "Solo", "KelmServerVer=SVS-1.5\n", "", "SVS-1.5");
  server = Installation(root_, "Server", "", "Tavrin Vault Server=TVS-2.0\n", "TVS-2.0");
  enterprise = Installation(root_, "Programs/Tavrin Enterprise Kelm Server", "",
                            "Tavrin Vault=XVS-3.0\n", "XVS-3.0");

  ::setenv("ProgramFiles", (root_.folder() + "Programs").c_str(), 1);
  platform.setRegistry(RegistryExport(
      ServiceKey("TavrinOutpostVaultService", outpost.folder + "OutpostService") +
      ServiceKey("TavrinSoloVaultService", solo.folder + "SoloService") +
      TavrinVaultKey(server.folder) +
      "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
      std::string(kTavrinVaultInstallerAppId) + "_is1]\n\"UninstallString\"=\"" + kUninstaller +
      "\"\n"));
}

InstalledVaults::~InstalledVaults() {
  ::unsetenv("ProgramFiles");
}

std::string InstalledVaults::unconfiguredFolder() const {
  return root_.mkdir("Unconfigured").string() + "/";
}

}  // namespace movrano::testing
