// From call to carrier: the real gateway under the service layer answers a
// simulated modem caller, routes the page by its PIN and delivers it to a
// local SNPP, WCTP or TNPP peer, and the caller hears the verdict.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "engines/tnpp_packet.h"
#include "tests/endtoend/page_calls.h"
#include "tests/gateway/wctp/wctp_golden.h"
#include "tests/support/gateway_installation.h"
#include "tests/support/local_http_server.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/scripted_snpp_server.h"
#include "tests/support/test_certificates.h"
#include "tests/support/tnpp_peer_line.h"

namespace vltg {
namespace {
namespace fs = std::filesystem;
using testing::ModemSimulator;

using testing::Call;
using testing::kAccepted;
using testing::kRefused;
using testing::kWctpAccepted;
using testing::PageScript;
using testing::WctpReply;

class PageDeliveryTest : public ::testing::Test {
 protected:
  // One TAP port per modem, on telephony lines 0, 1, ...
  void Configure(const std::string& routes, const std::string& extra_config = "", int ports = 1) {
    std::string telephony, config = "[Tap Ports]\r\n";
    for (int i = 0; i < ports; ++i) {
      modems_.push_back(std::make_unique<ModemSimulator>());
      testing::LinkComPort(i + 1, modems_.back()->LinePath());
      const std::string name = "Line" + std::to_string(i + 1);
      telephony += "[Modem " + std::to_string(i + 1) + "]\r\nDevice=COM" + std::to_string(i + 1) + "\r\n";
      config += "Port" + std::to_string(i + 1) + "=" + name + "\r\n";
    }
    for (int i = 0; i < ports; ++i) {
      config += "[Line" + std::to_string(i + 1) + "]\r\nEnabled=1\r\nDeviceID=" + std::to_string(i) +
                "\r\nRings=1\r\n";
    }
    gw_.Dir().Write("root/telephony.ini", telephony);
    gw_.Dir().Write("data/Config.Dat", config + extra_config);
    gw_.Dir().Write("data/Route.Dat", routes);
    ASSERT_TRUE(gw_.InstallAndStart());
    for (int i = 0; i < ports; ++i) {
      ASSERT_TRUE(Logged("[TAP Dial-Up Connection] Line" + std::to_string(i + 1) + " Waiting For Calls...", 15000));
    }
  }

  bool Logged(const std::string& line, int real_ms = 30000) {
    const auto texts = gw_.LogTexts(line, real_ms);
    return std::find(texts.begin(), texts.end(), line) != texts.end();
  }
  // The line re-armed after its call: "Waiting For Calls..." once more.
  bool ReArmed(int port, int times) {
    const std::string line = "[TAP Dial-Up Connection] Line" + std::to_string(port) + " Waiting For Calls...";
    return modems_[0]->WaitUntil(
        [&] {
          const auto texts = gw_.LogTexts(line, 0);
          return std::count(texts.begin(), texts.end(), line) >= times;
        },
        20000);
  }

