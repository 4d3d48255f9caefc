#include "gateway/page_router.h"

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include <atomic>
#include <chrono>
#include <future>

#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "platform/netxfer/netxfer_library.h"
#include "tests/support/local_http_server.h"
#include "tests/support/scripted_snpp_server.h"
#include "tests/support/log_texts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_certificates.h"

namespace vltg {
namespace {

class PageRouterTest : public ::testing::Test {
 protected:
  PageRouterTest() {
    router_.Snpp().SetPartPauseMs(0);
  }

  // The log's lines without their time stamps.
  std::vector<std::string> LogLines() {
    while (platform::ProcessMessages()) {
    }
    return testing::LogTextsOf(temp_.Read("Log.Dat"));
  }

  void SetRoutes(const std::string& text) { routes_ = RouteTable::Parse(text); }

  // Noon: a log standing at midnight would move Log.Dat away at its first
  // one-second check, which a slow run reaches before reading the log.
  static std::tm Noon() {
    std::tm noon{};
    noon.tm_hour = 12;
    return noon;
  }

  vltg::testing::TempDir temp_;
  TGatewayLog log_{temp_.Path().string(), Noon};
  RouteTable routes_;
  TTnppPageQueue queue_;
  std::atomic<bool> tnpp_enabled_{true};
  std::atomic<bool> link_open_{true};
  TPageRouter router_{routes_, log_.Poster(), queue_,
                      TPageRouter::Owner{
                          [] { return false; },
                          [this] { return tnpp_enabled_.load(); },
                          [this] { return link_open_.load(); },
                          [] { return WctpConfig{"NOYB", "", "dtd"}; },
                      }};
};

TEST_F(PageRouterTest, NoRouteIsDenied) {
  SetRoutes("9,SNPP,localhost,444\r\n");
  EXPECT_FALSE(router_.Route("Line1", "1234", "hello"));
  EXPECT_EQ(LogLines(), std::vector<std::string>{"[TAP Dial-Up Connection] Line1 Msg. Denied For: 1234 Msg: hello"});
}

TEST_F(PageRouterTest, SnppDeliveryAndRefusal) {
  test::ScriptedSnppServer server;
  test::ScriptedSnppServer wordy([](size_t, const std::string& line) -> test::SnppAnswer {
    if (line.rfind("PAGE", 0) == 0) return {"554 " + std::string(1000, 'x') + "\r\n"};
    return test::StandardSnppAnswer(line);
  });
  SetRoutes("12," + std::string("SNPP,127.0.0.1,") + server.PortName() + "\r\n" + "9,SNPP,127.0.0.1," +
            std::to_string(test::UnusedLocalPort()) + "\r\n8,SNPP,127.0.0.1," + wordy.PortName() + "\r\n");
  platform::ScopedClock fast(std::make_shared<platform::ScaledClock>(20));
  EXPECT_TRUE(router_.Route("Line1", "1234", "hello"));
  EXPECT_FALSE(router_.Route("Line1", "999", "bye"));
  EXPECT_FALSE(router_.Route("Line1", "8", "wordy"));
  const auto lines = LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "[SNPP] Line1 Msg. Submitted For: 1234 Msg: hello");
  EXPECT_EQ(lines[1].rfind("[SNPP] SNPP Delivery Faild For \"999, MSG: bye Error: ", 0), 0u) << lines[1];
  EXPECT_NE(lines[1].find("10061"), std::string::npos) << lines[1];
  // A peer's text goes into the log cut short.
  EXPECT_EQ(lines[2], "[SNPP] SNPP Delivery Faild For \"8, MSG: wordy Error: " + std::string(256, 'x'));
}

TEST_F(PageRouterTest, TnppPagesAreQueuedOnlyForALinkThatIsOpen) {
  SetRoutes("default,TNPP,$1A,65539\r\n");
  EXPECT_TRUE(router_.Route("Line1", "12345678901234567890", "page"));
  auto record = queue_.TakeOldest();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->PIN, "123456789012345");
  EXPECT_EQ(record->DestAddr, 26);
  EXPECT_EQ(record->Inertia, 3);
  EXPECT_EQ(record->Msg, "page");

  tnpp_enabled_ = false;
  EXPECT_FALSE(router_.Route("Line1", "55", "off"));
  tnpp_enabled_ = true;
  link_open_ = false;
  EXPECT_FALSE(router_.Route("Line1", "66", "down"));
  EXPECT_EQ(queue_.Count(), 0u);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "[TNPP] Line1 Msg. Rcvd For: 12345678901234567890 Msg: page",
                            "[TNPP] TNPP Delivery Faild (TNPP Not Enabled) For \"55, MSG: off",
                            "[TNPP] TNPP Delivery Faild For \"66, MSG: down Error: TNPP Link Down",
                        }));
}

// Refused while the caller waits, even with the link down, rather than
// accepted and then failing at the hand-over.
TEST_F(PageRouterTest, TnppValuesNoPacketCanCarryAreRefused) {
  SetRoutes("1,TNPP,70000,3\r\n2,TNPP,-1,3\r\n3,TNPP,5,300\r\n4,TNPP,5,65836\r\n5,TNPP,65535,255\r\n");
  link_open_ = false;
  for (const char* pin : {"1", "2", "3", "4"}) EXPECT_FALSE(router_.Route("Line1", pin, "x")) << pin;
  EXPECT_EQ(queue_.Count(), 0u);
  link_open_ = true;
  EXPECT_TRUE(router_.Route("Line1", "5", "widest"));
  EXPECT_EQ(queue_.Count(), 1u);
  const std::string failed = "[TNPP] TNPP Delivery Faild For \"";
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            failed + "1, MSG: x Error: Destination Address 70000 Out Of Range (0 To 65535)",
                            failed + "2, MSG: x Error: Destination Address -1 Out Of Range (0 To 65535)",
                            failed + "3, MSG: x Error: Inertia 300 Out Of Range (0 To 255)",
                            failed + "4, MSG: x Error: Inertia 300 Out Of Range (0 To 255)",
                            "[TNPP] Line1 Msg. Rcvd For: 5 Msg: widest",
                        }));
}

