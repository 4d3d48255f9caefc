// The parts a text yields and the fields each part keeps from the one before.
#include "gateway/wctp/xml_parser.h"

#include <gtest/gtest.h>

#include "tests/gateway/wctp/xml_test_util.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

using namespace testing::xml;

TEST(XmlParserParts, EmptyAndBlankTextsHaveNoPart) {
  TXmlParser parser;
  EXPECT_FALSE(parser.NextPart());  // nothing loaded
  parser.SetBufferText("");
  EXPECT_EQ(parser.GetSourceName(), "<MEM>");
  EXPECT_EQ(parser.GetBufferSize(), 1);
  EXPECT_FALSE(parser.NextPart());
  parser.SetBufferText(" \t\r\n  ");
  EXPECT_FALSE(parser.NextPart());

  parser.SetBufferText(" \t\r\n  ");
  parser.SetNormalizeText(false);
  ASSERT_TRUE(parser.NextPart());
  EXPECT_EQ(parser.GetPartKind(), pkText);
  EXPECT_EQ(parser.GetPartContent(), " \t\r\n  ");
  EXPECT_FALSE(parser.NextPart());
}

TEST(XmlParserParts, KindsPositionsAndDispatch) {
  const std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?><!-- note --><?app go?>"
      "<!DOCTYPE r><r a='1'><e/> some\n  text </r><![CDATA[<raw> &amp;]]>";
  TXmlParser parser;
  parser.SetBufferText(text);
  const char* base = parser.GetBuffer();
  struct Expect {
    int kind;
    std::string part;
  };
  const std::vector<Expect> expected = {
      {pkXmlDecl, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"},
      {pkComment, "<!-- note -->"},
      {pkPI, "<?app go?>"},
      {pkDoctype, "<!DOCTYPE r>"},
      {pkStartTag, "<r a='1'>"},
      {pkEmptyTag, "<e/>"},
      {pkText, " some\n  text "},
      {pkEndTag, "</r>"},
      {pkCData, "<![CDATA[<raw> &amp;]]>"},
  };
  size_t at = 0;
  for (const Expect& e : expected) {
    ASSERT_TRUE(parser.NextPart()) << e.part;
    EXPECT_EQ(parser.GetPartKind(), e.kind) << e.part;
    EXPECT_EQ(parser.GetPartStart(), base + at) << e.part;
    EXPECT_EQ(parser.GetPartEnd(), base + at + e.part.size() - 1) << e.part;
    at += e.part.size();
  }
  EXPECT_EQ(parser.GetPartContent(), "<raw> &amp;");
  EXPECT_FALSE(parser.NextPart());
  EXPECT_EQ(parser.GetXmlDeclVersion(), "1.0");
  EXPECT_EQ(parser.GetXmlDeclEncoding(), "UTF-8");
  EXPECT_TRUE(parser.GetXmlDeclStandalone());
  EXPECT_EQ(parser.GetDoctypeName(), "r");

  // After false the scan starts over.
  ASSERT_TRUE(parser.NextPart());
  EXPECT_EQ(parser.GetPartKind(), pkXmlDecl);
  EXPECT_EQ(parser.GetPartStart(), base);
}

TEST(XmlParserParts, FieldsCarryFromPartToPart) {
  const auto parts = PartsOf(
      "before<wctp-Failure errorCode=\"403\" errorText=\"Bad PIN\">Detail"
      "<!-- c --></wctp-Failure><?xml version=\"1.0\"?><![CDATA[cd]]>x<!DOCTYPE d>");
  const std::vector<Part> expected = {
      {pkText, "", "before", ""},
      // A start tag keeps the text before it.
      {pkStartTag, "wctp-Failure", "before", "errorCode=403|errorText=Bad PIN"},
      // Text and comments keep the tag's name and attributes.
      {pkText, "wctp-Failure", "Detail", "errorCode=403|errorText=Bad PIN"},
      {pkComment, "wctp-Failure", "Detail", "errorCode=403|errorText=Bad PIN"},
      // End tags parse their own (empty) attribute list.
      {pkEndTag, "wctp-Failure", "Detail", ""},
      {pkXmlDecl, "", "", "version=1.0"},
      {pkCData, "", "cd", "version=1.0"},
      {pkText, "", "x", "version=1.0"},
      {pkDoctype, "", "", "version=1.0"},
  };
  EXPECT_EQ(parts, expected);
  // A text part refused for being blank still leaves its empty content.
  EXPECT_EQ(PartsOf("<a>x</a>\r\n<b/>").back(), (Part{pkEmptyTag, "b", "", ""}));
}

TEST(XmlParserParts, ProcessingInstructionTargetContentAttributes) {
  TXmlParser parser;
  parser.SetBufferText("<?render  mode=\"fast\" level='2' ?><?bare?><?xml-stylesheet href=\"a\"?>");
  ASSERT_TRUE(parser.NextPart());
  EXPECT_EQ(Current(parser), (Part{pkPI, "render", "  mode=\"fast\" level='2' ", "level=2|mode=fast"}));
  ASSERT_TRUE(parser.NextPart());
  EXPECT_EQ(Current(parser), (Part{pkPI, "bare", "", ""}));
  // Any part starting "<?xml" is taken for a declaration.
  ASSERT_TRUE(parser.NextPart());
  EXPECT_EQ(parser.GetPartKind(), pkXmlDecl);
  EXPECT_EQ(parser.GetXmlDeclVersion(), "");
}

TEST(XmlParserParts, MissingClosingDelimitersRunToTheEnd) {
  for (const std::string text : {"<!-- open", "<?pi open", "<a b='1'", "<![CDATA[open", "<!DOCTYPE r [", "<"}) {
    TXmlParser parser;
    parser.SetBufferText(text);
    ASSERT_TRUE(parser.NextPart()) << text;
    EXPECT_EQ(parser.GetPartEnd(), parser.GetBuffer() + text.size() - 1) << text;
    EXPECT_FALSE(parser.NextPart()) << text;
  }
  const auto parts = PartsOf("<a><![CDATA[rest <b>&amp;");
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1], (Part{pkCData, "", "rest <b>&amp;", ""}));
}

