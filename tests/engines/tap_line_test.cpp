// The TAP engine on a telephony line: a simulated modem rings, the engine
// answers and runs the caller's TAP exchange; line set-up and notifications.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engines/inbound_line_check.h"
#include "engines/kyr_tap.h"
#include "engines/tap_chars.h"
#include "engines/tap_line_table.h"
#include "platform/base/exception.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "platform/telephony/device_config.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"
#include "tests/support/caller_script.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/pump_until.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thrown_text.h"

namespace vltg {
namespace {

using namespace tap;
using namespace std::string_literals;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using vltg::testing::ModemSimulator;
using vltg::test::PollUntil;
using vltg::test::PumpUntil;
using vltg::testing::TapBlock;
using vltg::test::ThrownText;

const std::string kGoAhead = ESC + "[p"s + CR;

// The caller behind the modem, on a thread of its own: everything the
// gateway sends must come byte for byte as expected.
class ExactCaller {
 public:
  explicit ExactCaller(ModemSimulator& modem) : modem_(modem) {}

  bool Connected() {
    return PollUntil([&] { return modem_.Connected(); }) || Failed("the call did not connect");
  }
  // CR until the gateway asks "ID=" (a CR that comes before its first flush
  // is lost, so the caller tries again as a real one would). The pause lets
  // the gateway flush first; the wait for ID= stays inside the gateway's
  // window for the CR, as a retry after a lost CR must.
  bool Greet() {
    for (int i = 0; i < 10; ++i) {
      modem_.WaitUntil([] { return false; }, 1000);
      modem_.SendFromCaller("\r");
      if (Receive(3, 5000)) return Check("ID=");
    }
    return Failed("no ID= prompt");
  }
  bool Send(const std::string& bytes) { return modem_.SendFromCaller(bytes) || Failed("the call is gone"); }
  // The next bytes from the gateway are exactly `text`.
  bool Expect(const std::string& text) {
    return (Receive(text.size(), 30000) || Failed("short of " + text)) && Check(text);
  }
  void HangUp() { modem_.HangUp(); }

  std::string failure;

 private:
  bool Receive(size_t count, int64_t clock_ms) {
    return modem_.WaitUntil(
        [&] {
          received_ += modem_.TakeFromLine();
          return received_.size() >= count;
        },
        clock_ms);
  }
  bool Check(const std::string& text) {
    if (received_.compare(0, text.size(), text) != 0) return Failed("expected " + text + ", got " + received_);
    received_.erase(0, text.size());
    return true;
  }
  bool Failed(const std::string& what) {
    if (failure.empty()) failure = what;
    return false;
  }

  ModemSimulator& modem_;
  std::string received_;
};

// Lets the tests switch answering on without opening a line, to feed the
// engine notifications of their own.
class ProbeTap : public TKYRTap {
 public:
  void SetAnswering(bool on) { FWaitForCall = on; }
};

class TapLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vltg::testing::LinkComPort(1, modem.LinePath());
    root.Write("telephony.ini", "[Modem A]\r\nDevice=COM1\r\n");
  }
  // Records what the owner of an engine sees.
  void Watch(TKYRTap& tap) {
    tap.SetShowErrorDialog(false);
    tap.OnCallOffering = [this](TKYRTap&) { events.push_back("Offering"); };
    tap.OnCallAnswering = [this](TKYRTap&) { events.push_back("Answering"); };
    tap.OnConnection = [this](TKYRTap&) { events.push_back("Connection"); };
    tap.OnDisconnect = [this](TKYRTap&) { events.push_back("Disconnect"); };
    tap.OnDropCall = [this](TKYRTap&) { events.push_back("DropCall"); };
    tap.OnOpen = [this](TKYRTap&) { events.push_back("Open"); };
    tap.OnClose = [this](TKYRTap&) { events.push_back("Close"); };
    tap.OnBusy = [this](TKYRTap&) { events.push_back("Busy"); };
    tap.OnUnexpectedClose = [this](TKYRTap&) { events.push_back("UnexpectedClose"); };
    tap.OnError = [this](TTapSession&, const std::string& text) { events.push_back("Error " + text); };
    tap.ErrorDialogSink = [this](TKYRTap&, const std::string& text) { events.push_back("Box " + text); };
  }
  int Count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }

  // Declared first: the modem's thread reads the clock until it has gone.
  // Five times real time: every time-out of the line, the modem and the TAP
  // dialogue still leaves the other side a real half second and more.
  platform::ScopedClock clock{std::make_shared<platform::ScaledClock>(5)};
  vltg::testing::TempDir root;
  vltg::testing::ScopedEnv env{"VLTG_ROOT", root.Path().string()};
  ModemSimulator modem;
  std::vector<std::string> events;
};

