#include "platform/VersionInfo.h"

#include <algorithm>

#include "platform/Text.h"
#include "platform/TextCodec.h"

namespace movrano {

namespace {

size_t Align4(size_t offset) {
  return (offset + 3) & ~size_t{3};
}

uint16_t Word(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

// The zero-terminated UTF-16 text in b[at, end).
std::u16string Utf16Text(const std::vector<uint8_t>& b, size_t at, size_t end) {
  return Utf16UnitsUpToZero(std::span(b).subspan(at, end - at), ByteOrder::LittleEndian);
}

}  // namespace

VersionInfo::VersionInfo(const std::vector<uint8_t>& resource) {
  try {
    root_ = parse(resource, 0, resource.size(), 1);
  } catch (const TooDeep&) {
    root_.reset();
  }
}

// Block layout: length, value length, type (1 = text, value length in
// characters), zero-terminated UTF-16 key, padding to 4 bytes, value,
// padding, children up to the block's length.
std::optional<VersionInfo::Block> VersionInfo::parse(const std::vector<uint8_t>& bytes, size_t at,
                                                     size_t end, int depth) {
  if (at + 6 > end) return std::nullopt;
  if (depth > kDeepestBlock) throw TooDeep();
  const size_t length = Word(bytes, at);
  if (length < 6 || at + length > end) return std::nullopt;
  const size_t blockEnd = at + length;
  Block block;
  block.text = Word(bytes, at + 4) == 1;
  const size_t valueLength = Word(bytes, at + 2) * (block.text ? 2u : 1u);
  block.key = Utf16Text(bytes, at + 6, blockEnd);
  size_t pos = Align4(at + 6 + 2 * (block.key.size() + 1));
  if (pos > blockEnd) return block;
  const size_t valueEnd = std::min(pos + valueLength, blockEnd);
  block.value.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                     bytes.begin() + static_cast<std::ptrdiff_t>(valueEnd));
  for (pos = Align4(valueEnd); pos < blockEnd;) {
    auto child = parse(bytes, pos, blockEnd, depth + 1);
    if (!child) break;
    pos = Align4(pos + Word(bytes, pos));
    block.children.push_back(std::move(*child));
  }
  return block;
}

const VersionInfo::Block* VersionInfo::find(std::string_view path) const {
  if (!root_) return nullptr;
  const Block* block = &*root_;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    const auto name = path.substr(start, end - start);
    start = end + 1;
    if (name.empty()) continue;
    const Block* next = nullptr;
    for (const auto& child : block->children) {
      if (SameText(Utf16ToUtf8(child.key), name)) {
        next = &child;
        break;
      }
    }
    if (!next) return nullptr;
    block = next;
  }
  return block;
}

std::optional<std::vector<uint8_t>> VersionInfo::query(std::string_view path) const {
  const Block* block = find(path);
  if (!block) return std::nullopt;
  return block->value;
}

std::optional<std::string> VersionInfo::queryText(std::string_view path) const {
  const Block* block = find(path);
  if (!block) return std::nullopt;
  return Utf16ToUtf8(Utf16Text(block->value, 0, block->value.size()));
}

}  // namespace movrano
