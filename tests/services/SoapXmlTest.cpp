#include <gtest/gtest.h>

#include <string>

#include "services/soap/Cancellation.h"
#include "services/soap/Errors.h"
#include "services/soap/XmlReader.h"
#include "services/soap/XmlWriter.h"

namespace movrano::soap {
namespace {

std::string OneElement(const std::string& text) {
  XmlWriter w;
  w.Start("e");
  w.Attribute("a", text);
  w.Text(text);
  w.End();
  return w.Finish();
}

TEST(SoapXml, TextAndAttributesComeBackUnchanged) {
  for (const std::string& text :
       {std::string("plain"), std::string("<a & b> \"q\" 'apos'"),
        std::string("line\r\nbreak\ttab"), std::string("\r"),
        std::string("Zürich \xE2\x82\xAC \xF0\x9F\x98\x80"), std::string("]]> &amp; &#x41;")}) {
    const XmlDocument doc = XmlDocument::Parse(OneElement(text));
    EXPECT_EQ(TextOf(doc.Root()), text);
    EXPECT_EQ(doc.Root().Attribute("a"), text);
  }
}

TEST(SoapXml, RefusesTextXmlCannotCarryWithoutShowingIt) {
  for (const std::string& text :
       {std::string("secret\x01"), std::string("bad \xC3"), std::string("\xED\xA0\x80 surrogate"),
        std::string("nul\0x", 5), std::string("overlong \xC0\xAF")}) {
    XmlWriter w;
    w.Start("Password");
    try {
      w.Text(text);
      ADD_FAILURE() << "accepted a text XML cannot carry";
    } catch (const ESOAPMessageError& e) {
      EXPECT_NE(std::string(e.what()).find("Password"), std::string::npos);
      EXPECT_EQ(std::string(e.what()).find("secret"), std::string::npos);
    }
  }
}

TEST(SoapXml, DecodesCharacterReferencesAndKeepsCData) {
  const XmlDocument doc =
      XmlDocument::Parse("<a x='&#x41;&#10;'>&lt;&#13;&#x1F600;&apos;<![CDATA[&amp; <raw>]]></a>");
  EXPECT_EQ(TextOf(doc.Root()), "<\r\xF0\x9F\x98\x80'&amp; <raw>");
  EXPECT_EQ(doc.Root().Attribute("x"), "A\n");
}

TEST(SoapXml, KeepsWhitespaceOnlyTexts) {
  const XmlDocument doc = XmlDocument::Parse("<a><b>   </b><c> \n\t </c><d/></a>");
  EXPECT_EQ(TextOf(ChildNamed(doc.Root(), "b")), "   ");
  EXPECT_EQ(TextOf(ChildNamed(doc.Root(), "c")), " \n\t ");
  EXPECT_EQ(TextOf(ChildNamed(doc.Root(), "d")), "");
  EXPECT_EQ(LocalName(FirstChildElement(doc.Root())), "b");
}

std::string Declared(const std::string& encoding, const std::string& text) {
  return "<?xml version='1.0' encoding='" + encoding + "'?>\n<a>" + text + "</a>";
}

TEST(SoapXml, DecodesTheDeclaredEncoding) {
  struct Case {
    const char* encoding;
    std::string bytes, text;
  };
  for (const Case& c :
       {Case{"windows-1252", "M\xFCller \x80 \x93q\x94", "Müller € “q”"},
        Case{"ISO-8859-1", "Caf\xE9", "Café"}, Case{"iso-8859-15", "\xA4 \xBD", "€ œ"},
        Case{"UTF-8", "Z\xC3\xBCrich", "Zürich"}, Case{"us-ascii", "plain", "plain"}}) {
    const XmlDocument doc = XmlDocument::Parse(Declared(c.encoding, c.bytes));
    EXPECT_EQ(TextOf(doc.Root()), c.text) << c.encoding;
  }
  // Only the declaration names the encoding, no instruction that follows it.
  const XmlDocument instruction =
      XmlDocument::Parse("<?xml-stylesheet encoding='ISO-8859-1'?><a>Z\u00FCrich</a>");
  EXPECT_EQ(TextOf(instruction.Root()), "Z\u00FCrich");
}

TEST(SoapXml, RefusesAnEncodingItCannotDecodeNamingIt) {
  for (const char* encoding : {"x-no-such-encoding", "UTF-8//IGNORE"}) {
    try {
      XmlDocument::Parse(Declared(encoding, "x"));
      ADD_FAILURE() << "read " << encoding;
    } catch (const ESOAPMessageError& e) {
      EXPECT_NE(std::string(e.what()).find(encoding), std::string::npos) << e.what();
    }
  }
  // A byte that the declared encoding does not define.
  EXPECT_THROW(XmlDocument::Parse(Declared("windows-1252", "\x81")), ESOAPMessageError);
}

TEST(SoapXml, TheNullNodeHasNothing) {
  const XmlDocument doc = XmlDocument::Parse("<a x='1'><b/></a>");
  const XmlNode none = ChildNamed(doc.Root(), "missing");
  EXPECT_FALSE(none);
  EXPECT_EQ(LocalName(none), "");
  EXPECT_EQ(none.Attribute("x"), std::nullopt);
  EXPECT_FALSE(FirstChildElement(none));
  EXPECT_FALSE(NextElement(none));
  EXPECT_EQ(TextOf(none), "");
  EXPECT_FALSE(IsNil(none));
  EXPECT_FALSE(Is(none, "", ""));
}

TEST(SoapXml, EmptyElementsAreSelfClosed) {
  XmlWriter w;
  w.Start("a");
  w.Element("b", "");
  w.End();
  EXPECT_EQ(w.Finish(), "<?xml version=\"1.0\" encoding=\"utf-8\"?><a><b/></a>");
}

TEST(SoapXml, RefusesDocumentTypesAndEntityDefinitions) {
  const std::string bomb =
      "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><r>&b;</r>";
  EXPECT_THROW(XmlDocument::Parse(bomb), ESOAPMessageError);
  const std::string external = "<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><r>&x;</r>";
  EXPECT_THROW(XmlDocument::Parse(external), ESOAPMessageError);
}

TEST(SoapXml, RefusesWhatIsNotWellFormed) {
  for (const char* text : {"",
                           "plain text",
                           "<a><b></a>",
                           "<a>&undefined;</a>",
                           "<a b='&nbsp;'/>",
                           "<a>&#1;</a>",
                           "<a>&#xD800;</a>",
                           "<a>&#;</a>",
                           "<a>& b</a>",
                           "<a/><b/>",
                           "<a>",
                           "<a></b>",
                           "</a>",
                           "<a b='1' b='2'/>",
                           "<a b='1'c='2'/>",
                           "<a b='<'/>",
                           "<a b=1/>",
                           "<a b='1/>",
                           "<1a/>",
                           "<a><!-- open</a>",
                           "<a><![CDATA[open</a>",
                           "<a/>text",
                           "<a><?xml version='1.0'?></a>",
                           "<a><!DOCTYPE a></a>",
                           "<a></a >x",
                           "<a><!-- a -- b --></a>",
                           "<a><!-- c ---></a>",
                           "<!-- a--b --><a/>",
                           "<a><?pi!x?></a>",
                           "<a><?pi&x?></a>",
                           "<a>x ]]> y</a>",
                           "<a>\x01</a>",
                           "<a b='\x1F'/>",
                           "<a>bad \xC3</a>",
                           "<a>\xED\xA0\x80</a>",
                           "<a>\xEF\xBF\xBF</a>",
                           "<a>overlong \xC0\xAF</a>",
                           "<a\u00D7b/>",
                           "<a\u00A0b='1'/>",
                           "<\u0300a/>",
                           "<\u00B7a/>",
                           "<-a/>"})
    EXPECT_THROW(XmlDocument::Parse(text), ESOAPMessageError) << text;
  EXPECT_THROW(XmlDocument::Parse(std::string("<a>nul\0</a>", 10)), ESOAPMessageError);
  // What may stand around and between elements.
  const XmlDocument doc = XmlDocument::Parse(
      "<?xml version='1.0'?>\n<!-- c --><?pi x?> <a ><b\n/><!-- in --><?pi?>t]]<!---->"
      "&gt;<?pi\tx?></a  >\n<!-- e -->");
  EXPECT_EQ(TextOf(doc.Root()), "t]]>");
  EXPECT_EQ(LocalName(FirstChildElement(doc.Root())), "b");
  // Names of letters beyond ASCII.
  const XmlDocument names = XmlDocument::Parse(
      "<Z\u00FCrich a\u00B7\u0300b='1'><\u65E5:x xmlns:\u65E5='urn:j'/></Z\u00FCrich>");
  EXPECT_EQ(names.Root().Attribute("a\u00B7\u0300b"), "1");
  EXPECT_TRUE(Is(FirstChildElement(names.Root()), "urn:j", "x"));
}

// Names have at most one colon, every prefix is declared, "xml" and
// "xmlns" keep their own meaning, and no two attributes share a
// namespace and local name.
TEST(SoapXml, RefusesWhatBreaksTheNamespaceRules) {
  for (const char* text :
       {"<p:a/>", "<a p:b='1'/>", "<a><b xmlns:p='urn:p'/><p:c/></a>", "<:a/>", "<a:/>",
        "<p:b:c xmlns:p='urn:p'/>", "<p:1 xmlns:p='urn:p'/>", "<a :b='1'/>", "<a xmlns:='urn:x'/>",
        "<a xmlns:p=''/>", "<xmlns:a/>", "<a xmlns:xml='urn:other'/>",
        "<a xmlns:xmlns='urn:other'/>", "<a xmlns:p='http://www.w3.org/XML/1998/namespace'/>",
        "<a xmlns='http://www.w3.org/XML/1998/namespace'/>",
        "<a xmlns:p='http://www.w3.org/2000/xmlns/'/>",
        "<a xmlns:p='urn:x' xmlns:q='urn:x' p:b='1' q:b='2'/>",
        "<a xmlns:p='urn:x' xmlns:q='urn:x' a1='' a2='' a3='' a4='' a5='' "
        "a6='' a7='' a8='' p:b='1' q:b='2'/>",
        // One namespace declared on two elements, and written two ways.
        "<a xmlns:p='urn:x'><b xmlns:q='urn:x' p:c='1' q:c='2'/></a>",
        "<a xmlns:p='urn:x'><b xmlns:q='urn:&#x78;' q:c='1' p:c='2'/></a>",
        "<a xmlns:p='urn:x'><b xmlns:q='urn:&#x78;' a1='' a2='' a3='' a4='' a5='' a6='' a7='' "
        "a8='' q:c='1' p:c='2'/></a>",
        // A processing instruction's target is a name without a colon.
        "<a><?p:i x?></a>", "<?p:i?><a/>"})
    EXPECT_THROW(XmlDocument::Parse(text), ESOAPMessageError) << text;
  const XmlDocument doc = XmlDocument::Parse(
      "<a xmlns:xml='http://www.w3.org/XML/1998/namespace' xmlns:p='urn:x' xmlns:q='urn:x' "
      "xml:lang='en' p:b='1' q:c='2' b='3'><p:d xmlns=''/></a>");
  EXPECT_EQ(doc.Root().Attribute("xml:lang"), "en");
  EXPECT_EQ(doc.Root().AttributeNamespace(3), "http://www.w3.org/XML/1998/namespace");
  EXPECT_EQ(doc.Root().Attribute("b"), "3");
  EXPECT_TRUE(Is(FirstChildElement(doc.Root()), "urn:x", "d"));
  // Namespaces of one name are one, however declared; others stay apart.
  const XmlDocument same = XmlDocument::Parse(
      "<p:a xmlns:p='urn:&#x78;' xmlns:r='urn:xx' p:c='' r:c=''><q:b xmlns:q='urn:x' "
      "xmlns:p='urn:y' q:c='1' p:c='2'/></p:a>");
  EXPECT_EQ(same.Root().Namespace(), "urn:x");
  EXPECT_EQ(same.Root().AttributeNamespace(3), "urn:xx");
  const XmlNode b = FirstChildElement(same.Root());
  EXPECT_TRUE(Is(b, "urn:x", "b"));
  EXPECT_EQ(b.AttributeNamespace(2), "urn:x");
  EXPECT_EQ(b.AttributeNamespace(3), "urn:y");
}

// A cancellation that asks to stop at its third check.
struct Cancelled {};

TEST(SoapXml, ACancellationReachesTheReadingOfALargeDocument) {
  const size_t size = size_t{4} << 20;
  const auto grown = [&](std::string start, const std::string& part, const std::string& end) {
    while (start.size() < size)
      start += part;
    return start + end;
  };
  struct Shape {
    const char* name;
    std::string bytes;
  };
  for (const Shape& shape :
       {Shape{"elements", grown("<a>", "<b c='d'>e</b>", "</a>")},
        Shape{"one text", grown("<a>", "text &amp; ", "</a>")},
        Shape{"one attribute value", grown("<a b='", "value ", "'/>")},
        Shape{"one start tag",
              [&] {
                std::string tag = "<a";
                for (int i = 0; tag.size() < size; ++i)
                  tag += " b" + std::to_string(i) + "=''";
                return tag + "/>";
              }()},
        Shape{"a declared encoding",
              grown("<?xml version='1.0' encoding='ISO-8859-1'?><a>", "caf\xE9 ", "</a>")},
        Shape{"UTF-16", [&] {
                std::string wide = "\xFF\xFE";
                for (const char c : grown("<a>", "text ", "</a>"))
                  wide += {c, '\0'};
                return wide;
              }()}}) {
    int checks = 0;
    const CancellationScope scope([&] {
      if (++checks == 3) throw Cancelled();
    });
    EXPECT_THROW(XmlDocument::Parse(shape.bytes), Cancelled) << shape.name;
  }
}

TEST(SoapXml, ReadsTheUnicodeFormsByTheirBytes) {
  const std::u16string text = u"<a>Z\u00FCrich \u20AC</a>";
  std::string le, be;
  for (const char16_t c : text) {
    le += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    be += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  }
  for (const std::string& bytes : {"\xFF\xFE" + le, le, "\xFE\xFF" + be, be,
                                   std::string("\xEF\xBB\xBF<a>Z\xC3\xBCrich \xE2\x82\xAC</a>")})
    EXPECT_EQ(TextOf(XmlDocument::Parse(bytes).Root()), "Zürich €");
}

TEST(SoapXml, NormalisesLineEndsOutsideReferences) {
  const XmlDocument doc =
      XmlDocument::Parse("<a x='1\r\n2\t3&#9;4'>1\r\n2\r3&#13;<![CDATA[\r\n]]></a>");
  EXPECT_EQ(TextOf(doc.Root()), "1\n2\n3\r\n");
  EXPECT_EQ(doc.Root().Attribute("x"), "1 2 3\t4");
}

TEST(SoapXml, ResolvesNamespacesOfPrefixedAndDefaultElements) {
  const XmlDocument doc = XmlDocument::Parse(
      "<p:a xmlns:p='urn:p' xmlns='urn:d'><b><p:c/></b><q:d xmlns:q='urn:q' "
      "xmlns:i='http://www.w3.org/2001/XMLSchema-instance' i:nil='true'/></p:a>");
  const soap::XmlNode a = doc.Root();
  const soap::XmlNode b = ChildNamed(a, "b");
  EXPECT_TRUE(Is(a, "urn:p", "a"));
  EXPECT_TRUE(Is(b, "urn:d", "b"));
  EXPECT_TRUE(Is(ChildNamed(b, "c"), "urn:p", "c"));
  EXPECT_TRUE(Is(ChildNamed(a, "d"), "urn:q", "d"));
  EXPECT_TRUE(IsNil(ChildNamed(a, "d")));
  EXPECT_FALSE(IsNil(b));
}

TEST(SoapXml, ADeclarationHoldsForItsElementAndItsContentOnly) {
  const XmlDocument doc = XmlDocument::Parse(
      "<p:a xmlns:p='urn:1' xmlns='urn:d'><p:b xmlns:p='urn:2'><p:c/><d xmlns=''/></p:b>"
      "<p:e/><f/></p:a>");
  const XmlNode b = ChildNamed(doc.Root(), "b");
  EXPECT_TRUE(Is(b, "urn:2", "b"));
  EXPECT_TRUE(Is(ChildNamed(b, "c"), "urn:2", "c"));
  EXPECT_TRUE(Is(ChildNamed(b, "d"), "", "d"));
  EXPECT_TRUE(Is(ChildNamed(doc.Root(), "e"), "urn:1", "e"));
  EXPECT_TRUE(Is(ChildNamed(doc.Root(), "f"), "urn:d", "f"));
  // A nil attribute counts only with the schema-instance namespace.
  const XmlDocument nil = XmlDocument::Parse(
      "<a xmlns:i='urn:other' xmlns:x='http://www.w3.org/2001/XMLSchema-instance'>"
      "<b i:nil='true'/><c nil='true'/><d x:nil=' 1 '/></a>");
  EXPECT_FALSE(IsNil(ChildNamed(nil.Root(), "b")));
  EXPECT_FALSE(IsNil(ChildNamed(nil.Root(), "c")));
  EXPECT_TRUE(IsNil(ChildNamed(nil.Root(), "d")));
}

}  // namespace
}  // namespace movrano::soap
