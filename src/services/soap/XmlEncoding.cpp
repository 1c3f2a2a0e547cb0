#include "services/soap/XmlEncoding.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>

#include "platform/Text.h"
#include "services/soap/Cancellation.h"
#include "services/soap/Errors.h"

namespace movrano::soap {
namespace {

using namespace std::string_view_literals;

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A name from outside as a message shows it: short, printable ASCII.
std::string Shown(std::string_view name) {
  std::string shown(name.substr(0, 40));
  for (char& c : shown)
    if (c < '!' || c > '~') c = '?';
  return shown;
}

// Reads the parts of an XML declaration, each after the one before it.
class DeclarationCursor {
 public:
  DeclarationCursor(std::string_view s, size_t at) : s_(s), p_(at) {}

  size_t at() const { return p_; }

  bool space() {
    const size_t before = p_;
    while (p_ < s_.size() && IsSpace(s_[p_]))
      ++p_;
    return p_ > before;
  }

  // Spaces and then `keyword`; nothing is taken when they are not there.
  bool spaceAndKeyword(std::string_view keyword) {
    const size_t before = p_;
    if (space() && s_.compare(p_, keyword.size(), keyword) == 0) {
      p_ += keyword.size();
      return true;
    }
    p_ = before;
    return false;
  }

  // "=" and a quoted value, after the keyword.
  std::string_view value() {
    const auto [begin, end] = ReadQuotedValue(s_, p_, "XML declaration not closed");
    return s_.substr(begin, end - begin);
  }

