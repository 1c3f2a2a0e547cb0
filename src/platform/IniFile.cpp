#include "platform/IniFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"
#include "platform/Text.h"

namespace movrano {

namespace {

std::string CutToLimit(const std::string& value) {
  std::u16string units = Utf8ToUtf16(value);
  if (units.size() <= kIniValueLimit) return value;
  units.resize(kIniValueLimit);
  if (units.back() >= 0xD800 && units.back() <= 0xDBFF) units.pop_back();
  return Utf16ToUtf8(units);
}

std::optional<int> WholeNumber(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text.front() == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty() || text.front() == '-' || text.front() == '+') return std::nullopt;
  long long n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (negative) n = -n;
  if (n < INT32_MIN || n > INT32_MAX) return std::nullopt;
  return static_cast<int>(n);
}

bool BreaksLine(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string UnableToWrite(const std::filesystem::path& file) {
  return Format("Unable to write to %s", file.string());
}

}  // namespace

IniDocument ReadIniFileForRewrite(const std::filesystem::path& file, size_t sizeLimit) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec) && !ec) return IniDocument::FromBytes("");
  try {
    if (const auto bytes = ReadRegularFile(file, sizeLimit)) return IniDocument::FromBytes(*bytes);
  } catch (const EOSError& e) {
    if (e.errorCode() == EFBIG) return IniDocument::FromBytes("");
  }
  throw EIniFileException(UnableToWrite(file));
}

void WriteIniFile(const std::filesystem::path& file, const IniDocument& document) {
  try {
    ReplacePrivateFileContents(file, document.toBytes());
  } catch (const EOSError&) {
    throw EIniFileException(UnableToWrite(file));
  }
}

IniFile::IniFile(std::filesystem::path fileName, size_t sizeLimit)
    : fileName_(std::move(fileName)), sizeLimit_(sizeLimit) {}

std::optional<IniDocument> IniFile::load() const {
  try {
    const auto bytes = ReadRegularFile(fileName_, sizeLimit_);
    return bytes ? std::optional<IniDocument>(IniDocument::FromBytes(*bytes)) : std::nullopt;
  } catch (const EOSError&) {
    return std::nullopt;
  }
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view defaultValue) const {
  const auto document = load();
  const auto value = document ? document->value(section, key) : std::nullopt;
  return CutToLimit(value ? *value : std::string(defaultValue));
}

int IniFile::readInteger(std::string_view section, std::string_view key, int defaultValue) const {
  return WholeNumber(readString(section, key, "")).value_or(defaultValue);
}

bool IniFile::sectionExists(std::string_view section) const {
  const auto document = load();
  return document && document->hasSection(section);
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const {
  const auto document = load();
  return document && document->value(section, key).has_value();
}

bool IniFile::exceedsSizeLimit() const {
  // Its size is enough: what is there is read, and bounded, when a key is.
  struct stat st {};
  return ::stat(fileName_.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         static_cast<uintmax_t>(st.st_size) > sizeLimit_;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
  const bool badSection = Trim(section).empty() || section.find(']') != std::string_view::npos;
  const bool badKey = Trim(key).empty() || key.find('=') != std::string_view::npos ||
                      Trim(key).front() == '[' || Trim(key).front() == ';';
  if (badSection || badKey || BreaksLine(section) || BreaksLine(key) || BreaksLine(value)) {
    throw EIniFileException(Format("Invalid section, key or value for %s", fileName_.string()));
  }
  IniDocument document = ReadIniFileForRewrite(fileName_, sizeLimit_);
  document.set(section, key, value);
  WriteIniFile(fileName_, document);
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value) {
  writeString(section, key, std::to_string(value));
}

void IniFile::deleteKey(std::string_view section, std::string_view key) noexcept {
  try {
    IniDocument document = ReadIniFileForRewrite(fileName_, sizeLimit_);
    if (document.remove(section, key)) WriteIniFile(fileName_, document);
  } catch (const std::exception&) {
    // not reported, as on the platform the settings come from
  }
}

}  // namespace movrano