TEST_F(TapLineTest, AnswersOnTheSecondRingRunsTheDialogueAndRearmsForTheNextCall) {
  TKYRTap tap;
  Watch(tap);
  tap.SetLineInstance(4);
  tap.SetDevIdToInitialize(0);
  tap.InitializeLine();
  tap.SetRingsToAnswer(2);
  tap.SetTapPassword("secret");
  std::vector<std::string> pages;
  tap.OnMsgReceived = [&](TTapSession& sender, const std::string& pin, const std::string& msg, std::string&,
                          std::string&, std::string&, bool& submitted) {
    EXPECT_EQ(&sender, &tap);
    pages.push_back(pin + ":" + msg);
    submitted = pin == "1234";
  };
  // A ring reported after the answer must not answer the call again.
  int rings_before = 0;
  std::vector<int> answered_on_ring;
  tap.OnCallAnswering = [&](TKYRTap&) {
    events.push_back("Answering");
    answered_on_ring.push_back(modem.Rings() - rings_before);
    platform::CurrentThread().PostThreadMessage(1);
  };
  platform::SetThreadMessageHandler([&](uint32_t, uintptr_t, intptr_t) {
    tap.LineCallback(0, platform::LINE_LINEDEVSTATE, platform::LINEDEVSTATE_RINGING, 0);
  });

  tap.SetWaitForCall(true);
  ASSERT_TRUE(tap.LineOpen());
  ASSERT_EQ(Count("Open"), 1);

  struct Call {
    std::string pin, msg, answer;
    bool ends_with_eot;
  };
  const std::vector<Call> calls = {
      {"1234", "Hello", "Message Submitted For Processing"s + CR + ACK + CR, true},
      {"5678", "Refused", "Message Processing Error - Page Canceled!"s + CR + RS + CR, false},
  };
  for (size_t n = 0; n < calls.size(); ++n) {
    const Call& call = calls[n];
    rings_before = modem.Rings();
    ExactCaller caller(modem);
    std::atomic<bool> done{false};
    std::thread caller_thread([&] {
      (void)(caller.Connected() && caller.Greet() && caller.Send(ESC + "PG1secret"s + CR) &&
             caller.Expect("Processing - Please Wait"s + CR + ACK + CR) && caller.Expect(kGoAhead) &&
             caller.Send(TapBlock(call.pin, call.msg)) && caller.Expect(call.answer) &&
             caller.Expect(kGoAhead) &&
             (!call.ends_with_eot ||
              (caller.Send(EOT + "\r"s) && caller.Expect("Terminal Disconnect - Good Bye"s + CR + ESC + EOT))));
      caller.HangUp();
      done = true;
    });
    modem.Call();
    const bool rearmed = PumpUntil([&] { return done && Count("Open") == static_cast<int>(n) + 2; });
    caller_thread.join();
    EXPECT_EQ(caller.failure, "") << "call " << n + 1;
    ASSERT_TRUE(rearmed) << "call " << n + 1;
  }
  platform::SetThreadMessageHandler(nullptr);

  EXPECT_EQ(pages, (std::vector<std::string>{"1234:Hello", "5678:Refused"}));
  EXPECT_EQ(answered_on_ring, (std::vector<int>{2, 2}));
  EXPECT_EQ(modem.Answers(), 2);
  // Per call: offered, answered, the dialogue (which drops the call and opens
  // the line again) and only then OnConnection.
  const std::vector<std::string> one_call = {"Offering", "Answering", "DropCall", "Close", "Open", "Connection"};
  std::vector<std::string> expected = {"Open"};
  for (int i = 0; i < 2; ++i) expected.insert(expected.end(), one_call.begin(), one_call.end());
  EXPECT_EQ(events, expected);
  EXPECT_FALSE(tap.FCommAttached);
  EXPECT_FALSE(tap.CommHandleHeld());

  tap.SetWaitForCall(false);
  EXPECT_FALSE(tap.LineOpen());
}

