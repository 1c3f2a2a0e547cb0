#include "catalog/ZipArchiveReader.h"

#include <sys/stat.h>
#include <zip.h>

#include "platform/Exceptions.h"
#include "platform/Text.h"

namespace movrano {

namespace {

constexpr uint32_t kDosDirectoryAttribute = 0x10;

std::string ErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

[[noreturn]] void RaiseArchiveError(const std::string& message) {
  throw Exception(message);
}

}  // namespace

TZipArchiveReader::TZipArchiveReader(const std::string& path) : path_(path) {
  int code = 0;
  archive_ = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (!archive_) {
    RaiseArchiveError(Format("Can not open file %s as a ZIP archive: %s", path, ErrorText(code)));
  }
}

TZipArchiveReader::~TZipArchiveReader() {
  if (archive_) zip_discard(archive_);
}

int64_t TZipArchiveReader::NumberOfItems() const {
  return zip_get_num_entries(archive_, 0);
}

std::string TZipArchiveReader::ItemPath(int64_t index) const {
  const char* name = zip_get_name(archive_, static_cast<zip_uint64_t>(index), 0);
  return name ? name : "";
}

bool TZipArchiveReader::ItemIsFolder(int64_t index) const {
  const std::string name = ItemPath(index);
  if (!name.empty() && (name.back() == '/' || name.back() == '\\')) return true;
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive_, static_cast<zip_uint64_t>(index), 0, &system,
                                       &attributes) != 0) {
    return false;
  }
  switch (system) {
    case ZIP_OPSYS_DOS:
    case ZIP_OPSYS_WINDOWS_NTFS:
    case ZIP_OPSYS_VFAT:
    case ZIP_OPSYS_OS_2:
      return (attributes & kDosDirectoryAttribute) != 0;
    case ZIP_OPSYS_UNIX:
    case ZIP_OPSYS_OS_X:
      return S_ISDIR(attributes >> 16);
    default:
      return false;
  }
}

std::string TZipArchiveReader::ExtractItem(int64_t index) const {
  const auto at = static_cast<zip_uint64_t>(index);
  zip_file_t* file = zip_fopen_index(archive_, at, 0);
  if (!file) {
    RaiseArchiveError(Format("Can not extract %s from %s: %s", ItemPath(index), path_,
                             std::string(zip_strerror(archive_))));
  }
  std::string bytes;
  char buffer[64 * 1024];
  while (true) {
    const zip_int64_t n = zip_fread(file, buffer, sizeof buffer);
    if (n < 0) {
      const std::string reason = zip_file_strerror(file);
      zip_fclose(file);
      RaiseArchiveError(Format("Can not extract %s from %s: %s", ItemPath(index), path_, reason));
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  const int closed = zip_fclose(file);
  if (closed != 0) {
    RaiseArchiveError(
        Format("Can not extract %s from %s: %s", ItemPath(index), path_, ErrorText(closed)));
  }
  return bytes;
}

}  // namespace movrano
