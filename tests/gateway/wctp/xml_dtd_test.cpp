// Declarations of the document type declaration and what they do to tags
// and references.
#include <gtest/gtest.h>

#include <filesystem>

#include "gateway/wctp/xml_parser.h"
#include "tests/gateway/wctp/xml_test_util.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

using namespace testing::xml;

// Counts the declaration records by kind.
class RecordingParser : public TXmlParser {
 public:
  void ReportDtdItem(const TDtdItem& item) override {
    kinds.push_back(item.Kind);
    if (item.Kind == dtPI) pi = item.Target + "|" + item.Content + "|" + AttrsOf(*item.Attrs);
  }
  std::vector<int> kinds;
  std::string pi;
};

TEST(XmlDtd, DeclarationsAreStoredAndReported) {
  RecordingParser parser;
  parser.SetBufferText(
      "<!DOCTYPE memo SYSTEM \"memo.dtd\" [\n"
      "  <!ELEMENT memo (to, body)>\n"
      "  <!ELEMENT body ( #PCDATA | b )* >\n"
      "  <!ELEMENT br EMPTY>\n"
      "  <!ATTLIST memo kind (short | long) \"short\" pic NOTATION (gif | png) #IMPLIED>\n"
      "  <!ENTITY sig \"Regards\">\n"
      "  <!ENTITY logo SYSTEM \"logo.gif\" NDATA gif >\n"
      "  <!NOTATION gif PUBLIC \"-//GIF//EN\" \"viewer\">\n"
      "  <?setup a=\"1\"?>\n"
      "  <!-- comment -->\n"
      "  <bogus\n"
      "] junk>\n"
      "<memo/>");
  const auto parts = Parts(parser);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parser.GetDoctypeName(), "memo");
  EXPECT_EQ(parser.kinds, (std::vector<int>{dtElement, dtElement, dtElement, dtAttList, dtEntity, dtEntity,
                                            dtNotation, dtPI, dtComment, dtError, dtError, dtError, dtError,
                                            dtError}));
  EXPECT_EQ(parser.pi, "setup| a=\"1\"|a=1");

  const TElemList& elems = parser.GetElementDefs();
  ASSERT_EQ(elems.Count(), 3);  // sorted: body, br, memo
  EXPECT_EQ(elems.Items(0)->ContentKind, ckMixed);
  EXPECT_EQ(elems.Items(0)->ContentModel, "(#PCDATA|b)*");
  EXPECT_EQ(elems.Items(1)->ContentKind, ckEmpty);
  const TElemDef* memo = elems.Find("memo");
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(memo->ContentKind, ckElements);
  const TAttrDef* kind = memo->Find("kind");
  ASSERT_NE(kind, nullptr);
  EXPECT_EQ(kind->AttrType, atEnumeration);
  EXPECT_EQ(kind->TypeText, "(short|long)");
  EXPECT_EQ(kind->Value, "short");
  const TAttrDef* pic = memo->Find("pic");
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->AttrType, atNotation);
  EXPECT_EQ(pic->NotationList, "(gif|png)");
  EXPECT_EQ(pic->DefaultKind, dkImplied);

  const TEntityDef* logo = parser.GetGeneralEntities().Find("logo");
  ASSERT_NE(logo, nullptr);
  EXPECT_EQ(logo->SystemId, "logo.gif");
  EXPECT_EQ(logo->NotationName, "gif ");  // white space before ">" belongs to it
  EXPECT_EQ(parser.GetGeneralEntities().Value("sig"), "Regards");
  const TNotationDef* gif = parser.GetNotationDefs().Find("gif");
  ASSERT_NE(gif, nullptr);
  EXPECT_EQ(gif->PublicId, "-//GIF//EN");
  EXPECT_EQ(gif->Value, "viewer");
  EXPECT_EQ(parts[1], (Part{pkEmptyTag, "memo", "", "kind=short"}));

  // A rescan passes over the declaration without reading it again.
  parser.kinds.clear();
  parser.ResetScan();
  EXPECT_EQ(Parts(parser), parts);
  EXPECT_TRUE(parser.kinds.empty());
}

