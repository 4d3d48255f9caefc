// The WCTP client against local HTTP and HTTPS servers, over the real cores
// loaded from this program as the gateway loads them. Pauses are recorded
// instead of waited.
#include "gateway/wctp/kyr_inet_paging_comp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gateway/page_router.h"
#include "platform/messages/clock.h"
#include "platform/netxfer/netxfer_library.h"
#include "tests/gateway/wctp/fake_netxfer_core.h"
#include "tests/gateway/wctp/wctp_golden.h"
#include "tests/support/local_http_server.h"
#include "tests/support/test_certificates.h"

namespace vltg {
namespace {

using testing::LocalHttpServer;
using testing::wctp::GatewayRequest;
using Strings = std::vector<std::string>;

std::string Operation(const std::string& inner) {
  return "<?xml version=\"1.0\"?>\n"
         "<!DOCTYPE wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1r1.dtd\">\n"
         "<wctp-Operation wctpVersion=\"wctp-dtd-v1r1\">\n"
         "  <wctp-Confirmation>\n    " +
         inner + "\n  </wctp-Confirmation>\n</wctp-Operation>\n";
}

const std::string kClientSuccess = Operation("<wctp-ClientSuccess successText=\"Accepted\" successCode=\"200\"/>");
const std::string kFailure = Operation("<wctp-Failure errorCode=\"403\" errorText=\"Invalid PIN\"/>");

LocalHttpServer::Options Answering(const std::string& body, std::optional<testing::PemIdentity> tls = {}) {
  return {LocalHttpServer::Reply("200 OK", body), false, std::move(tls)};
}

// The body of a raw request.
std::string Body(const std::string& request) { return request.substr(request.find("\r\n\r\n") + 4); }

class WctpClient : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { platform::LoadNetXferCores(); }
  static void TearDownTestSuite() { platform::UnloadNetXferCores(); }

  WctpClient() {
    client_.SetClock(testing::wctp::Submitted);
    client_.SetSleep([this](int ms) { pauses_.push_back(ms); });
  }

  // The pauses of at least 5 ms, in order (the 1 ms steps of a reply scan left out).
  std::vector<int> LongPauses() const {
    std::vector<int> out;
    std::copy_if(pauses_.begin(), pauses_.end(), std::back_inserter(out), [](int ms) { return ms >= 5; });
    return out;
  }

  TKYRInetPagingComp client_;
  std::vector<int> pauses_;
};

TEST_F(WctpClient, PostsTheGatewaysDocumentAndReadsASuccess) {
  LocalHttpServer server(Answering(kClientSuccess));
  auto r = GatewayRequest("5551234", testing::wctp::kGatewayMessage, server.Url("/wctp"));
  EXPECT_TRUE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText, "successCode=200\r\nsuccessText=Accepted\r\n");
  EXPECT_EQ(r->Message, testing::wctp::kGatewayMessage);
  EXPECT_EQ(LongPauses(), (std::vector<int>{10, 5}));  // one part: no pause after it

  ASSERT_EQ(server.Requests().size(), 1u);
  const std::string request = server.Requests()[0];
  EXPECT_EQ(request.rfind("POST /wctp HTTP/1.1\r\n", 0), 0u) << request;
  EXPECT_NE(request.find("\r\nContent-Type: text/xml\r\n"), std::string::npos) << request;
  EXPECT_EQ(Body(request), testing::wctp::kGatewayDocument);
}

TEST_F(WctpClient, ValidationRefusesInOrderAndSendsNothing) {
  LocalHttpServer server(Answering(kClientSuccess));
  auto r = GatewayRequest("", "", "");
  auto refusal = [&] {
    EXPECT_FALSE(client_.SubmitMessage(*r));
    return r->ReplyText;
  };
  EXPECT_EQ(refusal(), "errorText=No Message To Send!\r\n");
  r->Message = "Hello";
  EXPECT_EQ(refusal(), "errorText=PIN Required!\r\n");
  r->RecipientID = "5551234";
  EXPECT_EQ(refusal(), "errorText=No Server Specified!\r\n");
  r->URL = "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/";
  EXPECT_EQ(refusal(), "errorText=http:// or https:// Required In URL!\r\n");
  EXPECT_TRUE(pauses_.empty());
  EXPECT_TRUE(server.Requests().empty());

  // An empty page is one empty part, refused the same way.
  r->Message = "";
  r->URL = server.Url();
  EXPECT_FALSE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText, "errorText=No Message To Send!\r\n");
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(WctpClient, ALongPageGoesInNumberedPartsWithAPauseAfterEach) {
  LocalHttpServer server(Answering(kClientSuccess));
  auto r = GatewayRequest("5551234", std::string(999, 'a') + "b&%", server.Url());
  EXPECT_TRUE(client_.SendPage(*r));
  EXPECT_EQ(LongPauses(), (std::vector<int>{10, 10, 5, 1500, 5, 1500}));
  EXPECT_EQ(r->Message, "(2 of 2)  b&% (END)");  // the last part as submitted

  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_NE(Body(server.Requests()[0]).find("<wctp-Alphanumeric>(1 of 2)  " + std::string(999, 'a') +
                                            "  (CONT.)</wctp-Alphanumeric>"),
            std::string::npos);
  EXPECT_NE(Body(server.Requests()[1]).find("<wctp-Alphanumeric>(2 of 2)  b (END)</wctp-Alphanumeric>"),
            std::string::npos);
}

