// The manager's line component's call-handling half: its published values,
// calls on a line of its line application (the platform's telephony layer
// and a simulated modem and caller), and notifications without a call.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "manager/model/modem_lines.h"
#include "manager/model/tap_port_list.h"
#include "platform/base/exception.h"
#include "platform/messages/clock.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"
#include "tests/support/manager_test.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/pump_until.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thrown_text.h"

namespace vltg::manager {
namespace {

using namespace platform;
using ::testing::Contains;
using ::testing::ElementsAre;
using vltg::test::PumpUntil;
using vltg::test::ThrownText;

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\r')); }

// The published values the component is created with, as text.
std::map<std::string, std::string> Published(const TModemLines& p) {
  const auto n = [](auto value) { return std::to_string(static_cast<int64_t>(value)); };
  const auto b = [](bool value) { return std::string(value ? "True" : "False"); };
  std::string strings;  // every string property but InitString
  for (const std::string* text :
       {&p.GetPhoneNumber(), &p.GetDirectAccessLogFile(), &p.GetModemSysConfig(), &p.GetModemAltConfig(),
        &p.GetModemTermConfig(), &p.GetDTMFScript(), &p.GetDTMFMessage(), &p.GetDTMFPIN(), &p.GetPinNumber(),
        &p.GetMessage(), &p.GetPassword(), &p.GetSendResult(), &p.GetErrorStr(), &p.GetETapMsgID(),
        &p.GetETapMsgExpire(), &p.GetETapMsgSchedule()}) {
    strings += *text;
  }
  return {
      {"ComPort", n(p.GetComPort())},
      {"ComPort settings", n(p.GetComPortSpeed()) + n(p.GetComPortDataBits()) + n(p.GetComPortStopBits()) +
                               n(p.GetComPortParity()) + n(p.GetComPortHwHandshaking()) +
                               n(p.GetComPortSwHandshaking())},
      {"InitString", p.GetInitString()},
      {"MsgLength", n(p.GetMsgLength())},
      {"UseModem, DisplayMsgBreaks", b(p.GetUseModem()) + b(p.GetDisplayMsgBreaks())},
      {"NumericOnly .. DTMFSendAccessNumber", b(p.GetNumericOnly()) + b(p.GetSendReverseOrder()) +
                                                  b(p.GetTurncateMsgs()) + b(p.GetDTMFOnly()) +
                                                  b(p.GetDTMFSendAccessNumber())},
      {"DevIdToInitialize", n(p.GetDevIdToInitialize())},
      {"WaitForCall, DeviceDirectAccess", b(p.GetWaitForCall()) + b(p.GetDeviceDirectAccess())},
      {"ShowDialDialog, ShowErrorDialogs", b(p.GetShowDialDialog()) + b(p.GetShowErrorDialogs())},
      {"ShowNoModemsDialog", b(p.GetShowNoModemsDialog())},
      {"Timeout", n(p.GetTimeout())},
      {"MaxMessagesPerCall", n(p.GetMaxMessagesPerCall())},
      {"LineInstance", n(p.GetLineInstance())},
      {"DialMethod, ETAPCommand, SMSType", n(p.GetDialMethod()) + n(p.GetETAPCommand()) + n(p.GetSMSType())},
      {"other strings, script", strings + std::to_string(p.GetDirectAccessScript().size())},
  };
}

class ModemLinesValuesTest : public testing::ManagerTest {};

TEST_F(ModemLinesValuesTest, CreateAndTheMainWindowsInstanceHaveTheirValues) {
  const auto n = [](auto value) { return std::to_string(static_cast<int64_t>(value)); };
  struct Row {
    std::string property, create, main_window;
  };
  const std::string settings = n(bra1200) + n(dba7BITS) + n(sba1BITS) + n(ptaEVEN) + n(hhaRTSCTS) + n(shaNONE);
  const std::vector<Row> rows = {
      {"ComPort", n(pnaCOM2), n(pnaCOM1)},
      {"ComPort settings", settings, settings},
      {"InitString", "ATZ", "ATZ"},
      {"MsgLength", "140", "140"},
      {"UseModem, DisplayMsgBreaks", "TrueTrue", "TrueTrue"},
      {"NumericOnly .. DTMFSendAccessNumber", "FalseFalseFalseFalseFalse", "FalseFalseFalseFalseFalse"},
      {"DevIdToInitialize", "4294967295", "0"},
      {"WaitForCall, DeviceDirectAccess", "FalseFalse", "FalseFalse"},
      {"ShowDialDialog, ShowErrorDialogs", "FalseFalse", "TrueTrue"},
      {"ShowNoModemsDialog", "True", "True"},
      {"Timeout", "20", "20"},
      {"MaxMessagesPerCall", "0", "0"},
      {"LineInstance", "0", "0"},
      {"DialMethod, ETAPCommand, SMSType", n(dmTone) + n(dcTap) + n(stNone), n(dmTone) + n(dcTap) + n(stNone)},
      {"other strings, script", "0", "0"},
  };
  int owner = 0;
  const TModemLines created(&owner);
  const TTapPortList window(manager_);
  const auto create = Published(created);
  const auto main_window = Published(window.ModemLines);
  ASSERT_EQ(create.size(), rows.size());
  for (const Row& row : rows) {
    EXPECT_EQ(create.at(row.property), row.create) << row.property;
    EXPECT_EQ(main_window.at(row.property), row.main_window) << row.property;
  }
  EXPECT_EQ(created.GetParentForm(), &owner);
  // The window lists its lines at start, before any line application runs:
  // nothing is listed and no entry taken.
  EXPECT_EQ(TModemLinesTable::Entry(0), nullptr);
  // No call is up: a hang-up has nothing to do.
  TModemLines component;
  EXPECT_TRUE(component.Dropping());
  EXPECT_TRUE(component.HangUp());
}

// Records what the component does with its dialing form.
class FakeDialingForm : public TDialingForm {
 public:
  FakeDialingForm(TModemLines& owner, std::vector<std::string>& events) : TDialingForm(owner), events_(events) {}
  void Show() override {
    if (!shown_) events_.push_back("Dialing shown");
    shown_ = true;
  }
  void Hide() override {
    if (shown_) events_.push_back("Dialing hidden");
    shown_ = false;
  }
  void SetImageVisible(bool visible) override { image_ = visible; }
  bool image_ = false;

