// Whole-file replacement: what mode the new file gets, and that a link at
// the name is replaced, never followed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/AtomicFile.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;

mode_t ModeOf(const fs::path& file) {
  struct stat st;
  return ::lstat(file.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(PlatformAtomicFile, AFileKeepsItsModeAndANewOneGetsTheUmasks) {
  TempDir dir;
  const mode_t previous = ::umask(027);
  ReplaceFileContents(dir.path() / "new.txt", "new");
  const auto kept = dir.write("kept.txt", "old");
  fs::permissions(kept, fs::perms(0604));
  ReplaceFileContents(kept, "new");
  ::umask(previous);
  EXPECT_EQ(ModeOf(dir.path() / "new.txt"), S_IFREG | 0640);
  EXPECT_EQ(ModeOf(kept), S_IFREG | 0604);
  EXPECT_EQ(ReadFileBytes(kept), "new");
}

TEST(PlatformAtomicFile, ALinkAtTheNameIsReplacedAndItsTargetKeepsItsBytesAndMode) {
  TempDir dir;
  const auto target = dir.write("target.txt", "target");
  fs::permissions(target, fs::perms(0666));
  const mode_t previous = ::umask(022);
  for (const bool secret : {false, true}) {
    const fs::path link = dir.path() / (secret ? "secret.txt" : "plain.txt");
    fs::create_symlink(target, link);
    if (secret) {
      ReplacePrivateFileContents(link, "secret");
    } else {
      ReplaceFileContents(link, "plain");
    }
    EXPECT_EQ(ModeOf(link), S_IFREG | (secret ? 0600 : 0644)) << link;
    EXPECT_EQ(ReadFileBytes(link), secret ? "secret" : "plain");
  }
  ::umask(previous);
  EXPECT_EQ(ModeOf(target), S_IFREG | 0666);
  EXPECT_EQ(ReadFileBytes(target), "target");
}

}  // namespace
}  // namespace movrano
