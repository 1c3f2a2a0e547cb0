#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string_view>
#include <vector>

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

std::string Repeat(std::string_view unit, size_t times) {
  std::string s;
  for (size_t i = 0; i < times; ++i)
    s += unit;
  return s;
}

// Names as long as the file system allows, and just below: new files and
// files that replace one of the same name.
TEST_F(PlatformDirectoryCopy, KeepsFilesWithNamesUpToTheFileSystemsLimit) {
  const std::vector<std::string> names = {
      Repeat("a", 255),
      Repeat("b", 236),
      Repeat("\xc3\xa9", 127) + "c",           // 255 bytes of two-byte characters
      Repeat("\xe2\x82\xac", 85),              // 255 bytes of three-byte characters
      Repeat("\xf0\x9f\x93\x90", 63) + "d.e",  // 255 bytes of four-byte characters
  };
  for (size_t i = 0; i < names.size(); ++i) {
    ASSERT_LE(names[i].size(), 255u);
    dir.write("src/deep/" + names[i], "new " + std::to_string(i));
    dir.write("src/" + names[i], "top " + std::to_string(i));
    // Every other one replaces a file: that needs a temporary name beside it.
    if (i % 2 == 0) dir.write("dst/deep/" + names[i], "old, to be replaced");
    if (i % 2 == 1) dir.write("dst/" + names[i], "old, to be replaced");
  }
  EXPECT_EQ(CopyDirectory(source, dir.path() / "dst"), std::vector<fs::path>{});
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i].size());
    EXPECT_EQ(ReadFileBytes(dir.path() / "dst/deep" / names[i]), "new " + std::to_string(i));
    EXPECT_EQ(ReadFileBytes(dir.path() / "dst" / names[i]), "top " + std::to_string(i));
  }
  for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "dst")) {
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
        << "left behind: " << entry.path();
  }
}

int64_t MTime(const fs::path& p) {
  struct stat st;
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

void SetMTime(const fs::path& p, int64_t nanoseconds) {
  const struct timespec times[2] = {{nanoseconds / 1000000000, nanoseconds % 1000000000},
                                    {nanoseconds / 1000000000, nanoseconds % 1000000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0) << p;
}

TEST_F(PlatformDirectoryCopy, KeepsTheTimesOfFilesAndFolders) {
  dir.write("dst/a.txt", "an older copy");  // replaced: takes the source's time too
  // Files first, folders from the bottom up, as their content changes them.
  const std::vector<std::pair<std::string, int64_t>> times = {
      {"a.txt", 1552000000123456789LL},
      {".hidden", 1300000000000000001LL},
      {".cache/deep/b.bin", 1600000000999999999LL},
      {"empty", 1400000000500000000LL},
      {".cache/deep", 1500000000000000000LL},
      {".cache", 1500000001000000000LL},
      {"", 1500000002000000000LL},
  };
  for (const auto& [path, time] : times)
    SetMTime(source / path, time);
  CopyDirectory(source, dir.path() / "dst");
  for (const auto& [path, time] : times) {
    EXPECT_EQ(MTime(dir.path() / "dst" / path), time) << path;
  }
}

// A file too large for what the process may write fails half way.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {bytes, old_.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  struct rlimit old_;
  void (*oldHandler_)(int);
};

TEST_F(PlatformDirectoryCopy, AFileThatFailsHalfWayLeavesNothingHalfWritten) {
  const std::string large(256 * 1024, 'L');
  dir.write("src/new-large.bin", large);
  dir.write("src/old-large.bin", large);
  dir.write("dst/old-large.bin", "the old contents");
  std::vector<fs::path> skipped;
  {
    FileSizeLimit limit(64 * 1024);
    skipped = CopyDirectory(source, dir.path() / "dst");
  }
  std::sort(skipped.begin(), skipped.end());
  EXPECT_EQ(skipped, (std::vector<fs::path>{source / "new-large.bin", source / "old-large.bin"}));
  EXPECT_FALSE(fs::exists(dir.path() / "dst/new-large.bin"));
  EXPECT_EQ(ReadFileBytes(dir.path() / "dst/old-large.bin"), "the old contents");
  EXPECT_EQ(ReadFileBytes(dir.path() / "dst/a.txt"), "new a");
  for (const auto& entry : fs::recursive_directory_iterator(dir.path() / "dst")) {
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
        << "left behind: " << entry.path();
  }
}

}  // namespace
}  // namespace movrano