 private:
  std::vector<std::string>& events_;
  bool shown_ = false;
};

// Boxes go into the component's event list, as their first line.
class BoxSink : public testing::RecordingSink {
 public:
  explicit BoxSink(std::vector<std::string>& events) : events_(events) {}
  BoxAnswer ShowBox(const std::string& text, BoxKind kind, BoxButtons buttons, int help) override {
    events_.push_back("Box " + FirstLine(text));
    return RecordingSink::ShowBox(text, kind, buttons, help);
  }

 private:
  std::vector<std::string>& events_;
};

class ModemLinesCallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vltg::testing::LinkComPort(1, modem.LinePath());
    root.Write("telephony.ini", "[Modem A]\r\nDevice=COM1\r\n");
    SetDialingFormMaker([this](TModemLines& owner) { return std::make_unique<FakeDialingForm>(owner, events); });
    component.SetShowDialDialog(true);
    component.SetShowErrorDialogs(true);
    component.SetDevIdToInitialize(0);
    component.SetMessageSink(&sink);
    component.SetStatusPanel([this](const std::string& text) { statuses.push_back(text); });
    const std::vector<std::pair<TModemLinesEvent*, std::string>> named = {
        {&component.OnCallOffering, "Offering"}, {&component.OnCallAnswering, "Answering"},
        {&component.OnConnection, "Connection"}, {&component.OnDisconnect, "Disconnect"},
        {&component.OnBusy, "Busy"},             {&component.OnDropCall, "DropCall"},
        {&component.OnClose, "Close"},           {&component.OnUnexpectedClose, "UnexpectedClose"}};
    for (const auto& [event, name] : named) {
      *event = [this, name = name](TModemLines&) { events.push_back(name); };
    }
    component.OnPageProgress = [this](TModemLines&, const std::string& status, const std::string& caption) {
      events.push_back(caption + ": " + status);
    };
  }
  void TearDown() override { SetDialingFormMaker(nullptr); }
  int Count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
  void State(uint32_t call, uint32_t state, uint32_t mode = 0) {
    component.LineCallback(call, LINE_CALLSTATE, state, mode);
  }