TEST_F(TapLineTest, ACallerWhoGivesUpBeforeTheAnswerRearmsTheLine) {
  TKYRTap tap;
  Watch(tap);
  tap.SetDevIdToInitialize(0);
  tap.InitializeLine();
  tap.SetRingsToAnswer(5);
  tap.SetWaitForCall(true);
  modem.Call(1);
  ASSERT_TRUE(PumpUntil([&] { return Count("Open") == 2; }));
  EXPECT_THAT(events, ElementsAre("Open", "Offering", "Disconnect", "Close", "Open"));

  // The reopened line answers the next caller.
  tap.SetRingsToAnswer(1);
  modem.Call();
  ASSERT_TRUE(PumpUntil([&] { return modem.Answers() == 1; }));
  modem.HangUp();
  ASSERT_TRUE(PumpUntil([&] { return Count("Open") == 3; }));
}

// A line that cannot be opened again after a call is reported once, tried
// again with a growing pause, and serves again once the modem takes its
// initialisation.
TEST_F(TapLineTest, ALineThatCannotBeRearmedSaysSoOnceAndIsTriedAgain) {
  TKYRTap tap;
  Watch(tap);
  tap.SetDevIdToInitialize(0);
  tap.InitializeLine();
  tap.SetWaitForCall(true);
  // The modem goes bad as a silent caller's call connects: the call is
  // dropped after the first read window, and the modem refuses everything
  // the line sends it from then on.
  modem.RefuseCommandsOnceConnected();
  const std::string failure = "Error Line Exception: TAPI Line: LINEERR_OPERATIONFAILED";
  // The commands the modem had when the failure was reported.
  size_t before_report = 0;
  tap.OnError = [&](TTapSession&, const std::string& text) {
    events.push_back("Error " + text);
    if (before_report == 0) before_report = modem.Commands().size();
  };
  // When the modem's initialisation was tried, as the modem saw it: the
  // failed re-arm that was reported, then each try after it.
  const auto tries = [&] {
    const auto commands = modem.Commands();
    const auto times = modem.CommandTimes();
    std::vector<int64_t> at;
    for (size_t i = 0; before_report > 0 && i < commands.size(); ++i) {
      if (commands[i] != "ATZ") continue;
      if (i < before_report) at.assign(1, times[i]);
      else at.push_back(times[i]);
    }
    return at;
  };
  modem.Call();
  ASSERT_TRUE(PumpUntil([&] { return tries().size() >= 4; }));
  EXPECT_EQ(Count(failure), 1);
  EXPECT_EQ(Count("Open"), 1);
  EXPECT_FALSE(tap.LineOpen());
  // Paused 3, 6 and 12 s apart: a pause never ends early, however slowly the
  // machine runs, and the third is longer than the first.
  const auto at = tries();
  EXPECT_GE(at[1] - at[0], 3000);
  EXPECT_GE(at[2] - at[1], 6000);
  EXPECT_GE(at[3] - at[2], 12000);
  EXPECT_LT(at[1] - at[0], at[3] - at[2]);

  modem.HangUp();  // the refused hang-up left the modem's call up
  modem.SetRefuseCommands(false);
  ASSERT_TRUE(PumpUntil([&] { return Count("Open") == 2; }));
  EXPECT_TRUE(tap.LineOpen());
  modem.Call();
  ASSERT_TRUE(PumpUntil([&] { return modem.Answers() == 2; }));
  modem.HangUp();
  EXPECT_EQ(Count(failure), 1);
}

