#include "gateway/vltap_gateway_controller.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "engines/kyr_tap.h"
#include "engines/tap_line_table.h"
#include "engines/tnpp_packet.h"
#include "gateway/engine_settings.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "platform/service/service.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/pump_until.h"
#include "tests/support/scoped_env.h"
#include "tests/support/log_texts.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tnpp_peer_line.h"

namespace vltg {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

class ControllerTest : public ::testing::Test {
 protected:
  ControllerTest() { std::filesystem::create_directories(root_.Path() / "devices"); }

  // The log's texts without their time stamps.
  std::vector<std::string> LogLines() { return testing::LogTextsOf(data_.Read("Log.Dat")); }
  bool Logged(const std::string& line) {
    const auto lines = LogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  // Pumps (as the service loop does) until the line is in the log.
  bool PumpUntilLogged(const std::string& line) {
    return PumpUntil([&] { return Logged(line); });
  }
  template <typename F>
  static bool PumpUntil(F done) {
    return test::PumpUntil(done);
  }
  std::unique_ptr<TVLTAPGatewayMain> MakeController() {
    auto controller = std::make_unique<TVLTAPGatewayMain>(nullptr, data_.Path().string());
    controller->SetPauses(50, 50);
    return controller;
  }
  // A COM name that opens nothing.
  void DeadComPort(int number) {
    std::filesystem::create_symlink(root_.Path() / "nothing-here", root_.Path() / "devices" / ("com" + std::to_string(number)));
  }

  TempDir root_;
  ScopedEnv env_{"VLTG_ROOT", root_.Path().string()};
  TempDir data_;
  platform::ScopedClock fast_{std::make_shared<platform::ScaledClock>(10)};
};

size_t IndexOf(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

TEST_F(ControllerTest, StartAndStopWithoutTnppAndTheTapPortsList) {
  DeadComPort(9);
  data_.Write("Config.Dat",
              "[Tap Ports]\r\n"
              "Port1=Alpha\r\n"
              "Port2=\r\n"
              "Port 7=Beta\r\n"
              "PortX=Gamma\r\n"
              "Port17=Delta\r\n"
              "Port0=Zero\r\n"
              "Port4=Off\r\n"
              "[Alpha]\r\nEnabled=1\r\nDirectAccess=1\r\nComPort=8\r\n"
              "[Beta]\r\nEnabled=1\r\n"
              "[Off]\r\nEnabled=0\r\nDirectAccess=1\r\n");
  {
    auto controller = MakeController();
    EXPECT_TRUE(controller->StartServices());
    ASSERT_TRUE(PumpUntilLogged("[TAP Dial-Up Connection] Alpha Error establishing connection!"));
    ASSERT_TRUE(PumpUntilLogged("[TAP Dial-Up Connection] No Port Name Specified For Port0"));
    ASSERT_TRUE(PumpUntilLogged("[TAP Dial-Up Connection] No Port Name Specified For Port4"));
    controller->StopServices();
    EXPECT_EQ(controller->TapThreadCount(), 0);
  }
  const auto lines = LogLines();
  const std::vector<std::string> system_lines = {
      "TAP Gateway Server Starting", "[System] TAP Gateway Start Requested!", "[System] Starting TAP Services!",
      "[System] All Services Active!", "[System] Server ShutDown Requested",
      "[TAP Dial-Up Connection] Alpha Thread Shutdown", "[System] Server ShutDown"};
  size_t previous = 0;
  for (const auto& line : system_lines) {
    const size_t at = IndexOf(lines, line);
    ASSERT_LT(at, lines.size()) << line;
    EXPECT_GE(at, previous) << line;
    previous = at;
  }
  EXPECT_EQ(lines.back(), "[System] Server ShutDown");
  EXPECT_TRUE(Logged("[TAP Dial-Up Connection] Starting TAP Modem Services For Alpha"));
  EXPECT_TRUE(Logged("[TAP Dial-Up Connection] Alpha Connecting to COM9"));
  EXPECT_TRUE(Logged("[TAP Dial-Up Connection] No Port Name Specified For Port2"));
  // "Port 7" names port 7, whose own key Port7 is missing.
  EXPECT_TRUE(Logged("[TAP Dial-Up Connection] No Port Name Specified For Port7"));
  EXPECT_FALSE(Logged("[TAP Dial-Up Connection] Starting TAP Modem Services For Off"));
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.find("No Port Name Specified") != std::string::npos; }),
            4);  // Port2, Port 7, Port0 and the disabled Port4; PortX and Port17 start nothing
  EXPECT_FALSE(Logged("[System] Starting TNPP Services!"));
}

