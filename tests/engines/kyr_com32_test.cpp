#include "engines/kyr_com32.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/pump_until.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

using namespace std::string_literals;
using vltg::testing::PseudoTerminal;
using Steady = std::chrono::steady_clock;

// Lets the tests look at the line settings the component applied.
class ProbedCom32 : public TKYRCom32 {
 public:
  termios Attributes() {
    termios t{};
    EXPECT_EQ(tcgetattr(Port().Handle(), &t), 0);
    return t;
  }
  size_t Waiting() { return Port().BytesWaiting(); }
  // Changes the line's speed behind the component's back.
  void ForceSpeed(speed_t speed) {
    termios t = Attributes();
    cfsetspeed(&t, speed);
    EXPECT_EQ(tcsetattr(Port().Handle(), TCSANOW, &t), 0);
  }
};

class Com32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    vltg::testing::LinkComPort(2, pty.SlavePath());  // the default port
  }
  // Waits in real time until the bytes the peer sent have reached the port.
  void AwaitWaiting(size_t count) {
    const auto deadline = Steady::now() + std::chrono::seconds(30);
    while (com.Waiting() < count && Steady::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GE(com.Waiting(), count);
  }

  vltg::testing::TempDir root;
  vltg::testing::ScopedEnv env{"VLTG_ROOT", root.Path().string()};
  platform::ScopedClock clock{std::make_shared<platform::ManualClock>(true)};
  PseudoTerminal pty;
  ProbedCom32 com;
};

TEST_F(Com32Test, OpenByNumberAndPortFixedWhileOpen) {
  PseudoTerminal first, sixteenth;
  vltg::testing::LinkComPort(1, "/nonexistent/tty");
  vltg::testing::LinkComPort(16, sixteenth.SlavePath());

  com.SetComPort(pnCOM1);
  EXPECT_FALSE(com.Open());
  EXPECT_FALSE(com.Connected());
  vltg::testing::LinkComPort(1, first.SlavePath());
  ASSERT_TRUE(com.Open());  // a failed open is tried afresh
  EXPECT_TRUE(com.Open());  // already open: nothing changes
  com.SetComPort(pnCOM16);
  EXPECT_EQ(com.GetComPort(), pnCOM1);
  ASSERT_TRUE(com.WriteString("one"));
  EXPECT_EQ(first.Read(3, 30000), "one");
  com.Close();
  EXPECT_FALSE(com.Connected());

  com.SetComPort(pnCOM16);
  ASSERT_TRUE(com.Open());
  ASSERT_TRUE(com.WriteString("sixteen"));
  EXPECT_EQ(sixteenth.Read(7, 30000), "sixteen");
}

TEST_F(Com32Test, SettersApplyWhileOpen) {
  com.SetComPortSpeed(br19200);
  com.SetComPortStopBits(sb2BITS);
  ASSERT_TRUE(com.Open());
  termios t = com.Attributes();
  EXPECT_EQ(cfgetospeed(&t), B19200);
  EXPECT_TRUE(t.c_cflag & CSTOPB);

  com.SetComPortSpeed(br115200);
  com.SetComPortSwHandshaking(shXONXOFF);
  com.SetComPortHwHandshaking(hhRTSCTS);
  com.SetComPortStopBits(sb1BITS);
  com.SetComPortParity(ptODD);
  t = com.Attributes();
  EXPECT_EQ(cfgetospeed(&t), B115200);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), IXON | IXOFF);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & PARODD);
}

// The receive buffer is replaced on the open port while another thread keeps
// reading into it: the reader's next reads are bounded by the new size.
TEST_F(Com32Test, NewReceiveBufferTakesEffectUnderARunningReader) {
  ASSERT_TRUE(com.Open());
  ASSERT_TRUE(pty.Write("ABCDEFGHIJ"));
  AwaitWaiting(10);

  std::mutex mutex;
  std::vector<std::string> chunks;
  size_t total = 0;
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop) {
      std::string chunk = com.ReadString(100);
      if (chunk.empty()) continue;
      std::lock_guard lock(mutex);
      total += chunk.size();
      chunks.push_back(std::move(chunk));
    }
  });
  auto received = [&](size_t count) {
    return test::PollUntil([&] {
      std::lock_guard lock(mutex);
      return total >= count;
    });
  };
  EXPECT_TRUE(received(10));
  com.ForceSpeed(B1200);
  com.SetComPortInBufSize(4);
  EXPECT_EQ(com.GetComPortInBufSize(), 4);
  termios t = com.Attributes();
  EXPECT_EQ(cfgetospeed(&t), B9600);  // the settings were applied again
  ASSERT_TRUE(pty.Write("0123456789"));
  EXPECT_TRUE(received(20));
  stop = true;
  reader.join();

  ASSERT_FALSE(chunks.empty());
  EXPECT_EQ(chunks.front(), "ABCDEFGHIJ");  // all that waited, in one read of the first buffer
  std::string after;
  for (size_t i = 1; i < chunks.size(); ++i) {
    EXPECT_LE(chunks[i].size(), 4u) << chunks[i];
    after += chunks[i];
  }
  EXPECT_EQ(after, "0123456789");
}