// The modem is unplugged while the line waits: the closure is reported, the
// line is tried again with the growing pause, and a modem put back under the
// same name answers the next call.
TEST_F(TapLineTest, AnUnpluggedModemIsServedAgainOnceItIsBack) {
  TKYRTap tap;
  Watch(tap);
  tap.SetDevIdToInitialize(0);
  tap.InitializeLine();
  tap.SetWaitForCall(true);
  ASSERT_TRUE(tap.LineOpen());
  modem.Unplug();
  // COM1 names nothing until the modem is back (the freed terminal's path
  // may soon name another test's).
  vltg::testing::LinkComPort(1, (root / "gone").string());
  ASSERT_TRUE(PumpUntil([&] { return Count("UnexpectedClose") == 1 && Count("Close") == 1; }));
  const auto failures = [&] {
    return std::count_if(events.begin(), events.end(),
                         [](const std::string& e) { return e.rfind("Error Line Exception: ", 0) == 0; });
  };
  ASSERT_TRUE(PumpUntil([&] { return failures() == 1; }));
  EXPECT_FALSE(tap.LineOpen());

  ModemSimulator back;
  vltg::testing::LinkComPort(1, back.LinePath());
  ASSERT_TRUE(PumpUntil([&] { return Count("Open") == 2; }));
  EXPECT_TRUE(tap.LineOpen());
  back.Call();
  ASSERT_TRUE(PumpUntil([&] { return back.Answers() == 1; }));
  back.HangUp();
  EXPECT_EQ(Count("UnexpectedClose"), 1);
  EXPECT_EQ(failures(), 1);
  tap.SetWaitForCall(false);
}

// A caller rings just as the line opens again after a call: the offer comes
// while the engine still handles the notification that ended the call, and
// is answered once that is over instead of being discarded.
TEST_F(TapLineTest, ACallOfferedAsTheLineOpensAgainIsAnswered) {
  TKYRTap tap;
  Watch(tap);
  tap.SetDevIdToInitialize(0);
  tap.InitializeLine();
  tap.OnOpen = [&](TKYRTap& sender) {
    events.push_back("Open");
    if (Count("Open") != 2) return;
    modem.Call();
    // Without pumping: until the line has the call (its offer is queued).
    EXPECT_TRUE(PollUntil([&] {
      platform::LINEADDRESSSTATUS status;
      return platform::lineGetAddressStatus(sender.LineHandle(), 0, &status) == 0 &&
             (status.dwAddressFeatures & platform::LINEADDRFEATURE_MAKECALL) == 0;
    }));
  };
  tap.SetWaitForCall(true);
  modem.Call();  // a silent caller: dropped after the first window, then the line opens again
  ASSERT_TRUE(PumpUntil([&] { return modem.Answers() == 2; }));
  EXPECT_EQ(Count("Offering"), 2);
  modem.HangUp();
}

TEST_F(TapLineTest, EachLineInstanceBelongsToOneEngine) {
  TKYRTap first, second;
  first.SetLineInstance(6);
  second.SetLineInstance(6);
  first.InitializeLine();
  EXPECT_TRUE(first.LineAppReady());
  EXPECT_EQ(ThrownText([&] { second.InitializeLine(); }), "TAPILine6 component already exists in this process.");
  EXPECT_FALSE(second.LineAppReady());
  first.InitializeLine();  // initialising again gives the entry back first
  EXPECT_EQ(TTapLineTable::Entry(6), &first);

  second.SetShowErrorDialog(false);
  for (int32_t instance : {17, -1}) {
    second.SetLineInstance(instance);
    EXPECT_EQ(ThrownText([&] { second.InitializeLine(); }), "TAPILine: Invalid Line ID");
  }
  // With ShowErrorDialog the text goes to the box sink instead.
  std::vector<std::string> boxes;
  second.ErrorDialogSink = [&](TKYRTap&, const std::string& text) { boxes.push_back(text); };
  second.SetShowErrorDialog(true);
  second.InitializeLine();
  EXPECT_THAT(boxes, ElementsAre("Invalid Line ID"));

  {
    TKYRTap third;
    third.SetLineInstance(7);
    third.InitializeLine();
    EXPECT_EQ(TTapLineTable::Entry(7), &third);
  }
  EXPECT_EQ(TTapLineTable::Entry(7), nullptr);  // destroyed: free again
}

// A line list that cannot be read fails the set-up and leaves the entry free.
TEST_F(TapLineTest, AnUnreadableLineListLeavesTheEntryFree) {
  std::filesystem::remove(root.Path() / "telephony.ini");
  std::filesystem::create_directory(root.Path() / "telephony.ini");
  TKYRTap tap;
  tap.SetLineInstance(8);
  EXPECT_THAT(ThrownText([&] { tap.InitializeLine(); }), ::testing::HasSubstr("telephony.ini"));
  EXPECT_EQ(TTapLineTable::Entry(8), nullptr);
}

