// The link component on a pseudo-terminal against the scripted peer, with the
// clock running ten times faster than real time.
#include "engines/kyr_tnpp.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "tests/support/process_usage.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tnpp_peer.h"
#include "tests/support/tnpp_peer_line.h"

namespace vltg {
namespace {

using namespace std::string_literals;
using testing::TnppPeer;

class KyrTnppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    line.LinkAs(2);  // the default port
    // A real second for the peer's answer to a packet, half a second for its
    // answer to an enquiry.
    tnpp.SetIdleRspTout(10);
    tnpp.SetENQRspTout(5);
    tnpp.SetENQRetries(2);
    tnpp.SetSourceAddress(0x42);
    tnpp.OnPortOpened = [this](TKYRTNPP&) { Log("opened"); };
    tnpp.OnLinkTest = [this](TKYRTNPP&) { Log("linktest"); };
    tnpp.OnLinkError = [this](TKYRTNPP&) { Log("linkerror"); };
    tnpp.OnSendPacket = [this](TKYRTNPP&, const std::string& p) { Log("send " + p); };
    tnpp.OnPacketSent = [this](TKYRTNPP&, const std::string& p) { Log("sent " + p); };
  }
  void Log(const std::string& text) {
    std::lock_guard lock(mutex);
    log.push_back(text);
  }
  int Logged(const std::string& text) {
    std::lock_guard lock(mutex);
    return static_cast<int>(std::count(log.begin(), log.end(), text));
  }
  // Pumps (the link thread reports its end to this thread) until `done`
  // holds or `seconds` of the clock pass.
  template <typename F>
  bool PumpUntil(F done, int seconds = 30) {
    const int64_t limit = platform::NowMs() + seconds * 1000;
    while (!done()) {
      if (platform::NowMs() > limit) return false;
      platform::SleepPumping(10);
    }
    return true;
  }
  std::string LinkTestPacket() const { return BuildTnppLinkTestPacket(3, 0x42, true, false).value(); }
  std::string Page(uint32_t serial, const std::string& pin, const std::string& msg, uint32_t inertia = 3) const {
    return BuildTnppPagePacket({0x0102, inertia, 0x42, serial}, pin, msg, ps4096, false).value();
  }

  testing::TempDir root;
  testing::ScopedEnv env{"VLTG_ROOT", root.Path().string()};
  platform::ScopedClock clock{std::make_shared<platform::ScaledClock>(10)};
  TnppPeer peer;
  testing::TnppPeerLine line{peer};
  TKYRTNPP tnpp;
  std::mutex mutex;
  std::vector<std::string> log;
};

TEST_F(KyrTnppTest, LinkComesUpAndPagesGoOutInOrder) {
  EXPECT_FALSE(tnpp.SendPage(0x0102, 3, "1", "closed"));
  tnpp.OpenLink();
  ASSERT_TRUE(tnpp.Connected());
  ASSERT_TRUE(PumpUntil([&] { return Logged("sent " + LinkTestPacket()) == 1; }));
  const auto units = peer.Units();
  ASSERT_GE(units.size(), 2u);
  EXPECT_EQ(units[0].Control, tnpp::ENQ);  // the first byte on the line
  EXPECT_EQ(units[1].Packet, LinkTestPacket());
  EXPECT_TRUE(tnpp.GetLinkUp());
  EXPECT_EQ(Logged("opened"), 1);
  EXPECT_EQ(Logged("linktest"), 1);

  // Two threads queue pages at once: each gets its own serial number.
  auto send = [&](const std::string& pin) {
    for (int i = 0; i < 10; ++i) EXPECT_TRUE(tnpp.SendPage(0x0102, 5, pin, "msg " + std::to_string(i)));
  };
  std::thread a(send, "111"), b(send, "222");
  a.join();
  b.join();
  EXPECT_EQ(tnpp.GetInertia(), 5);
  ASSERT_TRUE(PumpUntil([&] { return peer.Packets().size() == 21 && tnpp.GetTNPPQueue() == 0; }));
  const auto packets = peer.Packets();
  int next[2] = {0, 0};
  for (uint32_t serial = 1; serial <= 20; ++serial) {
    const std::string& p = packets[serial];
    const int who = p.substr(16, 3) == "222";
    EXPECT_EQ(p, Page(serial, who ? "222" : "111", "msg " + std::to_string(next[who]++), 5));
    EXPECT_EQ(Logged("send " + p), 1);
    EXPECT_EQ(Logged("sent " + p), 1);
  }
  EXPECT_EQ(tnpp.GetDPSerNum(), 20);

  std::thread::id closed_on;
  tnpp.OnPortClosed = [&](TKYRTNPP&) { closed_on = std::this_thread::get_id(); };
  EXPECT_TRUE(tnpp.CloseLink());  // the link was up
  EXPECT_EQ(closed_on, std::this_thread::get_id());
  EXPECT_FALSE(tnpp.Connected());
  EXPECT_FALSE(tnpp.GetLinkUp());
  EXPECT_FALSE(tnpp.SendPage(0x0102, 3, "1", "closed"));
  EXPECT_TRUE(tnpp.CloseLink());
}

