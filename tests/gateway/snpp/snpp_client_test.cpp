#include "gateway/snpp/snpp_client.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "gateway/snpp/sock.h"
#include "platform/messages/clock.h"
#include "tests/support/scripted_snpp_server.h"

namespace vltg {
namespace {

using test::ScriptedSnppServer;
using test::SnppAnswer;

// The standard server with some commands answered otherwise; "" is the
// greeting.
test::SnppScript Answers(std::map<std::string, SnppAnswer> changed) {
  return [changed](size_t, const std::string& line) {
    const auto found = changed.find(line.substr(0, line.find(' ')));
    return found != changed.end() ? found->second : test::StandardSnppAnswer(line);
  };
}

const SnppAnswer kSilent{};

struct Delivery {
  bool result = false;
  std::string tags = "old";
  std::string reply;
};

// Scaled time: the client's 5 to 15 ms polls and pauses shrink, and no
// exchange here comes near a time-out (25 clock seconds are 2.5 real ones).
class SnppClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SockStartup();
    client_.SetPartPauseMs(0);
  }

  Delivery Send(const std::string& pin, const std::string& msg, bool two_way = false, bool reverse = false,
                int max_len = 999, bool numeric_only = false) {
    Delivery d;
    d.result = client_.SendSnpp("127.0.0.1", server_ ? server_->PortName() : "1", pin, msg, max_len, reverse,
                                two_way, numeric_only, d.tags, d.reply);
    if (server_) server_->WaitForEnded(server_->Connections());
    return d;
  }

  std::vector<std::string> Received() { return server_->Received(); }

  // Clock milliseconds since `started`.
  static int64_t Since(int64_t started) { return platform::NowMs() - started; }

  platform::ScopedClock scaled_{std::make_shared<platform::ScaledClock>(10)};
  SnppClient client_;
  std::unique_ptr<ScriptedSnppServer> server_;
};

TEST_F(SnppClientTest, OnePartGoesAsTheCommandSequence) {
  server_ = std::make_unique<ScriptedSnppServer>();
  const auto d = Send("1234567", "Hello world");
  EXPECT_TRUE(d.result);
  EXPECT_EQ(d.reply, "Message Sent Successfully");
  EXPECT_EQ(d.tags, "");
  EXPECT_EQ(Received(), (std::vector<std::string>{"PAGE 1234567\r\nMESS Hello world\r\nSEND\r\nQUIT\r\n"}));
}

TEST_F(SnppClientTest, EachPartInAConnectionOfItsOwnInEitherOrder) {
  server_ = std::make_unique<ScriptedSnppServer>();
  const std::string text = std::string(980, 'a') + " " + std::string(500, 'b');
  const std::string first = "MESS (1 of 2)  " + std::string(980, 'a').substr(0, 966) + "  (CONT.)\r\n";
  const std::string second = "MESS (2 of 2)  " + std::string(14, 'a') + " " + std::string(500, 'b') + " (END)\r\n";
  EXPECT_TRUE(Send("1234567", text).result);
  ASSERT_EQ(Received().size(), 2u);
  EXPECT_EQ(Received()[0], "PAGE 1234567\r\n" + first + "SEND\r\nQUIT\r\n");
  EXPECT_EQ(Received()[1], "PAGE 1234567\r\n" + second + "SEND\r\nQUIT\r\n");

  server_ = std::make_unique<ScriptedSnppServer>();
  EXPECT_TRUE(Send("1234567", text, false, true).result);
  ASSERT_EQ(Received().size(), 2u);
  EXPECT_EQ(Received()[0], "PAGE 1234567\r\n" + second + "SEND\r\nQUIT\r\n");
  EXPECT_EQ(Received()[1], "PAGE 1234567\r\n" + first + "SEND\r\nQUIT\r\n");
}

struct RefusalCase {
  const char* name;
  std::map<std::string, SnppAnswer> answers;
  bool two_way;
  const char* reply;
  const char* client_bytes;
};

