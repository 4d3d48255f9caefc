#include "platform/telephony/line_api.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "platform/serial/serial_port.h"
#include "platform/telephony/tapi_constants.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/pump_until.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::platform {
namespace {

using testing::ModemSimulator;
using test::PollUntil;
using test::PumpUntil;

struct Note {
  uint32_t device, message, instance, param1, param2, param3;
  std::thread::id thread;
};

// Everything a line application is told, as it arrives.
class LineApp {
 public:
  LineApp() {
    EXPECT_EQ(lineInitialize(
                  &app,
                  [this](uint32_t d, uint32_t m, uint32_t i, uint32_t p1, uint32_t p2, uint32_t p3) {
                    notes.push_back({d, m, i, p1, p2, p3, std::this_thread::get_id()});
                  },
                  "line test", &devices),
              0);
  }
  ~LineApp() { lineShutdown(app); }

  // Pumps until a notification satisfies `match` (true) or the real time
  // allowed for an event runs out.
  bool PumpFor(const std::function<bool(const Note&)>& match) {
    return PumpUntil([&] {
      for (; seen < notes.size(); ++seen) {
        if (match(notes[seen])) {
          ++seen;
          return true;
        }
      }
      return false;
    });
  }
  bool PumpForCallState(uint32_t state) {
    return PumpFor([state](const Note& n) { return n.message == LINE_CALLSTATE && n.param1 == state; });
  }

  HLINEAPP app = 0;
  uint32_t devices = 0;
  std::vector<Note> notes;
  size_t seen = 0;
};

class LineApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::LinkComPort(1, modem.LinePath());
    WriteLines("[Modem A]\r\nDevice=COM1\r\nInitCommand=AT&K3\r\n"
               "[Broken]\r\nDevice=COM7\r\nSpeed=12345\r\n"
               "[Gone]\r\nDevice=/nonexistent/tty\r\n");
  }
  void WriteLines(const std::string& ini) { root.Write("telephony.ini", ini); }

  HLINE OpenOwner(LineApp& app) {
    HLINE line = 0;
    EXPECT_EQ(lineOpen(app.app, 0, &line, TAPI_VERSION_1_4, 0, 77,
                       LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_DATAMODEM),
              0);
    EXPECT_EQ(lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0), 0);
    return line;
  }
  // Rings until the call is offered; returns the call.
  HCALL Offered(LineApp& app) {
    modem.Call();
    EXPECT_TRUE(app.PumpForCallState(LINECALLSTATE_OFFERING));
    return app.notes[app.seen - 1].device;
  }

  // Five times real time: the modem's and the line's time-outs (seconds of
  // the clock) still leave the simulated modem's thread a real half second
  // and more to answer.
  ScopedClock clock{std::make_shared<ScaledClock>(5)};
  testing::TempDir root;
  testing::ScopedEnv env{"VLTG_ROOT", root.Path().string()};
  ModemSimulator modem;
};

