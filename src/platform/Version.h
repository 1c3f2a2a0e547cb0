#pragma once
// Version numbers: the program's own (set once in the build) and the
// product version that another program's file carries.
#include <cstdint>
#include <filesystem>
#include <string>

namespace movrano {

struct FileVersion {
  uint16_t major = 0;
  uint16_t minor = 0;
  uint16_t release = 0;
  uint16_t build = 0;
};

// The four numbers in decimal joined by ".", as in 1.3.0.7.
std::string FormatFileVersion(const FileVersion& version);

void GetOwnFileVersion(uint16_t& major, uint16_t& minor, uint16_t& release, uint16_t& build);
std::string GetOwnVersionString();

// The "ProductVersion" text of a PE file's version resource (the string
// table of the first translation), trimmed; empty on any failure.
std::string GetFileProductVersion(const std::filesystem::path& file);

}  // namespace movrano