  // Declared first: the modem's thread reads the clock until it has gone.
  ScopedClock clock{std::make_shared<ScaledClock>(20)};
  vltg::testing::TempDir root;
  vltg::testing::ScopedEnv env{"VLTG_ROOT", root.Path().string()};
  vltg::testing::ModemSimulator modem;
  std::vector<std::string> events;
  std::vector<std::string> statuses;
  BoxSink sink{events};
  TModemLines component;
};

// Each call rings once and is answered at once (no ring counting: the line
// sends no ring notices), its connection attaches the call's port with
// nothing run on it, and the call ends as the row says.
TEST_F(ModemLinesCallTest, CallsAreAnsweredAtOnceAttachedAndHungUp) {
  enum class End { kDisconnected, kBusy, kHangUpRefused };
  struct Row {
    const char* what;
    bool direct_access;  // the script runs at the connection, on no port
    End end;
    bool line_busy_event;
    std::vector<std::string> in_order;  // as the row's own steps raise them
    std::vector<std::string> later;     // what the line tells afterwards
  };
  const std::vector<std::string> answered = {"Offering", "Dialing shown", "Answering"};
  const std::vector<std::string> connected = {"Offering", "Dialing shown", "Answering", "Dialing hidden",
                                              "Connection"};
  const std::vector<std::string> hung_up = {"DropCall", "Close", "Connection Status: Disconnected"};
  const auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Row rows[] = {
      {"caller's line drops", false, End::kDisconnected, false, join(join(connected, {"Disconnect"}), hung_up), {}},
      {"script fails, then busy", true, End::kBusy, false,
       join(join(answered, {"Box TAPILine: Device direct access script error: \"ATX\".", "Dialing hidden", "Busy"}),
            hung_up),
       {}},
      {"hang-up refused", false, End::kHangUpRefused, false, join(connected, hung_up),
       {"Box Line In Use!", "UnexpectedClose"}},
      {"hang-up refused, OnLineBusy", false, End::kHangUpRefused, true, join(connected, hung_up),
       {"LineBusy", "UnexpectedClose"}},
  };

  ASSERT_TRUE(component.InitializeLine());
  ASSERT_NE(component.DialingForm(), nullptr);
  EXPECT_TRUE(static_cast<FakeDialingForm*>(component.DialingForm())->image_);
  component.SetWaitForCall(true);
  int answers = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    events.clear();
    statuses.clear();
    component.SetDeviceDirectAccess(row.direct_access);
    component.SetDirectAccessScript({"ATX"});
    component.SetTimeout(1);
    component.OnLineBusy = nullptr;
    if (row.line_busy_event) component.OnLineBusy = [this](TModemLines&) { events.push_back("LineBusy"); };
    HLINE line = 0;
    ASSERT_EQ(lineOpen(component.LineApp(), 0, &line, TAPI_VERSION_2_0, 0, 0,
                       LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_DATAMODEM),
              0);
    modem.Call();
    const std::string& settled = row.direct_access ? "Dialing hidden" : "Connection";
    ASSERT_TRUE(PumpUntil([&] { return Count(settled) == 1; }, std::chrono::seconds(30)));
    EXPECT_EQ(modem.Answers(), ++answers);
    EXPECT_EQ(component.GetCommAttached(), !row.direct_access);

    switch (row.end) {
      case End::kDisconnected: {
        // The shared script runner on the call's port: the caller answers.
        std::string heard;
        std::thread caller([&] {
          modem.WaitUntil(
              [&] {
                heard += modem.TakeFromLine();
                return heard.find("\r\n") != std::string::npos;
              },
              60000);
          modem.SendFromCaller("CONNECT 9600\r\n");
        });
        component.SetDirectAccessLogFile((root / "script.log").string());
        EXPECT_NO_THROW(component.RunDirectAccessScript());
        caller.join();
        EXPECT_EQ(heard, "ATX\r\n");  // and nothing else: no dialogue runs on the port
        EXPECT_NE(root.Read("script.log").find("Connected! (conection esteblished)"), std::string::npos);
        // A read that times out is raised only with ShowErrorDialogs.
        char buffer[4];
        EXPECT_EQ(ThrownText([&] { component.ReadComm(buffer, 4); }), "Timeout during read operation.");
        component.SetShowErrorDialogs(false);
        EXPECT_EQ(component.ReadComm(buffer, 4), 0);
        component.SetShowErrorDialogs(true);
        State(0, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
        // A script run while the call is dropped logs the hang-up.
        EXPECT_NO_THROW(component.RunDirectAccessScript());
        EXPECT_NE(root.Read("script.log").find("Dropped (user hangup)"), std::string::npos);
        EXPECT_THAT(statuses, Contains("Command complete"));  // CONNECTED
        EXPECT_THAT(statuses, Contains("NORMAL"));
        break;
      }
      case End::kBusy:
        State(0, LINECALLSTATE_BUSY, LINEBUSYMODE_STATION);
        break;
      case End::kHangUpRefused:
        modem.SetRefuseCommands(true);  // the modem fails to go back on hook
        component.DialingForm()->HangUp();
        ASSERT_TRUE(PumpUntil([&] { return Count("UnexpectedClose") == 1; }, std::chrono::seconds(30)));
        EXPECT_EQ(statuses.back(), "Line has been unexpectedly closed");
        break;
    }
    EXPECT_FALSE(component.GetCommAttached());
    EXPECT_FALSE(component.CommHandleHeld());
    // What the line tells after the row's own steps may come among them.
    std::vector<std::string> own = events, later;
    for (const std::string& event : row.later) {
      const auto at = std::find(own.begin(), own.end(), event);
      if (at == own.end()) continue;
      later.push_back(*at);
      own.erase(at);
    }
    EXPECT_EQ(own, row.in_order);
    EXPECT_EQ(later, row.later);

    lineClose(line);
    if (row.end == End::kHangUpRefused) {
      modem.HangUp();  // the refused hang-up left the caller's call up
      modem.SetRefuseCommands(false);
    }
    modem.WaitUntil([&] { return !modem.Connected(); }, 10000);
  }
}