TEST_F(WctpClient, ARefusedPartEndsThePage) {
  LocalHttpServer server(Answering(kFailure));
  auto r = GatewayRequest("5551234", "one two three", server.Url());
  r->MaxPartLen = 4;
  EXPECT_FALSE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText, "errorCode=403\r\nerrorText=Invalid PIN\r\n");
  EXPECT_EQ(r->Message, "(1 of 4)  one   (CONT.)");
  EXPECT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(LongPauses(), (std::vector<int>{10, 10, 10, 10, 5}));
}

TEST_F(WctpClient, WithoutAnInjectedSleepThePausesRunOnTheMessageLayersClock) {
  auto clock = std::make_shared<platform::ManualClock>(true);
  platform::ScopedClock scoped(clock);
  LocalHttpServer server(Answering(kClientSuccess));
  TKYRInetPagingComp client;
  auto r = GatewayRequest("5551234", "abcd efgh ijkl mnop qrst uvwx yzab cdef ghij klmn", server.Url());
  r->MaxPartLen = 4;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(client.SendPage(*r));
  const auto took = std::chrono::steady_clock::now() - started;
  const int64_t parts = static_cast<int64_t>(server.Requests().size());
  ASSERT_EQ(parts, 19);
  EXPECT_GE(clock->NowMs(), parts * (1500 + 10 + 5));
  // Waited for real, the pauses alone would take half a minute.
  EXPECT_LT(took, std::chrono::seconds(10));
}

TEST_F(WctpClient, ResultLinesAreSortedCaseAsideAndFolded) {
  LocalHttpServer server(Answering(Operation(
      "<wctp-ClientSuccess successCode=\"200\" Ticket=\"A1\">Queued\r\n for\n delivery</wctp-ClientSuccess>\n"
      "    <!-- a comment keeps the element's name and attributes -->\n"
      "    <WCTP-CLIENTSUCCESS SUCCESSCODE=\"200\"/>")));
  auto r = GatewayRequest("5551234", "Hello", server.Url());
  EXPECT_TRUE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText, "Content=Queued for delivery\r\nsuccessCode=200\r\nTicket=A1\r\n");
}

TEST_F(WctpClient, AnAttributeNameOverSeveralLinesStaysOneResultLine) {
  // The parser takes everything up to "=" as the name, line breaks included.
  auto r = GatewayRequest("5551234", "Hello", "http://wctp.example/");
  TResultLines lines;
  EXPECT_FALSE(client_.ReadReply(Operation("<wctp-Failure errorCode=\"403\" note\r\nerrorText=\"forged\"/>"), *r,
                                 lines));
  EXPECT_EQ(lines.Text(), "errorCode=403\r\nnote errorText=forged\r\n");
  EXPECT_EQ(WctpErrorText(lines.Text()), "");
}

TEST_F(WctpClient, AFailureHidesAnErrorAndAnErrorAloneIsReported) {
  LocalHttpServer both(Answering(Operation("<wctp-Error errorCode=\"500\" errorText=\"Internal\"/>\n"
                                           "<wctp-Failure errorCode=\"402\" errorText=\"Bad PIN\">Unknown pager"
                                           "</wctp-Failure>")));
  auto r = GatewayRequest("5551234", "Hello", both.Url());
  EXPECT_FALSE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText, "Content=Unknown pager\r\nerrorCode=402\r\nerrorText=Bad PIN\r\n");

  LocalHttpServer error(Answering(Operation("<wctp-Error errorCode=\"500\" errorText=\"Internal\"/>")));
  r->URL = error.Url();
  EXPECT_FALSE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText, "errorCode=500\r\nerrorText=Internal\r\n");
}

TEST_F(WctpClient, AReplyWithoutAStatusElementIsAFailureWithoutLines) {
  for (const std::string& body : {std::string("<html><body><h1>It works!</h1></body></html>"), std::string()}) {
    LocalHttpServer server(Answering(body));
    auto r = GatewayRequest("5551234", "Hello", server.Url());
    r->ReplyText = "stale";
    EXPECT_FALSE(client_.SendPage(*r));
    EXPECT_EQ(r->ReplyText, "");
    EXPECT_EQ(server.Requests().size(), 1u);
  }
  // The client form's success does not count in the submit-request form.
  LocalHttpServer server(Answering(kClientSuccess));
  auto r = GatewayRequest("5551234", "Hello", server.Url());
  r->UseSubmitRequest = true;
  EXPECT_FALSE(client_.SendPage(*r));
}