TEST(XmlDtd, AttributeDefaultsFixedValuesAndTypes) {
  TXmlParser parser;
  parser.SetBufferText(
      "<!DOCTYPE r [<!ATTLIST r d CDATA 'dflt' f CDATA #FIXED \"fixed\" i CDATA #IMPLIED q ID #REQUIRED"
      " t NMTOKEN #IMPLIED c CDATA #IMPLIED>\n<!ELEMENT r ANY>]>"
      "<r f='other' i='x' q='a' t=\"\t a \n b  \" c=\"\t a \n b  \"></r>");
  ASSERT_TRUE(parser.NextPart());
  ASSERT_TRUE(parser.NextPart());
  const TAttrList& attrs = parser.GetPartAttrs();
  EXPECT_EQ(AttrsOf(attrs), "c=  a   b  |d=dflt|f=fixed|i=x|q=a|t=a b");
  EXPECT_EQ(attrs.Find("d")->ValueKind, vkDefault);
  EXPECT_EQ(attrs.Find("f")->ValueKind, vkFixed);
  EXPECT_EQ(attrs.Find("i")->ValueKind, vkImplied);
  EXPECT_EQ(attrs.Find("q")->ValueKind, vkWritten);
  EXPECT_EQ(attrs.Find("q")->AttrType, atId);
  EXPECT_EQ(attrs.Find("t")->AttrType, atNmToken);
  // The element declared after its attribute list keeps the attributes.
  EXPECT_EQ(parser.GetElementDefs().Find("r")->Count(), 6);
  // End tags get no defaults.
  ASSERT_TRUE(parser.NextPart());
  EXPECT_EQ(parser.GetPartKind(), pkEndTag);
  EXPECT_EQ(parser.GetPartAttrs().Count(), 0);
}

TEST(XmlDtd, EntitiesInTextAndValues) {
  const auto parts = PartsOf(
      "<!DOCTYPE r [\n"
      "<!ENTITY % type \"CDATA\">\n"
      "<!ENTITY % decl \"<!ENTITY later 'from a parameter entity'>\">\n"
      "%decl;\n"
      "<!ENTITY who \"world\">\n"
      "<!ENTITY greet \"hello &who;&#33;\">\n"
      "<!ENTITY pct \"100%type;\">\n"
      "<!ENTITY markup \"<b id='&who;'>bold</b> tail\">\n"
      "<!ATTLIST r v CDATA \"&greet;\">\n"
      "]>\n"
      "<r>&greet; &later; &pct;|&markup;</r>");
  const std::vector<Part> expected = {
      {pkDoctype, "", "", ""},
      {pkStartTag, "r", "", "v=hello world!"},
      {pkText, "r", "hello world! from a parameter entity 100CDATA|", "v=hello world!"},
      {pkStartTag, "b", "hello world! from a parameter entity 100CDATA|", "id=world"},
      {pkText, "b", "bold", "id=world"},
      {pkEndTag, "b", "bold", ""},
      {pkText, "b", "tail", ""},
      {pkEndTag, "r", "tail", ""},
  };
  EXPECT_EQ(parts, expected);
}

TEST(XmlDtd, ExternalEntitiesResolveAgainstTheFile) {
  const testing::TempDir dir;
  std::filesystem::create_directories(dir / "sub");
  const auto write = [&](const std::string& name, const std::string& text) { dir.Write(name, text); };
  write("doc.xml",
        "<!DOCTYPE r SYSTEM \"sub\\r.dtd\" [<!ENTITY part SYSTEM \"sub/part.txt\">]>"
        "<r>&part;</r>");
  write("sub/r.dtd", "text before the first declaration <!ATTLIST r from CDATA \"dtd\">");
  write("sub/part.txt", "<?xml encoding=\"ISO-8859-1\"?>external \xC3\xA9");

  TXmlParser parser;
  parser.LoadFile((dir / "doc.xml").string());
  const auto parts = Parts(parser);
  EXPECT_EQ(parts[1], (Part{pkStartTag, "r", "", "from=dtd"}));
  EXPECT_EQ(Texts(parts), std::vector<std::string>{"external \xC3\xA9"});
  EXPECT_EQ(parser.GetXmlDeclEncoding(), "");  // the entity's declaration is not the document's
  EXPECT_EQ(parser.GetActiveEncoding(), "UTF-8");  // restored when the entity ended

  // The same text received in memory reads no file.
  TXmlParser fromMemory;
  fromMemory.SetBufferText(dir.Read("doc.xml"));
  const auto memParts = Parts(fromMemory);
  EXPECT_EQ(memParts[1], (Part{pkStartTag, "r", "", ""}));
  EXPECT_TRUE(Texts(memParts).empty());
  EXPECT_EQ(fromMemory.OpenExternalEntity((dir / "sub/part.txt").string(), "", "")->GetBufferSize(), 0);
}

}  // namespace
}  // namespace vltg
