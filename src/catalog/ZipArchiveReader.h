#pragma once
// Reading a ZIP archive with libzip, as the catalog migration needs it:
// open the file once, count its entries, tell folders apart and extract
// one entry whole into memory. A file that cannot be opened as a ZIP
// archive and an entry that cannot be extracted completely (damaged data,
// a wrong checksum, an encrypted or unsupported entry) raise the standard
// exception class with a message that names the archive.
#include <cstdint>
#include <string>

struct zip;

namespace movrano {

class TZipArchiveReader {
 public:
  explicit TZipArchiveReader(const std::string& path);
  ~TZipArchiveReader();
  TZipArchiveReader(const TZipArchiveReader&) = delete;
  TZipArchiveReader& operator=(const TZipArchiveReader&) = delete;

  int64_t NumberOfItems() const;
  // A folder entry: its name ends in "/" (or "\"), or its external
  // attributes mark a directory (DOS/Windows hosts, Unix hosts).
  bool ItemIsFolder(int64_t index) const;
  std::string ItemPath(int64_t index) const;
  // The entry's bytes, completely.
  std::string ExtractItem(int64_t index) const;

 private:
  std::string path_;
  struct zip* archive_ = nullptr;
};

}  // namespace movrano