TEST_F(LineApiTest, ListsTheLinesWithVersionsAndCapabilities) {
  LineApp app;
  EXPECT_EQ(app.devices, 3u);
  uint32_t version = 0;
  LINEEXTENSIONID extension{1, 2, 3, 4};
  EXPECT_EQ(lineNegotiateAPIVersion(app.app, 0, 0x00010004, 0x00010004, &version, &extension), 0);
  EXPECT_EQ(version, 0x00010004u);
  EXPECT_EQ(extension.dwExtensionID0, 0u);
  EXPECT_EQ(lineNegotiateAPIVersion(app.app, 0, 0x00010003, 0x00030000, &version), 0);
  EXPECT_EQ(version, 0x00020000u);
  EXPECT_EQ(lineNegotiateAPIVersion(app.app, 0, 0x00020001, 0x00030000, &version), LINEERR_INCOMPATIBLEAPIVERSION);
  EXPECT_EQ(lineNegotiateAPIVersion(app.app, 0, 0x00010000, 0x00010003, &version), LINEERR_INCOMPATIBLEAPIVERSION);
  EXPECT_EQ(lineNegotiateAPIVersion(app.app, 3, 0x00010004, 0x00020000, &version), LINEERR_BADDEVICEID);
  EXPECT_EQ(lineNegotiateAPIVersion(app.app + 1000, 0, 0x00010004, 0x00020000, &version),
            LINEERR_INVALAPPHANDLE);

  LINEDEVCAPS caps;
  ASSERT_EQ(lineGetDevCaps(app.app, 0, 0x00010004, 0, &caps), 0);
  EXPECT_EQ(caps.LineName, std::string("Modem A\0", 8));
  EXPECT_EQ(caps.dwStringFormat, STRINGFORMAT_ASCII);
  EXPECT_TRUE(caps.dwBearerModes & LINEBEARERMODE_VOICE);
  EXPECT_TRUE(caps.dwMediaModes & LINEMEDIAMODE_DATAMODEM);
  EXPECT_TRUE(caps.dwLineFeatures & LINEFEATURE_MAKECALL);
  EXPECT_EQ(caps.dwMaxRate, 9600u);
  ASSERT_EQ(lineGetDevCaps(app.app, 1, 0x00020000, 0, &caps), 0);  // listed, though unusable
  EXPECT_EQ(caps.LineName, std::string("Broken\0", 7));
  EXPECT_EQ(lineGetDevCaps(app.app, 0, 0x00030000, 0, &caps), LINEERR_INCOMPATIBLEAPIVERSION);
  EXPECT_EQ(lineGetDevCaps(app.app, 0, 0x00010004, 1, &caps), LINEERR_INCOMPATIBLEEXTVERSION);

  // The list is read again once nothing uses it.
  WriteLines("[Only]\r\nDevice=COM1\r\n");
  LineApp second;
  EXPECT_EQ(second.devices, 3u);
  lineShutdown(app.app);
  app.app = 0;
  lineShutdown(second.app);
  second.app = 0;
  LineApp third;
  EXPECT_EQ(third.devices, 1u);
}

