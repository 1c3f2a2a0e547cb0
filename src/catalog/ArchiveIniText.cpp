#include "catalog/ArchiveIniText.h"

#include "platform/Text.h"

namespace movrano {

namespace {

constexpr const char* kPartGuidSection = "PartGuidList";
constexpr const char* kPartGuidKey = "PartGuid%d";
constexpr const char* kListEnd = "None";

// The lines of a text as a string list takes them: a line break is CR,
// LF or CR LF.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n')
      ++end;
    lines.push_back(text.substr(start, end - start));
    if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
      ++end;
    start = end + 1;
  }
  return lines;
}

}  // namespace

TArchiveIniText TArchiveIniText::FromBytes(std::string_view bytes) {
  TArchiveIniText ini;
  const std::string text = DecodeTextFileBytes(bytes);
  Section* current = nullptr;
  for (const std::string_view raw : Lines(text)) {
    const std::string line = Trim(raw);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
      ini.sections_.push_back({Trim(std::string_view(line).substr(1, line.size() - 2)), {}});
      current = &ini.sections_.back();
      continue;
    }
    if (!current) continue;
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    current->entries.emplace_back(Trim(std::string_view(line).substr(0, eq)),
                                  Trim(std::string_view(line).substr(eq + 1)));
  }
  return ini;
}

std::string TArchiveIniText::ReadString(std::string_view section, std::string_view key,
                                        std::string_view defaultValue) const {
  for (const Section& s : sections_) {
    if (!SameText(s.name, section)) continue;
    for (const auto& [name, value] : s.entries) {
      if (SameText(name, key)) return value;
    }
    break;
  }
  return std::string(defaultValue);
}

std::vector<std::string> PartGuidsOfIniText(std::string_view bytes) {
  const TArchiveIniText ini = TArchiveIniText::FromBytes(bytes);
  std::vector<std::string> guids;
  for (int k = 0;; ++k) {
    std::string value = ini.ReadString(kPartGuidSection, Format(kPartGuidKey, k), kListEnd);
    if (value == kListEnd) break;
    guids.push_back(std::move(value));
  }
  return guids;
}

}  // namespace movrano
