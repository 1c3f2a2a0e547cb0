#pragma once
// Writes an XML document element by element. Every text and attribute
// value is escaped; a text that XML cannot carry (invalid UTF-8, control
// characters) is refused with ESOAPMessageError naming the element, never
// showing the text.
#include <string>
#include <string_view>
#include <vector>

namespace movrano::soap {

class XmlWriter {
 public:
  XmlWriter();  // starts with the UTF-8 declaration

  void Start(std::string_view name);
  // Only directly after Start.
  void Attribute(std::string_view name, std::string_view value);
  void Text(std::string_view text);
  void End();
  // A whole element holding one text.
  void Element(std::string_view name, std::string_view text);

  // The document; every started element must have ended.
  std::string Finish();

 private:
  void closeStartTag();
  void escape(std::string_view text, bool inAttribute);

  std::string out_;
  std::vector<std::string> open_;
  bool startTagOpen_ = false;
};

// Whether XML 1.0 can carry the text as character data.
bool IsXmlText(std::string_view text);

}  // namespace movrano::soap
