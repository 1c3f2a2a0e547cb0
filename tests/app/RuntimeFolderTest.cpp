// The program's own runtime folder when the session gives it none: private
// from its creation, named in the environment, gone at the end without
// following anything planted in it; a folder the session names is kept.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "app/RuntimeFolder.h"
#include "support/platform/TempDir.h"

namespace movrano::testing {
namespace {

// One environment variable for one test: set to a value, or unset.
class EnvVar {
 public:
  EnvVar(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~EnvVar() {
    if (previous_) {
      ::setenv(name_, previous_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  EnvVar(const EnvVar&) = delete;
  EnvVar& operator=(const EnvVar&) = delete;

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

std::optional<std::string> Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

class RuntimeFolder : public ::testing::TestWithParam<std::optional<std::string>> {
 protected:
  TempDir tmp_;
  EnvVar tmpdir_{"TMPDIR", tmp_.str()};
};

TEST_P(RuntimeFolder, WithoutOneFromTheSessionAPrivateFolderIsMadeAndRemoved) {
  const EnvVar runtime("XDG_RUNTIME_DIR", GetParam());
  const TempDir outside;
  const auto kept = outside.write("kept/file", "not the program's");
  std::filesystem::path made;
  {
    const PrivateRuntimeFolder folder;
    made = folder.path();
    ASSERT_FALSE(made.empty());
    EXPECT_EQ(made.parent_path(), tmp_.path());
    EXPECT_EQ(Env("XDG_RUNTIME_DIR"), made.string());
    struct stat st {};
    ASSERT_EQ(::lstat(made.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    // What Qt and its plugins leave there, and a link out of it.
    std::ofstream(made / "socket-like") << "x";
    std::filesystem::create_directory_symlink(kept.parent_path(), made / "link");
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(made)));
  EXPECT_EQ(Env("XDG_RUNTIME_DIR"), GetParam());
  EXPECT_EQ(ReadFileBytes(kept), "not the program's");
}

// Unset, and set but empty as `VAR= program` leaves it.
INSTANTIATE_TEST_SUITE_P(Session, RuntimeFolder,
                         ::testing::Values(std::nullopt, std::optional<std::string>("")));

TEST(RuntimeFolderOfTheSession, IsKeptAndNothingIsMade) {
  const TempDir session;
  const TempDir tmp;
  const EnvVar tmpdir("TMPDIR", tmp.str());
  const EnvVar runtime("XDG_RUNTIME_DIR", session.str());
  {
    const PrivateRuntimeFolder folder;
    EXPECT_TRUE(folder.path().empty());
    EXPECT_EQ(Env("XDG_RUNTIME_DIR"), session.str());
  }
  EXPECT_EQ(Env("XDG_RUNTIME_DIR"), session.str());
  EXPECT_TRUE(std::filesystem::is_directory(session.path()));
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

TEST(RuntimeFolderOfTheSession, ThatCannotBeMadeLeavesTheEnvironmentAsItWas) {
  const TempDir tmp;
  const EnvVar tmpdir("TMPDIR", (tmp.path() / "missing").string());
  const EnvVar runtime("XDG_RUNTIME_DIR", std::nullopt);
  const PrivateRuntimeFolder folder;
  EXPECT_TRUE(folder.path().empty());
  EXPECT_EQ(Env("XDG_RUNTIME_DIR"), std::nullopt);
}

}  // namespace
}  // namespace movrano::testing
