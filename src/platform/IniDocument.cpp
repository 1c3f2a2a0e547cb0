#include "platform/IniDocument.h"

#include "platform/Text.h"

namespace movrano {

namespace {

std::optional<std::string> SectionName(std::string_view line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
  const size_t close = trimmed.find(']');
  return Trim(std::string_view(trimmed).substr(1, close == std::string::npos ? close : close - 1));
}

// The key of a "key=value" line; comment lines have none.
std::optional<std::string> KeyName(std::string_view line) {
  const std::string trimmed = Trim(line);
  if (trimmed.empty() || trimmed.front() == ';') return std::nullopt;
  const size_t eq = trimmed.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return Trim(std::string_view(trimmed).substr(0, eq));
}

std::string Unquoted(std::string value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

std::string BytesOf(std::u16string_view units, bool little) {
  std::string bytes;
  for (const char16_t u : units) {
    const char lo = static_cast<char>(u & 0xFF);
    const char hi = static_cast<char>(u >> 8);
    bytes += little ? lo : hi;
    bytes += little ? hi : lo;
  }
  return bytes;
}

// The first bytes of a character, short of its last ones: some completion
// of them is valid UTF-8. Only the second byte's range depends on the
// first byte, and 0x80 or 0xBF is always in it.
bool IsCutCharacter(std::string_view start) {
  const auto lead = static_cast<unsigned char>(start.front());
  const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (start.size() >= length) return false;
  for (const char filler : {'\x80', '\xBF'}) {
    if (IsValidUtf8(std::string(start) + std::string(length - start.size(), filler))) return true;
  }
  return false;
}

// UTF-8 but for its last character, which lacks its last bytes: a file
// whose writing stopped there.
bool IsUtf8CutInLastCharacter(std::string_view bytes) {
  for (size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const std::string_view start = bytes.substr(bytes.size() - back);
    if ((static_cast<unsigned char>(start.front()) & 0xC0) == 0x80) continue;  // continuation
    return IsCutCharacter(start) && IsValidUtf8(bytes.substr(0, bytes.size() - back));
  }
  return false;
}

}  // namespace

IniDocument IniDocument::FromBytes(std::string_view bytes) {
  IniDocument doc;
  const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  if (starts("\xFF\xFE")) {
    doc.mark_ = Mark::Utf16Le;
  } else if (starts("\xFE\xFF")) {
    doc.mark_ = Mark::Utf16Be;
  } else if (starts("\xEF\xBB\xBF")) {
    doc.mark_ = Mark::Utf8;
  }
  // A cut character loses only itself (shown as U+FFFD), not the file's
  // encoding.
  const std::string text = doc.mark_ == Mark::None && IsUtf8CutInLastCharacter(bytes)
                               ? ReplaceInvalidUtf8(bytes)
                               : DecodeTextFileBytes(bytes);
  if (text.find("\r\n") != std::string::npos) doc.lineEnd_ = "\r\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    doc.lines_.push_back(std::move(line));
    start = end + 1;
  }
  return doc;
}

std::string IniDocument::toBytes() const {
  std::string text;
  for (const auto& line : lines_)
    text += line + lineEnd_;
  switch (mark_) {
    case Mark::Utf16Le:
      return "\xFF\xFE" + BytesOf(Utf8ToUtf16(text), true);
    case Mark::Utf16Be:
      return "\xFE\xFF" + BytesOf(Utf8ToUtf16(text), false);
    case Mark::Utf8:
      return "\xEF\xBB\xBF" + text;
    case Mark::None:
      break;
  }
  return text;
}

std::optional<size_t> IniDocument::findSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const auto name = SectionName(lines_[i]);
    if (name && SameText(*name, section)) return i;
  }
  return std::nullopt;
}

size_t IniDocument::sectionEnd(size_t sectionLine) const {
  size_t i = sectionLine + 1;
  while (i < lines_.size() && !SectionName(lines_[i]))
    ++i;
  return i;
}

std::optional<size_t> IniDocument::findKey(size_t sectionLine, std::string_view key) const {
  const size_t end = sectionEnd(sectionLine);
  for (size_t i = sectionLine + 1; i < end; ++i) {
    const auto name = KeyName(lines_[i]);
    if (name && SameText(*name, key)) return i;
  }
  return std::nullopt;
}

bool IniDocument::hasSection(std::string_view section) const {
  return findSection(section).has_value();
}

std::optional<std::string> IniDocument::value(std::string_view section,
                                              std::string_view key) const {
  const auto s = findSection(section);
  if (!s) return std::nullopt;
  const auto k = findKey(*s, key);
  if (!k) return std::nullopt;
  const std::string& line = lines_[*k];
  return Unquoted(Trim(std::string_view(line).substr(line.find('=') + 1)));
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string entry = std::string(key) + "=" + std::string(value);
  const auto s = findSection(section);
  if (!s) {
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(entry);
    return;
  }
  if (const auto k = findKey(*s, key)) {
    lines_[*k] = entry;
    return;
  }
  // After the section's last non-blank line, so that blank separators stay.
  size_t at = sectionEnd(*s);
  while (at > *s + 1 && Trim(lines_[at - 1]).empty())
    --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), entry);
}

bool IniDocument::remove(std::string_view section, std::string_view key) {
  const auto s = findSection(section);
  if (!s) return false;
  const auto k = findKey(*s, key);
  if (!k) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*k));
  return true;
}

}  // namespace movrano
