#include "platform/telephony/hayes_modem.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/telephony/tapi_constants.h"

namespace vltg::platform {
namespace {

using State = HayesModem::State;

// Records what the machine asks of the port and what it reports.
struct ScriptHost : HayesHost {
  bool Write(std::string_view bytes) override {
    written += bytes;
    return writable;
  }
  bool SetDtr(bool on) override {
    if (has_dtr) dtr.push_back(on);
    return has_dtr;
  }
  void PurgeInput() override { ++purges; }
  void Report(const HayesReport& report) override { reports.push_back(report); }

  std::string TakeWritten() { return std::exchange(written, {}); }
  std::vector<HayesEvent> TakeEvents() {
    std::vector<HayesEvent> events;
    for (const auto& r : reports) events.push_back(r.event);
    reports.clear();
    return events;
  }

  std::string written;
  bool writable = true;
  bool has_dtr = false;
  std::vector<bool> dtr;
  int purges = 0;
  std::vector<HayesReport> reports;
};

class HayesModemTest : public ::testing::Test {
 protected:
  // Brings the modem to idle, answering each command OK.
  void Initialise() {
    modem.Start(now);
    EXPECT_EQ(host.TakeWritten(), "ATZ\r");
    modem.Received("ATZ\r\r\nOK\r\n", now);  // still echoing before E0
    EXPECT_EQ(host.TakeWritten(), "ATE0V1Q0S0=0&C1&D2\r");
    modem.Received("\r\nOK\r\n", now);
    EXPECT_EQ(host.TakeWritten(), "AT&K3\r");
    modem.Received("\r\nOK\r\n", now);
    EXPECT_EQ(host.TakeEvents(), std::vector<HayesEvent>{HayesEvent::kReady});
    EXPECT_EQ(modem.GetState(), State::kIdle);
  }
  void Connect() {
    modem.Received("\r\nRING\r\n", now);
    host.TakeEvents();
    ASSERT_TRUE(modem.Answer(now));
    EXPECT_EQ(host.TakeWritten(), "ATA\r");
    modem.Received("\r\nCONNECT 9600/ARQ\r\n", now);
    ASSERT_EQ(host.reports.size(), 1u);
    EXPECT_EQ(host.reports[0].text, "9600/ARQ");
    host.TakeEvents();
  }
  void RestoreAndExpect(std::vector<HayesEvent> events) {
    EXPECT_EQ(host.TakeWritten(), "ATZ\r");
    modem.Received("OK\r", now);
    EXPECT_EQ(host.TakeWritten(), "ATE0V1Q0S0=0&C1&D2\r");
    modem.Received("OK\r", now);
    EXPECT_EQ(host.TakeWritten(), "AT&K3\r");
    modem.Received("OK\r", now);
    EXPECT_EQ(host.TakeEvents(), events);
    EXPECT_EQ(modem.GetState(), State::kIdle);
  }

