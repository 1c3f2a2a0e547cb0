// The installed-folder lookups of TVaultPathFinder: registry keys in the
// order tried, then the default program folders.
#include <array>
#include <optional>

#include "discovery/VaultMigrationPathFinder.h"
#include "platform/Environment.h"
#include "platform/Paths.h"
#include "platform/Platform.h"

namespace movrano {

namespace {

constexpr std::string_view kServicesKey = "SYSTEM\\CurrentControlSet\\services\\";
constexpr std::array<std::string_view, 2> kTavrinVaultKeys = {
    "SOFTWARE\\Tavrin\\Tavrin Vault\\Vault", "SOFTWARE\\Tavrin\\Kelm Apps Server\\Vault\\Vault"};
constexpr std::string_view kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Default vault folders below the program folder; one is installed when
// the LocalVault.ini of its parent exists.
constexpr std::array<std::string_view, 2> kXvsDefaults = {"Tavrin Enterprise Kelm Server/Vault/",
                                                          "Tavrin/Kelm Apps Server/Vault/"};
constexpr std::string_view kSoloDefault = "Tavrin/Solo Vault/Vault/";
constexpr std::string_view kInstalledMark = "../LocalVault.ini";

std::optional<RegistryKey> OpenKey(RegistryRoot root, std::string_view path) {
  return CurrentPlatform().registry->openKeyReadOnly(root, path);
}

// The folder of the service's program: the text up to its last "/" or
// ":". A quoted program path is taken between its quotes, so arguments
// behind it never count.
std::string ImagePathFolder(std::string_view imagePath) {
  std::string_view program = imagePath;
  if (program.size() > 1 && program.front() == '"') {
    const size_t close = program.find('"', 1);
    program = program.substr(1, close == std::string_view::npos ? close : close - 1);
  }
  const size_t cut = program.find_last_of("/:");
  return cut == std::string_view::npos ? std::string() : std::string(program.substr(0, cut + 1));
}

std::string ServiceFolder(std::string_view service) {
  const auto key =
      OpenKey(RegistryRoot::LocalMachine, std::string(kServicesKey) + std::string(service));
  return key ? ImagePathFolder(key->readString("ImagePath")) : std::string();
}

std::string InstalledDefault(std::string_view folder) {
  const std::string path = DefaultProgramFolder() + "/" + std::string(folder);
  return FileExists(ExpandEnvVars(path + std::string(kInstalledMark))) ? ExpandEnvVars(path)
                                                                       : std::string();
}

}  // namespace

std::string ExpandEnvVars(std::string_view text) {
  return ExpandEnvironmentStrings(text);
}

std::string DefaultProgramFolder() {
  return EnvironmentVariable(kProgramFilesVariable) ? "%" + std::string(kProgramFilesVariable) + "%"
                                                    : std::string(kProgramFolderOfThisPlatform);
}

std::string TVaultPathFinder::GetInstaledOutpostFolder() {
  return ServiceFolder("TavrinOutpostVaultService");
}

std::string TVaultPathFinder::GetInstalledSoloFolder() {
  const std::string folder = ServiceFolder("TavrinSoloVaultService");
  return folder.empty() ? InstalledDefault(kSoloDefault) : folder;
}

std::string TVaultPathFinder::GetInstalledTavrinVaultFolder() {
  // The first key that exists decides, whatever its value holds.
  for (const auto path : kTavrinVaultKeys) {
    if (const auto key = OpenKey(RegistryRoot::LocalMachine, path)) {
      return IncludeTrailingPathDelimiter(key->readString("Path"));
    }
  }
  return {};
}

std::string TVaultPathFinder::GetInstalledXVSFolder() {
  for (const auto candidate : kXvsDefaults) {
    if (auto folder = InstalledDefault(candidate); !folder.empty()) return folder;
  }
  return {};
}

std::string TVaultPathFinder::GetUnInstallerTavrinVault() {
  const std::string path =
      std::string(kUninstallKey) + std::string(kTavrinVaultInstallerAppId) + "_is1";
  std::string command;
  for (const auto root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
    if (const auto key = OpenKey(root, path)) {
      command = key->readString("UninstallString");
      break;
    }
  }
  if (!command.empty() && command.front() == '"' && command.back() == '"') {
    command = command.size() > 1 ? command.substr(1, command.size() - 2) : std::string();
  }
  return command;
}

}  // namespace movrano
