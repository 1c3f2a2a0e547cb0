// The directory copy of the file storage against `cp -a` of the same tree,
// followed by `sync -f` (our copy is synced before it returns):
// about 2000 files and 200 MB in nested folders with one large file. The
// two alternate over several rounds (whichever runs first has the colder
// cache); both medians and the ratio cp time / our time are printed.
//
//   dir_copy_bench [folder on the file system to measure] [rounds]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/DirectoryCopy.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kFiles = 2000;
constexpr size_t kLargeFile = 64u << 20;
constexpr size_t kTotal = 200u << 20;

void WriteFile(const fs::path& file, size_t size, std::mt19937& random) {
  std::vector<char> bytes(size);
  for (auto& b : bytes)
    b = static_cast<char>(random());
  std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
}

// Folders three levels deep (some empty), the large file at the top, the
// rest of the bytes spread over the other files.
size_t MakeTree(const fs::path& root, std::mt19937& random) {
  fs::create_directories(root);
  WriteFile(root / "ItemRevisions.zip", kLargeFile, random);
  size_t total = kLargeFile;
  const size_t average = (kTotal - kLargeFile) / (kFiles - 1);
  std::uniform_int_distribution<size_t> size(0, 2 * average);
  for (int i = 1; i < kFiles; ++i) {
    const fs::path folder = root / ("ItemRevisions-" + std::to_string(i % 10)) /
                            ("CMP-" + std::to_string(i % 97)) / ("rev-" + std::to_string(i % 3));
    fs::create_directories(folder);
    const size_t bytes = size(random);
    WriteFile(folder / ("CMP-" + std::to_string(i) + ".zip"), bytes, random);
    total += bytes;
  }
  for (int i = 0; i < 20; ++i)
    fs::create_directories(root / "Empty" / std::to_string(i));
  return total;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Runs the program with its arguments and waits; any failure ends the bench.
void Run(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
    std::perror(argv[0]);
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "%s failed\n", args[0].c_str());
    std::exit(1);
  }
}

// `cp -a` and then `sync -f` of the copy: the same durable result as ours.
double TimeCp(const fs::path& from, const fs::path& to) {
  const auto start = Clock::now();
  Run({"cp", "-a", from.string(), to.string()});
  Run({"sync", "-f", to.string()});
  return Seconds(Clock::now() - start);
}

double TimeOurs(const fs::path& from, const fs::path& to) {
  const auto start = Clock::now();
  const auto skipped = movrano::CopyDirectory(from, to);
  const auto took = Clock::now() - start;
  if (!skipped.empty()) {
    std::fprintf(stderr, "%zu entries not copied, the first %s: %s\n",
                 movrano::EntriesNotCopied(skipped), skipped.front().path.c_str(),
                 skipped.front().reason.c_str());
    std::exit(1);
  }
  return Seconds(took);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const fs::path root = base / ("dir_copy_bench-" + std::to_string(getpid()));
  std::mt19937 random(12);
  const size_t bytes = MakeTree(root / "source", random);
  std::printf("tree: %d files, %.0f MB, largest %.0f MB\n", kFiles, bytes / 1048576.0,
              kLargeFile / 1048576.0);

  // Each copy starts with nothing of another's waiting to be written.
  movrano::SyncFileSystem(root);
  std::vector<double> cp, ours;
  for (int r = 0; r < rounds; ++r) {
    for (int k = 0; k < 2; ++k) {
      const bool cpNow = (r + k) % 2 == 0;
      const fs::path to = root / "copy";
      const double s = cpNow ? TimeCp(root / "source", to) : TimeOurs(root / "source", to);
      (cpNow ? cp : ours).push_back(s);
      fs::remove_all(to);
      movrano::SyncFileSystem(root);
    }
    std::printf("round %d: cp -a + sync -f %.3f s, CopyDirectory %.3f s\n", r + 1, cp.back(),
                ours.back());
  }
  fs::remove_all(root);
  const double cpMedian = Median(cp), oursMedian = Median(ours);
  std::printf("median: cp -a + sync -f %.3f s, CopyDirectory %.3f s (synced), ratio cp/ours %.2f\n",
              cpMedian, oursMedian, cpMedian / oursMedian);
  return 0;
}
