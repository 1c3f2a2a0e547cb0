#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "services/soap/Errors.h"
#include "services/soap/XmlEncoding.h"
#include "services/soap/XmlReader.h"

namespace movrano::soap {
namespace {

// The UTF-16 form of an ASCII text, little- or big-endian.
std::string Wide(const std::string& ascii, bool bigEndian = false) {
  std::string out;
  for (const char c : ascii)
    out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return out;
}

// What a document's reading ends in: its root's text, or the parts its
// refusal must name.
struct Verdict {
  std::string name, bytes;
  std::string text;                        // read: the root's text
  std::vector<std::string> refusing = {};  // refused: what the message names
};

void Check(const Verdict& v, const std::string& charset = {}) {
  SCOPED_TRACE(v.name);
  try {
    const XmlDocument doc = XmlDocument::Parse(v.bytes, charset);
    EXPECT_TRUE(v.refusing.empty()) << "read a document to refuse";
    EXPECT_EQ(TextOf(doc.Root()), v.text);
  } catch (const ESOAPMessageError& e) {
    ASSERT_FALSE(v.refusing.empty()) << e.what();
    for (const std::string& part : v.refusing)
      EXPECT_NE(std::string(e.what()).find(part), std::string::npos) << e.what();
  }
}

TEST(SoapXmlEncoding, AByteOrderMarkAndTheDeclarationMustAgree) {
  const std::string utf8 = "\xEF\xBB\xBF";
  const std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (const Verdict& v : std::vector<Verdict>{
           {"UTF-8 mark, Latin-1 declared",
            utf8 + "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xC3\xA9</a>",
            "",
            {"UTF-8", "ISO-8859-1"}},
           {"UTF-8 mark, US-ASCII declared",
            utf8 + "<?xml version='1.0' encoding='us-ascii'?><a/>",
            "",
            {"UTF-8", "us-ascii"}},
           {"UTF-8 mark, UTF-16 declared",
            utf8 + "<?xml version='1.0' encoding='UTF-16'?><a/>",
            "",
            {"UTF-8", "UTF-16"}},
           {"UTF-16 mark, UTF-8 declared",
            le + Wide("<?xml version='1.0' encoding='utf-8'?><a>x</a>"),
            "",
            {"UTF-16LE", "utf-8"}},
           {"UTF-16 big-endian mark, little-endian declared",
            be + Wide("<?xml version='1.0' encoding='UTF-16LE'?><a>x</a>", true),
            "",
            {"UTF-16BE", "UTF-16LE"}},
           {"UTF-16 without a mark, Latin-1 declared",
            Wide("<?xml version='1.0' encoding='ISO-8859-1'?><a>x</a>"),
            "",
            {"UTF-16LE", "ISO-8859-1"}},
           {"UTF-8 mark, UTF-8 declared",
            utf8 + "<?xml version='1.0' encoding='UTF-8'?><a>caf\xC3\xA9</a>", "caf\xC3\xA9"},
           {"UTF-8 mark, no encoding declared", utf8 + "<?xml version='1.0'?><a>x</a>", "x"},
           {"UTF-16 mark, UTF-16 declared",
            le + Wide("<?xml version='1.0' encoding='UTF-16'?><a>x</a>"), "x"},
           {"UTF-16 big-endian mark, its own order declared",
            be + Wide("<?xml version='1.0' encoding='utf-16be'?><a>x</a>", true), "x"},
           {"UTF-16 without a mark, UCS-2 declared",
            Wide("<?xml version='1.0' encoding='ISO-10646-UCS-2'?><a>x</a>"), "x"},
       })
    Check(v);
}

TEST(SoapXmlEncoding, RefusesADeclarationThatBreaksItsSyntax) {
  for (const char* declaration : {"<?xml ?>",
                                  "<?xml encoding='UTF-8'?>",
                                  "<?xml version='1.0' standalone='yes' "
                                  "encoding='UTF-8'?>",
                                  "<?xml version='2.0'?>",
                                  "<?xml version='1.'?>",
                                  "<?xml version='1.0x'?>",
                                  "<?xml version='1.0\"?>",
                                  "<?xml version=1.0?>",
                                  "<?xml version '1.0'?>",
                                  "<?xml version='1.0'encoding='UTF-8'?>",
                                  "<?xml version='1.0' encoding=''?>",
                                  "<?xml version='1.0' encoding='8859-1'?>",
                                  "<?xml version='1.0' encoding='UTF 8'?>",
                                  "<?xml version='1.0' standalone='maybe'?>",
                                  "<?xml version='1.0' standalone='YES'?>",
                                  "<?xml version='1.0' other='x'?>",
                                  "<?xml version='1.0' ?",
                                  "<?xml version='1.0'",
                                  "<?XML version='1.0'?>",
                                  "<?xml version='1.0'?><?xml version='1.0'?>"})
    EXPECT_THROW(XmlDocument::Parse(std::string(declaration) + "<a/>"), ESOAPMessageError)
        << declaration;
  for (const char* declaration :
       {"<?xml version='1.0'?>", "<?xml version=\"1.0\"?>", "<?xml version = '1.0' ?>",
        "<?xml\tversion='1.1'\r\n?>", "<?xml version='1.0' encoding='UTF-8'?>",
        "<?xml version='1.0' standalone='no'?>",
        "<?xml version='1.0' encoding='utf-8' standalone=\"yes\" ?>",
        "<?xml version='1.0' encoding='ISO_8859-1'?>"}) {
    EXPECT_EQ(LocalName(XmlDocument::Parse(std::string(declaration) + "<a/>").Root()), "a")
        << declaration;
  }
}

TEST(SoapXmlEncoding, RefusesADeclaredEncodingItsBytesCannotBeIn) {
  for (const char* encoding : {"UTF-16", "utf-16le", "UTF-16BE", "UCS-2", "ISO-10646-UCS-2",
                               "UTF-32", "UCS-4", "ISO-10646-UCS-4"})
    Check({encoding,
           "<?xml version='1.0' encoding='" + std::string(encoding) + "'?><a>x</a>",
           "",
           {encoding}});
  Check({"US-ASCII with an 8-bit byte",
         "<?xml version='1.0' encoding='US-ASCII'?><a>caf\xC3\xA9</a>",
         "",
         {"US-ASCII"}});
  Check({"US-ASCII", "<?xml version='1.0' encoding='US-ASCII'?><a>cafe</a>", "cafe"});
}

TEST(SoapXmlEncoding, TakesTheCharsetOfAContentType) {
  for (const auto& [type, charset] : std::vector<std::pair<std::string, std::string>>{
           {"text/xml", ""},
           {"text/xml; charset=utf-8", "utf-8"},
           {"text/xml;CharSet=ISO-8859-1", "ISO-8859-1"},
           {"text/xml; charset=\"windows-1252\"", "windows-1252"},
           {"text/xml; charset=\"a\\\"b\"", "a\"b"},
           {"text/xml; action=\"x;charset=no\"; charset=yes", "yes"},
           {"text/xml; xcharset=no; charset=yes", "yes"},
           {"text/xml; charset; charset=yes", "yes"},
           {"text/xml; charset=", ""},
           {"text/xml; charset=\"open", "open"},
       })
    EXPECT_EQ(CharsetOf(type), charset) << type;
}

}  // namespace
}  // namespace movrano::soap
