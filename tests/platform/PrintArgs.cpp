// Test helper: prints each argument on its own line between "<" and ">";
// "--exit N" as the first two arguments makes it exit with N instead, and
// "--fds" prints the descriptors it was started with, one per line.
#include <dirent.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int PrintOpenDescriptors() {
  DIR* dir = opendir("/proc/self/fd");
  if (!dir) return 2;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == dirfd(dir)) continue;
    std::printf("<%s>\n", entry->d_name);
  }
  closedir(dir);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--exit") == 0) return std::atoi(argv[2]);
  if (argc == 2 && std::strcmp(argv[1], "--fds") == 0) return PrintOpenDescriptors();
  for (int i = 1; i < argc; ++i)
    std::printf("<%s>\n", argv[i]);
  return 0;
}
