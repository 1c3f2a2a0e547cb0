#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "discovery/VaultMigrationPathFinder.h"
#include "platform/Registry.h"
#include "support/platform/TempDir.h"
#include "support/platform/TestPlatform.h"

namespace movrano {
namespace {

using testing::TempDir;
using testing::TestPlatform;

std::string Export(const std::string& body) {
  return "Windows Registry Editor Version 5.00\n\n" + body;
}

std::string ServiceKey(const std::string& service, const std::string& imagePathLine) {
  return "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\services\\" + service + "]\n" +
         imagePathLine + "\n\n";
}

std::string UninstallKey(const std::string& root, const std::string& uninstallLine) {
  return "[" + root + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
         std::string(kTavrinVaultInstallerAppId) + "_is1]\n" + uninstallLine + "\n\n";
}

// The registry of each case, and a "%ProgramFiles%" of its own.
class DiscoveryInstalledFolders : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("ProgramFiles", programFiles.str().c_str(), 1); }
  void TearDown() override { ::unsetenv("ProgramFiles"); }

  void install(const std::string& relativeFolder) {
    programFiles.write(relativeFolder + "/LocalVault.ini", "[General]\n");
  }
  std::string programFolder(const std::string& relative) const {
    return programFiles.str() + "/" + relative;
  }

  TestPlatform platform;
  TempDir programFiles;
};

struct ImagePathCase {
  const char* name;
  const char* imagePathLine;
  const char* folder;
};

void PrintTo(const ImagePathCase& c, std::ostream* os) {
  *os << c.name;
}

class DiscoveryOutpostFolder : public DiscoveryInstalledFolders,
                               public ::testing::WithParamInterface<ImagePathCase> {};

TEST_P(DiscoveryOutpostFolder, IsTheFolderOfTheServiceProgram) {
  platform.setRegistry(Export(ServiceKey("TavrinOutpostVaultService", GetParam().imagePathLine)));
  EXPECT_EQ(TVaultPathFinder::GetInstaledOutpostFolder(), GetParam().folder);
}

INSTANTIATE_TEST_SUITE_P(
    ImagePaths, DiscoveryOutpostFolder,
    ::testing::Values(
        ImagePathCase{"Quoted", R"("ImagePath"="\"/opt/Tavrin Outpost/OutpostService\"")",
                      "/opt/Tavrin Outpost/"},
        ImagePathCase{"Unquoted", R"("ImagePath"="/opt/outpost/bin/OutpostService")",
                      "/opt/outpost/bin/"},
        ImagePathCase{"QuotedWithArguments",
                      R"("ImagePath"="\"/opt/Tavrin Outpost/OutpostService\" -service -port 80")",
                      "/opt/Tavrin Outpost/"},
        // Arguments that hold a delimiter do not move the folder.
        ImagePathCase{
            "QuotedWithPathArguments",
            R"("ImagePath"="\"/opt/outpost/OutpostService\" -config /etc/outpost/x.conf")",
            "/opt/outpost/"},
        ImagePathCase{"DriveLetter", R"("ImagePath"="C:OutpostService.exe")", "C:"},
        ImagePathCase{"NoDelimiter", R"("ImagePath"="OutpostService")", ""},
        ImagePathCase{"QuotedNoDelimiter", R"("ImagePath"="\"OutpostService\" /x")", ""},
        ImagePathCase{"OneQuote", R"("ImagePath"="\"")", ""},
        ImagePathCase{"Expandable", R"("ImagePath"=hex(2):25,00,58,00,25,00,2f,00,61,00,00,00)",
                      "%X%/"},
        ImagePathCase{"NoImagePath", R"("Other"="1")", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiscoveryInstalledFolders, NoServiceKeyMeansNoOutpostFolderEvenWithDefaults) {
  install("Tavrin/Solo Vault");
  install("Tavrin Outpost");
  platform.setRegistry(Export(ServiceKey("TavrinSoloVaultService", R"("ImagePath"="/opt/s/x")")));
  EXPECT_EQ(TVaultPathFinder::GetInstaledOutpostFolder(), "");
}

TEST_F(DiscoveryInstalledFolders, AnImagePathOfAnotherTypeRaisesTheRegistryError) {
  platform.setRegistry(Export(ServiceKey("TavrinOutpostVaultService", R"("ImagePath"=dword:1)")));
  EXPECT_THROW(TVaultPathFinder::GetInstaledOutpostFolder(), ERegistryException);
}