  testing::GatewayInstallation gw_;
  std::vector<std::unique_ptr<ModemSimulator>> modems_;
};

TEST_F(PageDeliveryTest, SnppPageArrivesAndTheCallerHearsAck) {
  test::ScriptedSnppServer snpp;
  Configure("12,SNPP,127.0.0.1," + snpp.PortName() + "\r\n");
  EXPECT_EQ(Call(*modems_[0], PageScript("1234", "Hello world", kAccepted)), "");
  ASSERT_TRUE(snpp.WaitForEnded(1));
  const std::string received = snpp.Received().at(0);
  EXPECT_EQ(received, "PAGE 1234\r\nMESS Hello world\r\nSEND\r\nQUIT\r\n");
  EXPECT_TRUE(Logged("[SNPP] Line1 Msg. Submitted For: 1234 Msg: Hello world"));
  EXPECT_TRUE(Logged("[TAP Dial-Up Connection] Line1 Call Droped", 15000));
}

TEST_F(PageDeliveryTest, RefusalsReachTheCallerAndTheLog) {
  Configure("55,SNPP,127.0.0.1," + std::to_string(test::UnusedLocalPort()) + "\r\n" + "77,TNPP,1,3\r\n");
  EXPECT_EQ(Call(*modems_[0], PageScript("5501", "refused server", kRefused)), "");
  ASSERT_TRUE(ReArmed(1, 2));
  EXPECT_EQ(Call(*modems_[0], PageScript("9999", "nobody", kRefused)), "");
  const auto texts = gw_.LogTexts("[TAP Dial-Up Connection] Line1 Msg. Denied For: 9999 Msg: nobody");
  const auto snpp_failed = std::find_if(texts.begin(), texts.end(), [](const std::string& t) {
    return t.rfind("[SNPP] SNPP Delivery Faild For \"5501, MSG: refused server Error: ", 0) == 0;
  });
  EXPECT_NE(snpp_failed, texts.end());
  EXPECT_TRUE(Logged("[TAP Dial-Up Connection] Line1 Msg. Denied For: 9999 Msg: nobody"));
}

// A posted document with its time stamp set to the golden one.
std::string PostedDocument(const std::string& request) {
  std::string body = request.substr(request.find("\r\n\r\n") + 4);
  const std::string key = "submitTimestamp=\"";
  const size_t at = body.find(key);
  if (at != std::string::npos) body.replace(at + key.size(), 19, "2024-07-01T12:34:56");
  return body;
}

TEST_F(PageDeliveryTest, WctpPagesOverHttpAndHttpsArriveAsTheGoldenDocument) {
  testing::TestCertificates certificates;
  testing::LocalHttpServer http({kWctpAccepted, false, {}});
  testing::LocalHttpServer https({kWctpAccepted, false, certificates.SelfSigned()});
  Configure("555,WCTP," + http.Url("/wctp") + ",0\r\n" + "556,WCTP," + https.Url("/wctp") + ",0\r\n");
  const std::string& message = testing::wctp::kGatewayMessage;
  EXPECT_EQ(Call(*modems_[0], PageScript("5551234", message, kAccepted)), "");
  ASSERT_TRUE(ReArmed(1, 2));
  EXPECT_EQ(Call(*modems_[0], PageScript("5561234", message, kAccepted)), "");
  ASSERT_EQ(http.Requests().size(), 1u);
  ASSERT_EQ(https.Requests().size(), 1u);
  EXPECT_NE(http.Requests()[0].find("Content-Type: text/xml"), std::string::npos);
  EXPECT_EQ(PostedDocument(http.Requests()[0]), testing::wctp::kGatewayDocument);
  std::string golden = testing::wctp::kGatewayDocument;
  golden.replace(golden.find("5551234"), 7, "5561234");
  EXPECT_EQ(PostedDocument(https.Requests()[0]), golden);
  EXPECT_TRUE(Logged("[WCTP] Line1 Msg. Submitted For: 5561234 Msg: " + message));
}

TEST_F(PageDeliveryTest, WctpFailureIsRefusedWithTheServersText) {
  testing::LocalHttpServer http(
      {WctpReply("<wctp-Failure errorCode=\"403\" errorText=\"Invalid PIN\"/>"), false, {}});
  Configure("default,WCTP," + http.Url("/wctp") + ",0\r\n");
  EXPECT_EQ(Call(*modems_[0], PageScript("1", "x", kRefused)), "");
  EXPECT_TRUE(Logged("[WCTP] WCTP Delivery Faild For \"1, MSG: x Error: Invalid PIN"));
}

TEST_F(PageDeliveryTest, TnppPageIsRefusedWhileTnppIsOff) {
  Configure("77,TNPP,1,3\r\n");
  EXPECT_EQ(Call(*modems_[0], PageScript("7700", "no link", kRefused)), "");
  EXPECT_TRUE(Logged("[TNPP] TNPP Delivery Faild (TNPP Not Enabled) For \"7700, MSG: no link"));
}

TEST_F(PageDeliveryTest, ATnppDestinationNoPacketCarriesIsRefusedToTheCaller) {
  testing::LinkComPort(8, "/nonexistent/tnpp");
  Configure("70,TNPP,70000,3\r\n", "[TNPP]\r\nEnableTNPP=1\r\nUseCom=7\r\n");
  EXPECT_EQ(Call(*modems_[0], PageScript("7001", "too far", kRefused)), "");
  EXPECT_TRUE(Logged(
      "[TNPP] TNPP Delivery Faild For \"7001, MSG: too far Error: Destination Address 70000 Out Of Range (0 To 65535)"));
}

TEST_F(PageDeliveryTest, TnppPageArrivesAtThePeerAsItsPacket) {
  testing::TnppPeer peer;
  testing::TnppPeerLine line(peer);
  line.LinkAs(5);
  Configure("12,TNPP,1,3\r\n", "[TNPP]\r\nEnableTNPP=1\r\nUseCom=4\r\nComSettings=0\r\nHandShake=3\r\n");
  ASSERT_TRUE(Logged("[TNPP] Link Test OK!"));
  EXPECT_EQ(Call(*modems_[0], PageScript("12345", "HELLO", kAccepted)), "");
  ASSERT_TRUE(modems_[0]->WaitUntil([&] { return peer.Packets().size() >= 2; }, 10000));
  const std::string packet = peer.Packets().at(1);
  EXPECT_EQ(packet.substr(0, 32), std::string("\x01" "000103000001\x02" "B@12345     HELLO\x03", 32));
}

// The peer falls silent right after the link came up: the page accepted
// meanwhile is not lost with the link, and arrives once the peer is back.
TEST_F(PageDeliveryTest, ATnppPageAcceptedDuringAnOutageArrivesOnceTheLinkIsBack) {
  testing::TnppPeer peer;
  testing::TnppPeerLine line(peer);
  line.LinkAs(5);
  Configure("12,TNPP,1,3\r\n", "[TNPP]\r\nEnableTNPP=1\r\nUseCom=4\r\nComSettings=0\r\nHandShake=3\r\nIdelTO=1\r\n"
                               "ENQTO=1\r\nENQRetries=2\r\n");
  ASSERT_TRUE(modems_[0]->WaitUntil([&] { return peer.Packets().size() == 1; }, 10000));  // the link test
  ASSERT_TRUE(Logged("[TNPP] Link Test OK!"));
  peer.SetAnswerEnq(false);
  peer.SetDefaultAnswer(0);
  EXPECT_EQ(Call(*modems_[0], PageScript("12345", "DURING OUTAGE", kAccepted)), "");
  ASSERT_TRUE(Logged("[TNPP] TNPP Link Lost Or Unable To Astablish Link", 15000));
  peer.SetDefaultAnswer(tnpp::ACK);  // before the link can come back to send
  peer.SetAnswerEnq(true);
  // Sent again on the link that came back, and ACKed there.
  EXPECT_TRUE(modems_[0]->WaitUntil(
      [&] {
        const auto texts = gw_.LogTexts("", 0);
        return std::any_of(texts.begin(), texts.end(), [](const std::string& t) {
          return t.rfind("[TNPP] Packet Sent: ", 0) == 0 && t.find("DURING OUTAGE") != std::string::npos;
        });
      },
      15000));
  const auto packets = peer.Packets();
  EXPECT_GE(std::count_if(packets.begin(), packets.end(),
                          [](const std::string& p) { return p.find("DURING OUTAGE") != std::string::npos; }),
            2);  // before the outage was noticed, then on the link that came back
}

// A caller on a serial line of its own (no modem): reads until `awaited`
// comes, or the time runs out.
bool Await(testing::PseudoTerminal& line, std::string& seen, const std::string& awaited, int real_ms) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(real_ms);
  while (seen.find(awaited) == std::string::npos) {
    if (std::chrono::steady_clock::now() > limit) return false;
    seen += line.Read(256, 100);
  }
  seen.erase(0, seen.find(awaited) + awaited.size());
  return true;
}

std::string DirectCall(testing::PseudoTerminal& line, const std::string& pin, const std::string& message) {
  std::string seen;
  bool asked = false;
  for (int knock = 0; knock < 15 && !asked; ++knock) {
    line.Write("\r");
    asked = Await(line, seen, "ID=", 2000);
  }
  if (!asked) return "no ID= prompt";
  line.Write("\x1bPG1\r");
  if (!Await(line, seen, "\x1b[p\r", 10000)) return "no go-ahead";
  line.Write(testing::TapBlock(pin, message));
  if (!Await(line, seen, "\r\x06\r", 30000)) return "page not accepted: " + testing::ShowBytes(seen);
  line.Write("\x04\r");
  if (!Await(line, seen, "\x1b\x04", 10000)) return "no goodbye";
  return "";
}

TEST_F(PageDeliveryTest, ADirectAccessPortServesTwoCallersInARow) {
  test::ScriptedSnppServer snpp;
  testing::PseudoTerminal line;
  testing::LinkComPort(7, line.SlavePath());
  gw_.Dir().Write("data/Config.Dat",
                  "[Tap Ports]\r\nPort3=Desk\r\n[Desk]\r\nEnabled=1\r\nDirectAccess=1\r\nComPort=6\r\n");
  gw_.Dir().Write("data/Route.Dat", "default,SNPP,127.0.0.1," + snpp.PortName() + "\r\n");
  ASSERT_TRUE(gw_.InstallAndStart());
  EXPECT_EQ(DirectCall(line, "101", "first caller"), "");
  EXPECT_EQ(DirectCall(line, "102", "second caller"), "");
  EXPECT_TRUE(Logged("[SNPP] Desk Msg. Submitted For: 101 Msg: first caller"));
  EXPECT_TRUE(Logged("[SNPP] Desk Msg. Submitted For: 102 Msg: second caller"));
}

TEST_F(PageDeliveryTest, TwoPortsDeliverAtTheSameTime) {
  test::ScriptedSnppServer snpp;
  Configure("default,SNPP,127.0.0.1," + snpp.PortName() + "\r\n", "", 2);
  auto first = std::async(std::launch::async, [&] { return Call(*modems_[0], PageScript("1", "one", kAccepted)); });
  auto second = std::async(std::launch::async, [&] { return Call(*modems_[1], PageScript("2", "two", kAccepted)); });
  EXPECT_EQ(first.get(), "");
  EXPECT_EQ(second.get(), "");
  EXPECT_TRUE(Logged("[SNPP] Line1 Msg. Submitted For: 1 Msg: one"));
  EXPECT_TRUE(Logged("[SNPP] Line2 Msg. Submitted For: 2 Msg: two"));
}

TEST_F(PageDeliveryTest, StoppingDuringAnExchangeFinishesItFirst) {
  // The server holds its SEND answer back until the stop was requested, so
  // the stop comes mid-exchange however fast either side runs.
  test::ScriptedSnppServer snpp([this](size_t, const std::string& line) {
    if (line.rfind("SEND", 0) == 0) Logged("[System] Server ShutDown Requested", 30000);
    return test::StandardSnppAnswer(line);
  });
  Configure("default,SNPP,127.0.0.1," + snpp.PortName() + "\r\n");
  auto call = std::async(std::launch::async, [&] { return Call(*modems_[0], PageScript("42", "late", kAccepted)); });
  ASSERT_TRUE(modems_[0]->WaitUntil([&] { return snpp.Connections() > 0; }, 30000));
  ASSERT_EQ(gw_.Sc({"stop", "VLTAPGateway"}).exit_status, 0);
  EXPECT_EQ(call.get(), "");
  const auto texts = gw_.LogTexts("[System] Server ShutDown", 30000);
  const auto at = [&](const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) - texts.begin();
  };
  EXPECT_LT(at("[System] Server ShutDown Requested"), at("[SNPP] Line1 Msg. Submitted For: 42 Msg: late"));
  EXPECT_LT(at("[SNPP] Line1 Msg. Submitted For: 42 Msg: late"), at("[TAP Dial-Up Connection] Line1 Thread Shutdown"));
  EXPECT_EQ(texts.back(), "[System] Server ShutDown");
}

}  // namespace
}  // namespace vltg
