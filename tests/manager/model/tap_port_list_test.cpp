// The TAP port list and the port dialog's rules: listing, the slot a new
// port takes, names refused before anything is written, direct ports,
// delete, edit and the modem settings button.
#include "manager/model/tap_port_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "manager/model/service_manager.h"
#include "platform/telephony/line_api.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thread_runner.h"

namespace vltg::manager {
namespace {

using Events = std::vector<std::string>;

}  // namespace

void PrintTo(const TTapPortItem& item, std::ostream* out) {
  *out << "{" << item.Caption << ", " << item.DeviceID << ", " << item.StateIndex << ", " << item.Key << "#"
       << item.KeyRepeat << "}";
}

namespace {

class TapPortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "data");
    dir_.Write("telephony.ini", "[Modem A]\r\nDevice=COM1\r\n[Modem B]\r\nDevice=COM2\r\n[Modem C]\r\nDevice=COM3\r\n");
  }
  void TearDown() override { platform::SetDevConfigDialog(nullptr); }

  void Config(const std::string& text) {
    dir_.Write("data/Config.Dat", text);
    list_.LoadPorts();
  }
  std::string ConfigText() const { return dir_.Read("data/Config.Dat"); }
  // The operator adds a port, or edits the one at `selected`: fills the
  // dialog, when there is one, and presses OK; a refusal is taken as Cancel.
  using Fill = std::function<void(TPortDialogModel&)>;
  void Add(const Fill& fill) {
    std::optional<TPortDialogModel> form = list_.AddDialog();
    if (!form) return;
    fill(*form);
    if (form->Accept()) list_.AddPort(form->ModemName, form->Data);
  }
  void Edit(int selected, const Fill& fill) {
    std::optional<TPortDialogModel> form = list_.EditDialog(selected);
    if (!form) return;
    fill(*form);
    if (form->Accept()) list_.EditPort(selected, form->Data);
  }

  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", dir_.Path().string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  testing::ThreadRunner runner_;
  TServiceManager manager_{sink_, scm_, (dir_ / "data").string(), runner_};
  TTapPortList list_{manager_};
};

// Every entry that names a port is listed; those the gateway never starts are
// marked, cannot be edited and can be deleted, each blanking its own line and
// leaving a section that another entry still names.
TEST_F(TapPortListTest, EveryEntryIsListedAndOnesTheGatewayDoesNotStartCanOnlyBeDeleted) {
  const std::string head = "[Tap Ports]\r\nPort1=A\r\nPort2=\r\nPort3=C\r\n";
  const std::string sections =
      "[A]\r\nDirectAccess=1\r\nEnabled=1\r\nDeviceID=1\r\n[C]\r\nDeviceID=2\r\n[Q]\r\nEnabled=1\r\n";
  Config(head + "PortX=Z\r\nPort 7=Seven\r\nport1=a\r\nPort17=Q\r\nPort9=../x\r\n" + sections);
  const std::vector<TTapPortItem> started = {{"A", "Direct", 3, "Port1"}, {"C", "2", 2, "Port3"}};
  EXPECT_EQ(list_.Items(), (std::vector<TTapPortItem>{started[0],
                                                      started[1],
                                                      {"Z", "0", 4, "PortX"},
                                                      {"Seven", "0", 4, "Port 7"},  // read as "Port7"
                                                      {"a", "Direct", 4, "port1", 1},
                                                      {"Q", "0", 4, "Port17"},
                                                      {"../x", "0", 4, "Port9"}}));

  EXPECT_FALSE(list_.EditDialog(5)) << "no dialog for an entry the gateway does not start";
  EXPECT_EQ(sink_.events, (Events{"beep", "box:Port Not Started By The Gateway! It Can Only Be Deleted."}));
  // Nothing selected, or answered No: nothing deleted.
  EXPECT_FALSE(list_.DeletePort(-1));
  EXPECT_FALSE(list_.DeletePort(2));
  while (list_.Items().size() > started.size()) {
    sink_.answers = {BoxAnswer::kYes};
    EXPECT_TRUE(list_.DeletePort(2));
  }
  EXPECT_EQ(list_.Items(), started);
  EXPECT_EQ(ConfigText(), head + "PortX=\r\nPort 7=\r\nport1=\r\nPort17=\r\nPort9=\r\n" +
                              "[A]\r\nDirectAccess=1\r\nEnabled=1\r\nDeviceID=1\r\n[C]\r\nDeviceID=2\r\n");
  list_.LoadPorts();
  EXPECT_EQ(list_.Items(), started);
}

