// The modem simulator and its command-line front end, which the end-to-end
// tests and the demo stand on.
#include "tests/support/modem_simulator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "platform/serial/serial_port.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"
#include "tests/support/caller_script.h"
#include "tests/support/pump_until.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::testing {
namespace {

using namespace vltg::platform;

// The line's side of the simulated modem.
class Line {
 public:
  explicit Line(const std::string& path) {
    EXPECT_TRUE(port_.Open(path));
    EXPECT_TRUE(port_.Apply(SerialSettings{}));
  }
  void Send(const std::string& text) { EXPECT_EQ(port_.Write(text.data(), text.size()), text.size()); }
  // Reads until `text` has come (or the real time allowed for an event has
  // passed), returning everything read.
  std::string ReadUntil(const std::string& text) {
    std::string got;
    char buffer[256];
    vltg::test::PollUntil([&] {
      const long n = port_.Read(buffer, sizeof buffer, 5);
      if (n > 0) got.append(buffer, static_cast<size_t>(n));
      return got.find(text) != std::string::npos;
    });
    return got;
  }

 private:
  SerialPort port_;
};

TEST(ModemSimulator, AnswersCommandsRingsConnectsAndEscapes) {
  ScopedClock clock{std::make_shared<ScaledClock>(20)};
  ModemSimulator modem;
  modem.SetRingInterval(600000);  // one RING per call while the test runs
  Line line(modem.LinePath());
  line.Send("ATZ\r");
  EXPECT_EQ(line.ReadUntil("OK\r\n"), "ATZ\r\r\nOK\r\n");  // echo until E0
  line.Send("noise ATE0 V1 S0=0&C1&D2&K3\r");  // echoed still, as it arrives
  EXPECT_EQ(line.ReadUntil("OK\r\n"), "noise ATE0 V1 S0=0&C1&D2&K3\r\r\nOK\r\n");
  line.Send("ATJ\r");
  EXPECT_EQ(line.ReadUntil("ERROR\r\n"), "\r\nERROR\r\n");
  line.Send("ATA\r");
  EXPECT_EQ(line.ReadUntil("NO CARRIER\r\n"), "\r\nNO CARRIER\r\n");

  modem.Call(3);
  EXPECT_EQ(line.ReadUntil("RING\r\n"), "\r\nRING\r\n");
  EXPECT_TRUE(modem.Calling());
  line.Send("ATA\r");
  EXPECT_EQ(line.ReadUntil("9600\r\n"), "\r\nCONNECT 9600\r\n");
  EXPECT_TRUE(modem.Connected());
  EXPECT_FALSE(modem.Calling());
  EXPECT_EQ(modem.Answers(), 1);

  line.Send("ATH\r+a+");  // data now, not commands
  EXPECT_TRUE(modem.SendFromCaller("from the caller"));
  EXPECT_EQ(line.ReadUntil("caller"), "from the caller");
  std::string taken;
  EXPECT_TRUE(vltg::test::PollUntil([&] { return (taken += modem.TakeFromLine()) == "ATH\r+a+"; }));

  // "+++" after a guard silence, then silence: OK, and the call is still up.
  modem.WaitUntil([] { return false; }, 600);
  line.Send("+++");
  EXPECT_EQ(line.ReadUntil("OK\r\n"), "\r\nOK\r\n");
  EXPECT_TRUE(modem.Connected());
  line.Send("ATO\r");
  EXPECT_EQ(line.ReadUntil("9600\r\n"), "\r\nCONNECT 9600\r\n");
  modem.WaitUntil([] { return false; }, 600);
  line.Send("+++");
  line.ReadUntil("OK\r\n");
  line.Send("ATH0\r");
  EXPECT_EQ(line.ReadUntil("OK\r\n"), "\r\nOK\r\n");
  EXPECT_FALSE(modem.Connected());
  EXPECT_EQ(modem.Commands().back(), "ATH0");

  // The caller hangs up on a call in progress.
  modem.Call(1);
  line.ReadUntil("RING\r\n");
  line.Send("ATA\r");
  line.ReadUntil("9600\r\n");
  modem.HangUp();
  EXPECT_EQ(line.ReadUntil("NO CARRIER\r\n"), "\r\nNO CARRIER\r\n");
  EXPECT_FALSE(modem.SendFromCaller("late"));
}

TEST(CallerScript, ReadsStepsAndBuildsTapBlocks) {
  EXPECT_EQ(TapBlock("123", "ABC"), "\x02" "123\rABC\r\x03" "17;\r");
  const auto script = CallerScript::Parse(
      "# a caller\n"
      "send \"\\r\"\n"
      "expect ID= 5\r\n"
      "\n"
      "block 1234 \"hello world\"\n"
      "send \"\\e\\x04\\\\ \\\"q\\\"\"\n"
      "wait 250\n"
      "hangup\n");
  ASSERT_EQ(script.Steps().size(), 6u);
  EXPECT_EQ(script.Steps()[0].text, "\r");
  EXPECT_EQ(script.Steps()[1].kind, CallerScript::Step::kExpect);
  EXPECT_EQ(script.Steps()[1].ms, 5000);
  EXPECT_EQ(script.Steps()[2].text, TapBlock("1234", "hello world"));
  EXPECT_EQ(script.Steps()[3].text, "\x1b\x04\\ \"q\"");
  EXPECT_EQ(script.Steps()[4].ms, 250);
  EXPECT_EQ(script.Steps()[5].line, 8);
  EXPECT_EQ(ShowBytes("\x02" "a\r\n\x7f"), "<STX>a\\r\\n\\x7F");

  for (const char* bad : {"send", "send \"open", "send \\q", "expect", "expect x soon", "wait -1", "dial 123"}) {
    EXPECT_THROW(CallerScript::Parse(bad), std::runtime_error) << bad;
  }
}

// The front end plays a script against a line answered through the line
// functions, in real time, as a demo runs it.
TEST(ModemSimTool, RingsAndPlaysTheCallersScript) {
  TempDir root;
  ScopedEnv env("VLTG_ROOT", root.Path().string());
  root.Write("telephony.ini", "[Simulated]\nDevice=COM3\n");
  root.Write("caller.txt",
             "expect ID= 5\n"
             "block 1234 \"hello\"\n"
             "expect \\x04 5\n"
             "wait 10000\n");
  const std::string command = std::string(VLTG_BINARY_DIR) + "/tests/modem-sim --com 3 --rings 3 --wait 20" +
                              " --settle 300 --script " + (root / "caller.txt").string() + " 2>&1";
  FILE* tool = popen(command.c_str(), "r");
  ASSERT_NE(tool, nullptr);

  for (int i = 0; i < 500 && !std::filesystem::exists(root / "devices" / "com3"); ++i) SleepPumping(10);
  HLINEAPP app = 0;
  uint32_t devices = 0;
  std::vector<std::pair<uint32_t, uint32_t>> notes;  // message, first parameter
  HCALL call = 0;
  ASSERT_EQ(lineInitialize(
                &app,
                [&](uint32_t device, uint32_t message, uint32_t, uint32_t param1, uint32_t, uint32_t) {
                  if (message == LINE_CALLSTATE && param1 == LINECALLSTATE_OFFERING) call = device;
                  notes.emplace_back(message, param1);
                },
                "tool test", &devices),
            0);
  HLINE line = 0;
  ASSERT_EQ(lineOpen(app, 0, &line, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
  auto pump_for = [&](uint32_t message, uint32_t param1) {
    for (int i = 0; i < 2000; ++i) {
      for (const auto& note : notes) {
        if (note == std::make_pair(message, param1)) return true;
      }
      SleepPumping(5);
    }
    return false;
  };
  ASSERT_TRUE(pump_for(LINE_CALLSTATE, LINECALLSTATE_OFFERING));
  ASSERT_GT(lineAnswer(call), 0);
  ASSERT_TRUE(pump_for(LINE_CALLSTATE, LINECALLSTATE_CONNECTED));
  VARSTRING id;
  id.dwTotalSize = 1026;
  ASSERT_EQ(lineGetID(line, 0, call, LINECALLSELECT_CALL, &id, "comm/datamodem"), 0);
  SerialPort port;
  ASSERT_TRUE(port.Adopt(static_cast<uint8_t>(id.String[0]) | static_cast<uint8_t>(id.String[1]) << 8));
  port.Write("ID=", 3);
  std::string block;
  char buffer[64];
  for (int i = 0; i < 100 && block.find('\x03') == std::string::npos; ++i) {
    const long n = port.Read(buffer, sizeof buffer, 50);
    if (n > 0) block.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(block, TapBlock("1234", "hello"));
  port.Write("\x06\r\x1b\x04\r", 5);
  port.Close();
  ASSERT_GT(lineDrop(call), 0);
  ASSERT_TRUE(pump_for(LINE_CALLSTATE, LINECALLSTATE_IDLE));

  std::string output;
  while (fgets(buffer, sizeof buffer, tool)) output += buffer;
  EXPECT_EQ(pclose(tool), 0) << output;
  EXPECT_NE(output.find("call 1: answered after 1 rings"), std::string::npos) << output;
  EXPECT_NE(output.find("< ID="), std::string::npos) << output;
  EXPECT_NE(output.find("> <STX>1234\\rhello\\r<ETX>"), std::string::npos) << output;
  EXPECT_NE(output.find("<ACK>\\r<ESC><EOT>\\r"), std::string::npos) << output;
  lineShutdown(app);
}

}  // namespace
}  // namespace vltg::testing
