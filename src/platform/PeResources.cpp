#include "platform/PeResources.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace movrano {

namespace {

constexpr uint32_t kResourceTypeVersion = 16;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kHighBit = 0x80000000u;
constexpr uint32_t kLargestResource = 1u << 20;

struct Malformed : std::runtime_error {
  Malformed() : std::runtime_error("malformed PE file") {}
};

uint16_t U16(const std::vector<uint8_t>& b, size_t at) {
  if (at + 2 > b.size()) throw Malformed();
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
  return U16(b, at) | (static_cast<uint32_t>(U16(b, at + 2)) << 16);
}

struct Section {
  uint32_t virtualAddress;
  uint32_t virtualSize;
  uint32_t rawSize;
  uint32_t rawOffset;
};

class PeImage {
 public:
  explicit PeImage(const std::filesystem::path& file) : in_(file, std::ios::binary) {
    if (!in_) throw Malformed();
    in_.seekg(0, std::ios::end);
    size_ = static_cast<uint64_t>(in_.tellg());
    readHeaders();
  }

  std::optional<std::vector<uint8_t>> versionResource() {
    if (resourceRva_ == 0) return std::nullopt;
    const uint32_t typeDir = entryTarget(0, kResourceTypeVersion, true);
    if (typeDir == 0) return std::nullopt;
    const uint32_t nameDir = entryTarget(typeDir, std::nullopt, true);
    const uint32_t dataEntry = entryTarget(nameDir, std::nullopt, false);
    const auto entry = readRva(resourceRva_ + dataEntry, 16);
    const uint32_t dataRva = U32(entry, 0);
    const uint32_t dataSize = U32(entry, 4);
    if (dataSize == 0 || dataSize > kLargestResource) throw Malformed();
    return readRva(dataRva, dataSize);
  }

 private:
  std::vector<uint8_t> readAt(uint64_t offset, uint64_t count) {
    if (offset > size_ || count > size_ - offset) throw Malformed();
    std::vector<uint8_t> bytes(count);
    in_.seekg(static_cast<std::streamoff>(offset));
    in_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    if (!in_) throw Malformed();
    return bytes;
  }

  std::vector<uint8_t> readRva(uint32_t rva, uint32_t count) {
    for (const auto& s : sections_) {
      const uint32_t extent = std::max(s.virtualSize, s.rawSize);
      if (rva < s.virtualAddress || rva - s.virtualAddress >= extent) continue;
      const uint64_t within = rva - s.virtualAddress;
      if (within + count > s.rawSize) throw Malformed();
      return readAt(uint64_t{s.rawOffset} + within, count);
    }
    throw Malformed();
  }

  void readHeaders() {
    const auto dos = readAt(0, 64);
    if (dos[0] != 'M' || dos[1] != 'Z') throw Malformed();
    const uint32_t peOffset = U32(dos, 0x3C);
    const auto coff = readAt(peOffset, 24);
    if (coff[0] != 'P' || coff[1] != 'E' || coff[2] != 0 || coff[3] != 0) throw Malformed();
    const uint16_t sectionCount = U16(coff, 6);
    const uint16_t optionalSize = U16(coff, 20);
    const uint64_t optionalOffset = uint64_t{peOffset} + 24;
    const auto optional = readAt(optionalOffset, optionalSize);
    const uint16_t magic = U16(optional, 0);
    if (magic != 0x10B && magic != 0x20B) throw Malformed();
    const size_t countAt = magic == 0x10B ? 92 : 108;
    const uint32_t directoryCount = U32(optional, countAt);
    if (directoryCount > kResourceDirectoryIndex) {
      resourceRva_ = U32(optional, countAt + 4 + 8 * kResourceDirectoryIndex);
    }
    const auto table = readAt(optionalOffset + optionalSize, uint64_t{sectionCount} * 40);
    for (size_t i = 0; i < sectionCount; ++i) {
      const size_t at = i * 40;
      sections_.push_back(
          {U32(table, at + 12), U32(table, at + 8), U32(table, at + 16), U32(table, at + 20)});
    }
  }

  // The target offset (within the resource tree) of the entry with the id,
  // or of the first entry; 0 when no entry matches. The target must be a
  // sub-directory when `directory`, else a data entry.
  uint32_t entryTarget(uint32_t dirOffset, std::optional<uint32_t> id, bool directory) {
    const auto head = readRva(resourceRva_ + dirOffset, 16);
    const uint32_t count = uint32_t{U16(head, 12)} + U16(head, 14);
    for (uint32_t i = 0; i < count; ++i) {
      const auto entry = readRva(resourceRva_ + dirOffset + 16 + 8 * i, 8);
      const uint32_t name = U32(entry, 0);
      const uint32_t target = U32(entry, 4);
      if (id && ((name & kHighBit) != 0 || name != *id)) continue;
      if (((target & kHighBit) != 0) != directory) throw Malformed();
      return target & ~kHighBit;
    }
    if (id) return 0;
    throw Malformed();
  }

  std::ifstream in_;
  uint64_t size_ = 0;
  uint32_t resourceRva_ = 0;
  std::vector<Section> sections_;
};

}  // namespace

std::optional<std::vector<uint8_t>> ReadVersionResource(const std::filesystem::path& file) {
  try {
    PeImage image(file);
    return image.versionResource();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace movrano
