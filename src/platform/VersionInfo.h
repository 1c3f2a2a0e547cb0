#pragma once
// A version resource's block tree: named blocks, each with a value and
// child blocks, queried by a "\"-separated path as the platform's version
// API does ("\VarFileInfo\Translation",
// "\StringFileInfo\040904b0\ProductVersion").
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace movrano {

class VersionInfo {
 public:
  // Blocks nest this deep at most (a product version is four levels
  // down); a deeper resource reads as none at all, so that a crafted file
  // cannot exhaust the reading thread's stack.
  static constexpr int kDeepestBlock = 16;

  // Parses the resource; a block that runs past its parent ends the
  // parsing of that parent's children.
  explicit VersionInfo(const std::vector<uint8_t>& resource);

  // The value bytes of the block at the path (names compared without
  // regard to case); nullopt when there is none.
  std::optional<std::vector<uint8_t>> query(std::string_view path) const;
  // The value of a text block, up to its terminating zero, as UTF-8.
  std::optional<std::string> queryText(std::string_view path) const;

 private:
  struct Block {
    std::u16string key;
    bool text = false;
    std::vector<uint8_t> value;
    std::vector<Block> children;
  };

  struct TooDeep {};
  // Raises TooDeep below kDeepestBlock.
  static std::optional<Block> parse(const std::vector<uint8_t>& bytes, size_t at, size_t end,
                                    int depth);
  const Block* find(std::string_view path) const;

  std::optional<Block> root_;
};

}  // namespace movrano