TEST_F(SnppClientTest, RefusalsFailWithTheServersText) {
  const RefusalCase cases[] = {
      {"greeting 421", {{"", {"421 Too Busy\r\n"}}}, false, "Too Busy", "QUIT\r\n"},
      {"greeting 421 then close", {{"", {"421 Too Busy\r\n", 0, true}}}, false, "Too Busy", nullptr},
      {"PAGE 550 one-way", {{"PAGE", {"550 Unknown Pager\r\n"}}}, false, "Unknown Pager", "PAGE 77\r\nQUIT\r\n"},
      {"PAGE 421", {{"PAGE", {"421 Later\r\n"}}}, false, "Later", "PAGE 77\r\nQUIT\r\n"},
      {"PAGE 554 two-way",
       {{"2WAY", {"250 OK\r\n"}}, {"PAGE", {"554 No Such Pager\r\n"}}},
       true,
       "No Such Pager",
       "2WAY\r\nPAGE 77\r\nQUIT\r\n"},
      {"MESS not 250", {{"MESS", {"503 Duplicate\r\n"}}}, false, "Duplicate", "PAGE 77\r\nMESS hi\r\nQUIT\r\n"},
      {"SEND not 250", {{"SEND", {"554 Failed\r\n"}}}, false, "Failed", "PAGE 77\r\nMESS hi\r\nSEND\r\nQUIT\r\n"},
      {"two-way SEND 4xx",
       {{"2WAY", {"250 OK\r\n"}}, {"SEND", {"421 Busy\r\n"}}},
       true,
       "Busy",
       "2WAY\r\nPAGE 77\r\nMESS hi\r\nSEND\r\nQUIT\r\n"},
  };
  for (const auto& c : cases) {
    server_ = std::make_unique<ScriptedSnppServer>(Answers(c.answers));
    const int64_t started = platform::NowMs();
    const auto d = Send("77", "hi", c.two_way);
    EXPECT_FALSE(d.result) << c.name;
    EXPECT_EQ(d.reply, c.reply) << c.name;
    EXPECT_LT(Since(started), 20000) << c.name;  // no wait ran out (the shortest is 25 s)
    if (c.client_bytes) {
      EXPECT_EQ(Received(), (std::vector<std::string>{c.client_bytes})) << c.name;
    }
  }
}

TEST_F(SnppClientTest, TwoWayResetsAfter550AndReturnsTheTags) {
  int pages = 0;
  server_ = std::make_unique<ScriptedSnppServer>([&pages](size_t, const std::string& line) -> SnppAnswer {
    if (line == "2WAY") return {"250 OK, Beginning 2-Way Transaction\r\n"};
    if (line.rfind("PAGE", 0) == 0 && ++pages == 1) return {"550 Not A Two-Way Pager\r\n"};
    return test::StandardSnppAnswer(line);
  });
  auto d = Send("77", "hi", true);
  EXPECT_TRUE(d.result);
  EXPECT_EQ(d.reply, "Message Sent Successfully");
  EXPECT_EQ(Received(), (std::vector<std::string>{"2WAY\r\nPAGE 77\r\nRESE\r\nPAGE 77\r\nMESS hi\r\nSEND\r\nQUIT\r\n"}));

  server_ = std::make_unique<ScriptedSnppServer>(
      Answers({{"2WAY", {"250 OK\r\n"}}, {"SEND", {"960 1234 5678 Message Queued\r\n"}}}));
  d = Send("77", "hi", true);
  EXPECT_TRUE(d.result);
  EXPECT_EQ(d.tags, "1234 5678");
  EXPECT_EQ(d.reply, "Message Queued");

  // A server without two-way mode is paged one-way.
  server_ = std::make_unique<ScriptedSnppServer>();
  d = Send("77", "hi", true);
  EXPECT_TRUE(d.result);
  EXPECT_EQ(d.tags, "");
  EXPECT_EQ(Received(), (std::vector<std::string>{"2WAY\r\nPAGE 77\r\nMESS hi\r\nSEND\r\nQUIT\r\n"}));
}

TEST_F(SnppClientTest, RepliesSplitAcrossReadsAreJudgedWhole) {
  server_ = std::make_unique<ScriptedSnppServer>(
      Answers({{"", {"220 Ready\r\n", 2}}, {"SEND", {"250 Sent In Pieces\r\n", 5}}}));
  const auto d = Send("77", "hi");
  EXPECT_TRUE(d.result);
  EXPECT_EQ(d.reply, "Sent In Pieces");
}