TEST_F(LineApiTest, AnswersACallCarriesItsBytesAndDropsIt) {
  LineApp app;
  const HLINE line = OpenOwner(app);
  const auto commands = modem.Commands();
  EXPECT_EQ(commands, (std::vector<std::string>{"ATZ", "ATE0V1Q0S0=0&C1&D2", "AT&K3"}));

  const HCALL call = Offered(app);
  const Note offer = app.notes[app.seen - 1];
  EXPECT_EQ(offer.instance, 77u);
  EXPECT_EQ(offer.param3, LINECALLPRIVILEGE_OWNER);
  EXPECT_EQ(offer.thread, std::this_thread::get_id());
  ASSERT_TRUE(app.PumpFor([&](const Note& n) {
    return n.message == LINE_LINEDEVSTATE && n.device == line && n.param1 == LINEDEVSTATE_RINGING;
  }));
  LINEADDRESSSTATUS status;
  ASSERT_EQ(lineGetAddressStatus(line, 0, &status), 0);
  EXPECT_EQ(status.dwAddressFeatures & LINEADDRFEATURE_MAKECALL, 0u);

  VARSTRING id;
  id.dwTotalSize = 1026;
  EXPECT_EQ(lineGetID(line, 0, call, LINECALLSELECT_CALL, &id, "comm/datamodem"), LINEERR_INVALCALLSTATE);
  const int32_t answer = lineAnswer(call);
  ASSERT_GT(answer, 0);
  ASSERT_TRUE(app.PumpFor([&](const Note& n) {
    return n.message == LINE_REPLY && n.param1 == static_cast<uint32_t>(answer) && n.param2 == 0;
  }));
  ASSERT_TRUE(app.PumpForCallState(LINECALLSTATE_CONNECTED));
  EXPECT_EQ(lineAnswer(call), LINEERR_INVALCALLSTATE);

  EXPECT_EQ(lineGetID(line, 0, call, LINECALLSELECT_CALL, &id, "tapi/line"), LINEERR_INVALDEVICECLASS);
  ASSERT_EQ(lineGetID(line, 0, call, LINECALLSELECT_CALL, &id, "comm/datamodem"), 0);
  EXPECT_EQ(id.dwStringFormat, STRINGFORMAT_BINARY);
  ASSERT_GE(id.String.size(), 5u);
  const int fd = static_cast<uint8_t>(id.String[0]) | static_cast<uint8_t>(id.String[1]) << 8;
  EXPECT_EQ(id.String.substr(4), (root / "devices" / "com1").string() + std::string(1, '\0'));
  SerialPort port;
  ASSERT_TRUE(port.Adopt(fd));
  ASSERT_EQ(port.Write("page me", 7), 7u);
  std::string taken;
  ASSERT_TRUE(PollUntil([&] { return (taken += modem.TakeFromLine()) == "page me"; }));
  ASSERT_TRUE(modem.SendFromCaller("\r\x1bPG1\r"));
  char buffer[16] = {};
  EXPECT_EQ(port.Read(buffer, 6, 30000), 6);
  EXPECT_EQ(std::string(buffer, 6), "\r\x1bPG1\r");

  EXPECT_EQ(lineDeallocateCall(call), LINEERR_INVALCALLSTATE);
  const int32_t drop = lineDrop(call), again = lineDrop(call);  // both replied to
  ASSERT_GT(drop, 0);
  EXPECT_EQ(again, drop + 1);
  ASSERT_TRUE(app.PumpForCallState(LINECALLSTATE_IDLE));
  for (int32_t request : {drop, again}) {
    ASSERT_TRUE(app.PumpFor([&](const Note& n) {
      return n.message == LINE_REPLY && n.param1 == static_cast<uint32_t>(request) && n.param2 == 0;
    }));
  }
  EXPECT_FALSE(modem.Connected());
  const auto after = modem.Commands();
  ASSERT_GE(after.size(), commands.size() + 2);
  EXPECT_EQ(after[commands.size()], "ATA");
  EXPECT_EQ(after[commands.size() + 1], "ATH0");
  EXPECT_EQ(after.back(), "AT&K3");  // initialised again
  EXPECT_EQ(lineDrop(call), LINEERR_INVALCALLSTATE);
  EXPECT_EQ(lineDeallocateCall(call), 0);
  EXPECT_EQ(lineDeallocateCall(call), LINEERR_INVALCALLHANDLE);

  // The line answers the next call too.
  const HCALL next = Offered(app);
  EXPECT_NE(next, call);
  ASSERT_GT(lineAnswer(next), 0);
  ASSERT_TRUE(app.PumpForCallState(LINECALLSTATE_CONNECTED));
  EXPECT_EQ(lineClose(line), 0);  // hangs the call up on the way
  EXPECT_FALSE(modem.Connected());
  EXPECT_EQ(lineClose(line), LINEERR_INVALLINEHANDLE);
}

TEST_F(LineApiTest, ALineHasOneOpenerAtATime) {
  LineApp app, other;
  HLINE trial = 0, second = 0;
  ASSERT_EQ(lineOpen(app.app, 0, &trial, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_NONE, LINEMEDIAMODE_DATAMODEM), 0);
  EXPECT_TRUE(modem.Commands().empty());  // holding a line does not start its modem
  LINEADDRESSSTATUS status;
  ASSERT_EQ(lineGetAddressStatus(trial, 0, &status), 0);
  EXPECT_EQ(status.dwAddressFeatures, LINEADDRFEATURE_MAKECALL);
  EXPECT_EQ(lineGetAddressStatus(trial, 1, &status), LINEERR_INVALADDRESSID);
  EXPECT_EQ(lineOpen(other.app, 0, &second, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_NONE, 0), LINEERR_ALLOCATED);
  EXPECT_EQ(lineClose(trial), 0);

  {
    SerialPort outsider;  // another program holds the device
    ASSERT_TRUE(outsider.Open("COM1"));
    EXPECT_EQ(lineOpen(other.app, 0, &second, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_NONE, 0), LINEERR_ALLOCATED);
  }
  EXPECT_EQ(lineOpen(other.app, 1, &second, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_NONE, 0), LINEERR_INIFILECORRUPT);
  EXPECT_EQ(lineOpen(other.app, 2, &second, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_NONE, 0), LINEERR_NODEVICE);
  EXPECT_EQ(lineOpen(other.app, 0, &second, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_OWNER, 0),
            LINEERR_INVALMEDIAMODE);
  EXPECT_EQ(lineOpen(other.app, 0, &second, TAPI_VERSION_1_4, 0, 0, 0x9, LINEMEDIAMODE_DATAMODEM),
            LINEERR_INVALPRIVSELECT);
  const HLINE owner = OpenOwner(other);
  EXPECT_EQ(lineClose(owner), 0);
}