TEST_F(TapPortListTest, ANewPortTakesTheLowestFreeSlotTheGatewayServes) {
  std::string full, shifted;
  for (int n = 1; n <= 16; ++n) full += "Port" + std::to_string(n) + "=P\r\n";
  for (int n = 2; n <= 17; ++n) shifted += "Port" + std::to_string(n) + "=P\r\n";
  const std::pair<std::string, std::string> cases[] = {
      {"Port1=A\r\nPort2=\r\nPort3=C\r\n", "Port1=A\r\nPort2=B\r\nPort3=C\r\n"},
      {"Port1=A\r\nPort2=C\r\n", "Port1=A\r\nPort2=C\r\nPort3=B\r\n"},
      {"Port1=A\r\nPort3=C\r\n", "Port1=A\r\nPort3=C\r\nPort2=B\r\n"},
      {full, ""},
      {shifted, ""},  // a Port1 key would come 17th, past what the gateway reads
  };
  const Fill fill = [](TPortDialogModel& form) {
    form.ModemName = "B";
    form.SetModemIndex(1);
    form.Data.SetChecked("Enabled", true);
  };
  for (const auto& [ports, after] : cases) {
    sink_.events.clear();
    Config("[Tap Ports]\r\n" + ports);
    Add(fill);
    if (after.empty()) {
      EXPECT_EQ(sink_.events, (Events{"beep", "box:Only 16 Ports Allowed!"}));
      EXPECT_EQ(ConfigText(), "[Tap Ports]\r\n" + ports);
      continue;
    }
    EXPECT_TRUE(sink_.events.empty());
    EXPECT_EQ(ConfigText(), "[Tap Ports]\r\n" + after +
                                "\r\n[B]\r\nDeviceID=1\r\nPassword=\r\nTimeOut=60\r\nRings=1\r\nLength=160\r\n"
                                "TruncateMsgs=0\r\nEnabled=1\r\nComPort=0\r\nDataSettings=0\r\nFlowCtrl=1\r\n"
                                "COMSpeed=3\r\nDirectAccess=0\r\n");
    EXPECT_EQ(list_.Items().back().DeviceID, "1");
  }
}

