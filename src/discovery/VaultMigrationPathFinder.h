#pragma once
// Vault discovery: where each vault edition is installed on this machine
// (the registry and the default program folders) and what a vault's
// configuration file says about its database, file storage and version.
// Lookups never fail for a missing key, value, folder or file; they answer
// the empty text. Readers raise EMovrano with a finished message instead.
#include <string>
#include <string_view>

namespace movrano {

// The server vault installer's application identifier; the installer's
// uninstall key is named after it.
inline constexpr std::string_view kTavrinVaultInstallerAppId =
    "{6F3A9C2E-4B7D-4E81-9A0C-5D2E8B1F7A43}";

// "%Name%" references expanded from the environment; undefined ones stay.
std::string ExpandEnvVars(std::string_view text);

// The text the default installation folders begin with, expanded with
// them: "%ProgramFiles%" where the environment defines it, else this
// platform's folder of installed programs, "/opt" (no Linux machine
// defines it, and the folders must not be taken as relative paths).
inline constexpr std::string_view kProgramFilesVariable = "ProgramFiles";
inline constexpr std::string_view kProgramFolderOfThisPlatform = "/opt";
std::string DefaultProgramFolder();

class TVaultPathFinder {
 public:
  TVaultPathFinder() = delete;

  // Folders end with "/"; "not found" is the empty text.
  static std::string GetInstaledOutpostFolder();
  static std::string GetInstalledSoloFolder();
  static std::string GetInstalledTavrinVaultFolder();
  static std::string GetInstalledXVSFolder();
  // The uninstall command, without enclosing double quotes.
  static std::string GetUnInstallerTavrinVault();

  // Each reader assigns its out values as soon as it has read them, so a
  // failure leaves what it read so far in the caller's variables; the
  // version is assigned only once every check has passed. The storage
  // folder gets a trailing "/". They return true or raise EMovrano.
  static bool GetTVSInfo(const std::string& rootPath, std::string& databaseFile,
                         std::string& fileRepositoryPath, std::string& version, bool soloVault);
  static bool GetTVSInfoOra(const std::string& rootPath, std::string& fileRepositoryPath,
                            std::string& version);
  static bool GetSoloPaths(const std::string& rootPath, std::string& databaseFile,
                           std::string& fileRepositoryPath, std::string& version);
  static bool GetOutpostPaths(const std::string& rootPath, std::string& databaseFile,
                              std::string& fileRepositoryPath);
};

}  // namespace movrano