TEST_F(DiscoveryInstalledFolders, SoloServiceFolderWinsOverTheDefaultFolder) {
  install("Tavrin/Solo Vault");
  const std::string soloDefault = programFolder("Tavrin/Solo Vault/Vault/");
  const struct {
    std::string registry;
    std::string folder;
  } cases[] = {
      {Export(ServiceKey("TavrinSoloVaultService", R"("ImagePath"="\"/srv/solo/Solo\"")")),
       "/srv/solo/"},
      {Export(ServiceKey("TavrinSoloVaultService", R"("ImagePath"="Solo.exe")")), soloDefault},
      {Export(""), soloDefault},
  };
  for (const auto& c : cases) {
    platform.setRegistry(c.registry);
    EXPECT_EQ(TVaultPathFinder::GetInstalledSoloFolder(), c.folder) << c.registry;
  }
}

TEST_F(DiscoveryInstalledFolders, NoSoloServiceAndNoDefaultFolderIsEmpty) {
  install("Tavrin/Solo Vault/Vault");  // the configuration one folder too deep
  EXPECT_EQ(TVaultPathFinder::GetInstalledSoloFolder(), "");
  ::unsetenv("ProgramFiles");
  EXPECT_EQ(TVaultPathFinder::GetInstalledSoloFolder(), "");
}

// Where %ProgramFiles% is not defined, as on every Linux machine, the
// default folders lie under /opt; they were once taken relative to the
// current folder, "%ProgramFiles%" and all.
TEST_F(DiscoveryInstalledFolders, WithoutProgramFilesTheDefaultsLieUnderOpt) {
  EXPECT_EQ(ExpandEnvVars(DefaultProgramFolder()), programFiles.str());
  ::unsetenv("ProgramFiles");
  EXPECT_EQ(DefaultProgramFolder(), "/opt");
  TempDir current;
  current.write("%ProgramFiles%/Tavrin/Solo Vault/LocalVault.ini", "[General]\n");
  current.write("%ProgramFiles%/Tavrin/Kelm Apps Server/LocalVault.ini", "[General]\n");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(current.path());
  const std::string solo = TVaultPathFinder::GetInstalledSoloFolder();
  const std::string xvs = TVaultPathFinder::GetInstalledXVSFolder();
  std::filesystem::current_path(before);
  EXPECT_EQ(solo, "");  // nothing is installed under /opt here
  EXPECT_EQ(xvs, "");
}

TEST_F(DiscoveryInstalledFolders, TavrinVaultFolderComesFromTheFirstKeyThatExists) {
  const std::string first = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\Tavrin Vault\\Vault]\n";
  const std::string second =
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavrin\\Kelm Apps Server\\Vault\\Vault]\n";
  const struct {
    std::string registry;
    std::string folder;
  } cases[] = {
      {first + "\"Path\"=\"/opt/tvs/Vault\"\n" + second + "\"Path\"=\"/opt/kas/Vault\"\n",
       "/opt/tvs/Vault/"},
      {first + "\"Path\"=\"/opt/tvs/Vault/\"\n", "/opt/tvs/Vault/"},
      {first + "\"Path\"=\"\"\n" + second + "\"Path\"=\"/opt/kas/Vault\"\n", "/"},
      {first + second + "\"Path\"=\"/opt/kas/Vault\"\n", "/"},
      {second + "\"Path\"=\"/opt/kas/Vault\"\n", "/opt/kas/Vault/"},
      {"[HKEY_CURRENT_USER\\SOFTWARE\\Tavrin\\Tavrin Vault\\Vault]\n\"Path\"=\"/home/x\"\n", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    platform.setRegistry(Export(c.registry));
    EXPECT_EQ(TVaultPathFinder::GetInstalledTavrinVaultFolder(), c.folder) << c.registry;
  }
  platform.setRegistry(Export(first + "\"Path\"=hex:2f,6f,70,74\n"));
  EXPECT_THROW(TVaultPathFinder::GetInstalledTavrinVaultFolder(), ERegistryException);
}

TEST_F(DiscoveryInstalledFolders, EnterpriseFolderIsTheFirstInstalledDefault) {
  EXPECT_EQ(TVaultPathFinder::GetInstalledXVSFolder(), "");
  install("Tavrin/Kelm Apps Server");
  EXPECT_EQ(TVaultPathFinder::GetInstalledXVSFolder(),
            programFolder("Tavrin/Kelm Apps Server/Vault/"));
  install("Tavrin Enterprise Kelm Server");
  EXPECT_EQ(TVaultPathFinder::GetInstalledXVSFolder(),
            programFolder("Tavrin Enterprise Kelm Server/Vault/"));
}

TEST_F(DiscoveryInstalledFolders, UninstallerComesFromLocalMachineThenCurrentUser) {
  const struct {
    std::string registry;
    std::string command;
  } cases[] = {
      {UninstallKey("HKEY_LOCAL_MACHINE", R"("UninstallString"="\"/opt/tvs/unins000\"")"),
       "/opt/tvs/unins000"},
      {UninstallKey("HKEY_CURRENT_USER", R"("UninstallString"="/home/u/tvs/unins000")"),
       "/home/u/tvs/unins000"},
      {UninstallKey("HKEY_LOCAL_MACHINE", R"("UninstallString"="/opt/lm/unins")") +
           UninstallKey("HKEY_CURRENT_USER", R"("UninstallString"="/home/cu/unins")"),
       "/opt/lm/unins"},
      // The machine's key decides even when it holds no command.
      {UninstallKey("HKEY_LOCAL_MACHINE", R"("Other"="1")") +
           UninstallKey("HKEY_CURRENT_USER", R"("UninstallString"="/home/cu/unins")"),
       ""},
      {UninstallKey("HKEY_LOCAL_MACHINE", R"("UninstallString"="\"/opt/tvs/unins000\" /log")"),
       "\"/opt/tvs/unins000\" /log"},
      {UninstallKey("HKEY_LOCAL_MACHINE", R"("UninstallString"="\"")"), ""},
      {UninstallKey("HKEY_LOCAL_MACHINE", R"("UninstallString"="\"\"")"), ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    platform.setRegistry(Export(c.registry));
    EXPECT_EQ(TVaultPathFinder::GetUnInstallerTavrinVault(), c.command) << c.registry;
  }
}

TEST(DiscoveryExpandEnvVars, ExpandsDefinedVariablesOnly) {
  ::setenv("MOVRANO_DISCOVERY_PF", "/opt/pf", 1);
  EXPECT_EQ(ExpandEnvVars("/plain/text"), "/plain/text");
  EXPECT_EQ(ExpandEnvVars("%MOVRANO_DISCOVERY_PF%/Tavrin"), "/opt/pf/Tavrin");
  EXPECT_EQ(ExpandEnvVars("%MOVRANO_NOT_DEFINED%/Tavrin"), "%MOVRANO_NOT_DEFINED%/Tavrin");
}

}  // namespace
}  // namespace movrano
