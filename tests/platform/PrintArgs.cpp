// Test helper: prints each argument on its own line between "<" and ">";
// "--exit N" as the first two arguments makes it exit with N instead.
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--exit") == 0) return std::atoi(argv[2]);
  for (int i = 1; i < argc; ++i)
    std::printf("<%s>\n", argv[i]);
  return 0;
}