TEST_F(TapLineTest, OpenLineAppliesTheLinesOwnModemConfigurationElseTheSystemOne) {
  auto mcf = [](uint32_t speed) {
    platform::DeviceConfig config;
    config.speed = speed;
    const std::string block = platform::EncodeDeviceConfig(config);
    std::string header;
    for (uint32_t word : {uint32_t(24 + block.size()), uint32_t(24 + block.size()), uint32_t(24 + block.size()),
                          platform::STRINGFORMAT_BINARY, uint32_t(block.size()), uint32_t(24)}) {
      for (int i = 0; i < 4; ++i) header += static_cast<char>(word >> (8 * i));
    }
    return header + block;
  };
  auto speed = [] {
    platform::VARSTRING record;
    record.dwTotalSize = 1024;
    EXPECT_EQ(platform::lineGetDevConfig(0, &record, platform::kDeviceClassDataModem), 0);
    return platform::DecodeDeviceConfig(record.String)->speed;
  };
  root.Write("system.mcf", mcf(2400));
  root.Write("short.mcf", mcf(4800).substr(0, 20));
  root.Write("port.mcf", mcf(19200));

  TKYRTap tap;
  Watch(tap);
  tap.InitializeLine();
  tap.SetModemSysConfig((root / "system.mcf").string());
  tap.SetModemAltConfig((root / "missing.mcf").string());
  tap.OpenLine();
  EXPECT_EQ(speed(), 2400u);
  tap.CloseLine();

  root.Write("system.mcf", mcf(1200));
  tap.SetModemAltConfig((root / "short.mcf").string());  // not applied: the fallback is
  tap.OpenLine();
  EXPECT_EQ(speed(), 1200u);
  tap.CloseLine();

  tap.SetModemAltConfig((root / "port.mcf").string());
  tap.OpenLine();
  EXPECT_EQ(speed(), 19200u);
  tap.CloseLine();

  tap.SetDevIdToInitialize(TKYRTap::kNoDevice);
  EXPECT_EQ(ThrownText([&] { tap.SetWaitForCall(true); }), "TAPILine: You must select TAPI compatible line");
}

TEST_F(TapLineTest, ALineHeldElsewhereIsNotOpened) {
  platform::HLINEAPP other_app = 0;
  uint32_t devices = 0;
  ASSERT_EQ(platform::lineInitialize(&other_app, [](auto...) {}, "other", &devices), 0);
  platform::HLINE held = 0;
  ASSERT_EQ(platform::lineOpen(other_app, 0, &held, platform::TAPI_VERSION_1_4, 0, 0,
                               platform::LINECALLPRIVILEGE_NONE, platform::LINEMEDIAMODE_DATAMODEM),
            0);
  TKYRTap tap;
  Watch(tap);
  tap.InitializeLine();
  tap.SetShowErrorDialog(true);
  const std::string text = InboundLineAllocated().Text;
  EXPECT_EQ(tap.CheckInboundLine(0), 5);
  EXPECT_THAT(events, ElementsAre("Box " + text, "Error " + text));
  tap.SetWaitForCall(true);  // the check fails: the line stays closed, no OnOpen
  EXPECT_FALSE(tap.LineOpen());
  EXPECT_EQ(Count("Open"), 0);
  EXPECT_EQ(ThrownText([&] { tap.NegotiateAPIVersion(9); }), "TAPI Line: LINEERR_BADDEVICEID");
  platform::lineShutdown(other_app);
  tap.SetWaitForCall(false);
}

TEST(InboundLineCheck, NamesWhatTheLineLacks) {
  platform::LINEDEVCAPS caps;
  caps.dwBearerModes = platform::LINEBEARERMODE_VOICE;
  caps.dwMediaModes = platform::LINEMEDIAMODE_DATAMODEM;
  caps.dwLineFeatures = platform::LINEFEATURE_MAKECALL;
  EXPECT_EQ(CheckInboundCaps(caps).Code, 0);
  caps.dwLineFeatures = 0;
  EXPECT_EQ(CheckInboundCaps(caps).Code, 4);
  EXPECT_EQ(CheckInboundCaps(caps).Text, "Inbound Usable Line: Doesn't support Inbound Calls");
  caps.dwMediaModes = platform::LINEMEDIAMODE_INTERACTIVEVOICE;
  EXPECT_EQ(CheckInboundCaps(caps).Code, 3);
  EXPECT_EQ(CheckInboundCaps(caps).Text, "Inbound Usable Line: Doesn't support Data Communications");
  caps.dwBearerModes = platform::LINEBEARERMODE_DATA;
  EXPECT_EQ(CheckInboundCaps(caps).Code, 2);
  EXPECT_EQ(CheckInboundCaps(caps).Text, "Inbound Usable Line: Doesn't support Voice");

  platform::LINEADDRESSSTATUS status;
  status.dwAddressFeatures = platform::LINEADDRFEATURE_MAKECALL;
  EXPECT_EQ(CheckInboundAddress(status).Code, 0);
  status.dwAddressFeatures = 0;
  EXPECT_EQ(CheckInboundAddress(status).Code, 6);
  EXPECT_EQ(CheckInboundAddress(status).Text,
            "Inbound Usable Line: \r\nInbound calls not available. Port May Be In Use!");
  EXPECT_EQ(InboundLineAllocated().Text,
            "Inbound Usable Line: \r\nLine is already in use by a non-TAPI app or\r\nanother Service Provider.");
}