TEST_F(ControllerTest, OnlyTheFirstSixteenKeysCount) {
  std::string config = "[Tap Ports]\r\n";
  for (char c = 'A'; c < 'A' + 16; ++c) config += std::string("Port") + c + "=x\r\n";  // no number: skipped
  config += "Port3=Late\r\n[Late]\r\nEnabled=1\r\n";
  data_.Write("Config.Dat", config);
  auto controller = MakeController();
  controller->StartServices();
  EXPECT_EQ(controller->TapThreadCount(), 0);
  controller->StopServices();
  EXPECT_FALSE(Logged("[TAP Dial-Up Connection] Starting TAP Modem Services For Late"));
}

TEST_F(ControllerTest, AnExceptionEndingAPortThreadIsLogged) {
  // Line entry 3 stays held, as by an engine still serving, for as long as the
  // port threads try it: each engine's claim fails (an engine of the gateway's
  // own holding it could end, and free it, before the other tries).
  TKYRTap holder;
  ASSERT_TRUE(TTapLineTable::Claim(3, &holder));
  struct Release {
    TKYRTap& holder;
    ~Release() { TTapLineTable::Release(3, &holder); }
  } release{holder};
  data_.Write("Config.Dat", "[Tap Ports]\r\nPort3=Alpha\r\nPort 3=Alpha\r\n[Alpha]\r\nEnabled=1\r\n");
  auto controller = MakeController();
  controller->StartServices();
  const std::string exception = "[System] TAPILine3 component already exists in this process.";
  ASSERT_TRUE(PumpUntil([&] {
    const auto lines = LogLines();
    return std::count(lines.begin(), lines.end(), exception) == 2;
  }));
  controller->StopServices();
  EXPECT_EQ(controller->TapThreadCount(), 0);
  EXPECT_EQ(LogLines().back(), "[System] Server ShutDown");
}

// A Config.Dat (here a directory) or a Route.Dat (a FIFO) that cannot be
// read is reported in the log and the event log, once however often it is
// read, and the gateway starts with what it can read.
TEST_F(ControllerTest, AFileThatCannotBeReadIsReportedAndTheRestServes) {
  struct EventLogOnly : platform::TService {
    EventLogOnly() : TService("VLTAPGateway", "DI DIZ Evevevu") {}
    platform::ServiceControllerFunction GetServiceController() const override { return nullptr; }
  } service;
  DeadComPort(9);
  for (const std::string unreadable : {"Config.Dat", "Route.Dat"}) {
    SCOPED_TRACE(unreadable);
    std::filesystem::remove_all(data_ / "Config.Dat");
    std::filesystem::remove(data_ / "Log.Dat");
    if (unreadable == "Config.Dat") std::filesystem::create_directory(data_ / "Config.Dat");
    if (unreadable == "Route.Dat") {
      ASSERT_EQ(::mkfifo((data_ / "Route.Dat").c_str(), 0600), 0);
      data_.Write("Config.Dat", "[Tap Ports]\r\nPort1=A\r\n[A]\r\nEnabled=1\r\nDirectAccess=1\r\nComPort=8\r\n");
    }
    {
      TVLTAPGatewayMain controller(&service, data_.Path().string());
      controller.SetPauses(50, 50);
      controller.StartServices();
      EXPECT_TRUE(PumpUntilLogged(unreadable == "Config.Dat" ? "[System] All Services Active!"
                                                               : "[TAP Dial-Up Connection] A Connecting to COM9"));
      controller.StopServices();
    }
    const std::string reason = "Cannot read " + (data_ / unreadable).string() + ": Not a regular file";
    const auto lines = LogLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "[System] " + reason), 1);
    const auto events = platform::ReadEventLog();
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [&](const auto& e) {
                return std::tie(e.type, e.source, e.text) ==
                       std::tie(platform::EVENTLOG_WARNING_TYPE, "VLTAPGateway", reason);
              }),
              1);
  }
}

