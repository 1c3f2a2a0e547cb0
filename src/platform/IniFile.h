#pragma once
// Settings files and the vault products' configuration files, with the
// profile rules of the platform those files come from: section and key
// names match without regard to case, a missing key reads as the default,
// a value read is cut at 2047 characters, and every read and every write
// goes to the file at once (a write creates the file). Settings files may
// hold secrets: every file written here is its owner's alone (0600).
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Exceptions.h"
#include "platform/IniDocument.h"

namespace movrano {

MOVRANO_DECLARE_EXCEPTION(EIniFileException, Exception);

inline constexpr size_t kIniValueLimit = 2047;  // UTF-16 code units

class IniFile {
 public:
  // A file larger than `sizeLimit` bytes reads as no file, and a write
  // starts it afresh, without its lines.
  explicit IniFile(std::filesystem::path fileName, size_t sizeLimit = SIZE_MAX);

  const std::filesystem::path& fileName() const { return fileName_; }

  std::string readString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;
  // A value that is not a whole number (decimal, or hexadecimal after "$"
  // or "0x") of 32 bits reads as the default.
  int readInteger(std::string_view section, std::string_view key, int defaultValue) const;
  bool sectionExists(std::string_view section) const;
  bool valueExists(std::string_view section, std::string_view key) const;
  // The file is larger than the size limit.
  bool exceedsSizeLimit() const;

  // Raise EIniFileException "Unable to write to <file>" when the file
  // cannot be written, and refuse names and values that would break the
  // file's lines; the file is then unchanged.
  void writeString(std::string_view section, std::string_view key, std::string_view value);
  void writeInteger(std::string_view section, std::string_view key, int value);
  // Removes the key; like the platform's, a failure is not reported.
  void deleteKey(std::string_view section, std::string_view key) noexcept;

 private:
  // The file's contents; nullopt when it does not exist or cannot be read.
  std::optional<IniDocument> load() const;

  std::filesystem::path fileName_;
  size_t sizeLimit_;
};

// The contents of a file about to be rewritten: empty when there is no
// file, or when it is larger than `sizeLimit` bytes. A file that is there
// but cannot be read as one (a folder, a FIFO, no right to read) raises
// EIniFileException "Unable to write to <file>": its other lines would be
// lost.
IniDocument ReadIniFileForRewrite(const std::filesystem::path& file, size_t sizeLimit = SIZE_MAX);

// Replaces the file's contents, mode 0600 (see ReplacePrivateFileContents).
// Raises EIniFileException "Unable to write to <file>"; the file then
// stays as it was.
void WriteIniFile(const std::filesystem::path& file, const IniDocument& document);

}  // namespace movrano