TEST(XmlParserAttributes, AsWrittenInTheTag) {
  // A blank before "=" stays in the name; duplicates are both kept, newest
  // first; either quote works.
  EXPECT_EQ(PartsOf("<a b =\"1\" x='2' x=\"3\" q='say \"hi\"'/>")[0],
            (Part{pkEmptyTag, "a", "", "b =1|q=say \"hi\"|x=3|x=2"}));
  // A name without "=" and value makes the reader pass over the rest of the
  // tag, ">" included, up to the next "=" and quote.
  const auto parts = PartsOf("<a flag><c d=\"1\">x</a>");
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0], (Part{pkStartTag, "a", "", "flag=1"}));
  EXPECT_EQ(parts[1].content, "x");
  EXPECT_EQ(parts[2].kind, pkEndTag);
  // White space in values: CDATA-like (undeclared) values keep their length.
  EXPECT_EQ(PartsOf("<a v=\" x\ty\r\n\"/>")[0].attrs, "v= x y  ");
}

TEST(XmlParserReferences, InTextAndInAttributeValues) {
  EXPECT_EQ(Texts(PartsOf("<a>1 &lt; 2 &gt; 0 &amp; &apos;q&quot;</a>")),
            std::vector<std::string>{"1 < 2 > 0 & 'q\""});
  EXPECT_EQ(Texts(PartsOf("<a>&#65;&#x42;&#X43;&#321;|&#xZZ;|&#;|&nobody;|&loose</a>")),
            std::vector<std::string>{"ABCA| | |nobody|loose"});
  // Undeclared and character references in values: the first stays, the
  // second is replaced after the predefined ones, so "&amp;#66;" reads "B".
  EXPECT_EQ(PartsOf("<a v=\"&nobody; &lt;&#65;&amp;#66; &#x41\"/>")[0].attrs, "v=&nobody; <AB &#x41");
}