  ScriptHost host;
  HayesModem modem{host, "&K3"};
  int64_t now = 1000;
};

TEST_F(HayesModemTest, InitialisationStopsAtTheFirstRefusalOrSilence) {
  modem.Start(now);
  EXPECT_EQ(host.purges, 1);
  modem.Received("OK\r\n", now);
  modem.Received("ERR", now);
  modem.Received("OR\r\n", now);  // results may arrive in pieces
  ASSERT_EQ(host.reports.size(), 1u);
  EXPECT_EQ(host.reports[0].event, HayesEvent::kFailed);
  EXPECT_EQ(host.reports[0].text, "the modem refused ATE0V1Q0S0=0&C1&D2");
  EXPECT_FALSE(modem.ReadsPort());

  ScriptHost quiet_host;
  HayesModem quiet{quiet_host, ""};
  quiet.Start(0);
  quiet.Tick(4999);
  EXPECT_TRUE(quiet_host.reports.empty());
  quiet.Tick(5000);
  ASSERT_EQ(quiet_host.reports.size(), 1u);
  EXPECT_EQ(quiet_host.reports[0].text, "no answer from the modem to ATZ");
}

TEST_F(HayesModemTest, NumericResultsAndAPrefixedInitCommand) {
  HayesModem modem2{host, "  at&c1 "};
  EXPECT_EQ(modem2.InitCommands(), (std::vector<std::string>{"ATE0V1Q0S0=0&C1&D2", "at&c1"}));
  HayesModem modem3{host, "S7=30"};
  EXPECT_EQ(modem3.InitCommands().back(), "ATS7=30");
  modem3.Start(0);
  modem3.Received("0\r", 0);  // a modem left in numeric mode answers ATZ with 0
  modem3.Received("OK\r", 0);
  modem3.Received("OK\r", 0);
  EXPECT_EQ(host.TakeEvents(), std::vector<HayesEvent>{HayesEvent::kReady});
  modem3.Received("2\r", 0);
  EXPECT_EQ(host.TakeEvents(), (std::vector<HayesEvent>{HayesEvent::kOffering, HayesEvent::kRing}));
}

TEST_F(HayesModemTest, RingsOfferOnceAndCountUntilTheCallerGivesUp) {
  Initialise();
  modem.Received("\r\nRING\r\n", now);
  modem.Received("\r\nRING\r\n", now + 6000);
  ASSERT_EQ(host.reports.size(), 3u);
  EXPECT_EQ(host.reports[0].event, HayesEvent::kOffering);
  EXPECT_EQ(host.reports[1].event, HayesEvent::kRing);
  EXPECT_EQ(host.reports[1].param, 0u);
  EXPECT_EQ(host.reports[2].param, 1u);
  host.TakeEvents();
  modem.Tick(now + 6000 + 9999);
  EXPECT_TRUE(host.reports.empty());
  modem.Tick(now + 16000);
  ASSERT_EQ(host.reports.size(), 2u);
  EXPECT_EQ(host.reports[0].event, HayesEvent::kDisconnected);
  EXPECT_EQ(host.reports[0].param, LINEDISCONNECTMODE_NORMAL);
  EXPECT_EQ(host.reports[1].event, HayesEvent::kIdle);
  EXPECT_EQ(modem.GetState(), State::kIdle);
  EXPECT_TRUE(host.written.empty());  // the modem never went off hook
  EXPECT_FALSE(modem.Answer(now));
}

TEST_F(HayesModemTest, ConnectedCallStopsReadingAndWatchesCarrier) {
  Initialise();
  Connect();
  EXPECT_FALSE(modem.ReadsPort());
  EXPECT_TRUE(modem.WatchesCarrier());
  modem.Received("NO CARRIER\r\n", now);  // the call's data, not a result
  EXPECT_TRUE(host.reports.empty());

  modem.CarrierLost(now);
  ASSERT_EQ(host.reports.size(), 1u);
  EXPECT_EQ(host.reports[0].event, HayesEvent::kDisconnected);
  host.TakeEvents();
  EXPECT_EQ(host.TakeWritten(), "ATH0\r");
  modem.Received("OK\r", now);
  RestoreAndExpect({HayesEvent::kIdle});
  // A drop after the caller hung up is owed no work, only its reply.
  EXPECT_FALSE(modem.Drop(now));
}

TEST_F(HayesModemTest, DropWithoutDtrEscapesWithGuardTimesThenHangsUp) {
  Initialise();
  Connect();
  ASSERT_TRUE(modem.Drop(now));
  EXPECT_EQ(modem.GetState(), State::kEscapeGuard);
  modem.Tick(now + 1099);
  EXPECT_EQ(host.TakeWritten(), "");
  modem.Tick(now + 1100);
  EXPECT_EQ(host.TakeWritten(), "+++");
  EXPECT_TRUE(modem.ReadsPort());
  modem.Received("caller bytes\r\nOK\r\n", now + 2200);
  EXPECT_EQ(host.TakeWritten(), "ATH0\r");
  modem.Received("OK\r\n", now + 2300);
  RestoreAndExpect({HayesEvent::kIdle, HayesEvent::kDropDone});
  EXPECT_EQ(host.reports.size(), 0u);

  // No OK to the escape (the modem had dropped already): ATH0 all the same.
  Connect();
  modem.Drop(now);
  modem.Tick(now + 1100);
  host.TakeWritten();
  modem.Tick(now + 1100 + 3000);
  EXPECT_EQ(host.TakeWritten(), "ATH0\r");
  modem.Tick(now + 1100 + 3000 + 5000);  // nor to ATH0
  RestoreAndExpect({HayesEvent::kIdle, HayesEvent::kDropDone});
}

TEST_F(HayesModemTest, DropWithDtrHoldsItLowThenReinitialises) {
  host.has_dtr = true;
  Initialise();
  Connect();
  ASSERT_TRUE(modem.Drop(now));
  EXPECT_EQ(host.dtr, std::vector<bool>{false});
  EXPECT_EQ(modem.GetState(), State::kDtrLow);
  modem.Received("\r\nNO CARRIER\r\n", now + 100);
  modem.Tick(now + 500);
  EXPECT_EQ(host.dtr, (std::vector<bool>{false, true}));
  RestoreAndExpect({HayesEvent::kIdle, HayesEvent::kDropDone});
}

TEST_F(HayesModemTest, AnswerThatFailsOrTimesOutDisconnectsAndHangsUp) {
  Initialise();
  modem.Received("RING\r", now);
  host.TakeEvents();
  modem.Answer(now);
  host.TakeWritten();
  modem.Received("RING\r\nNO CARRIER\r\n", now);
  ASSERT_EQ(host.reports.size(), 1u);
  EXPECT_EQ(host.reports[0].event, HayesEvent::kDisconnected);
  EXPECT_EQ(host.reports[0].param, LINEDISCONNECTMODE_NORMAL);
  host.TakeEvents();
  EXPECT_EQ(host.TakeWritten(), "ATH0\r");
  modem.Received("OK\r", now);
  RestoreAndExpect({HayesEvent::kIdle});

  modem.Received("RING\r", now);
  host.TakeEvents();
  modem.Answer(now);
  host.TakeWritten();
  modem.Tick(now + 60000);
  EXPECT_EQ(host.TakeWritten(), "\rATH0\r");  // abort the answer, then hang up
  EXPECT_EQ(host.TakeEvents(), std::vector<HayesEvent>{HayesEvent::kDisconnected});
  modem.Received("OK\r", now);
  RestoreAndExpect({HayesEvent::kIdle});
}

TEST_F(HayesModemTest, DroppingAnOfferedCallIgnoresItsFurtherRings) {
  Initialise();
  modem.Received("RING\r", now);
  host.TakeEvents();
  ASSERT_TRUE(modem.Drop(now));
  EXPECT_EQ(host.TakeEvents(), (std::vector<HayesEvent>{HayesEvent::kIdle, HayesEvent::kDropDone}));
  modem.Received("RING\r", now + 5000);
  EXPECT_TRUE(host.reports.empty());
  modem.Tick(now + 15000);
  modem.Received("RING\r", now + 15000);
  EXPECT_EQ(host.TakeEvents(), (std::vector<HayesEvent>{HayesEvent::kOffering, HayesEvent::kRing}));
}

TEST_F(HayesModemTest, ARestoreThatFailsEndsTheCallAndTheLine) {
  Initialise();
  Connect();
  modem.CarrierLost(now);
  host.TakeEvents();
  modem.Drop(now);  // the engine drops after the caller hung up
  modem.Received("OK\r", now);  // to ATH0
  modem.Tick(now + 5000);       // ATZ unanswered
  ASSERT_EQ(host.reports.size(), 3u);
  EXPECT_EQ(host.reports[0].event, HayesEvent::kIdle);
  EXPECT_EQ(host.reports[1].event, HayesEvent::kDropDone);
  EXPECT_EQ(static_cast<int32_t>(host.reports[1].param), LINEERR_OPERATIONFAILED);
  EXPECT_EQ(host.reports[2].event, HayesEvent::kFailed);
}

TEST_F(HayesModemTest, NoiseAndOverlongLinesAreNotResults) {
  Initialise();
  modem.Received(std::string(1000, 'x') + "RING\r", now);
  EXPECT_TRUE(host.reports.empty());
  modem.Received("RINGING\r+RING\r", now);
  EXPECT_TRUE(host.reports.empty());
  modem.Received(" ring \r", now);
  EXPECT_EQ(host.TakeEvents(), (std::vector<HayesEvent>{HayesEvent::kOffering, HayesEvent::kRing}));
}

TEST_F(HayesModemTest, AWriteFailureOrALostDeviceFailsTheLine) {
  Initialise();
  modem.DeviceLost("read /dev/x: EIO");
  EXPECT_EQ(host.TakeEvents(), std::vector<HayesEvent>{HayesEvent::kFailed});
  EXPECT_FALSE(modem.ReadsPort());
  modem.DeviceLost("again");
  EXPECT_TRUE(host.reports.empty());

  ScriptHost broken;
  broken.writable = false;
  HayesModem dead{broken, ""};
  dead.Start(0);
  ASSERT_EQ(broken.reports.size(), 1u);
  EXPECT_EQ(broken.reports[0].event, HayesEvent::kFailed);
}

}  // namespace
}  // namespace vltg::platform
