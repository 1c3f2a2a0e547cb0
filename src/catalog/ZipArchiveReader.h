#pragma once
// Reading a ZIP archive with libzip, as the catalog migration needs it:
// open the file once, count its entries, tell folders apart and read one
// entry as a stream of pieces, so that an entry of any size takes little
// memory. Entries stored, deflated or compressed with bzip2 are read by
// libzip; LZMA and xz entries, which this libzip may not decode, by
// liblzma from the entry's compressed bytes, their size and checksum
// checked here. A file that cannot be opened as a ZIP archive (entries
// whose records overlap included: their few bytes could decode to
// gigabytes, once for each entry) and an entry that cannot be read
// completely (damaged data, a wrong checksum, an encrypted or unsupported
// entry) raise the standard exception class with a message that names the
// archive.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct zip;
struct zip_stat;

namespace movrano {

class TZipArchiveReader {
 public:
  // Pieces are at most this long.
  static constexpr size_t kPieceSize = 64 * 1024;

  // `checkpoint` runs while the archive is opened and read, at least once
  // for every piece handed over; what it raises (a cancellation) ends the
  // reading.
  explicit TZipArchiveReader(const std::string& path, std::function<void()> checkpoint = {});
  ~TZipArchiveReader();
  TZipArchiveReader(const TZipArchiveReader&) = delete;
  TZipArchiveReader& operator=(const TZipArchiveReader&) = delete;

  int64_t NumberOfItems() const;
  // A folder entry: its name ends in "/" (or "\"), or its external
  // attributes mark a directory (DOS/Windows hosts, Unix hosts).
  bool ItemIsFolder(int64_t index) const;
  std::string ItemPath(int64_t index) const;
  // Hands the entry's bytes to `sink` in order, piece by piece. A damaged
  // entry may raise after some pieces were handed over (its checksum is
  // known only at its end): what the sink took is then to be dropped.
  void ReadItem(int64_t index, const std::function<void(std::string_view)>& sink) const;

 private:
  [[noreturn]] void RaiseReadError(int64_t index, const std::string& reason) const;
  // `stat` is the entry's directory record.
  void ReadLzmaItem(int64_t index, const struct zip_stat& stat,
                    const std::function<void(std::string_view)>& sink) const;

  void passCheckpoint() const {
    if (checkpoint_) checkpoint_();
  }

  std::string path_;
  std::function<void()> checkpoint_;
  struct zip* archive_ = nullptr;
};

}  // namespace movrano