// Notifications fed straight to the engine, as the line layer would deliver them.
TEST_F(TapLineTest, NotificationsAreCountedAndGuarded) {
  using namespace platform;
  ProbeTap tap;
  Watch(tap);
  tap.SetShowErrorDialog(true);
  tap.SetRingsToAnswer(3);
  auto ring = [&] { tap.LineCallback(0, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 0); };
  auto state = [&](uint32_t call, uint32_t call_state) { tap.LineCallback(call, LINE_CALLSTATE, call_state, 0); };

  ring();  // no offer yet
  state(77, LINECALLSTATE_OFFERING);  // not answering: no offer taken
  ring();
  EXPECT_THAT(events, ElementsAre());

  tap.SetAnswering(true);
  state(77, LINECALLSTATE_OFFERING);
  ring();
  ring();
  EXPECT_THAT(events, ElementsAre("Offering"));
  ring();  // the third: answered (the call is made up, so the answer fails)
  EXPECT_THAT(events, ElementsAre("Offering", "Answering", "Box Unable to answer to call.",
                                  "Error Unable to answer to inbound call."));
  events.clear();
  tap.SetRingsToAnswer(0);
  state(78, LINECALLSTATE_OFFERING);
  ring();
  EXPECT_THAT(events, ElementsAre("Offering", "Answering", "Box Unable to answer to call.",
                                  "Error Unable to answer to inbound call."));

  events.clear();
  tap.FCommAttached = true;  // an offer during a call is not taken
  state(79, LINECALLSTATE_OFFERING);
  tap.FCommAttached = false;
  tap.SetDevIdToInitialize(TKYRTap::kNoDevice);
  state(78, LINECALLSTATE_CONNECTED);  // no line chosen: nothing
  tap.LineCallback(0, LINE_CLOSE, 0, 0);
  state(78, LINECALLSTATE_BUSY);
  EXPECT_THAT(events, ElementsAre("UnexpectedClose", "Busy"));

  // An event handler that raises is reported, and the next notification is
  // handled as usual.
  events.clear();
  tap.OnBusy = [](TKYRTap&) { throw Exception("busy handler failed"); };
  state(78, LINECALLSTATE_BUSY);
  tap.LineCallback(0, LINE_CLOSE, 0, 0);
  EXPECT_THAT(events, ElementsAre("Error Line Exception: busy handler failed", "UnexpectedClose"));

  // A connected call whose port cannot be had leaves the engine free for the
  // next call.
  events.clear();
  tap.SetDevIdToInitialize(0);
  state(78, LINECALLSTATE_CONNECTED);
  EXPECT_FALSE(tap.FCommAttached);
  state(80, LINECALLSTATE_OFFERING);
  EXPECT_THAT(events, ElementsAre("Box An error occured on connection internal.",
                                  "Error An error occured on inbound connection internal.", "Offering"));

  // An entry hands what it is given to its engine, and drops it once empty.
  events.clear();
  ASSERT_TRUE(TTapLineTable::Claim(15, &tap));
  TTapLineTable::Callback(15)(0, LINE_CLOSE, 0, 0, 0, 0);
  TTapLineTable::Release(15, &tap);
  TTapLineTable::Callback(15)(0, LINE_CLOSE, 0, 0, 0, 0);
  EXPECT_THAT(events, ElementsAre("UnexpectedClose"));
}

}  // namespace
}  // namespace vltg
