// The link protocol against the scripted peer over an in-memory line, on one
// thread in virtual time: every time-out is checked to the millisecond.
#include "engines/tnpp_link.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/messages/clock.h"
#include "tests/support/tnpp_peer.h"
#include "tests/support/tnpp_peer_port.h"

namespace vltg {
namespace {

using namespace std::string_literals;
using platform::NowMs;
using testing::TnppPeer;

std::string Page(uint32_t serial, const std::string& capcode, const std::string& msg) {
  return BuildTnppPagePacket({0x0102, 3, 0, serial}, capcode, msg, ps4096, false).value();
}

class TnppLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    link.OnEvent = [this](TnppLinkEvent e, const std::string& p) {
      events.emplace_back(e, p);
      if (hook) hook(e, p);
    };
  }
  // Runs the link until `done` holds (true) or `limit_s` virtual seconds pass.
  bool RunUntil(const std::function<bool()>& done, int limit_s = 600) {
    const int64_t limit = NowMs() + limit_s * 1000;
    bool reached = false;
    link.Run([&] { return (reached = done()) || NowMs() > limit; });
    return reached;
  }
  // Queues the pages once, when the link first comes up.
  void QueueAtLinkUp(std::vector<std::pair<std::string, std::string>> pages) {
    hook = [this, pages, queued = false](TnppLinkEvent e, const std::string&) mutable {
      if (e != TnppLinkEvent::kLinkTest || queued) return;
      queued = true;
      for (const auto& [pin, msg] : pages) ASSERT_TRUE(link.QueuePage(0x0102, 3, pin, msg));
    };
  }
  int Count(TnppLinkEvent e, const std::string& packet = {}) const {
    int n = 0;
    for (const auto& [event, p] : events) n += event == e && (packet.empty() || p == packet);
    return n;
  }
  std::vector<int64_t> TimesOf(char control, const std::string& packet = {}) const {
    std::vector<int64_t> times;
    for (const auto& u : peer.Units()) {
      if (u.Control == control && u.Packet == packet) times.push_back(u.AtMs);
    }
    return times;
  }
  // The link's answers to the packets the peer sent.
  std::string Answers(int64_t after) const {
    std::string out;
    for (const auto& u : peer.Units()) {
      if (!u.IsPacket() && u.AtMs > after && u.Control != tnpp::ENQ) out += u.Control;
    }
    return out;
  }

  platform::ScopedClock clock{std::make_shared<platform::ManualClock>(true)};
  TnppPeer peer;
  testing::TnppPeerPort port{peer};
  TnppLink link{port};
  std::vector<std::pair<TnppLinkEvent, std::string>> events;
  std::function<void(TnppLinkEvent, const std::string&)> hook;
  const std::string link_test = BuildTnppLinkTestPacket(3, 0, true, false).value();
};

TEST_F(TnppLinkTest, NakToEveryTryThenCanThenAck) {
  const std::string p1 = Page(1, "111", "nak"), p2 = Page(2, "222", "can"), p3 = Page(3, "333", "ack");
  QueueAtLinkUp({{"111", "nak"}, {"222", "can"}, {"333", "ack"}});
  peer.QueueAnswers("\x06" + std::string(6, tnpp::NAK) + "\x18\x06");
  ASSERT_TRUE(RunUntil([&] { return Count(TnppLinkEvent::kPacketSent, p3) == 1; }));

  EXPECT_EQ(peer.Packets(), (std::vector<std::string>{link_test, p1, p1, p1, p1, p1, p1, p2, p3}));
  // The sixth transmission is not waited for: an enquiry, then the page is given up.
  EXPECT_EQ(Count(TnppLinkEvent::kCRCError, p1), 5);
  EXPECT_EQ(Count(TnppLinkEvent::kSendPacket, p1), 1);
  EXPECT_EQ(Count(TnppLinkEvent::kPacketSent, p1), 0);
  const auto enq = TimesOf(tnpp::ENQ);
  ASSERT_EQ(enq.size(), 2u);
  EXPECT_GE(enq[1], TimesOf(tnpp::SOH, p1).back());
  EXPECT_LT(enq[1], TimesOf(tnpp::SOH, p2).front());
  EXPECT_EQ(Count(TnppLinkEvent::kRmtCancel, p2), 1);
  EXPECT_EQ(link.QueueLength(), 0);
}

