#pragma once
// Small PE files made in code, with or without a version resource, for the
// product-version reader and for installers in engine tests.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace movrano::testing {

struct PeFixture {
  bool pe32Plus = false;
  uint32_t resourceType = 16;  // 16 is the version resource; another type means none
  bool withTranslation = true;
  uint16_t language = 0x0409;
  uint16_t codePage = 0x04B0;
  std::string stringTableKey;  // default: language and code page, upper-case hex
  std::optional<std::string> productVersion = "1.0.0.0";
  // A chain of this many blocks, one inside the other, beside the tables.
  int nesting = 0;
};

std::string BuildPeFile(const PeFixture& fixture);
void WritePeFile(const std::filesystem::path& file, const PeFixture& fixture);

}  // namespace movrano::testing