TEST_F(ControllerTest, TnppLinkThatCannotOpenIsLogged) {
  DeadComPort(2);
  data_.Write("Config.Dat", "[TNPP]\r\nEnableTNPP=1\r\nUseCom=1\r\n");
  auto controller = MakeController();
  controller->StartServices();
  controller->StopServices();
  const auto lines = LogLines();
  EXPECT_LT(IndexOf(lines, "[System] Starting TNPP Services!"),
            IndexOf(lines, "[TNPP] TNPP Link Lost Or Unable To Astablish Link"));
  EXPECT_FALSE(Logged("[System] TNPP Services Active!"));
}

TEST_F(ControllerTest, TnppSenderHandsPagesToTheLinkInOrder) {
  testing::TnppPeer peer;
  testing::TnppPeerLine line(peer);
  line.LinkAs(3);
  data_.Write("Config.Dat", "[TNPP]\r\nEnableTNPP=1\r\nUseCom=2\r\nComSettings=0\r\nHandShake=3\r\n");
  {
    auto controller = MakeController();
    controller->StartServices();
    ASSERT_TRUE(PumpUntilLogged("[TNPP] Link Test OK!"));
    EXPECT_TRUE(Logged("[System] TNPP Services Active!"));
    EXPECT_EQ(controller->TnppThreadCount(), 1);
    controller->TnppQueue().Append(MakeTnppPageRecord("111", "TNPP", 1, 3, "first"));
    controller->TnppQueue().Append(MakeTnppPageRecord("222", "Tnpp", 1, 3, "second"));
    ASSERT_TRUE(PumpUntil([&] { return peer.Packets().size() >= 3; }));
    const auto packets = peer.Packets();
    // The link test and both pages were ACKed (raw CRC bytes make the
    // logged packet texts unfit for comparing whole).
    ASSERT_TRUE(PumpUntil([&] {
      const auto lines = LogLines();
      return std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
               return l.rfind("[TNPP] Packet Sent: ", 0) == 0;
             }) >= 3;
    }));
    ASSERT_GE(packets.size(), 3u);  // the link test, then both pages in order
    EXPECT_NE(packets[packets.size() - 2].find("111"), std::string::npos);
    EXPECT_NE(packets.back().find("second"), std::string::npos);

    // Switched off while running: the next queued page is refused.
    data_.Write("Config.Dat", "[TNPP]\r\nEnableTNPP=0\r\n");
    controller->TnppQueue().Append(MakeTnppPageRecord("333", "TNPP", 1, 3, std::string(300, 'x')));
    ASSERT_TRUE(PumpUntilLogged("[TNPP] TNPP Delivery Faild (TNPP Not Enabled) For \"333, MSG: " +
                                std::string(255, 'x')));
    controller->StopServices();
  }
  EXPECT_EQ(LogLines().back(), "[System] Server ShutDown");
  EXPECT_TRUE(Logged("[TNPP] TNPP Port Closed"));
}