TEST_F(TnppLinkTest, RsMovesThePacketBackOrHoldsALoneOne) {
  const std::string p1 = Page(1, "111", "first"), p2 = Page(2, "222", "second");
  QueueAtLinkUp({{"111", "first"}, {"222", "second"}});
  peer.QueueAnswers("\x06\x1E\x06\x1E\x06");
  ASSERT_TRUE(RunUntil([&] { return Count(TnppLinkEvent::kPacketSent, p1) == 1; }));

  EXPECT_EQ(peer.Packets(), (std::vector<std::string>{link_test, p1, p2, p1, p1}));
  EXPECT_EQ(Count(TnppLinkEvent::kPacketRequeue, p1), 2);
  const auto sent = TimesOf(tnpp::SOH, p1);
  EXPECT_NEAR(sent[2] - sent[1], 10000, 20);  // RSHoldTime
}

TEST_F(TnppLinkTest, SilenceGivesEnqAndTheRetransmissionIsAwaited) {
  const std::string p1 = Page(1, "111", "late");
  QueueAtLinkUp({{"111", "late"}});
  peer.QueueAnswers("\x06"s + '\0' + "\x06");
  ASSERT_TRUE(RunUntil([&] { return Count(TnppLinkEvent::kPacketSent, p1) == 1; }));

  const auto sent = TimesOf(tnpp::SOH, p1);
  ASSERT_EQ(sent.size(), 2u);
  const auto enq = TimesOf(tnpp::ENQ);
  ASSERT_EQ(enq.size(), 2u);
  EXPECT_NEAR(enq[1] - sent[0], 10000, 5);  // IdleRspTout
  EXPECT_LE(sent[1] - enq[1], 5);
}

TEST_F(TnppLinkTest, BusyRspToutBoundsTheWholeWait) {
  link.Settings.IdleRspTout = 100;
  link.Settings.BusyRspTout = 5;
  link.Settings.Retrycount = 2;
  const std::string p1 = Page(1, "111", "busy");
  QueueAtLinkUp({{"111", "busy"}});
  peer.QueueAnswers("\x06"s + '\0' + '\0');
  ASSERT_TRUE(RunUntil([&] { return link.GetLinkUp() && link.QueueLength() == 0; }));

  const auto sent = TimesOf(tnpp::SOH, p1);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_NEAR(sent[1] - sent[0], 5000, 5);
  EXPECT_EQ(TimesOf(tnpp::ENQ).size(), 2u);  // after the unanswered last try
}

TEST_F(TnppLinkTest, KeepAliveAndEnqRetriesCountInSeconds) {
  ASSERT_TRUE(RunUntil([&] { return TimesOf(tnpp::ENQ).size() == 3; }));
  auto enq = TimesOf(tnpp::ENQ);
  EXPECT_NEAR(enq[1] - enq[0], 60000, 20);  // KeepAliveTout
  EXPECT_NEAR(enq[2] - enq[1], 60000, 20);

  peer.SetAnswerEnq(false);
  const int64_t silent = NowMs();
  ASSERT_TRUE(RunUntil([&] { return Count(TnppLinkEvent::kLinkError) == 1; }));
  enq = TimesOf(tnpp::ENQ);
  std::erase_if(enq, [&](int64_t t) { return t < silent; });
  ASSERT_EQ(enq.size(), 6u);  // ENQRetries
  for (size_t i = 1; i < enq.size(); ++i) EXPECT_EQ(enq[i] - enq[i - 1], 10000);  // ENQRspTout
  EXPECT_FALSE(link.GetLinkUp());
}

// The link goes down while a page awaits its answer; the pages still queued
// are numbered afresh behind the new link test and none is lost.
TEST_F(TnppLinkTest, PagesSurviveALostLink) {
  QueueAtLinkUp({{"111", "one"}, {"222", "two"}, {"333", "three"}});
  peer.QueueAnswers("\x06\x06");
  peer.SetDefaultAnswer(0);
  auto up = hook;
  hook = [&](TnppLinkEvent e, const std::string& p) {
    up(e, p);
    if (e == TnppLinkEvent::kSendPacket && p == Page(2, "222", "two")) peer.SetAnswerEnq(false);
    if (e == TnppLinkEvent::kLinkError) {
      peer.SetAnswerEnq(true);
      peer.SetDefaultAnswer(tnpp::ACK);
    }
  };
  ASSERT_TRUE(RunUntil([&] { return Count(TnppLinkEvent::kPacketSent) == 5; }));

  EXPECT_EQ(peer.Packets(), (std::vector<std::string>{link_test, Page(1, "111", "one"), Page(2, "222", "two"),
                                                      link_test, Page(1, "222", "two"), Page(2, "333", "three")}));
  EXPECT_EQ(link.GetDPSerNum(), 2);
  EXPECT_EQ(link.QueueLength(), 0);
}

