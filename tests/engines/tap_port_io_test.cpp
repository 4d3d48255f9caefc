// The TAP engine's port primitives on a pseudo-terminal standing in for a
// directly attached COM port.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "engines/kyr_tap.h"
#include "engines/tap_chars.h"
#include "platform/base/exception.h"
#include "platform/messages/clock.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thrown_text.h"

namespace vltg {
namespace {

using namespace tap;
using namespace std::string_literals;
using vltg::testing::PseudoTerminal;
using vltg::test::ThrownText;
using Steady = std::chrono::steady_clock;

class TapPortIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vltg::testing::LinkComPort(1, pty.SlavePath());
    engine.SetDeviceDirectAccess(true);
    engine.SetComPortDataBits(dbt8BITS);
    engine.SetComPortParity(pttNONE);
    engine.SetComPortHwHandshaking(hhtNONE);
    // Answering is off: the port is attached and nothing runs on it.
    engine.OpenDirectPort();
    ASSERT_TRUE(engine.FCommAttached);
  }
  // Waits in real time until the engine's port has `count` bytes waiting.
  void AwaitWaiting(int32_t count) {
    const auto deadline = Steady::now() + std::chrono::seconds(30);
    while (engine.BytesWaiting() < count && Steady::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_GE(engine.BytesWaiting(), count);
  }

  vltg::testing::TempDir root;
  vltg::testing::ScopedEnv env{"VLTG_ROOT", root.Path().string()};
  // Read windows of seconds pass in tens of milliseconds.
  platform::ScopedClock clock{std::make_shared<platform::ScaledClock>(100)};
  PseudoTerminal pty;
  TKYRTap engine;
};

TEST_F(TapPortIoTest, ReadUntilTakesOneLineAndLosesTheRestOfItsBurst) {
  ASSERT_TRUE(pty.Write("first\rsecond\r"));
  AwaitWaiting(13);
  std::string line;
  EXPECT_EQ(engine.ReadUntil("x|\r", line, 1), 1);
  EXPECT_EQ(line, "first\r");
  EXPECT_EQ(engine.GetTimeout(), 1u);  // the window is kept as the I/O time-out
  EXPECT_EQ(engine.ReadUntil("\r", line, 1), -1);
  EXPECT_EQ(line, "");

  ASSERT_TRUE(pty.Write("no end"));
  AwaitWaiting(6);
  EXPECT_EQ(engine.ReadUntil("\r", line, 1), -1);
  EXPECT_EQ(line, "no end");
}

TEST_F(TapPortIoTest, ReadBlockReturnsOnACompleteBlockAndOtherwiseAtTheWindowsEnd) {
  const std::string block = STX + "1234\rHello\r"s + ETX + "17;\r";
  ASSERT_TRUE(pty.Write(block));
  std::string text;
  const auto start = Steady::now();
  engine.ReadBlock(6000, text);  // a minute of real time if it waited
  EXPECT_LT(Steady::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(text, block);

  ASSERT_TRUE(pty.Write(STX + "1234\r"s));
  AwaitWaiting(6);
  engine.ReadBlock(1, text);
  EXPECT_EQ(text, STX + "1234\r"s);
}

TEST_F(TapPortIoTest, WaitingInputIsReadInChunksFlushedAndCutAtANul) {
  // Virtual time: the read takes a millisecond per character.
  platform::ScopedClock virtual_time{std::make_shared<platform::ManualClock>(true)};
  const std::string flood(1500, 'x');  // more than 1000 bytes waiting
  ASSERT_TRUE(pty.Write(flood + "\r"));
  AwaitWaiting(1501);
  std::string line;
  EXPECT_EQ(engine.ReadUntil("\r", line, 2), 0);
  EXPECT_EQ(line, flood + "\r");

  ASSERT_TRUE(pty.Write(flood));
  AwaitWaiting(1500);
  engine.FlushInput();
  EXPECT_EQ(engine.BytesWaiting(), 0);
  std::string text = "kept";
  engine.ReadAvailable(0, text);  // nothing waiting: Text stays as it was
  EXPECT_EQ(text, "kept");

  ASSERT_TRUE(pty.Write("ab\0cd"s));
  AwaitWaiting(5);
  engine.ReadAvailable(0, text);  // a NUL ends the text
  EXPECT_EQ(text, "ab");
}

TEST_F(TapPortIoTest, SendsGoOutAndALeadingNulIsDropped) {
  EXPECT_TRUE(engine.SendString("\0ID="s));
  EXPECT_EQ(pty.Read(3, 30000), "ID=");
  EXPECT_FALSE(engine.SendText(""));
}

TEST_F(TapPortIoTest, ReadAndWriteFailuresCarryTheirTexts) {
  engine.SetTimeout(1);
  ASSERT_TRUE(pty.Write("ab"));
  AwaitWaiting(2);
  std::string text;
  EXPECT_EQ(ThrownText([&] { engine.ReadAvailable(5, text); }), "Timeout during read operation.");

  // Nobody reads the other end: the write cannot finish.
  const std::string big(1 << 20, 'x');
  EXPECT_EQ(ThrownText([&] { engine.WriteComm(big.data(), static_cast<int32_t>(big.size())); }),
            "Timeout during write operation.");
  EXPECT_FALSE(engine.SendText(big));

  pty.CloseMaster();
  EXPECT_EQ(ThrownText([&] { engine.WriteComm("abc", 3); }), "Error to writing to com port.");
  EXPECT_EQ(ThrownText([&] { engine.ReadAvailable(3, text); }), "Error reading from com port.");
  // A device that failed ends the call, as a lost carrier does.
  EXPECT_FALSE(engine.FCommAttached);
  EXPECT_FALSE(engine.SendString("abc"));
  // The timed reads end at once on a failing port.
  EXPECT_EQ(engine.ReadUntil("\r", text, 1), -1);
}

TEST_F(TapPortIoTest, NothingAttachedMeansNoInputAndNoOutput) {
  engine.CloseLine();
  EXPECT_FALSE(engine.FCommAttached);
  EXPECT_FALSE(engine.CommHandleHeld());
  // In virtual time that moves whenever the thread waits: the reads end
  // without waiting at all, not even their first delay.
  auto clock = std::make_shared<platform::ManualClock>(true);
  platform::ScopedClock virtual_time(clock);
  std::string line = "old";
  EXPECT_EQ(engine.ReadUntil("\r", line, 5), -1);
  EXPECT_EQ(line, "");
  std::string text = "old";
  engine.ReadBlock(5, text);
  EXPECT_EQ(text, "old");
  EXPECT_EQ(clock->NowMs(), 0);
  char buffer[4];
  EXPECT_EQ(engine.ReadComm(buffer, 4), 0);
  EXPECT_FALSE(engine.WriteComm("abc", 3));
  EXPECT_FALSE(engine.SendString("abc"));
  engine.FlushInput();
}

// A modem on the far end answering each command line from a table; a
// command it does not know gets no answer.
class ScriptedModem {
 public:
  ScriptedModem(PseudoTerminal& pty, std::map<std::string, std::string> answers)
      : thread_([this, &pty, answers = std::move(answers)] {
          std::string line;
          while (!stop_) {
            line += pty.Read(64, 5);
            for (size_t end; (end = line.find("\r\n")) != std::string::npos; line.erase(0, end + 2)) {
              const auto it = answers.find(line.substr(0, end));
              if (it != answers.end()) pty.Write(it->second);
            }
          }
        }) {}
  ~ScriptedModem() {
    stop_ = true;
    thread_.join();
  }

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(TapPortIoTest, DirectAccessScriptRunsUntilTheModemConnects) {
  engine.SetDirectAccessLogFile((root / "script.log").string());
  engine.SetDirectAccessScript({"ATZ", "ATDT5551234", "ATNEVER"});
  engine.SetTimeout(3000);  // half a minute of real time for each answer
  ScriptedModem modem(pty, {{"ATZ", "ATZ\r\nOK\r\n"}, {"ATDT5551234", "\r\nCONNECT 9600\r\n"}});
  engine.RunDirectAccessScript();  // CONNECT ends it, whatever lines follow
  EXPECT_EQ(engine.ScriptError(), "");
  const std::string log = root.Read("script.log");
  for (const char* line : {" - TAPILine logfile: : ", " - Write (send command to modem): ATZ\r\n\r\n",
                           " - Command complete (OK received)\r\n", " - Read (command in process): \r\nCONNECT",
                           " - Connected! (conection esteblished)\r\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " missing from\n" << log;
  }
  EXPECT_EQ(log.find("ATNEVER"), std::string::npos);
}

TEST_F(TapPortIoTest, DirectAccessScriptFailsOnABadAnswerOrNone) {
  engine.SetTimeout(3000);  // half a minute of real time for each answer
  engine.SetDirectAccessScript({"ATZ", "ATDT1"});
  {
    ScriptedModem modem(pty, {{"ATZ", "OK\r\n"}, {"ATDT1", "NO DIALTONE\r\n"}});
    EXPECT_EQ(ThrownText([&] { engine.RunDirectAccessScript(); }),
              "TAPILine: Device direct access script error: \"ATDT1\".\r\nNO DIALTONE\r\n");
    EXPECT_EQ(engine.ScriptError(), "TAPILine: Device direct access script error: \"ATDT1\".\r\nNO DIALTONE\r\n");
  }
  // A modem that never answers is given Timeout seconds per command.
  engine.SetTimeout(5);
  engine.SetDirectAccessScript({"ATSILENT"});
  const auto start = Steady::now();
  EXPECT_EQ(ThrownText([&] { engine.RunDirectAccessScript(); }),
            "TAPILine: Device direct access script error: \"ATSILENT\".\r\n");
  EXPECT_LT(Steady::now() - start, std::chrono::seconds(10));

  engine.SetDevIdToInitialize(TKYRTap::kNoDevice);
  EXPECT_EQ(ThrownText([&] { engine.RunDirectAccessScript(); }), "TAPILine: You must select TAPI compatible line");
}

TEST(TapDirectPortSettings, FollowTheComPortProperties) {
  TKYRTap engine;
  engine.SetComPortSpeed(brt9600);
  engine.SetComPortDataBits(dbt8BITS);
  engine.SetComPortParity(pttNONE);
  engine.SetComPortStopBits(sbt1BITS);
  engine.SetComPortSwHandshaking(shtXONXOFF);
  const platform::SerialSettings s = engine.DirectPortSettings();
  EXPECT_EQ(s.baud, 9600u);
  EXPECT_EQ(s.data_bits, 8);
  EXPECT_EQ(s.parity, platform::SerialParity::kNone);
  EXPECT_EQ(s.stop_bits, platform::SerialStopBits::kOne);
  EXPECT_TRUE(s.rts_cts);  // the default hardware handshake stays
  EXPECT_TRUE(s.xon_xoff);
}

}  // namespace
}  // namespace vltg
