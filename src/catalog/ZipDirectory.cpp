#include "catalog/ZipDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace movrano {

namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kZip64EndOfDirectory = 0x06064b50;
constexpr uint32_t kZip64Locator = 0x07064b50;
constexpr uint32_t kDirectoryRecord = 0x02014b50;
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr uint16_t kZip64ExtraField = 0x0001;
constexpr size_t kEndSize = 22;
constexpr size_t kLocatorSize = 20;
constexpr size_t kZip64EndSize = 56;
constexpr size_t kRecordSize = 46;
constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kLongestComment = 0xFFFF;
constexpr size_t kCheckpointEvery = 256;

struct Malformed {
  const char* what;
};

uint64_t Read(const std::string& bytes, size_t at, int size) {
  if (at + static_cast<size_t>(size) > bytes.size()) throw Malformed{"truncated directory"};
  uint64_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

std::string ReadAt(int fd, uint64_t offset, uint64_t size) {
  std::string bytes(size, '\0');
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n =
        ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw Malformed{"truncated archive"};
    got += static_cast<size_t>(n);
  }
  return bytes;
}

struct Directory {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint64_t entries = 0;
};

// The last end record whose comment reaches the end of the file, and the
// ZIP64 record it may refer to.
Directory FindDirectory(int fd, uint64_t fileSize) {
  const uint64_t tailSize = std::min<uint64_t>(fileSize, kEndSize + kLongestComment);
  const uint64_t tailStart = fileSize - tailSize;
  const std::string tail = ReadAt(fd, tailStart, tailSize);
  for (size_t at = tail.size() >= kEndSize ? tail.size() - kEndSize + 1 : 0; at-- > 0;) {
    if (Read(tail, at, 4) != kEndOfDirectory) continue;
    if (at + kEndSize + Read(tail, at + 20, 2) != tail.size()) continue;
    Directory d{Read(tail, at + 16, 4), Read(tail, at + 12, 4), Read(tail, at + 10, 2)};
    const uint64_t end = tailStart + at;
    if (d.offset != 0xFFFFFFFF && d.size != 0xFFFFFFFF && d.entries != 0xFFFF) return d;
    if (end < kLocatorSize) throw Malformed{"missing ZIP64 directory"};
    const std::string locator = ReadAt(fd, end - kLocatorSize, kLocatorSize);
    if (Read(locator, 0, 4) != kZip64Locator) throw Malformed{"missing ZIP64 directory"};
    const std::string end64 = ReadAt(fd, Read(locator, 8, 8), kZip64EndSize);
    if (Read(end64, 0, 4) != kZip64EndOfDirectory) throw Malformed{"missing ZIP64 directory"};
    return Directory{Read(end64, 48, 8), Read(end64, 40, 8), Read(end64, 32, 8)};
  }
  throw Malformed{"no end of directory"};
}

// Where one entry's record begins, and how many bytes of its data follow
// the local header.
struct Placement {
  uint64_t offset;
  uint64_t dataSize;
};

// The record at `at`; moves `at` past it. ZIP64 values replace those that
// the record marks as too large for their field.
Placement ReadRecord(const std::string& directory, size_t& at) {
  if (Read(directory, at, 4) != kDirectoryRecord) throw Malformed{"bad directory record"};
  uint64_t dataSize = Read(directory, at + 20, 4);
  uint64_t size = Read(directory, at + 24, 4);
  uint64_t offset = Read(directory, at + 42, 4);
  const size_t nameLength = Read(directory, at + 28, 2);
  const size_t extraLength = Read(directory, at + 30, 2);
  const size_t commentLength = Read(directory, at + 32, 2);
  size_t extra = at + kRecordSize + nameLength;
  const size_t extraEnd = extra + extraLength;
  while (extra + 4 <= extraEnd) {
    const uint64_t id = Read(directory, extra, 2);
    const size_t length = Read(directory, extra + 2, 2);
    if (id == kZip64ExtraField) {
      size_t field = extra + 4;
      for (uint64_t* value : {&size, &dataSize, &offset}) {
        if (*value != 0xFFFFFFFF) continue;
        if (field + 8 > extra + 4 + length) throw Malformed{"bad ZIP64 field"};
        *value = Read(directory, field, 8);
        field += 8;
      }
    }
    extra += 4 + length;
  }
  at = extraEnd + commentLength;
  if (at > directory.size()) throw Malformed{"truncated directory"};
  return Placement{offset, dataSize};
}

struct Span {
  uint64_t begin;
  uint64_t end;
};

}  // namespace

std::optional<std::string> OverlappingZipEntries(int fd, const std::function<void()>& checkpoint) {
  try {
    struct stat st;
    if (::fstat(fd, &st) != 0) throw Malformed{"cannot read the archive"};
    const auto fileSize = static_cast<uint64_t>(st.st_size);
    const Directory d = FindDirectory(fd, fileSize);
    if (d.offset > fileSize || d.size > fileSize - d.offset) throw Malformed{"truncated archive"};
    // Each record takes at least its fixed part: a count beyond that is no
    // archive's, and no reason to reserve memory.
    if (d.entries > d.size / kRecordSize) throw Malformed{"truncated directory"};
    const std::string directory = ReadAt(fd, d.offset, d.size);
    std::vector<Span> spans;
    spans.reserve(d.entries);
    size_t at = 0;
    for (uint64_t i = 0; i < d.entries; ++i) {
      if (checkpoint && i % kCheckpointEvery == 0) checkpoint();
      const Placement p = ReadRecord(directory, at);
      const std::string local = ReadAt(fd, p.offset, kLocalHeaderSize);
      if (Read(local, 0, 4) != kLocalHeader) throw Malformed{"bad local header"};
      const uint64_t header = kLocalHeaderSize + Read(local, 26, 2) + Read(local, 28, 2);
      // The header's offset lies in the file, so adding its length cannot
      // wrap; a ZIP64 size that would wrap the end around past zero runs
      // past everything instead.
      const uint64_t dataStart = p.offset + header;
      const uint64_t end =
          p.dataSize > UINT64_MAX - dataStart ? UINT64_MAX : dataStart + p.dataSize;
      spans.push_back(Span{p.offset, end});
    }
    std::sort(spans.begin(), spans.end(),
              [](const Span& a, const Span& b) { return a.begin < b.begin; });
    for (size_t i = 0; i < spans.size(); ++i) {
      const uint64_t next = i + 1 < spans.size() ? spans[i + 1].begin : d.offset;
      if (spans[i].end > next) {
        return std::string("entries overlap");
      }
    }
    return std::nullopt;
  } catch (const Malformed& m) {
    return std::string(m.what);
  }
}

}  // namespace movrano
