#pragma once
// The baseline a table copy is measured against: a raw cursor over a
// source statement feeding a raw prepared insert of the destination,
// straight over the Firebird client's object API.
#include <functional>
#include <string>
#include <vector>

namespace movrano::bench {

struct RawCopyResult {
  double seconds = 0;  // cursor open to commit, prepares included
  int rows = 0;
  std::vector<double> stepSeconds;  // each step's, cursor open to its last insert
};

// One table's copy: the source's select and the destination's insert with
// a "?" for each selected column, in the same order.
struct RawCopyStep {
  std::string select;
  std::string insert;
};

// Runs the steps in order in one transaction on each side and commits.
// `onRows`, when set, is called with the rows copied so far after every
// `every` rows.
RawCopyResult RawCopySteps(const std::string& sourcePath, const std::string& destPath,
                           const std::vector<RawCopyStep>& steps, int every = 0,
                           const std::function<void(int)>& onRows = {});

// Copies every row of BENCH_ITEM from the source database into the (empty)
// destination's.
RawCopyResult RawCopyLoop(const std::string& sourcePath, const std::string& destPath, int every = 0,
                          const std::function<void(int)>& onRows = {});

}  // namespace movrano::bench