TEST(XmlParserReferences, NormalisedTextDropsEmptyParts) {
  EXPECT_EQ(Texts(PartsOf("<a>\n  one\t two \r\n</a>\n  <b>\n</b>")), std::vector<std::string>{"one two"});
  TXmlParser parser;
  parser.SetBufferText("<a> x </a>");
  parser.SetNormalizeText(false);
  EXPECT_EQ(Texts(Parts(parser)), std::vector<std::string>{" x "});
}

TEST(XmlParserDecoding, Utf8BecomesSingleBytes) {
  // 0xC3 0xA9 is one character 0xE9; each byte of a three-byte sequence is 0x80.
  EXPECT_EQ(Texts(PartsOf("<a>caf\xC3\xA9 \xE2\x82\xAC</a>")), std::vector<std::string>{"caf\xE9 \x80\x80\x80"});
  EXPECT_EQ(PartsOf("<a v=\"\xC3\xA9\"/>")[0].attrs, "v=\xE9");
  EXPECT_EQ(Texts(PartsOf("<a><![CDATA[\xC3\xA9]]></a>"), pkCData), std::vector<std::string>{"\xE9"});
  // A lead byte cut off at the end of the text.
  EXPECT_EQ(Texts(PartsOf("<a>x</a>y\xC3")), (std::vector<std::string>{"x", "y\x80"}));
  // Another declared encoding, even "utf-8" in lower case, leaves bytes alone.
  EXPECT_EQ(Texts(PartsOf("<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\xC3\xA9</a>")),
            std::vector<std::string>{"\xC3\xA9"});
}

TEST(XmlParserScan, RescanGivesTheSameParts) {
  TXmlParser parser;
  parser.SetBufferText("<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY e \"E\">]><r>&e;</r>");
  const auto first = Parts(parser);
  parser.ResetScan();
  EXPECT_EQ(parser.GetPartKind(), pkNone);
  EXPECT_EQ(parser.GetPartStart(), nullptr);
  EXPECT_EQ(parser.GetPartAttrs().Count(), 0);
  EXPECT_EQ(Parts(parser), first);
  EXPECT_EQ(Texts(first), std::vector<std::string>{"E"});

  // Declarations apply from the declaration on, and the encoding is read
  // afresh, in every pass alike.
  for (const std::string text : {"<a v='&e;'>&e;</a><!DOCTYPE r [<!ENTITY e \"<b/>\">]>&e;",
                                 "<a>\xC3\xA9</a><?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"}) {
    parser.SetBufferText(text);
    const auto once = Parts(parser);
    EXPECT_EQ(Parts(parser), once) << text;  // after false the scan starts over
    parser.ResetScan();
    EXPECT_EQ(Parts(parser), once) << text;
  }
  parser.ResetScan();
  EXPECT_EQ(Parts(parser)[0], (Part{pkStartTag, "a", "", ""}));
  EXPECT_EQ(Parts(parser)[1].content, "\xE9");
}

TEST(XmlParserLoad, FilesAndFailures) {
  const testing::TempDir temp;
  const std::string dir = temp.Path().string();
  temp.Write("doc.xml", "<a>x</a>");
  TXmlParser parser;
  parser.LoadFile(dir + "/doc.xml");
  EXPECT_EQ(parser.GetSourceName(), dir + "/doc.xml");
  EXPECT_EQ(parser.GetBufferSize(), 9);
  EXPECT_EQ(Texts(Parts(parser)), std::vector<std::string>{"x"});
  for (const std::string& bad : {dir + "/missing.xml", dir}) {
    parser.LoadFile(bad);
    EXPECT_EQ(parser.GetSourceName(), "") << bad;
    EXPECT_EQ(parser.GetBufferSize(), 0) << bad;
    EXPECT_FALSE(parser.NextPart()) << bad;
  }
}

}  // namespace
}  // namespace vltg