// Pages accepted while the link is down wait for it in order; what never
// reached the peer by the stop is logged, in the link and in the queue.
TEST_F(ControllerTest, TnppPagesWaitForTheLinkAndAStopLogsWhatNeverWent) {
  testing::TnppPeer peer;
  testing::TnppPeerLine line(peer);
  line.LinkAs(3);
  data_.Write("Config.Dat",
              "[TNPP]\r\nEnableTNPP=1\r\nUseCom=2\r\nComSettings=0\r\nHandShake=3\r\nIdelTO=10\r\nENQTO=5\r\n"
              "ENQRetries=1\r\n");  // a real second, half a second for the peer's answers
  const std::string lost = "[TNPP] TNPP Link Lost Or Unable To Astablish Link";
  const auto losses = [&] {
    const auto lines = LogLines();
    return std::count(lines.begin(), lines.end(), lost);
  };
  const auto sent = [&](const std::string& msg) {
    const auto packets = peer.Packets();
    return std::count_if(packets.begin(), packets.end(),
                         [&](const std::string& p) { return p.find(msg) != std::string::npos; });
  };
  // The peer falls silent: the page in flight stays in the link, the next
  // one in the queue.
  auto outage = [&](TVLTAPGatewayMain& controller, const std::string& pin, const std::string& in_link,
                    const std::string& queued) {
    peer.SetAnswerEnq(false);
    peer.SetDefaultAnswer(0);
    const auto before = losses();
    controller.TnppQueue().Append(MakeTnppPageRecord(pin, "TNPP", 1, 3, in_link));
    ASSERT_TRUE(PumpUntil([&] { return losses() > before && !controller.Link().GetLinkUp(); }));
    controller.TnppQueue().Append(MakeTnppPageRecord(pin, "TNPP", 1, 3, queued));
    ASSERT_TRUE(PumpUntil([&] { return losses() > before + 2; }));  // the sender had its chances
    EXPECT_EQ(controller.TnppQueue().Count(), 1u);
  };

  auto controller = MakeController();
  controller->StartServices();
  ASSERT_TRUE(PumpUntil([&] {  // the link test went through
    const auto lines = LogLines();
    return std::any_of(lines.begin(), lines.end(),
                       [](const std::string& l) { return l.rfind("[TNPP] Packet Sent: ", 0) == 0; });
  }));
  outage(*controller, "111", "one", "two");
  peer.SetDefaultAnswer(tnpp::ACK);  // before the link can come back to send
  peer.SetAnswerEnq(true);
  ASSERT_TRUE(PumpUntil([&] { return sent("two") == 1; }));
  const auto packets = peer.Packets();
  EXPECT_EQ(sent("one"), 2);  // once before the outage, once after
  EXPECT_NE(packets.back().find("two"), std::string::npos);
  EXPECT_EQ(controller->TnppQueue().Count(), 0u);

  outage(*controller, "222", "three", "four");
  controller->StopServices();
  const auto lines = LogLines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) {
                            return l.rfind("[TNPP] Packet Not Sent: ", 0) == 0 && l.find("three") != std::string::npos;
                          }),
            1);
  EXPECT_TRUE(Logged("[TNPP] TNPP Delivery Faild For \"222, MSG: four Error: Not Delivered Before ShutDown"));
  EXPECT_FALSE(Logged("[TNPP] TNPP Delivery Faild For \"111, MSG: two"));
  EXPECT_EQ(lines.back(), "[System] Server ShutDown");
}

