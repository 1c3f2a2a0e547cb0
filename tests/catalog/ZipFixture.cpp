#include "catalog/ZipFixture.h"

#include <lzma.h>
#include <zip.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace movrano::testing {

namespace fs = std::filesystem;

namespace {
constexpr zip_uint32_t kDosDirectory = 0x10;
constexpr uint16_t kEndMarkerFlag = 0x0002;
constexpr uint16_t kUtf8NamesFlag = 0x0800;
constexpr uint16_t kLzmaVersion = 63;  // the ZIP version that reads LZMA and xz
constexpr size_t kLzmaPropertiesSize = 5;

void Check(bool ok, zip_t* archive, const char* what) {
  if (!ok) throw std::runtime_error(std::string(what) + ": " + zip_strerror(archive));
}

void CheckLzma(lzma_ret code, const char* what) {
  if (code != LZMA_OK && code != LZMA_STREAM_END) {
    throw std::runtime_error(std::string(what) + " failed: " + std::to_string(code));
  }
}

void Put(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// LZMA in ZIP: encoder version, properties length, properties, then the
// raw LZMA data, with or without the end marker.
std::string LzmaData(const std::string& bytes, bool endMarker) {
  lzma_options_lzma options;
  if (lzma_lzma_preset(&options, 1)) throw std::runtime_error("lzma preset");
  options.ext_flags = endMarker ? LZMA_LZMA1EXT_ALLOW_EOPM : 0;
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
  uint8_t properties[kLzmaPropertiesSize];
  lzma_filter forProperties = {LZMA_FILTER_LZMA1, &options};
  CheckLzma(lzma_properties_encode(&forProperties, properties), "lzma properties");
  std::string out{"\x09\x14\x05\x00", 4};
  out.append(reinterpret_cast<const char*>(properties), kLzmaPropertiesSize);
  lzma_stream stream = LZMA_STREAM_INIT;
  CheckLzma(lzma_raw_encoder(&stream, filters), "lzma encoder");
  stream.next_in = reinterpret_cast<const uint8_t*>(bytes.data());
  stream.avail_in = bytes.size();
  std::string buffer(64 * 1024, '\0');
  lzma_ret code = LZMA_OK;
  while (code != LZMA_STREAM_END) {
    stream.next_out = reinterpret_cast<uint8_t*>(buffer.data());
    stream.avail_out = buffer.size();
    code = lzma_code(&stream, LZMA_FINISH);
    CheckLzma(code, "lzma");
    out.append(buffer.data(), buffer.size() - stream.avail_out);
  }
  lzma_end(&stream);
  return out;
}

std::string XzData(const std::string& bytes) {
  std::string out(lzma_stream_buffer_bound(bytes.size()), '\0');
  size_t size = 0;
  CheckLzma(lzma_easy_buffer_encode(1, LZMA_CHECK_CRC64, nullptr,
                                    reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                    reinterpret_cast<uint8_t*>(out.data()), &size, out.size()),
            "xz");
  out.resize(size);
  return out;
}

void WriteWithLibzip(const fs::path& file, const std::vector<ZipEntry>& entries,
                     zip_int32_t method) {
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
    Check(zip_set_file_compression(archive, at, method, 0) == 0, archive, "compression");
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

// The fields a local header and a directory record share, from the version
// needed on.
void CommonFields(std::string& to, const RawZipEntry& e) {
  Put(to, kLzmaVersion, 2);
  Put(to, e.flags | kUtf8NamesFlag, 2);
  Put(to, e.method, 2);
  Put(to, 0, 2);             // time
  Put(to, (1 << 5) | 1, 2);  // 1980-01-01
  Put(to, e.crc, 4);
  Put(to, e.data.size(), 4);
  Put(to, e.size, 4);
  Put(to, e.name.size(), 2);
  Put(to, 0, 2);  // extra field
}

}  // namespace

RawZipEntry RawZipEntry::Compressed(std::string name, const std::string& bytes, ZipMethod method) {
  RawZipEntry entry;
  entry.name = std::move(name);
  entry.crc = lzma_crc32(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0);
  entry.size = bytes.size();
  switch (method) {
    case ZipMethod::Lzma:
    case ZipMethod::LzmaWithoutEndMarker:
      entry.method = ZIP_CM_LZMA;
      entry.flags = method == ZipMethod::Lzma ? kEndMarkerFlag : 0;
      entry.data = LzmaData(bytes, method == ZipMethod::Lzma);
      break;
    case ZipMethod::Xz:
      entry.method = ZIP_CM_XZ;
      entry.data = XzData(bytes);
      break;
    default:
      throw std::invalid_argument("LZMA or xz only");
  }
  return entry;
}

RawZipEntry RawZipEntry::Stored(std::string name, const std::string& bytes) {
  RawZipEntry entry;
  entry.name = std::move(name);
  entry.crc = lzma_crc32(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), 0);
  entry.size = bytes.size();
  entry.data = bytes;
  return entry;
}

std::string LocalRecord(const RawZipEntry& e) {
  std::string out;
  Put(out, 0x04034b50, 4);
  CommonFields(out, e);
  return out + e.name + e.data;
}

void WriteRawZip(const fs::path& file, const std::vector<RawZipEntry>& entries) {
  std::string out;
  std::string directory;
  for (const RawZipEntry& e : entries) {
    Put(directory, 0x02014b50, 4);
    Put(directory, kLzmaVersion, 2);  // made by: MS-DOS
    CommonFields(directory, e);
    Put(directory, 0, 2);  // comment
    Put(directory, 0, 2);  // disk
    Put(directory, 0, 2);  // internal attributes
    Put(directory, e.externalAttributes, 4);
    Put(directory, e.recordAt.value_or(out.size()), 4);
    directory += e.name;
    if (!e.recordAt) out += LocalRecord(e);
  }
  const size_t directoryOffset = out.size();
  out += directory;
  Put(out, 0x06054b50, 4);
  Put(out, 0, 4);
  Put(out, entries.size(), 2);
  Put(out, entries.size(), 2);
  Put(out, directory.size(), 4);
  Put(out, directoryOffset, 4);
  Put(out, 0, 2);
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(out.data(), static_cast<std::streamsize>(out.size()));
}

void WriteZip(const fs::path& file, const std::vector<ZipEntry>& entries, ZipMethod method) {
  fs::create_directories(file.parent_path());
  switch (method) {
    case ZipMethod::Store:
      return WriteWithLibzip(file, entries, ZIP_CM_STORE);
    case ZipMethod::Deflate:
      return WriteWithLibzip(file, entries, ZIP_CM_DEFLATE);
    case ZipMethod::Bzip2:
      return WriteWithLibzip(file, entries, ZIP_CM_BZIP2);
    default:
      break;
  }
  std::vector<RawZipEntry> raw;
  for (const ZipEntry& e : entries) {
    if (e.kind == ZipEntry::Kind::Folder) {
      raw.push_back({e.name, ZIP_CM_STORE, 0, {}, 0, 0, kDosDirectory, {}});
      continue;
    }
    raw.push_back(RawZipEntry::Compressed(e.name, e.bytes, method));
    if (e.kind == ZipEntry::Kind::FolderByAttribute) raw.back().externalAttributes = kDosDirectory;
  }
  WriteRawZip(file, raw);
}

void WriteDamagedZip(const fs::path& file, const std::string& name, const std::string& bytes) {
  WriteZip(file, {{name, bytes}}, ZipMethod::Store);
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
