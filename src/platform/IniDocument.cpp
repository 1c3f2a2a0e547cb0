#include "platform/IniDocument.h"

#include "platform/Text.h"
#include "platform/TextCodec.h"

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

// UTF-8 but for its last character, which lacks its last bytes: a file
// whose writing stopped there.
bool IsUtf8CutInLastCharacter(std::string_view bytes) {
  const size_t open = OpenUtf8Tail(bytes);
  return open > 0 && IsValidUtf8(bytes.substr(0, bytes.size() - open));
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
      return "\xFF\xFE" + Utf16Bytes(Utf8ToUtf16(text), ByteOrder::LittleEndian);
    case Mark::Utf16Be:
      return "\xFE\xFF" + Utf16Bytes(Utf8ToUtf16(text), ByteOrder::BigEndian);
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
