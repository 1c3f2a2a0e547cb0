// Reads each input with our XML reader and with expat in its namespace
// mode, and aborts where they part: both read it but with different
// content (each element's namespace and local name, its attributes but the
// namespace declarations, in order, and its character data), or one reads
// what the other refuses. The splits we chose are left out: a document
// type (refused here), XML versions other than 1.x, names of XML's fifth
// edition (expat knows the older tables), UTF-16 that is not UTF-16 (lone
// surrogates, odd lengths), encodings expat does not know, and a
// byte-order mark that contradicts the declaration.
#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "services/soap/Errors.h"
#include "services/soap/XmlReader.h"

namespace {

constexpr char kSeparator = '\x01';

// One line per element in document order: its depth, namespace and local
// name, then one line per attribute, then its character data.
class Canonical {
 public:
  void element(size_t depth, std::string_view ns, std::string_view local) {
    text_ += "E" + std::to_string(depth) + " " + std::string(ns) + kSeparator + std::string(local) +
             "\n";
  }
  void attribute(std::string_view ns, std::string_view local, std::string_view value) {
    text_ +=
        "A " + std::string(ns) + kSeparator + std::string(local) + "=" + std::string(value) + "\n";
  }
  void characters(std::string_view data) { text_ += "T " + std::string(data) + "\n"; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

std::string_view AfterColon(std::string_view name) {
  const size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool IsDeclaration(std::string_view name) {
  return name == "xmlns" || name.substr(0, 6) == "xmlns:";
}

bool IsAscii(std::string_view s) {
  for (const char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

struct OurReading {
  bool read = false;
  bool wideNames = false;  // a name beyond ASCII
  std::string content, error;
};

void Walk(movrano::soap::XmlNode node, size_t depth, Canonical& out, bool& wideNames) {
  for (movrano::soap::XmlNode n = node; n; n = n.NextSibling()) {
    wideNames = wideNames || !IsAscii(n.Name());
    out.element(depth, n.Namespace(), movrano::soap::LocalName(n));
    for (size_t a = 0; a < n.AttributeCount(); ++a) {
      wideNames = wideNames || !IsAscii(n.AttributeName(a));
      if (IsDeclaration(n.AttributeName(a))) continue;
      out.attribute(n.AttributeNamespace(a), AfterColon(n.AttributeName(a)), n.AttributeValue(a));
    }
    out.characters(n.Text());
    Walk(n.FirstChild(), depth + 1, out, wideNames);
  }
}

OurReading ReadOurs(const std::string& bytes) {
  OurReading r;
  try {
    const movrano::soap::XmlDocument doc = movrano::soap::XmlDocument::Parse(bytes);
    Canonical out;
    Walk(doc.Root(), 0, out, r.wideNames);
    r.read = true;
    r.content = out.text();
  } catch (const movrano::soap::ESOAPMessageError& e) {
    r.error = e.what();
  }
  return r;
}

// Expat's events gathered into elements in document order, each with the
// character data directly inside it.
struct ExpatElement {
  size_t depth;
  std::string name;  // "uri<separator>local", or "local" without a namespace
  std::vector<std::string> attributes;
  std::string text;
};

struct ExpatReading {
  bool read = false;
  XML_Error error = XML_ERROR_NONE;
  long errorAt = -1;  // the byte where expat stopped
  std::vector<ExpatElement> elements;
  std::vector<size_t> open;
};

std::string Expanded(std::string_view name) {
  return name.find(kSeparator) == std::string_view::npos ? kSeparator + std::string(name)
                                                         : std::string(name);
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
  auto& r = *static_cast<ExpatReading*>(data);
  ExpatElement e{r.open.size(), Expanded(name), {}, {}};
  for (size_t a = 0; attributes[a]; a += 2)
    e.attributes.push_back(Expanded(attributes[a]) + "=" + attributes[a + 1]);
  r.open.push_back(r.elements.size());
  r.elements.push_back(std::move(e));
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
  static_cast<ExpatReading*>(data)->open.pop_back();
}

void XMLCALL OnCharacters(void* data, const XML_Char* s, int length) {
  auto& r = *static_cast<ExpatReading*>(data);
  if (!r.open.empty()) r.elements[r.open.back()].text.append(s, static_cast<size_t>(length));
}

ExpatReading ReadExpat(const std::string& bytes) {
  ExpatReading r;
  XML_Parser parser = XML_ParserCreateNS(nullptr, kSeparator);
  XML_SetUserData(parser, &r);
  XML_SetElementHandler(parser, OnStart, OnEnd);
  XML_SetCharacterDataHandler(parser, OnCharacters);
  r.read = XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) == XML_STATUS_OK;
  if (!r.read) {
    r.error = XML_GetErrorCode(parser);
    r.errorAt = XML_GetCurrentByteIndex(parser);
  }
  XML_ParserFree(parser);
  return r;
}

std::string CanonicalOf(const ExpatReading& r) {
  Canonical out;
  for (const ExpatElement& e : r.elements) {
    const size_t at = e.name.find(kSeparator);
    out.element(e.depth, std::string_view(e.name).substr(0, at),
                std::string_view(e.name).substr(at + 1));
    for (const std::string& a : e.attributes) {
      const size_t separator = a.find(kSeparator);
      const size_t equals = a.find('=', separator);
      out.attribute(std::string_view(a).substr(0, separator),
                    std::string_view(a).substr(separator + 1, equals - separator - 1),
                    std::string_view(a).substr(equals + 1));
    }
    out.characters(e.text);
  }
  return out.text();
}

bool Contains(const std::string& s, std::string_view part) {
  return s.find(part) != std::string::npos;
}

// The documents we refuse on purpose where expat reads them.
bool RefusedOnPurpose(const OurReading& ours) {
  for (const std::string_view reason :
       {"declares a document type", "unknown XML version", "is not valid UTF-16",
        "is not valid UTF-32", "but declares the encoding"})
    if (Contains(ours.error, reason)) return true;
  return false;
}

// Whether expat stopped at a character beyond ASCII: one of a name of the
// fifth edition, in a processing instruction's target too.
bool StoppedBeyondAscii(const std::string& bytes, const ExpatReading& expat) {
  if (expat.errorAt < 0 || static_cast<size_t>(expat.errorAt) >= bytes.size()) return false;
  const auto byte = [&](size_t i) {
    return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0u;
  };
  const size_t at = static_cast<size_t>(expat.errorAt);
  const bool wide = bytes.size() >= 2 && (byte(0) == 0 || byte(1) == 0 || byte(0) >= 0xFE);
  if (!wide) return byte(at) >= 0x80;
  return !((byte(at) == 0 && byte(at + 1) < 0x80) || (byte(at + 1) == 0 && byte(at) < 0x80));
}

// The documents we read on purpose where expat refuses them.
bool ReadOnPurpose(const std::string& bytes, const OurReading& ours, const ExpatReading& expat) {
  return ours.wideNames || expat.error == XML_ERROR_UNKNOWN_ENCODING ||
         StoppedBeyondAscii(bytes, expat);
}

[[noreturn]] void Parted(const char* how, const std::string& detail) {
  std::fprintf(stderr, "==differential== %s\n%s\n", how, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const OurReading ours = ReadOurs(bytes);
  const ExpatReading expat = ReadExpat(bytes);
  if (ours.read && expat.read) {
    const std::string theirs = CanonicalOf(expat);
    if (ours.content != theirs) Parted("both read it, differently", ours.content + "--\n" + theirs);
  } else if (ours.read && !ReadOnPurpose(bytes, ours, expat)) {
    Parted("only ours reads it", XML_ErrorString(expat.error));
  } else if (expat.read && !ours.read && !RefusedOnPurpose(ours)) {
    Parted("only expat reads it", ours.error);
  }
  return 0;
}
