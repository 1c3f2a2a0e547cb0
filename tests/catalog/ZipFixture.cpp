#include "catalog/ZipFixture.h"

#include <zip.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace movrano::testing {

namespace fs = std::filesystem;

namespace {
constexpr zip_uint32_t kDosDirectory = 0x10;

void Check(bool ok, zip_t* archive, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + zip_strerror(archive));
}
}  // namespace

void WriteZip(const fs::path& file, const std::vector<ZipEntry>& entries, bool deflate) {
  fs::create_directories(file.parent_path());
  int code = 0;
  zip_t* archive = zip_open(file.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (!archive) throw std::runtime_error("cannot create " + file.string());
  for (const ZipEntry& e : entries) {
    if (e.kind == ZipEntry::Kind::Folder) {
      Check(zip_dir_add(archive, e.name.c_str(), ZIP_FL_ENC_UTF_8) >= 0, archive, "dir");
      continue;
    }
    // The bytes stay alive until zip_close, which reads them.
    zip_source_t* source = zip_source_buffer(archive, e.bytes.data(), e.bytes.size(), 0);
    Check(source != nullptr, archive, "source");
    const zip_int64_t index = zip_file_add(archive, e.name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0) zip_source_free(source);
    Check(index >= 0, archive, "add");
    const auto at = static_cast<zip_uint64_t>(index);
    Check(zip_set_file_compression(archive, at, deflate ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) == 0,
          archive, "compression");
    if (e.kind == ZipEntry::Kind::FolderByAttribute) {
      Check(zip_file_set_external_attributes(archive, at, 0, ZIP_OPSYS_DOS, kDosDirectory) == 0,
            archive, "attributes");
    }
  }
  if (zip_close(archive) != 0) {
    const std::string reason = zip_strerror(archive);
    zip_discard(archive);
    throw std::runtime_error("cannot write " + file.string() + ": " + reason);
  }
}

void WriteDamagedZip(const fs::path& file, const std::string& name, const std::string& bytes) {
  WriteZip(file, {{name, bytes}}, false);
  std::string data;
  {
    std::ifstream in(file, std::ios::binary);
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const size_t at = data.find(bytes);
  if (at == std::string::npos) throw std::runtime_error("stored bytes not found");
  data[at] = static_cast<char>(data[at] ^ 0x5A);
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << data;
}

std::string PartGuidListIni(const std::vector<std::string>& guids) {
  std::string text = "[Revision]\r\nItemHRID=X\r\n\r\n[PartGuidList]\r\n";
  for (size_t i = 0; i < guids.size(); ++i)
    text += "PartGuid" + std::to_string(i) + "=" + guids[i] + "\r\n";
  return text + "PartGuid" + std::to_string(guids.size()) + "=None\r\n";
}

}  // namespace movrano::testing
