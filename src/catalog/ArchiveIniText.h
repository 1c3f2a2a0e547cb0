#pragma once
// The INI text of an item revision archive's entry, read in memory by the
// rules of the platform's TMemIniFile (the part catalog's archives were
// written for it), which differ from the profile rules of IniDocument:
// - the bytes are decoded with byte-order-mark detection (UTF-16 LE or BE,
//   UTF-8), else as UTF-8 when valid, else as Windows-1252;
// - lines end at CR, LF or CR LF; each is trimmed of blanks and control
//   characters; empty lines and lines beginning with ";" are ignored;
// - a line beginning with "[" and ending with "]" opens a section named by
//   the trimmed text between them; lines before the first section are
//   ignored;
// - in a section, a line holding "=" gives a key (the trimmed text before
//   the first "=") and its value (the trimmed text after it), kept as
//   written: no quotes are removed, no length limit applies;
// - section and key names match without regard to case; the first
//   matching section and, in it, the first matching key count.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace movrano {

class TArchiveIniText {
 public:
  static TArchiveIniText FromBytes(std::string_view bytes);

  // The value, or the default when the section or the key is absent.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view defaultValue) const;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  std::vector<Section> sections_;
};

// The part GUIDs of one entry's text: the values of "PartGuid0",
// "PartGuid1"... of section "PartGuidList", up to the first key that is
// absent or holds "None" (exactly); any other value, the empty text too,
// is one GUID.
std::vector<std::string> PartGuidsOfIniText(std::string_view bytes);

}  // namespace movrano
