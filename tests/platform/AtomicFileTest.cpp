// Whole-file replacement: what mode the new file gets, and that a link at
// the name is replaced, never followed.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>

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

// Another user who watches the folder sees the temporary file from its
// creation on: it must never be readable by them, also under umask 000.
TEST(PlatformAtomicFile, APrivateFilesTemporaryFileIsTheOwnersAloneFromItsCreation) {
  TempDir dir;
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, dir.path().c_str(), IN_CREATE | IN_MODIFY), 0);
  std::atomic<bool> done{false};
  std::set<mode_t> seen;
  std::thread watcher([&] {
    alignas(inotify_event) char buffer[4096];
    pollfd ready{watch, POLLIN, 0};
    while (!done) {
      if (::poll(&ready, 1, 10) <= 0) continue;
      const ssize_t n = ::read(watch, buffer, sizeof buffer);
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        struct stat st;
        if (event->len > 0 && ::stat((dir.path() / event->name).c_str(), &st) == 0) {
          seen.insert(st.st_mode & 07777);
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  });
  const mode_t previous = ::umask(0);
  ReplacePrivateFileContents(dir.path() / "Movrano.ini", std::string(16 << 20, 'p'));
  ::umask(previous);
  done = true;
  watcher.join();
  ::close(watch);
  EXPECT_FALSE(seen.empty());
  EXPECT_EQ(seen, std::set<mode_t>{0600});
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
