#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/DirectoryCopy.h"
#include "support/platform/FileSystemFaults.h"
#include "support/platform/TempDir.h"

namespace movrano {
namespace {

namespace fs = std::filesystem;
using testing::FileSizeLimit;
using testing::MakeImmutable;
using testing::MountReadOnly;
using testing::MountTmpfs;
using testing::ReadFileBytes;
using testing::TempDir;

#define REQUIRE_ROOT() \
  if (::geteuid() != 0) GTEST_SKIP() << "needs root"

// The skipped entries, sorted by path, as path, entry count and reason.
std::vector<std::tuple<fs::path, size_t, std::string>> Sorted(std::vector<SkippedEntry> skipped) {
  std::vector<std::tuple<fs::path, size_t, std::string>> rows;
  for (const auto& s : skipped)
    rows.emplace_back(s.path, s.entries, s.reason);
  std::sort(rows.begin(), rows.end());
  return rows;
}

void ExpectNoTemporaryFilesBelow(const fs::path& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    EXPECT_EQ(entry.path().filename().string().find(".movrano-"), std::string::npos)
        << "left behind: " << entry.path();
  }
}

struct stat LStat(const fs::path& p) {
  struct stat st {};
  EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
  return st;
}

class PlatformDirectoryCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    dir.write("src/a.txt", "new a");
    dir.write("src/.hidden", "hidden");
    dir.write("src/.cache/deep/b.bin", std::string("\0\1\2", 3));
    dir.mkdir("src/empty");
    source = dir.path() / "src";
    dest = dir.path() / "dst";
  }
  TempDir dir;
  fs::path source;
  fs::path dest;
  static constexpr size_t kSourceEntries = 6;
};

// Tests that need root, skipped without it.
class PlatformDirectoryCopyAsRoot : public PlatformDirectoryCopy {
 protected:
  void SetUp() override {
    REQUIRE_ROOT();
    PlatformDirectoryCopy::SetUp();
  }
};

TEST_F(PlatformDirectoryCopy, CopiesTheWholeTreeIntoMissingParents) {
  const auto target = dir.path() / "not" / "there" / "yet";
  EXPECT_TRUE(CopyDirectory(source, target).empty());
  EXPECT_EQ(ReadFileBytes(target / "a.txt"), "new a");
  EXPECT_EQ(ReadFileBytes(target / ".hidden"), "hidden");
  EXPECT_EQ(ReadFileBytes(target / ".cache/deep/b.bin"), std::string("\0\1\2", 3));
  EXPECT_TRUE(fs::is_directory(target / "empty"));
}

TEST_F(PlatformDirectoryCopy, ReplacesSameNamedFilesAndKeepsOthers) {
  dir.write("dst/a.txt", "old a, longer than the new one");
  dir.write("dst/own.txt", "stays");
  EXPECT_TRUE(CopyDirectory(source, dest).empty());
  EXPECT_EQ(ReadFileBytes(dest / "a.txt"), "new a");
  EXPECT_EQ(ReadFileBytes(dest / "own.txt"), "stays");
}

TEST_F(PlatformDirectoryCopy, ReportsEveryEntryItCouldNotCopyAndGoesOn) {
  // A folder where a file should go, and a file where a folder should go.
  dir.write("dst/a.txt/occupied", "x");
  dir.write("dst/.cache", "a file");
  dir.write("src/z-last.txt", "z");
  // Entries that hold no data: a pipe nobody writes to would block an open.
  ASSERT_EQ(::mkfifo((source / "pipe").c_str(), 0644), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  struct sockaddr_un address {};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (source / "socket").string();
  ASSERT_LT(socketPath.size(), sizeof(address.sun_path));
  std::strcpy(address.sun_path, socketPath.c_str());
  ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  const bool device = ::mknod((source / "device").c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0;

  std::vector<std::tuple<fs::path, size_t, std::string>> expected = {
      {source / ".cache", 3, "\"" + (dest / ".cache").string() + "\" is a file, not a folder"},
      {source / "a.txt", 1, "\"" + (dest / "a.txt").string() + "\" is a folder"},
      {source / "pipe", 1, "it is a named pipe, not a file, folder or link"},
      {source / "socket", 1, "it is a socket, not a file, folder or link"},
  };
  if (device) {
    expected.insert(expected.begin() + 2,
                    {source / "device", 1, "it is a device, not a file, folder or link"});
  }
  const auto skipped = CopyDirectory(source, dest);
  ::close(sock);
  EXPECT_EQ(Sorted(skipped), expected);
  EXPECT_EQ(EntriesNotCopied(skipped), device ? 7u : 6u);
  EXPECT_TRUE(fs::is_directory(dest / "a.txt"));
  EXPECT_EQ(ReadFileBytes(dest / ".cache"), "a file");
  EXPECT_EQ(ReadFileBytes(dest / ".hidden"), "hidden");
  EXPECT_EQ(ReadFileBytes(dest / "z-last.txt"), "z");
  for (const char* special : {"pipe", "socket", "device"}) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest / special))) << special;
  }
  ExpectNoTemporaryFilesBelow(dest);
}