TEST_F(LineApiTest, NotificationsWaitForTheInitialisingThreadToPump) {
  LineApp app;
  OpenOwner(app);
  modem.Call(1);
  // Another thread's notice of the ring does not reach this one until it pumps.
  ASSERT_TRUE(PollUntil([&] { return modem.Rings() == 1; }));
  modem.WaitUntil([] { return false; }, 1000);
  EXPECT_TRUE(app.notes.empty());
  ASSERT_TRUE(app.PumpFor([](const Note& n) { return n.message == LINE_LINEDEVSTATE; }));
  ASSERT_GE(app.notes.size(), 2u);  // the end of the unanswered call may follow
  EXPECT_EQ(app.notes[0].message, LINE_CALLSTATE);
  EXPECT_EQ(app.notes[1].message, LINE_LINEDEVSTATE);

  EXPECT_EQ(lineShutdown(app.app), 0);
  EXPECT_EQ(lineShutdown(app.app), LINEERR_INVALAPPHANDLE);
  app.app = 0;

  // A callback that pumps receives the next notification inside itself.
  std::vector<uint32_t> order;
  int depth = 0;
  HLINEAPP reentrant = 0;
  uint32_t count = 0;
  ASSERT_EQ(lineInitialize(
                &reentrant,
                [&](uint32_t, uint32_t message, uint32_t, uint32_t, uint32_t, uint32_t) {
                  order.push_back(message * 10 + static_cast<uint32_t>(depth));
                  ++depth;
                  if (message == LINE_CALLSTATE && order.size() == 1) PumpUntil([&] { return order.size() >= 2; });
                  --depth;
                },
                "reentrant", &count),
            0);
  HLINE line = 0;
  ASSERT_EQ(lineOpen(reentrant, 0, &line, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM),
            0);
  lineSetStatusMessages(line, LINEDEVSTATE_RINGING, 0);
  modem.Call(1);
  ASSERT_TRUE(PollUntil([&] { return modem.Rings() == 2; }));
  ASSERT_TRUE(PumpUntil([&] { return order.size() >= 2; }));
  EXPECT_EQ(std::vector<uint32_t>(order.begin(), order.begin() + 2),
            (std::vector<uint32_t>{LINE_CALLSTATE * 10, LINE_LINEDEVSTATE * 10 + 1}));
  EXPECT_EQ(lineShutdown(reentrant), 0);
}

TEST_F(LineApiTest, RingingThatStopsEndsTheCallAndClosePurgesWhatIsQueued) {
  LineApp app;
  HLINE line = OpenOwner(app);
  modem.SetRingInterval(2000);
  modem.Call(2);
  ASSERT_TRUE(app.PumpForCallState(LINECALLSTATE_DISCONNECTED));
  EXPECT_EQ(app.notes[app.seen - 1].param2, LINEDISCONNECTMODE_NORMAL);
  ASSERT_TRUE(app.PumpForCallState(LINECALLSTATE_IDLE));
  const HCALL gone = app.notes[app.seen - 1].device;

  // The same again without pumping: offer, rings, DISCONNECTED and IDLE are
  // queued when the line is closed, and none of them is delivered afterwards.
  modem.Call(1);
  ASSERT_TRUE(PollUntil([&] { return !modem.Calling(); }));
  modem.WaitUntil([] { return false; }, 12000);  // past the ring gap
  EXPECT_EQ(lineClose(line), 0);
  const size_t before = app.notes.size();
  SleepPumping(500);
  EXPECT_EQ(app.notes.size(), before);
  EXPECT_EQ(lineDeallocateCall(gone), LINEERR_INVALCALLHANDLE);  // freed with its line

  // Freeing a call takes its own queued notifications with it.
  line = OpenOwner(app);
  const HCALL call = Offered(app);
  ASSERT_GT(lineDrop(call), 0);
  ASSERT_TRUE(PollUntil([&] { return lineDeallocateCall(call) == 0; }));  // IDLE still queued
  ASSERT_TRUE(app.PumpFor([](const Note& n) { return n.message == LINE_REPLY; }));
  SleepPumping(100);
  for (size_t i = app.seen - 1; i < app.notes.size(); ++i) EXPECT_NE(app.notes[i].device, call);
  EXPECT_EQ(lineClose(line), 0);
}

