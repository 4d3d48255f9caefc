// Hostile and broken texts: every scan ends, stays inside the text and keeps
// memory bounded.
#include <gtest/gtest.h>

#include <string>

#include "gateway/wctp/xml_parser.h"
#include "tests/gateway/wctp/xml_test_util.h"

namespace vltg {
namespace {

using namespace testing::xml;

const char kWctpReply[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<!DOCTYPE wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1r1.dtd\">\r\n"
    "<wctp-Operation wctpVersion=\"wctp-dtd-v1r1\" wctpToken=\"A1B2\">\r\n"
    "  <wctp-Confirmation>\r\n"
    "    <wctp-Failure errorCode=\"403\" errorText=\"Invalid &amp; unknown PIN\">"
    "Caf\xC3\xA9 &lt;closed&gt;</wctp-Failure>\r\n"
    "    <!-- served by test --><![CDATA[raw]]>\r\n"
    "  </wctp-Confirmation>\r\n"
    "</wctp-Operation>\r\n";

// A document type declaration whose entity <name>N holds ten references to
// <name>N-1, from <name>0 holding `text` up to <name>`levels`.
std::string EntityChain(const std::string& name, const std::string& text, int levels) {
  std::string dtd = "<!DOCTYPE r [<!ENTITY " + name + "0 \"" + text + "\">";
  for (int level = 1; level <= levels; ++level) {
    dtd += "<!ENTITY " + name + std::to_string(level) + " \"";
    for (int i = 0; i < 10; ++i) dtd += "&" + name + std::to_string(level - 1) + ";";
    dtd += "\">";
  }
  return dtd;
}

TEST(XmlParserSafety, EntityExpansionIsBounded) {
  // Ten levels of ten references each would expand to 10^10 bytes.
  const std::string laughs = EntityChain("l", "lol", 10) + "]>";
  const auto inValue = PartsOf(laughs + "<r v=\"&l10;\"/>");
  ASSERT_EQ(inValue.size(), 2u);
  EXPECT_GT(inValue[1].attrs.size(), 1000u);
  EXPECT_LE(inValue[1].attrs.size(), TXmlParser::kMaxExpansion);
  const auto inText = PartsOf(laughs + "<r>&l10;</r>");
  ASSERT_EQ(inText.size(), 4u);
  EXPECT_GT(inText[2].content.size(), 1000u);
  EXPECT_LE(inText[2].content.size(), TXmlParser::kMaxExpansion);
  // The bound holds for the whole pass: after the value, text expands nothing.
  EXPECT_EQ(Texts(PartsOf(laughs + "<r v=\"&l10;\">&l10;x</r>")), std::vector<std::string>{"x"});

  // Empty entities cost their visits, so deep fan-out ends too.
  const std::string empties = EntityChain("e", "", 15) + "]><r v=\"&e15;x\">&e15;x</r>";
  const auto emptyParts = PartsOf(empties);
  ASSERT_EQ(emptyParts.size(), 4u);
  EXPECT_EQ(emptyParts[1].attrs, "v=x");
  EXPECT_EQ(emptyParts[2].content, "x");

  // An entity that refers to itself stops at the nesting bound.
  const auto self = PartsOf("<!DOCTYPE r [<!ENTITY a \"x&a;\">]><r v=\"&a;\">&a;</r>");
  ASSERT_EQ(self.size(), 4u);
  EXPECT_EQ(self[1].attrs, "v=" + std::string(TXmlParser::kMaxEntityDepth, 'x'));
  EXPECT_EQ(self[2].content, std::string(TXmlParser::kMaxEntityDepth, 'x'));

  // Parameter entities that refer to themselves, between and in declarations.
  TXmlParser parser;
  parser.SetBufferText(
      "<!DOCTYPE r [<!ENTITY % p \"%p;<!ENTITY g 'G'>\"> %p; <!ENTITY % q \"(%q;)\">"
      "<!ELEMENT r %q;>]><r>&g;</r>");
  EXPECT_EQ(Texts(Parts(parser)), std::vector<std::string>{"G"});
  EXPECT_EQ(parser.GetElementDefs().Find("r")->ContentModel,
            std::string(TXmlParser::kMaxEntityDepth, '(') + std::string(TXmlParser::kMaxEntityDepth, ')'));
}

TEST(XmlParserSafety, SecondDoctypeIsPassedOver) {
  TXmlParser parser;
  parser.SetBufferText("<!DOCTYPE a [<!ENTITY x \"1\">]><!DOCTYPE b [<!ENTITY y \"2\">]><a>&x;&y;</a>");
  const auto parts = Parts(parser, 20);
  ASSERT_EQ(parts.size(), 6u);
  EXPECT_EQ(parts[1].kind, pkDoctype);
  EXPECT_EQ(parser.GetDoctypeName(), "a");
  EXPECT_EQ(parser.GetGeneralEntities().Count(), 1);
  EXPECT_EQ(parts[2].content, "]>");  // the second one ended at its first ">"
  EXPECT_EQ(parts[4].content, "1y");
}

TEST(XmlParserSafety, CharacterReferenceZeroIsABlank) {
  const auto parts = PartsOf("<!DOCTYPE r [<!ENTITY z \"a&#0;b\">]><r v=\"c&#0;d&#x100;e\">f&#0;g &z; \xC0\x80</r>");
  EXPECT_EQ(parts[1].attrs, "v=c d e");
  EXPECT_EQ(parts[2].content, "f g a b");
}

TEST(XmlParserSafety, EntityTextsEndingTogetherResumeTheDocument) {
  // The end tag's text ends three entity texts at once.
  const auto parts = PartsOf(
      "<!DOCTYPE r [<!ENTITY f \"<b/>\"><!ENTITY e \"&f;\"><!ENTITY d \"&e;\">]><r>&d;</r><after/>");
  ASSERT_EQ(parts.size(), 5u);
  EXPECT_EQ(parts[2], (Part{pkEmptyTag, "b", "", ""}));
  EXPECT_EQ(parts[3].kind, pkEndTag);
  EXPECT_EQ(parts[4].name, "after");
}

TEST(XmlParserSafety, DoctypeEndingInsideAParameterEntity) {
  TXmlParser parser;
  parser.SetBufferText("<!DOCTYPE r [<!ENTITY % end \"]>\">%end;<r/>");
  const auto parts = Parts(parser, 20);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1].name, "r");
  EXPECT_EQ(parser.GetDtdEndPos(), parser.GetBuffer() + std::string_view(parser.GetBuffer()).find("<r/>") - 1);
}

TEST(XmlParserSafety, TruncatedReplyParsesAtEveryLength) {
  const std::string reply = kWctpReply;
  const auto whole = PartsOf(reply);
  ASSERT_EQ(whole.size(), 11u);
  EXPECT_EQ(whole[5], (Part{pkText, "wctp-Failure", "Caf\xE9 <closed>",
                            "errorCode=403|errorText=Invalid & unknown PIN"}));
  for (size_t n = 0; n <= reply.size(); ++n) {
    TXmlParser parser;
    parser.SetBufferText(reply.substr(0, n));
    const auto parts = Parts(parser, reply.size() + 1);
    ASSERT_LE(parts.size(), whole.size()) << n;
    parser.ResetScan();
    ASSERT_EQ(Parts(parser, reply.size() + 1), parts) << n;
  }
}

TEST(XmlParserSafety, RunsOfUnterminatedReferencesStayLinear) {
  // One "&" without ";" after it costs one scan, not one per "&".
  const std::string text = "<a>" + std::string(1 << 20, '&') + "x";
  const auto parts = PartsOf(text);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[1].content, "x");
  // Many attributes of one name.
  std::string tag = "<a";
  for (int i = 0; i < 100000; ++i) tag += " x=''";
  EXPECT_EQ(PartsOf(tag + "/>")[0].kind, pkEmptyTag);
}

}  // namespace
}  // namespace vltg