// The peer's link test while pages wait: they are numbered behind it, and the
// next page follows them, so no header repeats one the peer has just seen.
TEST_F(TnppLinkTest, APeersLinkTestRenumbersTheQueuedPages) {
  QueueAtLinkUp({{"111", "a"}, {"222", "b"}, {"333", "c"}, {"444", "d"}});
  auto up = hook;
  hook = [&](TnppLinkEvent e, const std::string& p) {
    up(e, p);
    if (e == TnppLinkEvent::kPacketSent && p == Page(2, "222", "b")) {
      peer.Send(TnppPeer::Frame(0, 3, 0x0300, 0, "\x02"));
    }
    if (e == TnppLinkEvent::kSendPacket && p == Page(1, "333", "c")) {
      ASSERT_TRUE(link.QueuePage(0x0102, 3, "555", "e"));
    }
  };
  ASSERT_TRUE(RunUntil([&] { return Count(TnppLinkEvent::kPacketSent) == 6; }));
  EXPECT_EQ(peer.Packets(), (std::vector<std::string>{link_test, Page(1, "111", "a"), Page(2, "222", "b"),
                                                      Page(1, "333", "c"), Page(2, "444", "d"), Page(3, "555", "e")}));
}

// The peer's link test while a page awaits its answer: that page is sent again
// as it was, and the pages behind it follow its number.
TEST_F(TnppLinkTest, APeersLinkTestDuringASendNumbersThePagesBehindIt) {
  QueueAtLinkUp({{"111", "a"}, {"222", "b"}, {"333", "c"}});
  peer.QueueAnswers(std::string("\x06\x06\x00", 3));  // b's first transmission is not answered
  auto up = hook;
  hook = [&, restarted = false](TnppLinkEvent e, const std::string& p) mutable {
    up(e, p);
    if (e == TnppLinkEvent::kTxPacket && p == Page(2, "222", "b") && !restarted) {
      restarted = true;
      peer.Send(TnppPeer::Frame(0, 3, 0x0300, 0, "\x02"));
    }
  };
  ASSERT_TRUE(RunUntil([&] { return Count(TnppLinkEvent::kPacketSent) == 4; }));
  EXPECT_EQ(peer.Packets(), (std::vector<std::string>{link_test, Page(1, "111", "a"), Page(2, "222", "b"),
                                                      Page(2, "222", "b"), Page(3, "333", "c")}));
  EXPECT_EQ(link.GetDPSerNum(), 3);
}

// Retrycount 1, and 0 counted as 1: the one transmission awaits its answer.
class TnppLinkLoneTryTest : public TnppLinkTest, public ::testing::WithParamInterface<int> {};

TEST_P(TnppLinkLoneTryTest, AwaitsTheAnswer) {
  link.Settings.Retrycount = GetParam();
  const std::string p1 = Page(1, "111", "ack"), p2 = Page(2, "222", "nak");
  QueueAtLinkUp({{"111", "ack"}, {"222", "nak"}});
  peer.QueueAnswers("\x06\x06\x15");
  ASSERT_TRUE(RunUntil([&] { return link.QueueLength() == 0 && link.GetState() == TnppLinkState::kIdle; }));

  EXPECT_EQ(peer.Packets(), (std::vector<std::string>{link_test, p1, p2}));
  EXPECT_EQ(Count(TnppLinkEvent::kPacketSent, p1), 1);
  EXPECT_EQ(Count(TnppLinkEvent::kCRCError, p2), 1);
  EXPECT_EQ(TimesOf(tnpp::ENQ).size(), 2u);  // the start, then the enquiry before p2 is given up
}

INSTANTIATE_TEST_SUITE_P(Retrycount, TnppLinkLoneTryTest, ::testing::Values(1, 0));

TEST_F(TnppLinkTest, PeerEnqIsAnsweredEotInEveryState) {
  peer.SetAnswerEnq(false);
  peer.Send("\x05", 100);  // while enquiring
  peer.Send("\x04", 200);
  peer.QueueAnswers("\x05\x06");  // while awaiting the answer to the link test
  peer.Send("\x05", 5000);         // while idle
  ASSERT_TRUE(RunUntil([&] { return peer.CountControl(tnpp::EOT) == 3; }));
  EXPECT_EQ(Count(TnppLinkEvent::kPacketSent, link_test), 1);
  EXPECT_EQ(peer.Packets().size(), 2u);
}

