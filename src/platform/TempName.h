#pragma once
// The names of the temporary entries that reach their final name only
// whole (".movrano-<pid>-<n>.part"): short whatever the final name, so
// that a name as long as the file system allows can still be replaced, and
// naming the process, so that a later copy can tell one that a killed
// process left.
#include <cerrno>
#include <string>
#include <string_view>

namespace movrano {

// A name that no earlier call in this process gave.
std::string NextTempName();

// Calls `create` with new names until it makes its entry (answers true) or
// fails otherwise than on a taken name; answers the name, or an empty one
// with errno set.
template <typename Create>
std::string CreateUnderTempName(Create create) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = NextTempName();
    if (create(name)) return name;
    if (errno != EEXIST) break;
  }
  return {};
}

// A temporary name that this process gave or one that has ended: what a
// killed copy left, in a folder this process is about to copy into.
bool IsLeftOverTempName(std::string_view name);

}  // namespace movrano