TEST_F(SnppClientTest, MultiLineRepliesAreReadWhole) {
  // Each command's verdict comes from its own reply's last line.
  server_ = std::make_unique<ScriptedSnppServer>(Answers({{"", {"220-Welcome\r\n220-Paging only\r\n220 Ready\r\n"}}}));
  auto d = Send("77", "hi");
  EXPECT_TRUE(d.result);
  EXPECT_EQ(Received(), (std::vector<std::string>{"PAGE 77\r\nMESS hi\r\nSEND\r\nQUIT\r\n"}));

  server_ = std::make_unique<ScriptedSnppServer>(
      Answers({{"PAGE", {"250-Pager\r\n250 Accepted\r\n", 12}}, {"MESS", {"550-Message\r\n550 Too Long\r\n"}}}));
  d = Send("77", "hi");
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "Message Too Long");
  EXPECT_EQ(Received(), (std::vector<std::string>{"PAGE 77\r\nMESS hi\r\nQUIT\r\n"}));
}

TEST_F(SnppClientTest, AServerStreamingWithoutALineEndFailsTheDeliveryAtOnce) {
  server_ = std::make_unique<ScriptedSnppServer>(Answers({{"", {"220 " + std::string(4 << 20, 'x')}}}));
  const int64_t started = platform::NowMs();
  const auto d = Send("77", "hi");
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "Server Reply Longer Than 65536 Bytes");
  EXPECT_LT(Since(started), 20000);  // long before the greeting's 25 s time-out
  EXPECT_EQ(Received(), (std::vector<std::string>{""}));  // the connection ends without QUIT
}

TEST_F(SnppClientTest, AnAcceptedPageStaysAcceptedWhateverQuitMeets) {
  server_ = std::make_unique<ScriptedSnppServer>(Answers({{"SEND", {"250 Sent\r\n", 0, true}}}));
  auto d = Send("77", "hi");
  EXPECT_TRUE(d.result);
  EXPECT_EQ(d.reply, "Sent");
}

TEST_F(SnppClientTest, LineEndsInsidePinOrMessageGoAsBlanks) {
  server_ = std::make_unique<ScriptedSnppServer>();
  EXPECT_TRUE(Send("77\r\n", "one\r\nPAGE 999\ntwo").result);
  EXPECT_EQ(Received(), (std::vector<std::string>{"PAGE 77  \r\nMESS one  PAGE 999 two\r\nSEND\r\nQUIT\r\n"}));
}

TEST_F(SnppClientTest, NothingToSendMakesNoConnection) {
  server_ = std::make_unique<ScriptedSnppServer>();
  auto d = Send("77", "");
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "No Message To Send!");
  EXPECT_EQ(d.tags, "");
  d = Send("77", "no digits here", false, false, 999, true);
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "No Message To Send, Numeric Only Pager!");
  d = Send("77", std::string(100, 'x'), false, false, 20);
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "Part Length Leaves No Room For Message Text!");
  EXPECT_EQ(server_->Connections(), 0u);

  d = Send("77", "Call 555-1234 now", false, false, 999, true);
  EXPECT_TRUE(d.result);
  EXPECT_EQ(Received(), (std::vector<std::string>{"PAGE 77\r\nMESS 5551234\r\nSEND\r\nQUIT\r\n"}));
}

TEST_F(SnppClientTest, LookupAndConnectionFailuresReturnTheirText) {
  Delivery d;
  d.result = client_.SendSnpp("no-such-host.invalid", "444", "77", "hi", 999, false, false, false, d.tags, d.reply);
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "Host Lookup - Could Not Find Host Entry");
  d.result = client_.SendSnpp("127.0.0.1", "", "77", "hi", 999, false, false, false, d.tags, d.reply);
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "Port Lookup - Could Not Find Service Entry");

  // A refused connection fails at once, well inside the connect time-out
  // (here ten minutes, a real minute).
  client_.SetTimeouts({600, 25, 45});
  const int64_t started = platform::NowMs();
  d.result = client_.SendSnpp("127.0.0.1", std::to_string(test::UnusedLocalPort()), "77", "hi", 999, false, false,
                              false, d.tags, d.reply);
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "Error #10061 (WSAECONNREFUSED)");
  EXPECT_LT(Since(started), 300000);
}