// The TNPP device hangs up (an adapter pulled) and another comes under the
// same COM name: the link lets the dead one go, opens the name again with the
// growing pause and starts again; the page on the line at the hang-up and the
// one routed while the device was away (accepted: it waits for the link)
// reach the new peer, numbered afresh.
// The loss and the return are logged once each.
TEST_F(ControllerTest, TnppLinkReopensItsDeviceAndSendsWhatWaited) {
  const auto has = [](const testing::TnppPeer& peer, size_t at, const std::string& msg) {
    const auto packets = peer.Packets();
    return packets.size() > at && packets[at].find(msg) != std::string::npos;
  };
  testing::TnppPeer peer, next_peer;
  testing::TnppPeerLine line(peer);
  line.LinkAs(3);
  data_.Write("Config.Dat",
              "[TNPP]\r\nEnableTNPP=1\r\nUseCom=2\r\nComSettings=0\r\nHandShake=3\r\nTransparentCRC=0\r\n");
  data_.Write("Route.Dat", "2,TNPP,1,3\r\n");
  auto controller = MakeController();
  controller->StartServices();
  ASSERT_TRUE(PumpUntil([&] { return controller->Link().GetLinkUp() && controller->Link().GetTNPPQueue() == 0; }));
  peer.SetAnswerEnq(false);  // the next page stays on the line, unanswered
  peer.SetDefaultAnswer(0);
  controller->TnppQueue().Append(MakeTnppPageRecord("111", "TNPP", 1, 3, "on the line"));
  ASSERT_TRUE(PumpUntil([&] { return has(peer, 1, "on the line"); }));

  const int64_t hung_up_at = platform::NowMs();
  line.HangUp();
  testing::LinkComPort(3, (root_.Path() / "nothing-here").string());
  ASSERT_TRUE(PumpUntilLogged("[TNPP] TNPP Port COM3 Closed - Restarting"));
  ASSERT_TRUE(controller->Router().Route("Gap", "222", "in the gap"));  // accepted: it waits for the link
  const int64_t lost_at = platform::NowMs();  // the tries 3 and 9 s after the loss find nothing
  ASSERT_TRUE(PumpUntil([&] { return platform::NowMs() - lost_at > 10000; }));
  EXPECT_EQ(controller->TnppQueue().Count(), 1u);
  testing::TnppPeerLine next_line(next_peer);
  next_line.LinkAs(3);
  ASSERT_TRUE(test::PumpUntil([&] { return has(next_peer, 2, "in the gap") && Logged("[TNPP] TNPP Port COM3 Open!"); },
                              std::chrono::seconds(30)));
  EXPECT_GE(platform::NowMs() - hung_up_at, 21000);  // 3 + 6 + 12 s: the pause grew
  const auto packets = next_peer.Packets();
  ASSERT_EQ(packets.size(), 3u);
  EXPECT_EQ(packets[0], BuildTnppLinkTestPacket(3, 0, true, false));
  EXPECT_TRUE(has(next_peer, 1, "on the line"));
  EXPECT_EQ(TnppSerialOf(packets[1]), 1);
  EXPECT_EQ(TnppSerialOf(packets[2]), 2);
  controller->StopServices();
  const auto lines = LogLines();
  for (const char* once : {"[TNPP] TNPP Port COM3 Closed - Restarting", "[TNPP] TNPP Port COM3 Open!",
                           "[System] TNPP Services Active!"}) {
    EXPECT_EQ(std::count(lines.begin(), lines.end(), once), 1) << once;
  }
}

TEST_F(ControllerTest, APortsEngineIsSetUpFromItsSection) {
  data_.Write("Config.Dat",
              "[North]\r\nEnabled=1\r\nRings=4\r\nPassword=secret\r\nLength=80\r\n"
              "TruncateMsgs=0\r\n[Misc]\r\nmHeader=Banner\r\n");
  platform::ProfileFile ini((data_ / "Config.Dat").string());
  TKYRTap tap;
  SetUpTapEngine(tap, ini, 5, "North", data_.Path().string());
  EXPECT_TRUE(tap.LineAppReady());
  EXPECT_FALSE(tap.GetShowErrorDialog());
  EXPECT_EQ(tap.GetManualEntryHeader(), "Banner");
  // Set after the line is initialised.
  EXPECT_EQ(tap.GetRingsToAnswer(), 4);
  EXPECT_EQ(tap.GetTapPassword(), "secret");
  EXPECT_EQ(tap.GetMaxMsgLength(), 80);
  EXPECT_FALSE(tap.GetTurncateMsgs());
  EXPECT_EQ(tap.GetModemAltConfig(), (data_ / "North.mcf").string());
  EXPECT_EQ(tap.GetModemSysConfig(), (data_ / "system.mcf").string());
}