TEST_F(WctpClient, TheSubmitRequestFormReportsItsTrackingNumber) {
  LocalHttpServer server(Answering(Operation("<wctp-Success successCode=\"200\" successText=\"Accepted\"/>")));
  auto r = GatewayRequest("5551234", "Hello", server.Url());
  r->UseSubmitRequest = true;
  r->MessageID = "M-0001";
  EXPECT_TRUE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText, "successCode=200\r\nsuccessText=Accepted\r\ntrackingNumber=M-0001\r\n");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_NE(Body(server.Requests()[0]).find("<wctp-SubmitRequest>"), std::string::npos);
}

TEST_F(WctpClient, AFailedPostReportsTheComponentsError) {
  const std::string refused = "http://127.0.0.1:" + std::to_string(testing::UnusedLocalPort()) + "/";
  auto r = GatewayRequest("5551234", "Hello", refused);
  EXPECT_FALSE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText.rfind("errorText=Failed to connect to 127.0.0.1 port ", 0), 0u) << r->ReplyText;
  EXPECT_EQ(r->ReplyText.find("\r\n"), r->ReplyText.size() - 2);

  LocalHttpServer failing({LocalHttpServer::Reply("500 Internal Server Error", kClientSuccess), false, {}});
  r->URL = failing.Url();
  EXPECT_FALSE(client_.SendPage(*r));  // the reply body is not read
  EXPECT_EQ(r->ReplyText, "errorText=HTTP protocol error. 500 Internal Server Error\r\n");
}

TEST_F(WctpClient, ASilentServerIsGivenUpAfterFiveSeconds) {
  LocalHttpServer silent({"", true, {}});
  auto r = GatewayRequest("5551234", "Hello", silent.Url());
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(client_.SendPage(*r));
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_GE(took, std::chrono::milliseconds(4900));
  EXPECT_LT(took, std::chrono::seconds(15));  // not the next minute
  EXPECT_EQ(r->ReplyText.rfind("errorText=Operation timed out", 0), 0u) << r->ReplyText;
  EXPECT_EQ(silent.Requests().size(), 1u);
}

TEST_F(WctpClient, HttpPortAndProxyChooseWhereThePostGoes) {
  LocalHttpServer server(Answering(kClientSuccess));
  auto r = GatewayRequest("5551234", "Hello", "http://127.0.0.1/direct");
  r->HttpPort = static_cast<uint16_t>(server.Port());
  EXPECT_TRUE(client_.SendPage(*r));

  r->URL = "http://wctp.example/proxied";
  r->ProxyServer = "127.0.0.1";
  r->ProxyUser = "user";
  r->ProxyPassword = "secret";
  EXPECT_TRUE(client_.SendPage(*r));

  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_EQ(server.Requests()[0].rfind("POST /direct HTTP/1.1\r\n", 0), 0u);
  // HttpPort is the proxy's port and the server's as well.
  const std::string target = "http://wctp.example:" + std::to_string(server.Port()) + "/proxied";
  EXPECT_EQ(server.Requests()[1].rfind("POST " + target + " HTTP/1.1\r\n", 0), 0u) << server.Requests()[1];
  EXPECT_NE(server.Requests()[1].find("\r\nProxy-Authorization: Basic dXNlcjpzZWNyZXQ=\r\n"), std::string::npos);
}

TEST_F(WctpClient, ASelfSignedServerIsAcceptedOnlyWhenNotStrict) {
  static const testing::TestCertificates certificates;
  LocalHttpServer server(Answering(kClientSuccess, certificates.SelfSigned()));
  std::string url = server.Url("/wctp");
  url.replace(0, 5, "HTTPS");  // the scheme in any case picks the HTTPS component
  auto r = GatewayRequest("5551234", "Hello", url);
  r->StrictSSL = false;
  EXPECT_TRUE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText, "successCode=200\r\nsuccessText=Accepted\r\n");
  EXPECT_EQ(server.Requests().size(), 1u);

  r->StrictSSL = true;
  EXPECT_FALSE(client_.SendPage(*r));
  EXPECT_EQ(r->ReplyText.rfind("errorText=", 0), 0u);
  EXPECT_NE(r->ReplyText.find("certificate"), std::string::npos) << r->ReplyText;
  EXPECT_EQ(server.Requests().size(), 1u);
}

TEST_F(WctpClient, AComponentThatCannotBeMadeFailsThePostAndNothingLeaks) {
  // The HTTPS core makes its component, the HTTP core is missing.
  const platform::NetXferLibrary http = platform::HttpLibrary();
  platform::HttpLibrary() = {};
  std::optional<bool> sent;
  std::vector<testing::FakeNetXferCore::Call> created, destroyed;
  {
    testing::FakeNetXferCore https(platform::HttpsLibrary(), {});
    auto r = GatewayRequest("5551234", "Hello", "http://127.0.0.1/");
    sent = client_.SendPage(*r);
    EXPECT_EQ(r->ReplyText, "errorText=NetXfer HTTP: Error creating component: -1\r\n");
    created = https.CallsTo("Create");
    destroyed = https.CallsTo("Destroy");
  }
  platform::HttpLibrary() = http;
  EXPECT_EQ(sent, false);
  EXPECT_EQ(created.size(), 1u);
  EXPECT_EQ(destroyed.size(), 1u);
}

}  // namespace
}  // namespace vltg
