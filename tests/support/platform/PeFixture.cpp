#include "support/platform/PeFixture.h"

#include <cstdio>
#include <fstream>
#include <vector>

#include "platform/TextCodec.h"

namespace movrano::testing {

namespace {

void Pad4(std::string& out) {
  while (out.size() % 4 != 0)
    out += '\0';
}

void Put16(std::string& out, size_t at, uint32_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, size_t at, uint32_t v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}

std::string Wide(std::string_view text) {
  return Utf16Bytes(Utf8ToUtf16(text), ByteOrder::LittleEndian) + std::string(2, '\0');
}

// One block of a version resource: header, key, value, children.
std::string Block(std::string_view key, const std::string& value, bool text,
                  const std::vector<std::string>& children = {}) {
  std::string out(6, '\0');
  out += Wide(key);
  Pad4(out);
  out += value;
  for (const auto& child : children) {
    Pad4(out);
    out += child;
  }
  Put16(out, 0, static_cast<uint32_t>(out.size()));
  Put16(out, 2, static_cast<uint32_t>(text ? value.size() / 2 : value.size()));
  Put16(out, 4, text ? 1 : 0);
  return out;
}

std::string VersionResource(const PeFixture& f) {
  std::string fixed(52, '\0');
  Put32(fixed, 0, 0xFEEF04BD);
  Put32(fixed, 4, 0x00010000);
  std::vector<std::string> strings;
  strings.push_back(Block("CompanyName", Wide("Fixture Company"), true));
  if (f.productVersion) strings.push_back(Block("ProductVersion", Wide(*f.productVersion), true));
  char key[9];
  std::snprintf(key, sizeof key, "%04X%04X", f.language, f.codePage);
  const std::string tableKey = f.stringTableKey.empty() ? key : f.stringTableKey;
  std::vector<std::string> children{
      Block("StringFileInfo", "", true, {Block(tableKey, "", true, strings)})};
  if (f.withTranslation) {
    std::string pair(4, '\0');
    Put16(pair, 0, f.language);
    Put16(pair, 2, f.codePage);
    children.push_back(Block("VarFileInfo", "", true, {Block("Translation", pair, false)}));
  }
  if (f.nesting > 0) {
    std::string chain = Block("", "", false);
    for (int level = 1; level < f.nesting; ++level)
      chain = Block("", "", false, {chain});
    children.push_back(chain);
  }
  return Block("VS_VERSION_INFO", fixed, false, children);
}

// A resource tree with one entry per level (type, name 1, language) and
// the data right behind it.
std::string ResourceSection(const PeFixture& f, uint32_t sectionRva) {
  std::string out(0x58, '\0');
  const auto directory = [&](size_t at, uint32_t id, uint32_t target, bool subdirectory) {
    Put16(out, at + 14, 1);
    Put32(out, at + 16, id);
    Put32(out, at + 20, subdirectory ? (0x80000000u | target) : target);
  };
  directory(0x00, f.resourceType, 0x18, true);
  directory(0x18, 1, 0x30, true);
  directory(0x30, f.language, 0x48, false);
  const std::string data = VersionResource(f);
  Put32(out, 0x48, sectionRva + 0x58);
  Put32(out, 0x4C, static_cast<uint32_t>(data.size()));
  out += data;
  return out;
}

}  // namespace

std::string BuildPeFile(const PeFixture& f) {
  constexpr uint32_t kPeOffset = 0x40;
  constexpr uint32_t kSectionRva = 0x1000;
  constexpr uint32_t kRawOffset = 0x200;
  const uint32_t optionalSize = f.pe32Plus ? 240 : 224;
  const std::string section = ResourceSection(f, kSectionRva);

  std::string out(kRawOffset, '\0');
  out[0] = 'M';
  out[1] = 'Z';
  Put32(out, 0x3C, kPeOffset);
  out.replace(kPeOffset, 4, std::string("PE\0\0", 4));
  Put16(out, kPeOffset + 4, f.pe32Plus ? 0x8664 : 0x014C);
  Put16(out, kPeOffset + 6, 1);
  Put16(out, kPeOffset + 20, optionalSize);
  Put16(out, kPeOffset + 22, 0x0102);
  const size_t opt = kPeOffset + 24;
  Put16(out, opt, f.pe32Plus ? 0x20B : 0x10B);
  const size_t countAt = opt + (f.pe32Plus ? 108 : 92);
  Put32(out, countAt, 16);
  Put32(out, countAt + 4 + 8 * 2, kSectionRva);
  Put32(out, countAt + 8 + 8 * 2, static_cast<uint32_t>(section.size()));
  const size_t header = opt + optionalSize;
  out.replace(header, 6, ".rsrc\0", 6);
  Put32(out, header + 8, static_cast<uint32_t>(section.size()));
  Put32(out, header + 12, kSectionRva);
  Put32(out, header + 16, static_cast<uint32_t>(section.size()));
  Put32(out, header + 20, kRawOffset);
  return out + section;
}

void WritePeFile(const std::filesystem::path& file, const PeFixture& fixture) {
  const std::string bytes = BuildPeFile(fixture);
  std::ofstream(file, std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace movrano::testing