TEST(EngineSettings, TapPortMapping) {
  TKYRTap tap;
  TapPortConfig config{};
  config.com_port = 3;
  config.com_speed = 6;
  config.data_settings = 1;
  config.flow_ctrl = 2;
  config.direct_access = true;
  config.device_id = 4;
  ApplyTapPortSettings(tap, 5, "North", config, MiscConfig{"Banner", 0});
  EXPECT_EQ(tap.GetName(), "Inbound5");
  EXPECT_EQ(tap.PortName, "North");
  EXPECT_EQ(tap.GetLineInstance(), 5);
  EXPECT_EQ(tap.GetComPort(), 4);  // stored 3 is COM4
  EXPECT_EQ(tap.GetComPortSpeed(), brt9600);
  EXPECT_EQ(tap.GetComPortDataBits(), dbt8BITS);
  EXPECT_EQ(tap.GetComPortParity(), pttNONE);
  EXPECT_EQ(tap.GetComPortHwHandshaking(), hhtNONE);
  EXPECT_EQ(tap.GetComPortSwHandshaking(), shtXONXOFF);
  EXPECT_EQ(tap.GetManualEntryType(), metGlenair);
  EXPECT_EQ(tap.GetManualEntryHeader(), "Banner");
  EXPECT_TRUE(tap.GetDeviceDirectAccess());
  EXPECT_EQ(tap.GetDevIdToInitialize(), 4u);

  // Positions outside their lists leave the engine's own settings.
  TKYRTap other;
  config.com_speed = 13;
  config.data_settings = 0;
  config.flow_ctrl = 9;
  ApplyTapPortSettings(other, 1, "South", config, MiscConfig{"", 7});
  EXPECT_EQ(other.GetComPortSpeed(), brt1200);
  EXPECT_EQ(other.GetComPortDataBits(), dbt7BITS);
  EXPECT_EQ(other.GetComPortParity(), pttEVEN);
  EXPECT_EQ(other.GetComPortHwHandshaking(), hhtRTSCTS);
  EXPECT_EQ(other.GetManualEntryType(), metHark);
}

TEST(EngineSettings, TnppLinkMappingRunsTheListsTheOtherWay) {
  TKYRTNPP link;
  TnppConfig config{};
  config.use_com = 2;
  config.com_settings = 1;  // 7,E,1 here, where a port's 1 is 8,N,1
  config.hand_shake = 0;    // RTS/CTS here, where a port's 0 is none
  config.com_speed = 12;
  config.source_addr = 9;
  config.retry_count = 4;
  ApplyTnppSettings(link, config);
  EXPECT_EQ(link.GetComPort(), pnCOM3);
  EXPECT_EQ(link.GetComPortDataBits(), db7BITS);
  EXPECT_EQ(link.GetComPortParity(), ptEVEN);
  EXPECT_EQ(link.GetComPortHwHandshaking(), hhRTSCTS);
  EXPECT_EQ(link.GetComPortSwHandshaking(), shNONE);
  EXPECT_EQ(link.GetComPortSpeed(), br115200);
  EXPECT_EQ(link.GetSourceAddress(), 9u);
  EXPECT_EQ(link.GetRetrycount(), 4);
  config.hand_shake = 2;
  config.com_settings = 0;
  ApplyTnppSettings(link, config);
  EXPECT_EQ(link.GetComPortDataBits(), db8BITS);
  EXPECT_EQ(link.GetComPortParity(), ptNONE);
  EXPECT_EQ(link.GetComPortHwHandshaking(), hhRTSCTS);
  EXPECT_EQ(link.GetComPortSwHandshaking(), shXONXOFF);
}

}  // namespace
}  // namespace vltg