TEST_F(PageRouterTest, AFailingConversionIsLoggedAndRefusedNeverRaised) {
  SetRoutes("1,Tnpp,1A,3\r\n");
  EXPECT_FALSE(router_.Route("Line1", "100", "bad destination"));
  EXPECT_EQ(LogLines(), std::vector<std::string>{
                            "[TNPP] TNPP Delivery Faild For \"100, MSG: bad destination Error: '1A' is not a valid "
                            "integer value"});
}

std::string WctpReply(const std::string& inner) {
  return testing::LocalHttpServer::Reply(
      "200 OK", "<?xml version=\"1.0\"?>\n<wctp-Operation wctpVersion=\"wctp-dtd-v1r1\">\n<wctp-Confirmation>" +
                    inner + "</wctp-Confirmation>\n</wctp-Operation>\n");
}

TEST_F(PageRouterTest, WctpDeliveryAndTheErrorItReports) {
  platform::LoadNetXferCores();
  testing::LocalHttpServer accepting({WctpReply("<wctp-ClientSuccess successCode=\"200\" successText=\"Accepted\"/>"), false, {}});
  testing::LocalHttpServer refusing({WctpReply("<wctp-Failure errorCode=\"403\" errorText=\"Invalid PIN\"/>"), false, {}});
  SetRoutes("71,WCTP," + accepting.Url("/wctp") + ",0\r\n72,WCTP," + refusing.Url("/wctp") +
            ",0\r\n73,WCTP,ftp://nowhere,0\r\n");
  EXPECT_TRUE(router_.Route("Line2", "71", "ok"));
  EXPECT_FALSE(router_.Route("Line2", "72", "no"));
  EXPECT_FALSE(router_.Route("Line2", "73", "bad url"));
  platform::UnloadNetXferCores();
  const auto requests = accepting.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].find("senderID=\"NOYB\""), std::string::npos);
  EXPECT_NE(requests[0].find("recipientID=\"71\""), std::string::npos);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "[WCTP] Line2 Msg. Submitted For: 71 Msg: ok",
                            "[WCTP] WCTP Delivery Faild For \"72, MSG: no Error: Invalid PIN",
                            "[WCTP] WCTP Delivery Faild For \"73, MSG: bad url Error: http:// or https:// Required "
                            "In URL!",
                        }));
}

TEST_F(PageRouterTest, AnUntrustedWctpServerIsAcceptedAndNamedOncePerDelivery) {
  platform::LoadNetXferCores();
  testing::TestCertificates certificates;
  testing::LocalHttpServer self_signed(
      {WctpReply("<wctp-ClientSuccess successCode=\"200\" successText=\"Accepted\"/>"), false, certificates.SelfSigned()});
  SetRoutes("default,WCTP," + self_signed.Url("/wctp") + ",0\r\n");
  router_.Wctp().SetSleep([](int) {});
  const std::string two_parts(1200, 'x');
  EXPECT_TRUE(router_.Route("Line1", "1", two_parts));
  platform::UnloadNetXferCores();
  EXPECT_EQ(self_signed.Requests().size(), 2u);
  EXPECT_EQ(LogLines(), (std::vector<std::string>{
                            "[WCTP] Line1 Untrusted Server Certificate Accepted For " + self_signed.Url("/wctp") +
                                ": " + X509_verify_cert_error_string(X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT),
                            "[WCTP] Line1 Msg. Submitted For: 1 Msg: " + two_parts,
                        }));
}

TEST_F(PageRouterTest, PortsDeliveringToOneSlowWctpServerDoNotWaitOnEachOther) {
  platform::LoadNetXferCores();
  // The server answers neither page before both have come: a port that
  // waited for the other's delivery would run into its post time-out.
  testing::LocalHttpServer slow({WctpReply("<wctp-ClientSuccess successCode=\"200\" successText=\"Accepted\"/>"),
                                 false,
                                 {},
                                 2});
  SetRoutes("default,WCTP," + slow.Url("/wctp") + ",0\r\n");
  auto deliver = [this](const std::string& port, const std::string& pin) {
    const auto started = std::chrono::steady_clock::now();
    const bool accepted = router_.Route(port, pin, "page");
    return std::make_pair(accepted, std::chrono::steady_clock::now() - started);
  };
  auto first = std::async(std::launch::async, deliver, "Line1", "1");
  auto second = std::async(std::launch::async, deliver, "Line2", "2");
  for (auto* delivery : {&first, &second}) {
    const auto [accepted, took] = delivery->get();
    EXPECT_TRUE(accepted);
    EXPECT_LT(took, std::chrono::seconds(TKYRInetPagingComp::kPostTimeout));
  }
  platform::UnloadNetXferCores();
  EXPECT_EQ(slow.Requests().size(), 2u);
}

TEST(WctpErrorText, SuccessTextElseErrorText) {
  EXPECT_EQ(WctpErrorText("errorCode=403\r\nerrorText=Invalid PIN\r\n"), "Invalid PIN");
  EXPECT_EQ(WctpErrorText("errorText=x\r\nsuccessText=Queued only\r\n"), "Queued only");
  EXPECT_EQ(WctpErrorText(""), "");
}

}  // namespace
}  // namespace vltg
