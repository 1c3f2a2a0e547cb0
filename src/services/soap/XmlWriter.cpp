#include "services/soap/XmlWriter.h"

#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "services/soap/Errors.h"

namespace movrano::soap {
bool IsXmlText(std::string_view text) {
  if (!IsValidUtf8(text)) return false;
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  for (size_t i = 0; i < text.size(); ++i) {
    if (byte(i) < 0x20 && byte(i) != '\t' && byte(i) != '\n' && byte(i) != '\r') return false;
    // U+FFFE and U+FFFF are not characters.
    if (byte(i) == 0xEF && i + 2 < text.size() && byte(i + 1) == 0xBF && byte(i + 2) >= 0xBE)
      return false;
  }
  return true;
}

XmlWriter::XmlWriter() : out_("<?xml version=\"1.0\" encoding=\"utf-8\"?>") {}

void XmlWriter::closeStartTag() {
  if (startTagOpen_) out_ += '>';
  startTagOpen_ = false;
}

void XmlWriter::Start(std::string_view name) {
  closeStartTag();
  out_ += '<';
  out_ += name;
  open_.emplace_back(name);
  startTagOpen_ = true;
}

void XmlWriter::Attribute(std::string_view name, std::string_view value) {
  if (!startTagOpen_) throw EAssertionFailed("Assertion failure: attribute outside a start tag");
  out_ += ' ';
  out_ += name;
  out_ += "=\"";
  escape(value, true);
  out_ += '"';
}

void XmlWriter::Text(std::string_view text) {
  if (text.empty()) return;
  closeStartTag();
  escape(text, false);
}

void XmlWriter::End() {
  if (open_.empty()) throw EAssertionFailed("Assertion failure: no element to end");
  if (startTagOpen_) {
    out_ += "/>";
    startTagOpen_ = false;
  } else {
    out_ += "</" + open_.back() + ">";
  }
  open_.pop_back();
}

void XmlWriter::Element(std::string_view name, std::string_view text) {
  Start(name);
  Text(text);
  End();
}

std::string XmlWriter::Finish() {
  if (!open_.empty()) throw EAssertionFailed("Assertion failure: unfinished XML element");
  return std::move(out_);
}

void XmlWriter::escape(std::string_view text, bool inAttribute) {
  if (!IsXmlText(text))
    throw ESOAPMessageError(Format("The text of %s holds a character that XML cannot carry",
                                   open_.empty() ? std::string("the document") : open_.back()));
  for (char c : text) {
    switch (c) {
      case '&':
        out_ += "&amp;";
        break;
      case '<':
        out_ += "&lt;";
        break;
      case '>':
        out_ += "&gt;";
        break;
      case '\r':
        out_ += "&#13;";
        break;
      case '"':
        out_ += inAttribute ? "&quot;" : "\"";
        break;
      case '\n':
        out_ += inAttribute ? "&#10;" : "\n";
        break;
      case '\t':
        out_ += inAttribute ? "&#9;" : "\t";
        break;
      default:
        out_ += c;
    }
  }
}

}  // namespace movrano::soap
