#include <gtest/gtest.h>
#include <stdlib.h>

#include <regex>
#include <set>

#include "platform/Environment.h"
#include "platform/Guid.h"
#include "platform/Paths.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

using testing::TempDir;

TEST(PlatformPaths, MakeAbsolutePathKeepsRootedPathsAndAppendsOthers) {
  const struct {
    const char* path;
    const char* base;
    const char* expected;
  } cases[] = {
      {"/data/vault.fdb", "/srv/Vault", "/data/vault.fdb"},
      {"D:\\Data\\vault.fdb", "/srv/Vault", "D:\\Data\\vault.fdb"},
      {"Data/vault.fdb", "/srv/Vault", "/srv/Vault/Data/vault.fdb"},
      {"Data/vault.fdb", "/srv/Vault/", "/srv/Vault/Data/vault.fdb"},
      {"../Storage", "/srv/Vault/", "/srv/Vault/../Storage"},
      {"C:", "/srv/Vault", "/srv/Vault/C:"},
      {"", "/srv/Vault", "/srv/Vault/"},
      {"x", "", "/x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MakeAbsolutePath(c.path, c.base), c.expected) << c.path << " on " << c.base;
  }
}

TEST(PlatformPaths, IncludeTrailingPathDelimiter) {
  EXPECT_EQ(IncludeTrailingPathDelimiter("/srv/files"), "/srv/files/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/srv/files/"), "/srv/files/");
  EXPECT_EQ(IncludeTrailingPathDelimiter(""), "/");
}

TEST(PlatformPaths, ExistenceTestsResolveDotDotByText) {
  TempDir dir;
  dir.write("Server/LocalVault.ini", "");
  // "Vault" does not exist, yet the file one folder above it does.
  EXPECT_TRUE(FileExists(dir.str() + "/Server/Vault/../LocalVault.ini"));
  EXPECT_TRUE(DirectoryExists(dir.str() + "/Server/Vault/.."));
  EXPECT_FALSE(FileExists(dir.str() + "/Server/Vault../LocalVault.ini"));
  EXPECT_FALSE(FileExists(dir.str() + "/Server"));
  EXPECT_FALSE(DirectoryExists(dir.str() + "/Server/LocalVault.ini"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_FALSE(DirectoryExists(""));
}

TEST(PlatformPaths, TheExecutableIsThisTest) {
  EXPECT_TRUE(FileExists(ExecutableFileName().string()));
  EXPECT_EQ(ExecutableFolder(), ExecutableFileName().parent_path());
}

TEST(PlatformGuid, NewGuidsAreBracedUpperCaseAndDistinct) {
  const std::regex form(
      "\\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\\}");
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    const std::string guid = NewGUIDString();
    EXPECT_EQ(guid.size(), 38u);
    EXPECT_TRUE(std::regex_match(guid, form)) << guid;
    seen.insert(guid);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST(PlatformEnvironment, ExpandsDefinedReferencesAndKeepsTheRest) {
  ::setenv("MOVRANO_PF", "/opt/programs", 1);
  ::setenv("MOVRANO_EMPTY", "", 1);
  ::unsetenv("MOVRANO_UNDEFINED");
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"no references", "no references"},
      {"%MOVRANO_PF%/Tavrin/Solo Vault/Vault/", "/opt/programs/Tavrin/Solo Vault/Vault/"},
      {"%movrano_pf%/x", "/opt/programs/x"},
      {"%MOVRANO_UNDEFINED%/x", "%MOVRANO_UNDEFINED%/x"},
      {"%MOVRANO_UNDEFINED%%MOVRANO_PF%", "%MOVRANO_UNDEFINED%/opt/programs"},
      {"[%MOVRANO_EMPTY%]", "[]"},
      {"100% sure", "100% sure"},
      {"%%", "%%"},
      {"a %MOVRANO_PF", "a %MOVRANO_PF"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExpandEnvironmentStrings(c.text), c.expected) << c.text;
}

}  // namespace
}  // namespace movrano
