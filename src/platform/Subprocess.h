#pragma once
// Starting another program directly (never through a shell) and waiting for
// it: the one place that spawns processes.
#include <cstdint>
#include <string>
#include <vector>

namespace movrano {

struct CapturedRun {
  uint32_t exitCode = 0;
  std::string output;  // what the program wrote to its standard output
};

// Runs the program at the path argv[0] (relative to the current folder
// when it holds no "/", as the existence tests see it; never looked up on
// PATH, since it runs as root) with the other items as its arguments,
// sharing this process's standard streams and no other descriptor (every
// one above standard error is closed in the child), and returns its exit
// code (128 + the signal number when a signal ended it). A program that
// cannot be started raises EOSError with its errno.
uint32_t SpawnAndWait(const std::vector<std::string>& argv);

// The same, with standard input empty, standard output captured and
// standard error discarded.
CapturedRun SpawnAndCapture(const std::vector<std::string>& argv);

}  // namespace movrano
