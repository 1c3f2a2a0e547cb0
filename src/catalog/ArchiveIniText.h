#pragma once
// The part GUID list of an item revision archive's entry, found in the
// entry's INI text as it streams by, so that an entry of any size takes
// little memory. The text is read by the rules of the platform's
// TMemIniFile (the archives were written for it), which differ from the
// profile rules of IniDocument:
// - the bytes are decoded with byte-order-mark detection (UTF-16 LE or BE,
//   UTF-8), else as UTF-8 when valid, else as Windows-1252;
// - lines end at CR, LF or CR LF; each is trimmed of blanks and control
//   characters; empty lines and lines beginning with ";" are ignored;
// - a line beginning with "[" and ending with "]" opens a section named by
//   the trimmed text between them; lines before the first section are
//   ignored;
// - in a section, a line holding "=" gives a key (the trimmed text before
//   the first "=") and its value (the trimmed text after it), kept as
//   written: no quotes are removed;
// - section and key names match without regard to case; the first
//   matching section and, in it, the first matching key count.
// The list is the values of "PartGuid0", "PartGuid1"... of section
// "PartGuidList", up to the first key that is absent or holds "None"
// (exactly); any other value, the empty text too, is one GUID.
//
// Memory stays bounded whatever the text holds. Only the keys of the list
// are kept, and only as many as the list may hold. A line is looked at in
// its first kLineLimit characters after its leading blanks: a longer
// section line opens a section of another name. A value of the list longer
// than kValueLimit bytes cannot be a part GUID (38 characters in braces),
// and a list longer than the reader's limit is no item's: both raise once
// the list reaches them, naming the text's origin.
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace movrano {

class TPartGuidListReader {
 public:
  static constexpr size_t kLineLimit = 64 * 1024;
  static constexpr size_t kValueLimit = 256;
  static constexpr int kDefaultListLimit = 100000;

  // `origin` names the text in messages (the entry and its archive); the
  // list may hold up to `listLimit` GUIDs.
  explicit TPartGuidListReader(std::string origin = "text", int listLimit = kDefaultListLimit);

  // The next bytes of the text.
  void Feed(std::string_view bytes);
  // The list, once every byte has been fed.
  std::vector<std::string> Finish();

 private:
  enum class Encoding { Undecided, Unmarked, Utf8, Utf16LE, Utf16BE };
  enum class Section { Before, InList, After };
  struct Value {
    std::string text;
    bool tooLong = false;
  };

  void decide(bool atEnd);
  void decode(std::string_view bytes, bool atEnd);
  void decodeUnmarked(std::string_view bytes, bool atEnd);
  void decodeUtf16(std::string_view bytes, bool atEnd);
  void scan(std::string_view text);
  void endLine();

  std::string origin_;
  int listLimit_;
  Encoding encoding_ = Encoding::Undecided;
  std::string head_;     // the first bytes, until the encoding is known
  std::string carried_;  // bytes of a character split between two pieces
  bool validUtf8_ = true;
  bool afterCarriageReturn_ = false;
  std::string line_;  // the current line from its first non-blank, cut
  size_t lineLength_ = 0;
  size_t lineEnd_ = 0;  // length up to its last non-blank character
  char last_ = 0;       // that character
  Section section_ = Section::Before;
  std::unordered_map<int, Value> values_;
};

// The list of one whole text.
std::vector<std::string> PartGuidsOfIniText(std::string_view bytes);

}  // namespace movrano
