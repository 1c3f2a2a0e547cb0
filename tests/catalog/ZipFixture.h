#pragma once
// Writes ZIP archives for tests with libzip: file and folder entries in the
// order given, and a way to damage an entry's stored bytes.
#include <filesystem>
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

// Deflated, or stored when `deflate` is false; parent folders are made.
void WriteZip(const std::filesystem::path& file, const std::vector<ZipEntry>& entries,
              bool deflate = true);

// An archive of one stored entry whose data no longer match its checksum.
void WriteDamagedZip(const std::filesystem::path& file, const std::string& name,
                     const std::string& bytes);

// The text of a revision's INI file listing the GUIDs as PartGuid0...,
// followed by "PartGuid<n>=None".
std::string PartGuidListIni(const std::vector<std::string>& guids);

}  // namespace movrano::testing