// Notifications given straight to the component, as the line layer would.
TEST_F(ModemLinesCallTest, NotificationsWithoutACallOfTheLine) {
  struct Step {
    const char* what;
    std::function<void()> act;
    std::vector<std::string> seen;
  };
  component.SetStatusPanel([this](const std::string& text) { events.push_back("Status " + text); });
  const Step steps[] = {
      {"an offer while not answering is only told", [&] { State(77, LINECALLSTATE_OFFERING); },
       {"Offering", "Status Command complete"}},
      {"an offer is answered at once, a made-up call cannot be",
       [&] {
         component.SetWaitForCall(true);
         State(78, LINECALLSTATE_OFFERING);
       },
       {"Offering", "Box Unable to answer to call."}},
      {"rings are not counted", [&] { component.LineCallback(0, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 0); }, {}},
      {"an idle call the line does not know", [&] { State(78, LINECALLSTATE_IDLE); },
       {"Box Unable to dealocate a call."}},
      {"no call is up: a connection is ignored", [&] { State(78, LINECALLSTATE_CONNECTED); },
       {"Status Command complete"}},
      {"a state not handled is named", [&] { State(78, LINECALLSTATE_RINGBACK); }, {"Status RINGBACK"}},
      {"the line closed", [&] { component.LineCallback(0, LINE_CLOSE, 0, 0); },
       {"UnexpectedClose", "Status Line has been unexpectedly closed"}},
      {"an event handler that fails is shown, not passed on",
       [&] {
         component.OnBusy = [](TModemLines&) { throw Exception("busy handler failed"); };
         State(78, LINECALLSTATE_BUSY);
       },
       {"Box busy handler failed"}},
      {"without ShowErrorDialogs no box",
       [&] {
         component.SetShowErrorDialogs(false);
         State(78, LINECALLSTATE_IDLE);
       },
       {}},
      {"a reply to no request of its own", [&] { component.LineCallback(0, LINE_REPLY, 5, 0x80000001); }, {}},
  };
  for (const Step& step : steps) {
    events.clear();
    step.act();
    EXPECT_EQ(events, step.seen) << step.what;
  }
}

}  // namespace
}  // namespace vltg::manager
