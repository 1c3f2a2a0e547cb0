#include "catalog/ZipArchiveReader.h"

#include <fcntl.h>
#include <lzma.h>
#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "catalog/ZipDirectory.h"
#include "platform/Exceptions.h"
#include "platform/FileDescriptor.h"
#include "platform/RegularFile.h"
#include "platform/Text.h"

namespace movrano {

namespace {

constexpr uint32_t kDosDirectoryAttribute = 0x10;
// What an LZMA or xz decoder may take, its dictionary above all: a crafted
// header must not make one entry take the machine's memory.
constexpr uint64_t kLzmaMemoryLimit = uint64_t{256} << 20;
// An LZMA entry's data begin with the encoder's version (two bytes), the
// length of the properties (two bytes) and the properties themselves.
constexpr size_t kLzmaPropertiesSize = 5;
constexpr size_t kLzmaHeaderSize = 4 + kLzmaPropertiesSize;

struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipFile = std::unique_ptr<zip_file_t, ZipFileCloser>;

struct ZipDiscarder {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};

struct LzmaStream {
  LzmaStream() = default;
  LzmaStream(const LzmaStream&) = delete;
  LzmaStream& operator=(const LzmaStream&) = delete;
  ~LzmaStream() { lzma_end(&stream); }
  lzma_stream stream = LZMA_STREAM_INIT;
};

std::string ErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

std::string LzmaErrorText(lzma_ret code) {
  switch (code) {
    case LZMA_MEM_ERROR:
      return "Out of memory";
    case LZMA_MEMLIMIT_ERROR:
      return "LZMA memory limit exceeded";
    case LZMA_FORMAT_ERROR:
      return "Not an xz stream";
    case LZMA_OPTIONS_ERROR:
      return "Unsupported LZMA options";
    case LZMA_DATA_ERROR:
      return "Compressed data is corrupt";
    case LZMA_BUF_ERROR:
      return "Compressed data end unexpectedly";
    default:
      return Format("LZMA decoder error %d", static_cast<int>(code));
  }
}

[[noreturn]] void RaiseArchiveError(const std::string& message) {
  throw Exception(message);
}

bool DecodedByLiblzma(const zip_stat_t& stat) {
  const bool lzma = stat.comp_method == ZIP_CM_LZMA || stat.comp_method == ZIP_CM_XZ;
  return lzma && stat.encryption_method == ZIP_EM_NONE &&
         !zip_compression_method_supported(stat.comp_method, 0);
}

}  // namespace

TZipArchiveReader::TZipArchiveReader(const std::string& path, std::function<void()> checkpoint)
    : path_(path), checkpoint_(std::move(checkpoint)) {
  const auto refuse = [&](const std::string& reason) {
    RaiseArchiveError(Format("Can not open file %s as a ZIP archive: %s", path, reason));
  };
  passCheckpoint();
  // Opened without blocking: a FIFO there is refused, not waited on.
  struct stat st;
  FileDescriptor fd = OpenWithoutWaiting(path, st);
  if (!fd.valid()) refuse(std::strerror(errno));
  if (!S_ISREG(st.st_mode)) refuse("Not a regular file");
  FileDescriptor forLibzip(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
  if (!forLibzip.valid()) refuse(std::strerror(errno));
  int code = 0;
  // Discarded on every way out until the check has passed, a raising
  // checkpoint's too.
  std::unique_ptr<zip_t, ZipDiscarder> opened(zip_fdopen(forLibzip.get(), ZIP_RDONLY, &code));
  if (!opened) refuse(ErrorText(code));
  (void)forLibzip.release();  // the archive closes it
  if (const auto overlap = OverlappingZipEntries(fd.get(), checkpoint_)) {
    refuse(ErrorText(ZIP_ER_INCONS) + ": " + *overlap);
  }
  archive_ = opened.release();
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

void TZipArchiveReader::RaiseReadError(int64_t index, const std::string& reason) const {
  RaiseArchiveError(Format("Can not extract %s from %s: %s", ItemPath(index), path_, reason));
}

void TZipArchiveReader::ReadItem(int64_t index,
                                 const std::function<void(std::string_view)>& sink) const {
  const auto at = static_cast<zip_uint64_t>(index);
  zip_stat_t stat;
  if (zip_stat_index(archive_, at, 0, &stat) == 0 && DecodedByLiblzma(stat)) {
    ReadLzmaItem(index, stat, sink);
    return;
  }
  ZipFile file(zip_fopen_index(archive_, at, 0));
  if (!file) RaiseReadError(index, zip_strerror(archive_));
  std::vector<char> buffer(kPieceSize);
  while (true) {
    passCheckpoint();
    const zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
    if (n < 0) RaiseReadError(index, zip_file_strerror(file.get()));
    if (n == 0) break;
    sink(std::string_view(buffer.data(), static_cast<size_t>(n)));
  }
  const int closed = zip_fclose(file.release());
  if (closed != 0) RaiseReadError(index, ErrorText(closed));
}

// libzip hands over the entry's compressed bytes; liblzma decodes them, and
// the size and CRC-32 of the entry's directory record are checked here.
void TZipArchiveReader::ReadLzmaItem(int64_t index, const struct zip_stat& stat,
                                     const std::function<void(std::string_view)>& sink) const {
  ZipFile file(zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), ZIP_FL_COMPRESSED));
  if (!file) RaiseReadError(index, zip_strerror(archive_));
  std::vector<uint8_t> input(kPieceSize);
  const auto readCompressed = [&](size_t wanted) {
    const zip_int64_t n = zip_fread(file.get(), input.data(), wanted);
    if (n < 0) RaiseReadError(index, zip_file_strerror(file.get()));
    return static_cast<size_t>(n);
  };

  LzmaStream decoder;
  lzma_ret started = LZMA_OK;
  if (stat.comp_method == ZIP_CM_LZMA) {
    if (readCompressed(kLzmaHeaderSize) != kLzmaHeaderSize || input[2] != kLzmaPropertiesSize ||
        input[3] != 0) {
      RaiseReadError(index, LzmaErrorText(LZMA_OPTIONS_ERROR));
    }
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    started = lzma_properties_decode(&filters[0], nullptr, &input[4], kLzmaPropertiesSize);
    if (started != LZMA_OK) RaiseReadError(index, LzmaErrorText(started));
    const std::unique_ptr<lzma_options_lzma, decltype(&std::free)> options(
        static_cast<lzma_options_lzma*>(filters[0].options), &std::free);
    // The end marker may follow the entry's bytes or not; a dictionary
    // larger than the entry is never used beyond the entry's size.
    filters[0].id = LZMA_FILTER_LZMA1EXT;
    options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
    options->ext_size_low = static_cast<uint32_t>(stat.size);
    options->ext_size_high = static_cast<uint32_t>(stat.size >> 32);
    options->dict_size = static_cast<uint32_t>(
        std::min<uint64_t>(options->dict_size, std::max<uint64_t>(stat.size, LZMA_DICT_SIZE_MIN)));
    if (lzma_raw_decoder_memusage(filters) > kLzmaMemoryLimit) {
      RaiseReadError(index, LzmaErrorText(LZMA_MEMLIMIT_ERROR));
    }
    started = lzma_raw_decoder(&decoder.stream, filters);
  } else {
    started = lzma_stream_decoder(&decoder.stream, kLzmaMemoryLimit, 0);
  }
  if (started != LZMA_OK) RaiseReadError(index, LzmaErrorText(started));

  lzma_stream& stream = decoder.stream;
  std::vector<uint8_t> output(kPieceSize);
  bool inputEnded = false;
  uint32_t crc = 0;
  uint64_t size = 0;
  while (true) {
    passCheckpoint();
    if (stream.avail_in == 0 && !inputEnded) {
      stream.next_in = input.data();
      stream.avail_in = readCompressed(input.size());
      inputEnded = stream.avail_in == 0;
    }
    stream.next_out = output.data();
    stream.avail_out = output.size();
    const lzma_ret step = lzma_code(&stream, inputEnded ? LZMA_FINISH : LZMA_RUN);
    const size_t produced = output.size() - stream.avail_out;
    if (produced > 0) {
      crc = lzma_crc32(output.data(), produced, crc);
      size += produced;
      if (size > stat.size) RaiseReadError(index, ErrorText(ZIP_ER_CRC));
      sink(std::string_view(reinterpret_cast<const char*>(output.data()), produced));
    }
    if (step == LZMA_STREAM_END) break;
    if (step != LZMA_OK) RaiseReadError(index, LzmaErrorText(step));
  }
  if (size != stat.size || crc != stat.crc) RaiseReadError(index, ErrorText(ZIP_ER_CRC));
}

}  // namespace movrano
