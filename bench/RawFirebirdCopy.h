#pragma once
// The baseline a table copy is measured against: a raw cursor over the
// source's BENCH_ITEM feeding the raw prepared insert of the destination,
// straight over the Firebird client's object API.
#include <functional>
#include <string>

namespace movrano::bench {

struct RawCopyResult {
  double seconds = 0;  // cursor open to commit, prepares included
  int rows = 0;
};

// Copies every row of BENCH_ITEM from the source database into the (empty)
// destination's in one transaction and commits. `onRows`, when set, is
// called with the rows copied so far after every `every` rows.
RawCopyResult RawCopyLoop(const std::string& sourcePath, const std::string& destPath, int every = 0,
                          const std::function<void(int)>& onRows = {});

}  // namespace movrano::bench
