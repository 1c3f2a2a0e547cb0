#include "services/soap/XmlWriter.h"

#include <cstdint>

#include "platform/Exceptions.h"
#include "platform/Text.h"
#include "services/soap/Errors.h"

namespace movrano::soap {
namespace {

// Decodes one UTF-8 sequence at `i`; returns false for a malformed one.
bool NextCodePoint(std::string_view s, size_t& i, uint32_t& cp) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char b = byte(i);
  size_t length = b < 0x80           ? 1
                  : (b >> 5) == 0x6  ? 2
                  : (b >> 4) == 0xE  ? 3
                  : (b >> 3) == 0x1E ? 4
                                     : 0;
  if (length == 0 || i + length > s.size()) return false;
  cp = length == 1 ? b : length == 2 ? b & 0x1F : length == 3 ? b & 0x0F : b & 0x07;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  i += length;
  return true;
}

bool IsXmlChar(uint32_t cp) {
  return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
         (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
}

}  // namespace

bool IsXmlText(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    uint32_t cp = 0;
    if (!NextCodePoint(text, i, cp) || !IsXmlChar(cp)) return false;
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
