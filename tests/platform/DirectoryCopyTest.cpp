#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/DirectoryCopy.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;

class PlatformDirectoryCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("src/a.txt", "new a");
    dir.write("src/.hidden", "hidden");
    dir.write("src/.cache/deep/b.bin", std::string("\0\1\2", 3));
    dir.mkdir("src/empty");
    source = dir.path() / "src";
  }
  TempDir dir;
  fs::path source;
};

TEST_F(PlatformDirectoryCopy, CopiesTheWholeTreeIntoMissingParents) {
  const auto target = dir.path() / "not" / "there" / "yet";
  CopyDirectory(source, target);
  EXPECT_EQ(ReadFileBytes(target / "a.txt"), "new a");
  EXPECT_EQ(ReadFileBytes(target / ".hidden"), "hidden");
  EXPECT_EQ(ReadFileBytes(target / ".cache/deep/b.bin"), std::string("\0\1\2", 3));
  EXPECT_TRUE(fs::is_directory(target / "empty"));
}

TEST_F(PlatformDirectoryCopy, ReplacesSameNamedFilesAndKeepsOthers) {
  dir.write("dst/a.txt", "old a, longer than the new one");
  dir.write("dst/own.txt", "stays");
  CopyDirectory(source, dir.path() / "dst");
  EXPECT_EQ(ReadFileBytes(dir.path() / "dst/a.txt"), "new a");
  EXPECT_EQ(ReadFileBytes(dir.path() / "dst/own.txt"), "stays");
}

TEST_F(PlatformDirectoryCopy, SkipsWhatCannotBeCopiedAndGoesOn) {
  // A folder where a file should go, and a file where a folder should go.
  dir.write("dst/a.txt/occupied", "x");
  dir.write("dst/.cache", "a file");
  dir.write("src/z-last.txt", "z");
  ::mkfifo((source / "pipe").c_str(), 0644);
  CopyDirectory(source, dir.path() / "dst");
  EXPECT_TRUE(fs::is_directory(dir.path() / "dst/a.txt"));
  EXPECT_EQ(ReadFileBytes(dir.path() / "dst/.cache"), "a file");
  EXPECT_EQ(ReadFileBytes(dir.path() / "dst/.hidden"), "hidden");
  EXPECT_EQ(ReadFileBytes(dir.path() / "dst/z-last.txt"), "z");
  EXPECT_FALSE(fs::exists(dir.path() / "dst/pipe"));
  for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "dst")) {
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
        << "left behind: " << entry.path();
  }
}

TEST_F(PlatformDirectoryCopy, CopiesLinksAsLinks) {
  fs::create_symlink("a.txt", source / "link");
  fs::create_directory_symlink("..", source / "up");
  CopyDirectory(source, dir.path() / "dst");
  EXPECT_EQ(fs::read_symlink(dir.path() / "dst/link"), "a.txt");
  EXPECT_EQ(fs::read_symlink(dir.path() / "dst/up"), "..");
}

TEST_F(PlatformDirectoryCopy, RefusesAMissingSource) {
  EXPECT_THROW(CopyDirectory(dir.path() / "missing", dir.path() / "dst"),
               EDirectoryNotFoundException);
  EXPECT_THROW(CopyDirectory(source / "a.txt", dir.path() / "dst"), EDirectoryNotFoundException);
  EXPECT_FALSE(fs::exists(dir.path() / "dst"));
}

TEST_F(PlatformDirectoryCopy, RefusesToCopyAFolderIntoItself) {
  fs::create_directory_symlink(source, dir.path() / "alias");
  for (const fs::path& target : {source / ".", dir.path() / "alias", source / "empty" / "inner",
                                 fs::path(source.string() + "/")}) {
    EXPECT_THROW(CopyDirectory(source, target), EInOutError) << target;
  }
  EXPECT_FALSE(fs::exists(source / "empty" / "inner"));
  // A sibling whose name merely starts the same is fine.
  EXPECT_NO_THROW(CopyDirectory(source, dir.path() / "src2"));
}

}  // namespace
}  // namespace movrano