TEST_F(KyrTnppTest, LostLinkRefusesPagesAndKeepsTheQueuedOnes) {
  tnpp.OpenLink();
  ASSERT_TRUE(PumpUntil([&] { return Logged("sent " + LinkTestPacket()) == 1; }));
  peer.SetAnswerEnq(false);
  peer.SetDefaultAnswer(0);
  ASSERT_TRUE(tnpp.SendPage(0x0102, 3, "111", "one"));
  ASSERT_TRUE(tnpp.SendPage(0x0102, 3, "222", "two"));
  ASSERT_TRUE(PumpUntil([&] { return Logged("linkerror") == 1; }));
  EXPECT_FALSE(tnpp.GetLinkUp());
  EXPECT_FALSE(tnpp.SendPage(0x0102, 3, "333", "down"));
  ASSERT_TRUE(PumpUntil([&] { return tnpp.GetTNPPQueue() == 3; }));  // the new link test and both pages

  // Packets are answered before the link can come back to send one.
  peer.SetDefaultAnswer(tnpp::ACK);
  peer.SetAnswerEnq(true);
  ASSERT_TRUE(PumpUntil([&] { return tnpp.GetTNPPQueue() == 0; }));
  EXPECT_EQ(peer.Packets(),
            (std::vector<std::string>{LinkTestPacket(), Page(1, "111", "one"), LinkTestPacket(),
                                      Page(1, "111", "one"), Page(2, "222", "two")}));
}

// The device hangs up under an open link: the link lets it go and tries its
// name again after a pause, instead of spinning on a line that polls readable
// at once.
TEST_F(KyrTnppTest, AHungUpDeviceCostsNoProcessor) {
  tnpp.SetKeepAliveTout(1);  // enquiries, then link restarts, all the time
  tnpp.OpenLink();
  ASSERT_TRUE(PumpUntil([&] { return Logged("sent " + LinkTestPacket()) == 1; }));
  line.HangUp();
  testing::LinkComPort(2, (root.Path() / "nothing-here").string());  // its freed path may name another's
  const auto before = testing::ReadProcessUsage(getpid());
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const auto after = testing::ReadProcessUsage(getpid());
  ASSERT_TRUE(before && after);
  EXPECT_LT(after->cpu_seconds - before->cpu_seconds, 0.25);
  tnpp.CloseLink();
  EXPECT_FALSE(tnpp.Connected());
}

TEST_F(KyrTnppTest, PeerPacketsAndEnquiriesAreAnswered) {
  // Bound before the link runs: its thread reads the handler. Until the test
  // lets it answer, the handler leaves the answer at CAN.
  std::atomic<bool> answer{false};
  std::mutex mutex;
  std::string received;
  tnpp.OnIdPage = [&](TKYRTNPP&, const std::string& packet, char& rsp) {
    if (!answer) return;
    std::lock_guard lock(mutex);
    received = packet;
    rsp = tnpp::ACK;
  };
  tnpp.OpenLink();
  ASSERT_TRUE(PumpUntil([&] { return tnpp.GetLinkUp() && tnpp.GetTNPPQueue() == 0; }));
  const std::string page = TnppPeer::Frame(0x0200, 3, 0x0300, 1, "\x02" "B@12345     hi");
  peer.Send(page);
  ASSERT_TRUE(PumpUntil([&] { return peer.CountControl(tnpp::CAN) == 1; }));

  answer = true;
  peer.Send(page);
  ASSERT_TRUE(PumpUntil([&] { return peer.CountControl(tnpp::ACK) == 1; }));
  {
    std::lock_guard lock(mutex);
    EXPECT_EQ(received.substr(5, 2), "02");
  }
  peer.Send("\x05");
  ASSERT_TRUE(PumpUntil([&] { return peer.CountControl(tnpp::EOT) == 1; }));
  tnpp.CloseLink();
}

// A link thread that ends on its own takes the link down; a closed link opens
// again and sends.
TEST_F(KyrTnppTest, ThreadEndAndReopen) {
  tnpp.OnLinkTest = [this](TKYRTNPP&) {
    if (Logged("linktest") == 0) {
      Log("linktest");
      throw std::runtime_error("handler failed");
    }
  };
  tnpp.OpenLink();
  ASSERT_TRUE(PumpUntil([&] { return Logged("linkerror") == 1; }));
  EXPECT_FALSE(tnpp.GetLinkUp());
  EXPECT_FALSE(tnpp.GetLinkOpen());  // the router refuses pages: nothing would send them
  EXPECT_FALSE(tnpp.SendPage(0x0102, 3, "111", "nobody serves"));
  EXPECT_FALSE(tnpp.CloseLink());

  tnpp.OpenLink();
  ASSERT_TRUE(PumpUntil([&] { return tnpp.GetLinkUp(); }));
  EXPECT_TRUE(tnpp.CloseLink());
  tnpp.OpenLink();  // a stop left by the close does not hold back the sends
  ASSERT_TRUE(PumpUntil([&] { return tnpp.GetLinkUp(); }));
  ASSERT_TRUE(tnpp.SendPage(0x0102, 3, "111", "again"));
  ASSERT_TRUE(PumpUntil([&] { return Logged("sent " + Page(1, "111", "again")) == 1; }));
  EXPECT_EQ(Logged("opened"), 3);
}

}  // namespace
}  // namespace vltg