TEST_F(PlatformDirectoryCopy, CopiesLinksAsLinks) {
  fs::create_symlink("a.txt", source / "link");
  fs::create_directory_symlink("..", source / "up");
  fs::create_symlink("nowhere", source / "over-a-file");
  fs::create_symlink("elsewhere", source / "over-a-link");
  dir.write("dst/over-a-file", "a file");
  fs::create_directories(dest);
  fs::create_symlink("old target", dest / "over-a-link");
  EXPECT_TRUE(CopyDirectory(source, dest).empty());
  EXPECT_EQ(fs::read_symlink(dest / "link"), "a.txt");
  EXPECT_EQ(fs::read_symlink(dest / "up"), "..");
  EXPECT_EQ(fs::read_symlink(dest / "over-a-file"), "nowhere");
  EXPECT_EQ(fs::read_symlink(dest / "over-a-link"), "elsewhere");
  ExpectNoTemporaryFilesBelow(dest);
}

TEST_F(PlatformDirectoryCopy, RefusesAMissingSource) {
  EXPECT_THROW(CopyDirectory(dir.path() / "missing", dest), EDirectoryNotFoundException);
  EXPECT_THROW(CopyDirectory(source / "a.txt", dest), EDirectoryNotFoundException);
  EXPECT_FALSE(fs::exists(dest));
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
  EXPECT_EQ(Sorted(CopyDirectory(source, dest)), Sorted({}));
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i].size());
    EXPECT_EQ(ReadFileBytes(dest / "deep" / names[i]), "new " + std::to_string(i));
    EXPECT_EQ(ReadFileBytes(dest / names[i]), "top " + std::to_string(i));
  }
  ExpectNoTemporaryFilesBelow(dest);
}

