#pragma once
// The lines of an INI text and the profile rules for finding and changing
// entries in them; every line that is not touched is kept as it was.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace movrano {

class IniDocument {
 public:
  // Decodes a file's bytes (byte-order mark, else UTF-8 or Windows-1252;
  // UTF-8 also when only its last character is cut short) and remembers the mark and the line
  // ending for writing back.
  static IniDocument FromBytes(std::string_view bytes);
  // The text in the encoding and with the line ending it was read with
  // (UTF-8 without mark and "\n" for a new document).
  std::string toBytes() const;

  bool hasSection(std::string_view section) const;
  // The value of the first matching key of the first matching section,
  // trimmed, with one pair of enclosing quotes removed.
  std::optional<std::string> value(std::string_view section, std::string_view key) const;
  // Replaces the key's line, or adds one at the end of its section, or adds
  // the section at the end.
  void set(std::string_view section, std::string_view key, std::string_view value);
  // Removes the key's line; false when there is none.
  bool remove(std::string_view section, std::string_view key);

 private:
  enum class Mark { None, Utf8, Utf16Le, Utf16Be };

  std::optional<size_t> findSection(std::string_view section) const;
  size_t sectionEnd(size_t sectionLine) const;
  std::optional<size_t> findKey(size_t sectionLine, std::string_view key) const;

  std::vector<std::string> lines_;
  Mark mark_ = Mark::None;
  std::string lineEnd_ = "\n";
};

}  // namespace movrano