TEST_F(SnppClientTest, StopFlagAbortsTheCall) {
  server_ = std::make_unique<ScriptedSnppServer>(Answers({{"", kSilent}}));
  bool stop = true;
  client_.SetStopFlag([&] { return stop; });
  auto d = Send("77", "hi");
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "Call Aborted By User!");
  EXPECT_EQ(server_->Connections(), 0u);

  // Raised while the greeting is awaited.
  stop = false;
  client_.SetStopFlag([&] { return server_->Connections() > 0; });
  d = Send("77", "hi");
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "Call Aborted By User!");
}

TEST_F(SnppClientTest, NoDescriptorIsLeftOpenAfterAHundredDeliveries) {
  server_ = std::make_unique<ScriptedSnppServer>();
  ASSERT_TRUE(Send("77", "warm-up").result);
  const size_t before = test::OpenDescriptorCount();
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(Send("77", "page " + std::to_string(i)).result);
  EXPECT_EQ(test::OpenDescriptorCount(), before);
}

TEST_F(SnppClientTest, SeveralThreadsDeliverAtOnce) {
  server_ = std::make_unique<ScriptedSnppServer>();
  const std::string port = server_->PortName();
  std::atomic<int> delivered{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      SnppClient client;
      for (int i = 0; i < 5; ++i) {
        std::string tags, reply;
        if (client.SendSnpp("LOCALHOST", port, std::to_string(t), "page", 999, false, false, false, tags, reply)) {
          ++delivered;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(delivered, 20);
  server_->WaitForEnded(20);
  EXPECT_EQ(server_->Connections(), 20u);
}

// Time-outs in scaled time: 20 clock seconds pass in one real second, so the
// bounds below leave half a real second for the machine's pace.
class SnppClientTimeouts : public SnppClientTest {
 protected:
  platform::ScopedClock faster_{std::make_shared<platform::ScaledClock>(20)};

  // Clock seconds the delivery took.
  double Timed(Delivery& d, const std::string& msg = "hi") {
    const int64_t started = platform::NowMs();
    d = Send("77", msg);
    return static_cast<double>(Since(started)) / 1000.0;
  }
};

TEST_F(SnppClientTimeouts, EachWaitRunsOutAfterItsTimeout) {
  Delivery d;
  // No greeting: 25 s, then 25 s more for the QUIT that gets no answer.
  server_ = std::make_unique<ScriptedSnppServer>(Answers({{"", kSilent}, {"QUIT", kSilent}}));
  double seconds = Timed(d);
  EXPECT_FALSE(d.result);
  EXPECT_EQ(d.reply, "");
  EXPECT_GE(seconds, 48);
  EXPECT_LT(seconds, 60);

  // No answer to SEND: 45 s, and the QUIT's answer ends the part.
  server_ = std::make_unique<ScriptedSnppServer>(Answers({{"SEND", kSilent}}));
  seconds = Timed(d);
  EXPECT_FALSE(d.result);
  EXPECT_GE(seconds, 44);
  EXPECT_LT(seconds, 55);

  // An accepted page whose QUIT goes unanswered is still delivered.
  server_ = std::make_unique<ScriptedSnppServer>(Answers({{"QUIT", kSilent}}));
  seconds = Timed(d);
  EXPECT_TRUE(d.result);
  EXPECT_GE(seconds, 44);
}

TEST_F(SnppClientTimeouts, PartsOfOnePageArePausedApart) {
  client_.SetPartPauseMs(1500);
  server_ = std::make_unique<ScriptedSnppServer>();
  Delivery d;
  const double seconds = Timed(d, std::string(1000, 'a') + " b");
  EXPECT_TRUE(d.result);
  EXPECT_GE(seconds, 3.0);
  EXPECT_EQ(Received().size(), 2u);
}

}  // namespace
}  // namespace vltg
