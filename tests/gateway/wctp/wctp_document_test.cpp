// The WCTP submit document, byte for byte, and what goes into it.
#include "gateway/wctp/wctp_document.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gateway/wctp/kyr_inet_paging_comp.h"
#include "tests/gateway/wctp/wctp_golden.h"
#include "tests/gateway/wctp/xml_test_util.h"
#include "tests/support/scoped_env.h"

namespace vltg {
namespace {

using testing::wctp::GatewayRequest;
using testing::wctp::Submitted;

const std::string kStamp = "2024-07-01T12:34:56";

std::string Document(const TInetPageRequest& r, const std::string& text) {
  return WriteSubmitDocument(r, text, kStamp);
}

// The document's lines from the one starting with `from` up to the
// `times`-th one starting with `to`, both included, without their indents.
std::vector<std::string> Rows(const std::string& doc, const std::string& from, const std::string& to,
                              int times = 1) {
  std::vector<std::string> rows;
  bool in = false;
  for (size_t at = 0; at < doc.size();) {
    const size_t end = doc.find("\r\n", at);
    std::string row = doc.substr(at, end - at);
    row.erase(0, row.find_first_not_of(' '));
    at = end + 2;
    if (row.rfind(from, 0) == 0) in = true;
    if (in) rows.push_back(row);
    if (in && row.rfind(to, 0) == 0 && --times == 0) break;
  }
  return rows;
}

TEST(WctpDocument, TheGatewaysRequestGivesTheClientForm) {
  auto r = GatewayRequest("5551234", testing::wctp::kGatewayMessage, "http://127.0.0.1/wctp");
  EXPECT_EQ(WriteSubmitDocument(*r, testing::wctp::kGatewayMessage,
                                TKYRInetPagingComp::FormatTimestamp(Submitted())),
            testing::wctp::kGatewayDocument);
  // A new request carries the same DTD as the gateway's configuration.
  EXPECT_EQ(NewInetPageRequest()->DocType, kDefaultWctpDocType);
}

TEST(WctpDocument, AFullyFilledSubmitRequestWithChoices) {
  auto r = NewInetPageRequest();
  r->UseSubmitRequest = true;
  r->DocType = "http://dtd.wctp.org/wctp-dtd-v1-3.dtd";
  r->NotifyWhenQueued = r->NotifyWhenDelivered = r->NotifyWhenRead = true;
  r->AllowResponse = r->Preformatted = true;
  r->Priority = 7;
  r->RecipientID = "5551234";
  r->SenderID = "gw01";
  r->SecurityCode = "s3cret";
  r->MiscInfo = "Front desk";
  r->SendResponsesToID = "ops@example.net";
  r->DeliveryAfter = "2024-07-01T13:00:00";
  r->DeliveryBefore = "2024-07-01T18:00:00";
  r->MessageID = "M-0001";
  r->TransactionID = "T-77";
  const std::vector<std::string> list{"Maybe"};
  r->ChoiceList = &list;
  r->ChoiceText = "Yes\r\nNo";  // wins over the list
  EXPECT_EQ(Document(*r, "Lunch?"),
            "<?xml version=\"1.0\"?>\r\n"
            "<!DOCTYPE wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1-3.dtd\">\r\n"
            "<wctp-Operation wctpVersion=\"wctp-dtd-v1r3\">\r\n"
            "  <wctp-SubmitRequest>\r\n"
            "     <wctp-SubmitHeader\r\n"
            "         submitTimestamp=\"2024-07-01T12:34:56\">\r\n"
            "         <wctp-Originator\r\n"
            "            senderID=\"gw01\"\r\n"
            "            securityCode=\"s3cret\"\r\n"
            "            miscInfo=\"Front desk\"\r\n"
            "         />\r\n"
            "         <wctp-MessageControl\r\n"
            "            messageID=\"M-0001\"\r\n"
            "            transactionID=\"T-77\"\r\n"
            "              notifyWhenQueued=\"true\"\r\n"
            "              notifyWhenDelivered=\"true\"\r\n"
            "              notifyWhenRead=\"true\"\r\n"
            "              sendResponsesToID=\"ops@example.net\"\r\n"
            "              deliveryAfter=\"2024-07-01T13:00:00\"\r\n"
            "              deliveryBefore=\"2024-07-01T18:00:00\"\r\n"
            "              allowResponse=\"true\"\r\n"
            "              deliveryPriority=\"HIGH\"\r\n"
            "              preformatted=\"true\"\r\n"
            "         />\r\n"
            "         <wctp-Recipient\r\n"
            "             recipientID=\"5551234\"\r\n"
            "         />\r\n"
            "     </wctp-SubmitHeader>\r\n"
            "     <wctp-Payload>\r\n"
            "         <wctp-MCR>\r\n"
            "           <wctp-MessageText>Lunch?</wctp-MessageText>\r\n"
            "           <wctp-Choice>Yes</wctp-Choice>\r\n"
            "           <wctp-Choice>No</wctp-Choice>\r\n"
            "         </wctp-MCR>\r\n"
            "     </wctp-Payload>\r\n"
            "  </wctp-SubmitRequest>\r\n"
            "</wctp-Operation>\r\n");
}

TEST(WctpDocument, TheClientFormSendsOneMiscInfoAndLowPriority) {
  auto r = NewInetPageRequest();
  r->SecurityCode = "s3cret";  // sent as miscInfo, and MiscInfo not at all
  r->MiscInfo = "Front desk";
  r->MessageID = "M-1";  // submit-request form only
  r->Priority = 2;
  EXPECT_EQ(Rows(Document(*r, "x"), "<wctp-ClientOriginator", "/>", 2),
            (std::vector<std::string>{"<wctp-ClientOriginator", "senderID=\"\"", "miscInfo=\"s3cret\"", "/>",
                                      "<wctp-ClientMessageControl", "deliveryPriority=\"LOW\"", "/>"}));
}

TEST(WctpDocument, PayloadFormFollowsTheChoiceSources) {
  auto r = NewInetPageRequest();
  auto payload = [&] { return Rows(Document(*r, "Hi"), "<wctp-Payload>", "</wctp-Payload>"); };
  const std::vector<std::string> simple{"<wctp-Payload>", "<wctp-Alphanumeric>Hi</wctp-Alphanumeric>",
                                        "</wctp-Payload>"};
  r->ForceMCR = true;  // no source: not consulted
  EXPECT_EQ(payload(), simple);

  std::vector<std::string> list;
  r->ChoiceList = &list;  // a source without a choice: as ForceMCR says
  EXPECT_EQ(payload(), (std::vector<std::string>{"<wctp-Payload>", "<wctp-MCR>",
                                                 "<wctp-MessageText>Hi</wctp-MessageText>", "</wctp-MCR>",
                                                 "</wctp-Payload>"}));
  r->ForceMCR = false;
  EXPECT_EQ(payload(), simple);

  list = {"A", "B\nC"};  // the lines of the list's text
  EXPECT_EQ(payload(), (std::vector<std::string>{"<wctp-Payload>", "<wctp-MCR>",
                                                 "<wctp-MessageText>Hi</wctp-MessageText>",
                                                 "<wctp-Choice>A</wctp-Choice>", "<wctp-Choice>B</wctp-Choice>",
                                                 "<wctp-Choice>C</wctp-Choice>", "</wctp-MCR>", "</wctp-Payload>"}));
  r->ChoiceText = "";  // set, even empty, it wins
  EXPECT_EQ(payload(), simple);
}

TEST(WctpDocument, WctpVersionComesFromTheDtdFileName) {
  EXPECT_EQ(WctpVersion(""), "wctp-dtd-v1r1");
  EXPECT_EQ(WctpVersion("http://dtd.wctp.org/wctp-dtd-v1r1.dtd"), "wctp-dtd-v1r1");
  EXPECT_EQ(WctpVersion("HTTP://WWW.WCTP.ORG/DTD/WCTP-DTD-V1R0.DTD"), "wctp-dtd-v1r0");
  EXPECT_EQ(WctpVersion("wctp-dtd-v1-0.dtd"), "wctp-dtd-v1r0");
  EXPECT_EQ(WctpVersion("C:\\dtds\\wctp-dtd-v2r3.dtd"), "wctp-dtd-v2r3");
  EXPECT_EQ(WctpVersion("wctp-dtd-v1r1"), "wctp-dtd-v1r");  // no ".": no minor
  EXPECT_EQ(WctpVersion("http://dtd.example/"), "wctp-dtd-vr");

  auto r = NewInetPageRequest();
  r->DocType = "";
  EXPECT_EQ(Rows(Document(*r, "x"), "<!DOCTYPE", "<wctp-Operation"),
            (std::vector<std::string>{"<!DOCTYPE wctp-Operation SYSTEM \"\">",
                                      "<wctp-Operation wctpVersion=\"wctp-dtd-v1r1\">"}));
}

TEST(WctpDocument, TextsAreEscapedSoNoPageCanAddElements) {
  auto r = NewInetPageRequest();
  r->SenderID = "a\"b<c>&d";
  r->ChoiceText = "R&D <now> 100%";
  r->DocType = "http://dtd.example/\"x\"/wctp-dtd-v1r1.dtd";
  const std::string doc = Document(*r, "</wctp-MessageText><wctp-Choice>Injected</wctp-Choice><x>");
  EXPECT_EQ(Rows(doc, "senderID", "senderID"), std::vector<std::string>{"senderID=\"a&quot;b&lt;c&gt;&amp;d\""});
  EXPECT_EQ(Rows(doc, "<wctp-MessageText>", "<wctp-Choice>"),
            (std::vector<std::string>{"<wctp-MessageText>&lt;/wctp-MessageText&gt;&lt;wctp-Choice&gt;Injected&lt;/"
                                      "wctp-Choice&gt;&lt;x&gt;</wctp-MessageText>",
                                      "<wctp-Choice>R&amp;D &lt;now&gt; 100%</wctp-Choice>"}));
  EXPECT_EQ(Rows(doc, "<!DOCTYPE", "<!DOCTYPE"),
            std::vector<std::string>{
                "<!DOCTYPE wctp-Operation SYSTEM \"http://dtd.example/%22x%22/wctp-dtd-v1r1.dtd\">"});

  // Read back: one choice, the texts as written.
  std::vector<std::string> choices;
  std::string sender;
  for (const auto& part : testing::xml::PartsOf(doc)) {
    if (part.kind == pkText && part.name == "wctp-Choice") choices.push_back(part.content);
    if (part.kind == pkEmptyTag && part.name == "wctp-ClientOriginator") sender = part.attrs;
  }
  EXPECT_EQ(choices, std::vector<std::string>{"R&D <now> 100%"});
  EXPECT_EQ(sender, "senderID=a\"b<c>&d");
}

TEST(WctpDocument, HighBytesAreWrittenAsUtf8) {
  auto r = NewInetPageRequest();
  r->MiscInfo = "M\xFCller";
  r->ChoiceText = "S\xED";
  const std::string doc = Document(*r, "Caf\xE9 \x80");
  EXPECT_NE(doc.find("miscInfo=\"M\xC3\xBCller\""), std::string::npos);
  EXPECT_NE(doc.find("<wctp-MessageText>Caf\xC3\xA9 \xC2\x80</wctp-MessageText>"), std::string::npos);
  EXPECT_NE(doc.find("<wctp-Choice>S\xC3\xAD</wctp-Choice>"), std::string::npos);
}

TEST(WctpDocument, TheTimestampIsUtcWhateverTheZoneAndItsSummerTime) {
  using namespace std::chrono;
  const auto summer = Submitted() + milliseconds{999};  // milliseconds are dropped
  for (const char* zone : {"EST5EDT,M3.2.0,M11.1.0", "CET-1CEST,M3.5.0,M10.5.0/3", "UTC0"}) {
    testing::ScopedEnv tz("TZ", zone);
    tzset();
    EXPECT_EQ(TKYRInetPagingComp::FormatTimestamp(summer), "2024-07-01T12:34:56") << zone;
  }
  tzset();
  EXPECT_EQ(TKYRInetPagingComp::FormatTimestamp(sys_days{year{1999} / December / 31} + hours{23} + minutes{59} +
                                                seconds{59}),
            "1999-12-31T23:59:59");
}

TEST(InetPageRequest, TextsAreCutOnAssignment) {
  auto r = NewInetPageRequest();
  r->MessageID = std::string(30, 'm');
  r->RecipientID = std::string(120, '7');
  EXPECT_EQ(r->MessageID, std::string(25, 'm'));
  EXPECT_EQ(r->RecipientID, std::string(100, '7'));
}

}  // namespace
}  // namespace vltg