TEST_F(Com32Test, ReadsAreShortAndReadStringStopsAtZero) {
  ASSERT_TRUE(com.Open());
  // Nothing comes: the read ends after its short window, not after seconds.
  const auto start = Steady::now();
  EXPECT_EQ(com.ReadString(1), "");
  EXPECT_LT(Steady::now() - start, std::chrono::milliseconds(900));  // room for a busy machine, under a second

  ASSERT_TRUE(pty.Write("AB\0CD"s));
  AwaitWaiting(5);
  EXPECT_EQ(com.ReadString(5), "AB");

  ASSERT_TRUE(pty.Write("\0\x01\0"s));
  AwaitWaiting(3);
  char buffer[8];
  ASSERT_EQ(com.ReadBuffer(buffer, sizeof buffer), 3);
  EXPECT_EQ(std::string(buffer, 3), "\0\x01\0"s);

  // Never more than the receive buffer holds, however much is asked for.
  com.Close();
  com.SetComPortInBufSize(4);
  ASSERT_TRUE(com.Open());
  ASSERT_TRUE(pty.Write("0123456789"));
  AwaitWaiting(10);
  EXPECT_EQ(com.ReadString(100), "0123");
}

TEST_F(Com32Test, PollingSkipsTwoTicksThenReadsEverySecond) {
  std::string received;
  int calls = 0;
  com.OnReceiveData = [&](TKYRCom32& sender, const char* data, int size) {
    EXPECT_EQ(&sender, &com);
    received.append(data, static_cast<size_t>(size));
    ++calls;
  };
  ASSERT_TRUE(com.Open());
  ASSERT_TRUE(pty.Write("hello"));
  AwaitWaiting(5);

  platform::SleepPumping(250);  // ticks at 100 and 200 are skipped
  EXPECT_EQ(calls, 0);
  platform::SleepPumping(100);  // 300 reads
  EXPECT_EQ(received, "hello");

  ASSERT_TRUE(pty.Write("more"));
  AwaitWaiting(4);
  platform::SleepPumping(100);  // 400 is skipped
  EXPECT_EQ(calls, 1);
  platform::SleepPumping(100);  // 500 reads
  EXPECT_EQ(received, "hellomore");
  EXPECT_EQ(calls, 2);

  com.Close();
  ASSERT_TRUE(pty.Write("late"));
  platform::SleepPumping(1000);
  EXPECT_EQ(calls, 2);
}

TEST_F(Com32Test, PollingWithoutHandlerLeavesTheData) {
  com.SetComPortPollingDelay(0);  // the shortest timer period
  ASSERT_TRUE(com.Open());
  ASSERT_TRUE(pty.Write("kept"));
  AwaitWaiting(4);
  platform::SleepPumping(1000);
  EXPECT_EQ(com.Waiting(), 4u);

  int calls = 0;
  com.OnReceiveData = [&](TKYRCom32&, const char*, int) { ++calls; };
  platform::SleepPumping(35);  // 10 ms ticks: the skipping is long over
  EXPECT_EQ(calls, 1);
}

TEST_F(Com32Test, WatchedCommEventsAreRaised) {
  TCommEvents seen = 0;
  int raised = 0;
  com.OnReceiveData = [](TKYRCom32&, const char*, int) {};
  com.OnCommEvent = [&](TKYRCom32&, TCommEvents events) {
    seen |= events;
    ++raised;
  };
  ASSERT_TRUE(com.Open());
  ASSERT_TRUE(pty.Write("x"));
  AwaitWaiting(1);
  platform::SleepPumping(350);
  EXPECT_EQ(raised, 0);  // nothing watched

  com.SetEvents(ceRxChar | ceCts);
  ASSERT_TRUE(pty.Write("y"));
  AwaitWaiting(1);
  platform::SleepPumping(200);
  EXPECT_EQ(raised, 1);
  EXPECT_EQ(seen, static_cast<TCommEvents>(ceRxChar));
}

TEST_F(Com32Test, HandlerThatPumpsIsNotReentered) {
  com.SetComPortInBufSize(4);
  int depth = 0, deepest = 0, calls = 0;
  com.OnReceiveData = [&](TKYRCom32&, const char*, int) {
    ++calls;
    deepest = std::max(deepest, ++depth);
    platform::SleepPumping(1000);  // ten ticks pass inside
    --depth;
  };
  ASSERT_TRUE(com.Open());
  ASSERT_TRUE(pty.Write("0123456789ABCDEF"));
  AwaitWaiting(16);
  platform::SleepPumping(5000);
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(calls, 4);
}

}  // namespace
}  // namespace vltg