TEST_F(TapPortListTest, NamesThatCannotBeAPortAreRefusedBeforeAnythingIsWritten) {
  // The last: ".<name>.mcf.XXXXXX", the modem settings file's temporary name, would not fit a file name.
  const std::pair<std::string, std::string> cases[] = {
      {"   ", "No Name Specified!"},   {"a", "Modem Name Already In Use!"}, {"../x", "Invalid Port Name!"},
      {"b\\c", "Invalid Port Name!"},  {"[x]", "Invalid Port Name!"},       {"x=y", "Invalid Port Name!"},
      {"t\tab", "Invalid Port Name!"}, {"system", "Invalid Port Name!"},    {"tap ports", "Invalid Port Name!"},
      {"\"A\"", "Invalid Port Name!"}, {"\"\"", "Invalid Port Name!"},        {"'Demo'", "Invalid Port Name!"},
      {std::string(244, 'n'), "Invalid Port Name!"},
  };
  platform::SetDevConfigDialog([](void*, const std::string&, platform::DeviceConfig&) { return true; });
  Config("[Tap Ports]\r\nPort1=A\r\n[A]\r\nEnabled=1\r\n");
  for (const auto& entry : cases) {
    const std::string& name = entry.first;  // clang 14 cannot capture a structured binding
    const std::string& text = entry.second;
    sink_.events.clear();
    Add([&](TPortDialogModel& form) {
      form.ModemName = name;
      form.SetModemIndex(0);
      form.EditModemSettings();  // the modem settings button writes no file either
      form.ModemName = name;
    });
    const std::string first = text == "No Name Specified!" ? "Must Select a Name First!" : text;
    EXPECT_EQ(sink_.events,
              (Events{"beep", "box:" + first, "focus:ModemName", "beep", "box:" + text, "focus:ModemName"}));
    EXPECT_EQ(ConfigText(), "[Tap Ports]\r\nPort1=A\r\n[A]\r\nEnabled=1\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "data"), {}), 1) << name;
  }
}

// The longest name whose modem settings file, and the temporary name it is
// written under, fit a file name is taken; a port already listed under a
// longer one stays editable but gets no modem settings.
TEST_F(TapPortListTest, ANameMustLeaveRoomForItsModemSettingsFile) {
  platform::SetDevConfigDialog([](void*, const std::string&, platform::DeviceConfig&) { return true; });
  const std::string longest(243, 'n');
  const std::string longer(300, 'o');
  Config("[Tap Ports]\r\nPort1=" + longer + "\r\n[" + longer + "]\r\nDeviceID=0\r\n");
  const Fill fill = [&](TPortDialogModel& form) {
    if (!form.Editing()) form.ModemName = longest;
    form.SetModemIndex(0);
    form.EditModemSettings();
  };
  Edit(0, fill);
  Add(fill);
  EXPECT_EQ(sink_.events, (Events{"beep", "box:Invalid Port Name!", "focus:ModemName"}));
  EXPECT_TRUE(std::filesystem::exists(dir_ / "data" / (longest + ".mcf")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "data"), {}), 2);
  EXPECT_EQ(list_.Items().back().Caption, longest);
  EXPECT_NE(ConfigText().find("[" + longer + "]\r\nDeviceID=0\r\nPassword="), std::string::npos);
}

TEST_F(TapPortListTest, ADirectPortNeedsNoModemAndAnotherPortNeedsOne) {
  Config("");
  Add([](TPortDialogModel& form) { form.ModemName = "Nowhere"; });
  EXPECT_EQ(sink_.events, (Events{"beep", "box:No Modem Specified!", "focus:Modem"}));
  Add([](TPortDialogModel& form) {
    form.ModemName = " Desk ";
    form.Data.SetChecked("DirectAccess", true);
  });
  EXPECT_EQ(list_.Items().back(), (TTapPortItem{"Desk", "Direct", 2, "Port1"}));
  EXPECT_NE(ConfigText().find("Port1=Desk\r\n\r\n[Desk]\r\nDeviceID=-1\r\n"), std::string::npos);
}

TEST_F(TapPortListTest, DeleteBlanksOnlyTheKeyTheItemWasListedFrom) {
  Config("[Tap Ports]\r\nPort1=A\r\nPort5=E\r\nPort6=Misc\r\n[E]\r\nEnabled=1\r\n[Misc]\r\nmHeader=H\r\n");
  EXPECT_FALSE(list_.DeletePort(1));  // answered No
  EXPECT_EQ(sink_.events, (Events{"beep", "box:Delete Selected TAP Port?"}));
  sink_.answers = {BoxAnswer::kYes, BoxAnswer::kYes};
  EXPECT_TRUE(list_.DeletePort(1));
  // A port named after another section leaves that section alone.
  EXPECT_TRUE(list_.DeletePort(1));
  EXPECT_EQ(ConfigText(), "[Tap Ports]\r\nPort1=A\r\nPort5=\r\nPort6=\r\n[Misc]\r\nmHeader=H\r\n");
  EXPECT_EQ(list_.Items().size(), 1u);
}