 private:
  std::string_view s_;
  size_t p_;
};

// "1." and digits: a 1.0 reader reads every 1.x document as 1.0.
bool IsVersionNumber(std::string_view v) {
  if (v.size() < 3 || v.substr(0, 2) != "1.") return false;
  for (const char c : v.substr(2))
    if (!IsDigit(c)) return false;
  return true;
}

bool IsEncodingName(std::string_view e) {
  if (e.empty() || !IsLetter(e[0])) return false;
  for (const char c : e)
    if (!IsLetter(c) && !IsDigit(c) && c != '.' && c != '_' && c != '-') return false;
  return true;
}

// Encoding names, lower-cased, by what the reader does with them.
bool IsUtf8Name(const std::string& e) {
  return e == "utf-8" || e == "utf8";
}

bool IsAsciiName(const std::string& e) {
  return e == "us-ascii" || e == "ascii";
}

// The Unicode forms of 16 and 32 bits.
bool IsWideName(const std::string& e) {
  for (const std::string_view start :
       {"utf-16"sv, "utf-32"sv, "ucs-2"sv, "ucs-4"sv, "iso-10646-ucs-"sv})
    if (e.rfind(start, 0) == 0) return true;
  return false;
}

// Whether a lower-cased name says the Unicode form the bytes are in.
bool NamesForm(std::string_view form, const std::string& e) {
  if (form == "UTF-8") return IsUtf8Name(e);
  const bool wide32 = form.substr(0, 6) == "UTF-32";
  return e == (wide32 ? "utf-32" : "utf-16") || e == (wide32 ? "ucs-4" : "ucs-2") ||
         e == (wide32 ? "iso-10646-ucs-4" : "iso-10646-ucs-2") || e == LowerCase(form);
}

// Whether bytes that show no Unicode form by their start can be in the
// encoding. Every XML document starts with an ASCII character, whose
// 16- and 32-bit forms hold a zero byte.
bool Fits(const std::string& encoding, std::string_view bytes) {
  const std::string e = LowerCase(encoding);
  if (IsWideName(e)) return bytes.size() < 2 || bytes[0] == '\0' || bytes[1] == '\0';
  if (IsAsciiName(e))
    for (const char c : bytes)
      if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// The bytes as UTF-8, decoded from `encoding`, which the answer's `label`
// ("encoding" or "charset") named.
std::string Convert(std::string_view bytes, const std::string& encoding, const char* label) {
  const auto unsupported = [&] {
    return ESOAPMessageError(
        Format("The response's %s %s cannot be decoded", label, Shown(encoding)));
  };
  // Only an encoding name; it also keeps conversion suffixes out.
  for (const char c : encoding)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-'))
      throw unsupported();
  const iconv_t cd = iconv_open("UTF-8", encoding.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) throw unsupported();
  struct Close {
    iconv_t cd;
    ~Close() { iconv_close(cd); }
  } close{cd};
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char chunk[16384];
  for (unsigned chunks = 0; inLeft > 0; ++chunks) {
    if (chunks % 64 == 0) CheckCancellation();
    char* next = chunk;
    size_t chunkLeft = sizeof chunk;
    const size_t rc = iconv(cd, &in, &inLeft, &next, &chunkLeft);
    out.append(chunk, next);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      throw ESOAPMessageError(Format("The response is not valid %s text (at offset %s)",
                                     Shown(encoding), std::to_string(bytes.size() - inLeft)));
    }
  }
  return out;
}

// A Unicode form told by a byte-order mark or by how "<" is written; the
// mark's length goes to `mark`.
const char* UnicodeForm(std::string_view b, size_t& mark) {
  struct Form {
    std::string_view start;
    const char* name;
    bool isMark;
  };
  static constexpr Form kForms[] = {
      {"\x00\x00\xFE\xFF"sv, "UTF-32BE", true},  {"\xFF\xFE\x00\x00"sv, "UTF-32LE", true},
      {"\xFE\xFF"sv, "UTF-16BE", true},          {"\xFF\xFE"sv, "UTF-16LE", true},
      {"\xEF\xBB\xBF"sv, "UTF-8", true},         {"\x00\x00\x00\x3C"sv, "UTF-32BE", false},
      {"\x3C\x00\x00\x00"sv, "UTF-32LE", false}, {"\x00\x3C"sv, "UTF-16BE", false},
      {"\x3C\x00"sv, "UTF-16LE", false}};
  for (const Form& f : kForms)
    if (b.substr(0, f.start.size()) == f.start) {
      mark = f.isMark ? f.start.size() : 0;
      return f.name;
    }
  mark = 0;
  return nullptr;
}

}  // namespace

void NotWellFormed(std::string_view what, size_t offset) {
  throw ESOAPMessageError(Format("The response is not well-formed XML (%s at offset %s)",
                                 std::string(what), std::to_string(offset)));
}

std::pair<size_t, size_t> ReadQuotedValue(std::string_view text, size_t& at,
                                          std::string_view unclosed) {
  const auto skipSpace = [&] {
    while (at < text.size() && IsSpace(text[at]))
      ++at;
  };
  skipSpace();
  if (at >= text.size() || text[at] != '=') NotWellFormed("'=' expected", at);
  ++at;
  skipSpace();
  if (at >= text.size() || (text[at] != '"' && text[at] != '\''))
    NotWellFormed("quote expected", at);
  const size_t close = text.find(text[at], at + 1);
  if (close == std::string_view::npos) NotWellFormed(unclosed, at);
  const size_t begin = at + 1;
  at = close + 1;
  return {begin, close};
}

std::optional<XmlDeclaration> ReadXmlDeclaration(std::string_view text, size_t at) {
  if (text.compare(at, 5, "<?xml") != 0 || at + 5 >= text.size() || !IsSpace(text[at + 5]))
    return std::nullopt;
  DeclarationCursor c(text, at + 5);
  XmlDeclaration d;
  if (!c.spaceAndKeyword("version")) NotWellFormed("version expected", c.at());
  if (!IsVersionNumber(c.value())) NotWellFormed("unknown XML version", c.at());
  if (c.spaceAndKeyword("encoding")) {
    d.encoding = c.value();
    if (!IsEncodingName(d.encoding))
      NotWellFormed("malformed encoding name " + Shown(d.encoding), c.at());
  }
  if (c.spaceAndKeyword("standalone")) {
    const std::string_view standalone = c.value();
    if (standalone != "yes" && standalone != "no")
      NotWellFormed("standalone neither yes nor no", c.at());
  }
  c.space();
  if (text.compare(c.at(), 2, "?>") != 0) NotWellFormed("malformed XML declaration", c.at());
  d.end = c.at() + 2;
  return d;
}

size_t DecodeToUtf8(std::string& bytes, std::string_view charset) {
  size_t mark = 0;
  if (const char* form = UnicodeForm(bytes, mark)) {
    const char* evidence = mark > 0 ? "byte-order mark" : "first bytes";
    if (std::string_view(form) != "UTF-8") {
      bytes = Convert(std::string_view(bytes).substr(mark), form, "encoding");
      mark = 0;
    }
    const std::optional<XmlDeclaration> declaration = ReadXmlDeclaration(bytes, mark);
    if (declaration && !declaration->encoding.empty() &&
        !NamesForm(form, LowerCase(declaration->encoding)))
      throw ESOAPMessageError(Format("The response is %s by its %s but declares the encoding %s",
                                     form, evidence, Shown(declaration->encoding)));
    return mark;  // a UTF-8 mark stays where it is, unread
  }
  // The document's own word first; where its bytes cannot be in what it
  // declares, the label's, and else the declaration is refused.
  const std::optional<XmlDeclaration> declaration = ReadXmlDeclaration(bytes, 0);
  std::string encoding = declaration ? declaration->encoding : std::string();
  const char* label = "encoding";
  if (!encoding.empty() && !Fits(encoding, bytes)) {
    if (charset.empty())
      throw ESOAPMessageError(Format(
          "The response declares the encoding %s, which its bytes cannot be in", Shown(encoding)));
    encoding.clear();
  }
  if (encoding.empty() && !charset.empty()) {
    encoding = charset;
    label = "charset";
    if (!Fits(encoding, bytes))
      throw ESOAPMessageError(
          Format("The response is labelled with the charset %s, which its bytes cannot be in",
                 Shown(encoding)));
  }
  const std::string e = LowerCase(encoding);
  if (!e.empty() && !IsUtf8Name(e) && !IsAsciiName(e)) bytes = Convert(bytes, encoding, label);
  return 0;
}

std::string CharsetOf(std::string_view contentType) {
  // type/subtype *( OWS ";" OWS name "=" ( token / quoted-string ) )
  size_t p = contentType.find(';');
  while (p != std::string_view::npos && p < contentType.size()) {
    ++p;
    while (p < contentType.size() && (contentType[p] == ' ' || contentType[p] == '\t'))
      ++p;
    const size_t equals = contentType.find_first_of("=;", p);
    if (equals == std::string_view::npos || contentType[equals] == ';') {
      p = equals;
      continue;
    }
    const std::string name = Trim(contentType.substr(p, equals - p));
    std::string value;
    p = equals + 1;
    if (p < contentType.size() && contentType[p] == '"') {
      for (++p; p < contentType.size() && contentType[p] != '"'; ++p) {
        if (contentType[p] == '\\' && p + 1 < contentType.size()) ++p;
        value += contentType[p];
      }
      p = contentType.find(';', p);
    } else {
      const size_t end = contentType.find(';', p);
      value = Trim(contentType.substr(p, end == std::string_view::npos ? end : end - p));
      p = end;
    }
    if (SameText(name, "charset")) return value;
  }
  return {};
}

}  // namespace movrano::soap
