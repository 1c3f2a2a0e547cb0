#pragma once
// Reads the version resource out of a PE file (a Windows executable or
// installer), the way the vault products' installers carry their versions.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace movrano {

// The bytes of the file's first version resource (type 16, first name,
// first language); nullopt when the file cannot be read, is no PE file or
// has none. Every read is checked against the file; nothing throws.
std::optional<std::vector<uint8_t>> ReadVersionResource(const std::filesystem::path& file);

}  // namespace movrano