// The peer's packets, one a second once the link is up, each with the link's
// answer and what the receive handler saw.
TEST_F(TnppLinkTest, ReceivedPackets) {
  std::vector<std::string> seen;
  std::string rsp_script = "\x06\x15\x06x\x04";
  link.OnReceive = [&](TnppBlock block, const std::string& packet, char& rsp) {
    EXPECT_EQ(block, TnppBlock::kIdPage);
    EXPECT_EQ(rsp, tnpp::CAN);
    seen.push_back(packet);
    rsp = rsp_script.empty() ? tnpp::CAN : rsp_script[0];
    if (!rsp_script.empty()) rsp_script.erase(0, 1);
  };
  const std::string page = TnppPeer::Frame(0x0200, 3, 0x0300, 1, "\x02" "B@12345     hello");
  std::string bad_crc = page;
  bad_crc.back() ^= 1;
  std::string high = TnppPeer::Frame(0x0200, 3, 0x0300, 7, "\x02" "B@12345     h\x80i");
  std::string lowered = page;
  lowered[6] = '2';
  const std::vector<std::string> script = {
      bad_crc,                                                      // NAK
      page,                                                         // handler: ACK, inertia seen 02
      page,                                                         // repeat: ACK, no event
      TnppPeer::Frame(0x0200, 1, 0x0300, 2, "\x02" "B@x"),          // inertia 1: ACK, no event
      TnppPeer::Frame(0x0200, 3, 0x0300, 3, "\x02" "Z@x"),          // unknown block: CAN
      TnppPeer::Frame(0x0200, 3, 0x0300, 4, "\x02" "B@" + std::string(4100, 'x')),  // too long: CAN
      high,                                                         // 0x80 dropped: NAK
      TnppPeer::Frame(0x0200, 3, 0x0300, 5, "\x02" "B@again"),      // handler: NAK
      TnppPeer::Frame(0x0200, 3, 0x0300, 5, "\x02" "B@again"),      // sent again: handler ACK
      TnppPeer::Frame(0, 3, 0x0300, 0, "\x02"),                     // link test: ACK, serial reset
      page,                                                         // no longer a repeat: handler 'x'
      TnppPeer::Frame(0x0200, 3, 0x0300, 6, "\x02" "B@eot"),        // handler: EOT
      TnppPeer::Frame(0x0200, 3, 0x0300, 8, "\x02" "B@x"),          // handler gone quiet: CAN
  };
  for (size_t i = 0; i < script.size(); ++i) peer.Send(script[i], 1000 * static_cast<int64_t>(i + 1));
  hook = [&](TnppLinkEvent e, const std::string&) {
    if (e == TnppLinkEvent::kLinkTest) link.SetDPSerNum(9);
  };
  const int64_t start = NowMs();
  ASSERT_TRUE(RunUntil([&] { return Answers(start).size() == script.size(); }));

  EXPECT_EQ(Answers(start), "\x15\x06\x06\x06\x18\x18\x15\x15\x06\x06x\x04\x18"s);
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[0], lowered);
  EXPECT_EQ(seen[1], seen[2]);  // the retransmission after NAK was delivered
  EXPECT_EQ(seen[3], lowered);  // the link test emptied the recent headers
  EXPECT_EQ(link.GetDPSerNum(), 0);
  // A handler's answer other than ACK, NAK, CAN or RS is traced as unknown.
  EXPECT_EQ(Count(TnppLinkEvent::kTxPacket, "Unknown"), 2);
  EXPECT_EQ(Count(TnppLinkEvent::kTxPacket, "EOT"), 0);
}

TEST_F(TnppLinkTest, InterCharacterTimeRestartsAtEveryByte) {
  link.OnReceive = [](TnppBlock, const std::string&, char& rsp) { rsp = tnpp::ACK; };
  const std::string page = TnppPeer::Frame(0x0200, 3, 0x0300, 1, "\x02" "B@slow");
  // Gaps of 1.5 s, each within InterCharTime: the packet is taken.
  peer.Send(page.substr(0, 5), 1000);
  peer.Send(page.substr(5, 5), 2500);
  peer.Send(page.substr(10), 4000);
  // Then a packet that stops: ENQ two seconds after its last byte.
  peer.Send(page.substr(0, 8), 10000);
  const int64_t start = NowMs();
  // Until that ENQ: the idle link then has nothing to do before its link test.
  ASSERT_TRUE(RunUntil([&] { return TimesOf(tnpp::ENQ).size() == 2; }));

  EXPECT_EQ(Answers(start), "\x06"s);
  const auto enq = TimesOf(tnpp::ENQ);
  ASSERT_EQ(enq.size(), 2u);
  EXPECT_NEAR(enq[1] - (start + 10000), 2000, 10);
}

}  // namespace
}  // namespace vltg