// A caller rings again just as the line closes after dropping a call: its
// first RING comes with the modem's last OK. The close turns it away instead
// of waiting for as long as the caller rings.
TEST_F(LineApiTest, ACallerRingingAsTheLineClosesDoesNotHoldTheClose) {
  testing::PseudoTerminal pty;  // the modem, played here
  WriteLines("[Fake]\r\nDevice=" + pty.SlavePath() + "\r\n");
  std::atomic<bool> stop{false};
  std::thread modem_side([&] {
    std::string heard;
    bool hung_up = false;
    int rings_left = 0;
    while (!stop) {
      heard += pty.Read(256, 10);
      if (rings_left > 0) {
        --rings_left;
        pty.Write("\r\nRING\r\n");
      }
      std::string command;
      if (heard.starts_with("+++")) {
        command = "+++";
        heard.erase(0, 3);
      } else if (const size_t cr = heard.find('\r'); cr != std::string::npos) {
        command = heard.substr(0, cr);
        heard.erase(0, cr + 1);
      } else {
        continue;
      }
      if (command == "ATA") {
        pty.Write("\r\nCONNECT 9600\r\n");
      } else if (hung_up && command.starts_with("ATE0")) {
        pty.Write("\r\nOK\r\n\r\nRING\r\n");  // the restore's last command, and the caller
        rings_left = 300;                          // then rings every 10 ms
      } else {
        hung_up = hung_up || command == "ATH0";
        pty.Write("\r\nOK\r\n");
      }
    }
  });
  LineApp app;
  HLINE line = 0;
  ASSERT_EQ(lineOpen(app.app, 0, &line, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM), 0);
  pty.Write("\r\nRING\r\n");
  ASSERT_TRUE(app.PumpForCallState(LINECALLSTATE_OFFERING));
  const HCALL call = app.notes[app.seen - 1].device;
  ASSERT_GT(lineAnswer(call), 0);
  ASSERT_TRUE(app.PumpForCallState(LINECALLSTATE_CONNECTED));
  ASSERT_GT(lineDrop(call), 0);
  const int64_t start = NowMs();
  EXPECT_EQ(lineClose(line), 0);
  EXPECT_LT(NowMs() - start, 10000);  // the hang-up and the restore, not the caller's rings
  stop = true;
  modem_side.join();
}

TEST_F(LineApiTest, LineCloseWhenTheDeviceGoesAway) {
  LineApp app;
  const HLINE line = OpenOwner(app);
  const HCALL call = Offered(app);
  modem.Unplug();
  ASSERT_TRUE(app.PumpFor([&](const Note& n) { return n.message == LINE_CLOSE && n.device == line; }));
  EXPECT_EQ(lineAnswer(call), LINEERR_INVALCALLHANDLE);
  EXPECT_EQ(lineSetNumRings(line, 0, 3), LINEERR_INVALLINEHANDLE);
  EXPECT_EQ(lineClose(line), 0);
  HLINE again = 0;
  EXPECT_EQ(lineOpen(app.app, 0, &again, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_NONE, 0), LINEERR_NODEVICE);
}

TEST_F(LineApiTest, AModemThatDoesNotAnswerFailsTheOpen) {
  testing::PseudoTerminal silent;
  WriteLines("[Silent]\r\nDevice=" + silent.SlavePath() + "\r\n");
  LineApp app;
  HLINE line = 0;
  EXPECT_EQ(lineOpen(app.app, 0, &line, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_OWNER, LINEMEDIAMODE_DATAMODEM),
            LINEERR_OPERATIONFAILED);
  EXPECT_EQ(silent.Read(100, 50), "ATZ\r");
  // The device was given back.
  EXPECT_EQ(lineOpen(app.app, 0, &line, TAPI_VERSION_1_4, 0, 0, LINECALLPRIVILEGE_NONE, 0), 0);
}