TEST_F(TapPortListTest, EditLoadsThePortKeepsItsNameAndWritesItsSection) {
  Config(
      "[Tap Ports]\r\nPort3=A\r\nPort4=Gone\r\n[A]\r\nDeviceID=2\r\nPassword=pw\r\nComPort=2\r\n"
      "[Gone]\r\nDeviceID=7\r\n");
  int dialogs = 0;
  const Fill fill = [&](TPortDialogModel& form) {
    ++dialogs;
    EXPECT_TRUE(form.Editing());
    form.Data.SetText("Password", form.ModemName + " new");
    form.Data.SetChecked("Enabled", true);
  };
  Edit(0, fill);
  EXPECT_EQ(list_.Items()[0], (TTapPortItem{"A", "2", 3, "Port3"}));
  EXPECT_NE(ConfigText().find("[A]\r\nDeviceID=2\r\nPassword=A new\r\nComPort=2\r\nTimeOut=60"), std::string::npos);
  // A line no longer listed is no choice: a modem must be chosen again.
  Edit(1, fill);
  EXPECT_EQ(sink_.events, (Events{"beep", "box:No Modem Specified!", "focus:Modem"}));
  EXPECT_EQ(dialogs, 2);
}

TEST_F(TapPortListTest, ModemSettingsAreEditedForTheChosenLinesDeviceId) {
  std::vector<std::string> shown;
  bool accept = true;
  platform::SetDevConfigDialog([&](void*, const std::string& line, platform::DeviceConfig&) {
    shown.push_back(line);
    return accept;
  });
  TPortDialogModel form(manager_, {{"Modem A", 0}, {"Modem C", 2}}, {}, false);
  form.ModemName = "Demo";
  form.EditModemSettings();
  form.SetModemIndex(1);
  form.ModemName = "";
  form.EditModemSettings();
  form.ModemName = "Demo";
  form.EditModemSettings();
  accept = false;
  form.EditModemSettings();  // cancelled: no box
  platform::SetDevConfigDialog(nullptr);
  form.EditModemSettings();
  EXPECT_EQ(shown, (std::vector<std::string>{"Modem C", "Modem C"}));
  EXPECT_FALSE(dir_.Read("data/Demo.mcf").empty());
  EXPECT_EQ(sink_.events,
            (Events{"beep", "box:Must Select a Modem First!", "focus:Modem", "beep", "box:Must Select a Name First!",
                    "focus:ModemName", "beep", "box:Unable To Save Modem Config Settings!"}));
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kError);
}

TEST_F(TapPortListTest, TheModemSettingsRefusalSaysWhyBelowItsText) {
  dir_.Write("telephony.ini",
             "[Modem A]\r\nDevice=COM1\r\n[Odd]\r\nDevice=COM2\r\nSpeed=1234\r\n[Bare]\r\nSpeed=9600\r\n");
  platform::SetDevConfigDialog([](void*, const std::string&, platform::DeviceConfig&) { return true; });
  TPortDialogModel form(manager_, {{"Modem A", 0}, {"Odd", 1}, {"Bare", 2}}, {}, false);
  form.ModemName = "Demo";
  for (const auto& [device, reason] : {std::pair(1, "unsupported speed 1234"), std::pair(2, "Device: missing")}) {
    form.Data.SetNumber("Modem", device);
    form.EditModemSettings();
    EXPECT_EQ(sink_.boxes.back().text, std::string("Unable To Save Modem Config Settings!\n") + reason);
  }
  // No data directory to write the file into: the file layer's words name the file.
  std::filesystem::remove_all(dir_ / "data");
  form.Data.SetNumber("Modem", 0);
  form.EditModemSettings();
  EXPECT_EQ(sink_.boxes.back().text.rfind("Unable To Save Modem Config Settings!\n", 0), 0u);
  EXPECT_NE(sink_.boxes.back().text.find("Demo.mcf"), std::string::npos);
}

}  // namespace
}  // namespace vltg::manager
