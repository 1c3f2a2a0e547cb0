#pragma once
// The spans of a ZIP archive's records as its central directory places
// them, to refuse an archive whose entries share data: a few kilobytes that
// several directory records point into can decode to gigabytes, once for
// each record.
#include <functional>
#include <optional>
#include <string>

namespace movrano {

// What is wrong with the archive open at `fd`: entries that overlap each
// other or the directory, or a directory that cannot be read; nullopt when
// every entry's record (local header and data) stands apart. `checkpoint`
// runs every few hundred records; what it raises ends the check.
std::optional<std::string> OverlappingZipEntries(int fd, const std::function<void()>& checkpoint);

}  // namespace movrano
