// Opens each input as a ZIP archive: the central-directory check on its
// own, then the reader as the catalog migration uses it, every entry read
// to its end.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "PeakMemory.h"
#include "catalog/ZipArchiveReader.h"
#include "catalog/ZipDirectory.h"
#include "platform/Exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace movrano;
  const int fd = ::memfd_create("zip", MFD_CLOEXEC);
  if (fd < 0) return 0;
  for (size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  {
    fuzz::PeakMemory memory;
    (void)OverlappingZipEntries(fd, [] {});
    // The directory is read whole, the entries' spans beside it.
    memory.Check(size, 4, size_t{1} << 20);
  }
  try {
    const TZipArchiveReader reader("/proc/self/fd/" + std::to_string(fd));
    const int64_t count = reader.NumberOfItems();
    for (int64_t i = 0; i < count; ++i) {
      (void)reader.ItemPath(i);
      (void)reader.ItemIsFolder(i);
      try {
        reader.ReadItem(i, [](std::string_view piece) {
          if (piece.size() > TZipArchiveReader::kPieceSize) __builtin_trap();
        });
      } catch (const Exception&) {
      }
    }
  } catch (const Exception&) {
  }
  ::close(fd);
  return 0;
}