int64_t MTime(const fs::path& p) {
  const struct stat st = LStat(p);
  return st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

void SetMTime(const fs::path& p, int64_t nanoseconds) {
  const struct timespec times[2] = {{nanoseconds / 1000000000, nanoseconds % 1000000000},
                                    {nanoseconds / 1000000000, nanoseconds % 1000000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << p;
}

TEST_F(PlatformDirectoryCopy, KeepsTheTimesOfFilesFoldersAndLinks) {
  dir.write("dst/a.txt", "an older copy");  // replaced: takes the source's time too
  fs::create_symlink("a.txt", source / "link");
  // Files first, folders from the bottom up, as their content changes them.
  const std::vector<std::pair<std::string, int64_t>> times = {
      {"a.txt", 1552000000123456789LL},
      {".hidden", 1300000000000000001LL},
      {".cache/deep/b.bin", 1600000000999999999LL},
      {"link", 1200000000000000007LL},
      {"empty", 1400000000500000000LL},
      {".cache/deep", 1500000000000000000LL},
      {".cache", 1500000001000000000LL},
      {"", 1500000002000000000LL},
  };
  for (const auto& [path, time] : times)
    SetMTime(source / path, time);
  EXPECT_TRUE(CopyDirectory(source, dest).empty());
  for (const auto& [path, time] : times) {
    EXPECT_EQ(MTime(dest / path), time) << path;
  }
}

TEST_F(PlatformDirectoryCopy, AFileThatFailsHalfWayLeavesNothingHalfWritten) {
  const std::string large(256 * 1024, 'L');
  dir.write("src/new-large.bin", large);
  dir.write("src/old-large.bin", large);
  dir.write("dst/old-large.bin", "the old contents");
  std::vector<SkippedEntry> skipped;
  {
    FileSizeLimit limit(64 * 1024);
    skipped = CopyDirectory(source, dest);
  }
  EXPECT_EQ(Sorted(skipped), Sorted({{source / "new-large.bin", "File too large", 1},
                                     {source / "old-large.bin", "File too large", 1}}));
  EXPECT_FALSE(fs::exists(dest / "new-large.bin"));
  EXPECT_EQ(ReadFileBytes(dest / "old-large.bin"), "the old contents");
  EXPECT_EQ(ReadFileBytes(dest / "a.txt"), "new a");
  ExpectNoTemporaryFilesBelow(dest);
}

// Destinations that refuse a copy as users meet them.
TEST_F(PlatformDirectoryCopyAsRoot, AFullDiskIsReportedAlsoForOneLargeFile) {
  dir.write("src/large.bin", std::string(10 << 20, 'L'));
  auto disk = MountTmpfs(dest, 8 << 20);
  if (!disk) GTEST_SKIP() << "cannot mount a tmpfs";
  const auto skipped = CopyDirectory(source, dest);
  EXPECT_EQ(Sorted(skipped), Sorted({{source / "large.bin", "No space left on device", 1}}));
  EXPECT_FALSE(fs::exists(dest / "large.bin"));
  EXPECT_EQ(ReadFileBytes(dest / ".cache/deep/b.bin"), std::string("\0\1\2", 3));
  ExpectNoTemporaryFilesBelow(dest);
}

TEST_F(PlatformDirectoryCopyAsRoot, AReadOnlyDestinationOrSubFolderReportsEveryEntry) {
  {
    dir.mkdir("dst");
    auto readOnly = MountReadOnly(dest);
    if (!readOnly) GTEST_SKIP() << "cannot mount read-only";
    const auto skipped = CopyDirectory(source, dest);
    EXPECT_EQ(EntriesNotCopied(skipped), kSourceEntries);
    ASSERT_FALSE(skipped.empty());
    EXPECT_EQ(skipped.front().reason, "Read-only file system");
  }
  dir.mkdir("dst/.cache/deep");
  auto readOnly = MountReadOnly(dest / ".cache");
  ASSERT_TRUE(readOnly);
  EXPECT_EQ(Sorted(CopyDirectory(source, dest)),
            Sorted({{source / ".cache/deep/b.bin", "Read-only file system", 1}}));
  EXPECT_EQ(ReadFileBytes(dest / "a.txt"), "new a");
}

TEST_F(PlatformDirectoryCopyAsRoot, AnImmutableFileOfTheSameNameIsReportedAndKeepsItsContent) {
  const fs::path old = dir.write("dst/a.txt", "old a");
  auto immutable = MakeImmutable(old);
  if (!immutable) GTEST_SKIP() << "cannot make a file immutable";
  EXPECT_EQ(Sorted(CopyDirectory(source, dest)),
            Sorted({{source / "a.txt", "Operation not permitted", 1}}));
  EXPECT_EQ(ReadFileBytes(old), "old a");
  ExpectNoTemporaryFilesBelow(dest);
}

// Runs `body` in a child process and answers how it ended: its exit code,
// or the negated signal that ended it.
template <typename Body>
int InChild(Body body) {
  const pid_t child = ::fork();
  if (child == 0) {
    int code = 1;
    try {
      code = body();
    } catch (...) {
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFSIGNALED(status) ? -WTERMSIG(status) : WEXITSTATUS(status);
}

TEST_F(PlatformDirectoryCopyAsRoot, KeepsOwnersGroupsAndModesAsCpDoesAsRootWhateverTheUmask) {
  struct Entry {
    std::string path;
    bool folder;
    uid_t uid;
    gid_t gid;
    mode_t mode;
  };
  const std::vector<Entry> entries = {
      {"private", true, 1234, 1234, 0700},
      {"private/secret", false, 1234, 1234, 0600},
      {"shared", true, 0, 1234, 02775},
      {"shared/setuid", false, 1234, 1234, 04755},
      {"shared/setgid", false, 4321, 1234, 02755},
      {"shared/sticky", true, 0, 0, 01777},
      {"a.txt", false, 4321, 4321, 0640},
  };
  for (const auto& e : entries) {
    if (e.folder) dir.mkdir("src/" + e.path);
    if (!e.folder) dir.write("src/" + e.path, e.path);
    const fs::path p = source / e.path;
    ASSERT_EQ(::chown(p.c_str(), e.uid, e.gid), 0) << p;
    ASSERT_EQ(::chmod(p.c_str(), e.mode), 0) << p;
  }
  ::chmod(source.c_str(), 0750);
  const fs::path target = dir.path() / "new" / "parents" / "dst";
  const mode_t umask = ::umask(0);
  const auto skipped = CopyDirectory(source, target);
  ::umask(umask);
  EXPECT_TRUE(skipped.empty());
  for (const auto& e : entries) {
    SCOPED_TRACE(e.path);
    const struct stat st = LStat(target / e.path);
    EXPECT_EQ(st.st_uid, e.uid);
    EXPECT_EQ(st.st_gid, e.gid);
    EXPECT_EQ(st.st_mode & 07777, e.mode);
  }
  EXPECT_EQ(LStat(target).st_mode & 07777, 0750u);
  // Missing parents are made as mkdir -p makes them, not wide open.
  EXPECT_EQ(LStat(dir.path() / "new").st_mode & 07777, 0755u);
  EXPECT_EQ(LStat(dir.path() / "new" / "parents").st_mode & 07777, 0755u);
}

// A POSIX access list in the kernel's form: entries of tag, permissions
// and id, in the kernel's order.
std::string AccessList(const std::vector<std::tuple<uint16_t, uint16_t, uint32_t>>& entries) {
  std::string list;
  const auto put = [&](auto value) {
    list.append(reinterpret_cast<const char*>(&value), sizeof value);
  };
  put(uint32_t{2});
  for (const auto& [tag, permissions, id] : entries) {
    put(tag);
    put(permissions);
    put(id);
  }
  return list;
}

std::optional<std::string> AccessListOf(const fs::path& p, const char* name) {
  std::string value(1024, '\0');
  const ssize_t size = ::getxattr(p.c_str(), name, value.data(), value.size());
  if (size < 0) return std::nullopt;
  value.resize(static_cast<size_t>(size));
  return value;
}

TEST_F(PlatformDirectoryCopy, KeepsAccessListsAndGivesNoneWhereTheSourceHasNone) {
  constexpr uint32_t kNoId = 0xFFFFFFFF;
  constexpr const char* kAccess = "system.posix_acl_access";
  constexpr const char* kDefault = "system.posix_acl_default";
  // The group of the file may not read it; one named user may: the mode
  // shows the list's mask (0640) where its group bits would let the group in.
  const fs::path listed = dir.write("src/listed", "for one user");
  const std::string list = AccessList(
      {{0x01, 6, kNoId}, {0x02, 4, 1234}, {0x04, 0, kNoId}, {0x10, 4, kNoId}, {0x20, 0, kNoId}});
  if (::setxattr(listed.c_str(), kAccess, list.data(), list.size(), 0) != 0) {
    GTEST_SKIP() << "no access lists here";
  }
  ASSERT_EQ(LStat(listed).st_mode & 07777, 0640u);
  // A destination folder whose default list would be inherited.
  dir.write("src/inherits/plain", "plain");
  const fs::path inherits = dir.mkdir("dst/inherits");
  const std::string inherited = AccessList(
      {{0x01, 7, kNoId}, {0x02, 7, 4321}, {0x04, 5, kNoId}, {0x10, 7, kNoId}, {0x20, 5, kNoId}});
  ASSERT_EQ(::setxattr(inherits.c_str(), kDefault, inherited.data(), inherited.size(), 0), 0);

  EXPECT_TRUE(CopyDirectory(source, dest).empty());
  EXPECT_EQ(AccessListOf(dest / "listed", kAccess), list);
  EXPECT_EQ(LStat(dest / "listed").st_mode & 07777, 0640u);
  EXPECT_EQ(AccessListOf(dest / "inherits/plain", kAccess), std::nullopt);
  EXPECT_EQ(LStat(dest / "inherits/plain").st_mode & 07777,
            LStat(source / "inherits/plain").st_mode & 07777);
  EXPECT_EQ(AccessListOf(dest / "inherits", kDefault), std::nullopt);
}

TEST_F(PlatformDirectoryCopyAsRoot, ASetuidFileWhoseOwnerCannotBeKeptLosesTheBits) {
  constexpr uid_t kCopier = 2345;
  const fs::path file = dir.write("src/tool", "#!/bin/sh\n");
  ASSERT_EQ(::chown(file.c_str(), 1234, 1234), 0);
  ASSERT_EQ(::chmod(file.c_str(), 06755), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  dir.mkdir("dst");
  ASSERT_EQ(::chown(dest.c_str(), kCopier, kCopier), 0);
  const int result = InChild([&] {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kCopier) != 0 || ::setuid(kCopier) != 0) return 2;
    return CopyDirectory(source, dest).empty() ? 0 : 3;
  });
  ASSERT_EQ(result, 0);
  const struct stat st = LStat(dest / "tool");
  EXPECT_EQ(st.st_uid, kCopier);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST_F(PlatformDirectoryCopy, ALinkInTheDestinationIsNeverFollowedNorRemoved) {
  const fs::path outside = dir.mkdir("outside");
  dir.write("outside/keep", "the user's");
  dir.write("src/sub/f", "into the store");
  fs::create_directories(dest);
  fs::create_directory_symlink(outside, dest / "sub");
  fs::create_symlink(outside / "keep", dest / "a.txt");

  const auto skipped = CopyDirectory(source, dest);
  EXPECT_EQ(
      Sorted(skipped),
      Sorted({{source / "a.txt", "\"" + (dest / "a.txt").string() + "\" is a symbolic link", 1},
              {source / "sub", "\"" + (dest / "sub").string() + "\" is a symbolic link", 2}}));
  EXPECT_EQ(fs::read_symlink(dest / "sub"), outside);
  EXPECT_EQ(fs::read_symlink(dest / "a.txt"), outside / "keep");
  EXPECT_EQ(ReadFileBytes(outside / "keep"), "the user's");
  EXPECT_FALSE(fs::exists(outside / "f"));
}

TEST_F(PlatformDirectoryCopy, AFileSwappedAfterTheListingIsNeitherFollowedNorWaitedFor) {
  const fs::path secret = dir.write("secret", "not for the store");
  const auto skipped = CopyDirectory(source, dest, [&](const fs::path& file) {
    if (file == source / "a.txt") {
      fs::remove(file);
      fs::create_symlink(secret, file);
    } else if (file == source / ".hidden") {
      fs::remove(file);
      ::mkfifo(file.c_str(), 0644);  // nobody writes: an open would wait for ever
    } else if (file == source / ".cache/deep/b.bin") {
      fs::rename(file, dir.path() / "parked");  // kept, so its inode stays taken
      fs::copy_file(secret, file);              // another file under the listed name
    }
  });
  const std::string changed = "it changed while the copy ran";
  EXPECT_EQ(Sorted(skipped), Sorted({{source / ".cache/deep/b.bin", changed, 1},
                                     {source / ".hidden", changed, 1},
                                     {source / "a.txt", changed, 1}}));
  for (const char* name : {"a.txt", ".hidden", ".cache/deep/b.bin"}) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest / name))) << name;
  }
  EXPECT_TRUE(fs::is_directory(dest / "empty"));
  ExpectNoTemporaryFilesBelow(dest);
}

// A copy killed in the middle of a file (the kernel ends the process at a
// file-size limit), then copied again.
TEST_F(PlatformDirectoryCopy, AKilledCopyLeavesNoHalfFileAndTheNextCopyRemovesItsTemporaryFile) {
  const std::string large(256 * 1024, 'L');
  dir.write("src/sub/large.bin", large);
  for (const bool replacing : {false, true}) {
    SCOPED_TRACE(replacing);
    fs::remove_all(dest);
    if (replacing) dir.write("dst/sub/large.bin", "the old contents");
    // Another program's temporary file, whose process still runs.
    const fs::path foreign = dir.write("dst/sub/.movrano-1-0.part", "in use");
    const int end = InChild([&] {
      const struct rlimit noCore = {0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      std::signal(SIGXFSZ, SIG_DFL);
      const struct rlimit limit = {64 * 1024, RLIM_INFINITY};
      ::setrlimit(RLIMIT_FSIZE, &limit);
      CopyDirectory(source, dest);
      return 0;
    });
    ASSERT_EQ(end, -SIGXFSZ);
    if (replacing) {
      EXPECT_EQ(ReadFileBytes(dest / "sub/large.bin"), "the old contents");
    } else {
      EXPECT_FALSE(fs::exists(dest / "sub/large.bin"));
    }

    EXPECT_TRUE(CopyDirectory(source, dest).empty());
    EXPECT_EQ(ReadFileBytes(dest / "sub/large.bin"), large);
    EXPECT_EQ(ReadFileBytes(foreign), "in use");
    fs::remove(foreign);
    ExpectNoTemporaryFilesBelow(dest);
  }
}

TEST(PlatformOpenFolder, IsMadeAnewOrNotAtAll) {
  TempDir dir;
  const fs::path folder = dir.path() / "new";
  auto made = OpenFolder::CreateNew(folder);
  ASSERT_TRUE(made);
  EXPECT_EQ(made->path(), folder);
  const fs::path elsewhere = dir.mkdir("elsewhere");
  fs::create_directory_symlink(elsewhere, dir.path() / "planted link");
  for (const fs::path& taken : {folder, dir.path() / "planted link", elsewhere}) {
    EXPECT_FALSE(OpenFolder::CreateNew(taken)) << taken;
  }
  EXPECT_THROW(OpenFolder::CreateNew(dir.path() / "missing" / "parent"), EOSError);

  // Made in the folder held open, whatever its path names meanwhile.
  dir.write("src/f", "f");
  fs::rename(folder, dir.path() / "moved");
  fs::create_directory_symlink(elsewhere, folder);
  EXPECT_TRUE(CopyDirectoryInto(dir.path() / "src", *made, "copy").empty());
  CopyFileInto(dir.path() / "src/f", *made, "f copy");
  EXPECT_EQ(ReadFileBytes(dir.path() / "moved/copy/f"), "f");
  EXPECT_EQ(ReadFileBytes(dir.path() / "moved/f copy"), "f");
  EXPECT_TRUE(fs::is_empty(elsewhere));
  EXPECT_THROW(CopyFileInto(dir.path() / "src/f", *made, "f copy"), EInOutError);
  EXPECT_THROW(CopyDirectoryInto(dir.path() / "src", *made, "copy"), EOSError);
}

TEST(PlatformOpenFolderAsRoot, AFileCopyKeepsOwnerAndModeOfTheOriginal) {
  REQUIRE_ROOT();
  TempDir dir;
  const fs::path original = dir.write("VAULT.FDB", "database");
  ASSERT_EQ(::chown(original.c_str(), 1234, 4321), 0);
  ASSERT_EQ(::chmod(original.c_str(), 0660), 0);
  auto folder = OpenFolder::CreateNew(dir.path() / "backup");
  ASSERT_TRUE(folder);
  CopyFileInto(original, *folder, "VAULT.FDB");
  const struct stat st = LStat(dir.path() / "backup/VAULT.FDB");
  EXPECT_EQ(st.st_uid, 1234u);
  EXPECT_EQ(st.st_gid, 4321u);
  EXPECT_EQ(st.st_mode & 07777, 0660u);
  EXPECT_EQ(ReadFileBytes(dir.path() / "backup/VAULT.FDB"), "database");
}

}  // namespace
}  // namespace movrano
