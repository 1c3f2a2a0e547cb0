#include "platform/Version.h"

#include <cstdio>

#include "platform/PeResources.h"
#include "platform/Text.h"
#include "platform/VersionInfo.h"

namespace movrano {

std::string FormatFileVersion(const FileVersion& version) {
  return Format("%d.%d.%d.%d", version.major, version.minor, version.release, version.build);
}

void GetOwnFileVersion(uint16_t& major, uint16_t& minor, uint16_t& release, uint16_t& build) {
  major = MOVRANO_VERSION_MAJOR;
  minor = MOVRANO_VERSION_MINOR;
  release = MOVRANO_VERSION_PATCH;
  build = MOVRANO_VERSION_TWEAK;
}

std::string GetOwnVersionString() {
  FileVersion v;
  GetOwnFileVersion(v.major, v.minor, v.release, v.build);
  return FormatFileVersion(v);
}

std::string GetFileProductVersion(const std::filesystem::path& file) {
  try {
    const auto resource = ReadVersionResource(file);
    if (!resource) return {};
    const VersionInfo info(*resource);
    const auto translation = info.query("\\VarFileInfo\\Translation");
    if (!translation || translation->size() < 4) return {};
    const auto word = [&](size_t i) {
      return static_cast<unsigned>((*translation)[i] | ((*translation)[i + 1] << 8));
    };
    char table[9];
    std::snprintf(table, sizeof table, "%.4x%.4x", word(0), word(2));
    const auto text =
        info.queryText("\\StringFileInfo\\" + std::string(table) + "\\ProductVersion");
    return text ? Trim(*text) : std::string();
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace movrano
