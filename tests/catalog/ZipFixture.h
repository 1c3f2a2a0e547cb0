#pragma once
// Writes ZIP archives for tests: with libzip for the methods it writes,
// and record by record for LZMA and xz entries (compressed with liblzma),
// which libzip does not write; a way to damage an entry's stored bytes.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace movrano::testing {

struct ZipEntry {
  enum class Kind {
    File,
    Folder,            // a name ending in "/"
    FolderByAttribute  // a name without "/", marked as a DOS directory
  };
  std::string name;
  std::string bytes;
  Kind kind = Kind::File;

  static ZipEntry Folder(std::string name) { return {std::move(name), {}, Kind::Folder}; }
};

enum class ZipMethod { Store, Deflate, Bzip2, Lzma, LzmaWithoutEndMarker, Xz };

// Every file entry compressed with the method; parent folders are made.
void WriteZip(const std::filesystem::path& file, const std::vector<ZipEntry>& entries,
              ZipMethod method = ZipMethod::Deflate);

// An archive of one stored entry whose data no longer match its checksum.
void WriteDamagedZip(const std::filesystem::path& file, const std::string& name,
                     const std::string& bytes);

// One entry as it is written: its directory record's fields and its
// compressed bytes, for archives a test damages on purpose.
struct RawZipEntry {
  std::string name;
  uint16_t method = 0;  // 0 stored, 12 bzip2, 14 LZMA, 95 xz
  uint16_t flags = 0;
  std::string data;
  uint32_t crc = 0;
  uint64_t size = 0;
  uint32_t externalAttributes = 0;
  // Set: no record of its own is written, and the directory points at this
  // offset, where another entry's record (or data) lies.
  std::optional<uint64_t> recordAt;

  // A file entry of LZMA or xz method with the bytes compressed.
  static RawZipEntry Compressed(std::string name, const std::string& bytes, ZipMethod method);
  // A file entry stored as it is.
  static RawZipEntry Stored(std::string name, const std::string& bytes);
};
void WriteRawZip(const std::filesystem::path& file, const std::vector<RawZipEntry>& entries);
// The entry's local header and data, as WriteRawZip writes them.
std::string LocalRecord(const RawZipEntry& entry);

// The text of a revision's INI file listing the GUIDs as PartGuid0...,
// followed by "PartGuid<n>=None".
std::string PartGuidListIni(const std::vector<std::string>& guids);

}  // namespace movrano::testing