TEST_F(LineApiTest, DeviceConfigurationGetSetAndDialog) {
  VARSTRING small;
  ASSERT_EQ(lineGetDevConfig(0, &small, "comm/datamodem"), 0);  // no lineInitialize needed
  EXPECT_EQ(small.dwNeededSize, 24 + kDeviceConfigSize);
  EXPECT_EQ(small.dwStringSize, 0u);
  VARSTRING config;
  config.dwTotalSize = small.dwNeededSize;
  ASSERT_EQ(lineGetDevConfig(0, &config, "comm/datamodem"), 0);
  EXPECT_EQ(config.dwStringOffset, 24u);
  auto decoded = DecodeDeviceConfig(config.String);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->init_command, "AT&K3");
  EXPECT_EQ(lineGetDevConfig(0, &config, "comm/fax"), LINEERR_INVALDEVICECLASS);
  EXPECT_EQ(lineGetDevConfig(1, &config, "comm/datamodem"), LINEERR_INIFILECORRUPT);
  EXPECT_EQ(lineGetDevConfig(3, &config, "comm/datamodem"), LINEERR_BADDEVICEID);

  // A block from elsewhere is refused, ours is taken and used at the next open.
  const std::string foreign(80, '\x01');
  EXPECT_EQ(lineSetDevConfig(0, foreign.data(), 80, "comm/datamodem"), LINEERR_INVALPARAM);
  std::string truncated = config.String.substr(0, 40);
  EXPECT_EQ(lineSetDevConfig(0, truncated.data(), 40, "comm/datamodem"), LINEERR_INVALPARAM);
  decoded->init_command = "AT&K0";
  decoded->speed = 19200;
  const std::string block = EncodeDeviceConfig(*decoded);
  ASSERT_EQ(lineSetDevConfig(0, block.data(), static_cast<uint32_t>(block.size()), "comm/datamodem"), 0);
  ASSERT_EQ(lineGetDevConfig(0, &config, "comm/datamodem"), 0);
  EXPECT_EQ(config.String, block);
  {
    LineApp app;
    const HLINE line = OpenOwner(app);
    EXPECT_EQ(modem.Commands().back(), "AT&K0");
    lineClose(line);
  }

  VARSTRING out;
  out.dwTotalSize = 200;
  EXPECT_EQ(lineConfigDialogEdit(0, nullptr, "comm/datamodem", nullptr, 0, &out), LINEERR_OPERATIONUNAVAIL);
  std::string shown_for;
  SetDevConfigDialog([&](void*, const std::string& name, DeviceConfig& edited) {
    shown_for = name;
    if (edited.speed != 19200) return false;  // shown with the block given
    edited.speed = 2400;
    return true;
  });
  ASSERT_EQ(lineConfigDialogEdit(0, nullptr, "comm/datamodem", block.data(), 80, &out), 0);
  EXPECT_EQ(shown_for, "Modem A");
  ASSERT_TRUE(DecodeDeviceConfig(out.String));
  EXPECT_EQ(DecodeDeviceConfig(out.String)->speed, 2400u);
  ASSERT_EQ(lineGetDevConfig(0, &config, "comm/datamodem"), 0);
  EXPECT_EQ(config.String, block);  // the line's own configuration is unchanged
  decoded->speed = 9600;
  const std::string other = EncodeDeviceConfig(*decoded);
  EXPECT_EQ(lineConfigDialogEdit(0, nullptr, "comm/datamodem", other.data(), 80, &out), LINEERR_OPERATIONFAILED);
  EXPECT_EQ(lineConfigDialogEdit(0, nullptr, "comm/datamodem", foreign.data(), 80, &out), LINEERR_INVALPARAM);
  SetDevConfigDialog(nullptr);

  const std::string bytes = VarStringBytes(out);
  ASSERT_EQ(bytes.size(), 200u);
  EXPECT_EQ(bytes.substr(16, 4), std::string("\x50\0\0\0", 4));
  EXPECT_EQ(bytes.substr(24, 80), out.String);
}

}  // namespace
}  // namespace vltg::platform
