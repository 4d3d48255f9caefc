// The TAP port list and the port dialog's rules: listing, the slot a new
// port takes, names refused before anything is written, direct ports,
// delete, edit, the modem settings button and help.
#include "manager/model/tap_port_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "gateway/config_keys.h"
#include "platform/telephony/line_api.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {

using Events = std::vector<std::string>;

class TapPortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_ / "root");
    std::filesystem::create_directories(dir_ / "data");
    dir_.Write("root/telephony.ini", "[Modem A]\r\nDevice=COM1\r\n[Modem B]\r\nDevice=COM2\r\n[Modem C]\r\nDevice=COM3\r\n");
  }
  void TearDown() override { platform::SetDevConfigDialog(nullptr); }

  // Config.Dat as given, listed.
  void Config(const std::string& text) {
    dir_.Write("data/Config.Dat", text);
    list_.FormShow();
  }
  std::string ConfigText() const { return dir_.Read("data/Config.Dat"); }
  // The dialog as an operator fills it, then OK (or Cancel when OK refuses).
  void Dialog(std::function<void(TPortDataForm&)> fill) {
    list_.ShowPortDialog = [fill](TPortDataForm& form) {
      fill(form);
      return form.OKButClick();
    };
  }
  std::string TapPort(int n) const {
    return platform::ProfileFile(dir_ / "data/Config.Dat").ReadString("Tap Ports", "Port" + std::to_string(n), "-");
  }

  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", (dir_ / "root").string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  TVLSGSrvcMngr manager_{sink_, scm_, (dir_ / "data").string()};
  TTapPortList list_{manager_};
};

TEST_F(TapPortListTest, PortsAreListedAsTheGatewayStartsThem) {
  Config("[Tap Ports]\r\nPort1=A\r\nPort2=\r\nPortX=Z\r\nPort3=C\r\nPort17=Q\r\n"
         "[A]\r\nDirectAccess=1\r\nEnabled=1\r\nDeviceID=1\r\n[C]\r\nDeviceID=2\r\n");
  EXPECT_EQ(list_.Items(), (std::vector<TTapPortItem>{{"A", "Direct", 3, "Port1"}, {"C", "2", 2, "Port3"}}));
}

TEST_F(TapPortListTest, ANewPortTakesTheLowestFreeSlotTheGatewayServes) {
  struct Case {
    std::string ports;
    int slot;  // 0: refused
  };
  std::string full, shifted;
  for (int n = 1; n <= 16; ++n) full += "Port" + std::to_string(n) + "=P" + std::to_string(n) + "\r\n";
  for (int n = 2; n <= 17; ++n) shifted += "Port" + std::to_string(n) + "=P" + std::to_string(n) + "\r\n";
  const Case cases[] = {
      {"Port1=A\r\nPort2=\r\nPort3=C\r\n", 2},
      {"Port1=A\r\nPort2=C\r\n", 3},
      {"Port1=A\r\nPort3=C\r\n", 2},
      {full, 0},
      {shifted, 0},  // a Port1 key would come 17th, past what the gateway reads
  };
  Dialog([](TPortDataForm& form) {
    form.ModemName = "B";
    form.SetModemIndex(1);
    form.Data.Enabled = true;
  });
  for (const Case& c : cases) {
    sink_.events.clear();
    Config("[Tap Ports]\r\n" + c.ports);
    const std::string before = ConfigText();
    list_.BitBtn4Click();
    if (c.slot == 0) {
      EXPECT_EQ(sink_.events, (Events{"beep", "box:Only 16 Ports Allowed!"}));
      EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kInformation);
      EXPECT_EQ(ConfigText(), before);
      continue;
    }
    EXPECT_TRUE(sink_.events.empty());
    EXPECT_EQ(TapPort(c.slot), "B") << c.ports;
    EXPECT_EQ(TapPort(c.slot == 2 ? 3 : 2), "C");
    EXPECT_EQ(list_.Items().back(), (TTapPortItem{"B", "1", 3, "Port" + std::to_string(c.slot)}));
    // The section's keys, in their order.
    const std::string text = ConfigText();
    EXPECT_EQ(text.substr(text.find("[B]")),
              "[B]\r\nDeviceID=1\r\nPassword=\r\nTimeOut=60\r\nRings=1\r\nLength=160\r\nTruncateMsgs=0\r\n"
              "Enabled=1\r\nComPort=0\r\nDataSettings=0\r\nFlowCtrl=1\r\nCOMSpeed=3\r\nDirectAccess=0\r\n");
  }
}

TEST_F(TapPortListTest, NamesThatCannotBeAPortAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    std::string name;
    std::string text;
  };
  const Case cases[] = {
      {"", "No Name Specified!"},         {"   ", "No Name Specified!"},
      {"a", "Modem Name Already In Use!"}, {"../x", "Invalid Port Name!"},
      {"a/b", "Invalid Port Name!"},       {"b\\c", "Invalid Port Name!"},
      {"[x]", "Invalid Port Name!"},       {"x=y", "Invalid Port Name!"},
      {"tab\there", "Invalid Port Name!"}, {"system", "Invalid Port Name!"},
      {"Server", "Invalid Port Name!"},    {"tap ports", "Invalid Port Name!"},
  };
  platform::SetDevConfigDialog([](void*, const std::string&, platform::DeviceConfig&) { return true; });
  Config("[Tap Ports]\r\nPort1=A\r\n[A]\r\nEnabled=1\r\n");
  const std::string before = ConfigText();
  for (const Case& c : cases) {
    sink_.events.clear();
    Dialog([&](TPortDataForm& form) {
      form.ModemName = c.name;
      form.SetModemIndex(0);
      form.BitBtn4Click();  // the modem settings write no file either
      form.ModemName = c.name;
    });
    list_.BitBtn4Click();
    const std::string empty_text = c.text == "No Name Specified!" ? "Must Select a Name First!" : c.text;
    EXPECT_EQ(sink_.events, (Events{"beep", "box:" + empty_text, "focus:ModemName", "beep", "box:" + c.text,
                                    "focus:ModemName"}))
        << c.name;
    EXPECT_EQ(ConfigText(), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_ / "data"), {}), 1);  // Config.Dat alone
  }
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kWarning);
}

TEST_F(TapPortListTest, ADirectPortNeedsNoModemAndAnotherPortNeedsOne) {
  Config("");
  Dialog([](TPortDataForm& form) { form.ModemName = "Nowhere"; });
  list_.BitBtn4Click();
  EXPECT_EQ(sink_.events, (Events{"beep", "box:No Modem Specified!", "focus:Modem"}));
  EXPECT_EQ(ConfigText(), "");

  Dialog([](TPortDataForm& form) {
    form.ModemName = " Desk ";
    form.Data.DirectAccess = true;
  });
  list_.BitBtn4Click();
  EXPECT_EQ(list_.Items().back(), (TTapPortItem{"Desk", "Direct", 2, "Port1"}));
  EXPECT_EQ(TapPort(1), "Desk");
  EXPECT_NE(ConfigText().find("[Desk]\r\nDeviceID=-1\r\n"), std::string::npos);
}

TEST_F(TapPortListTest, DeleteBlanksOnlyTheKeyTheItemWasListedFrom) {
  Config("[Tap Ports]\r\nPort1=A\r\nPort2=B\r\nPort5=E\r\nPort6=Misc\r\n[A]\r\nEnabled=1\r\n[E]\r\nEnabled=1\r\n"
         "[Misc]\r\nmHeader=H\r\n");
  list_.BitBtn3Click(2);  // answered No
  EXPECT_EQ(sink_.events, (Events{"beep", "box:Delete Selected TAP Port?"}));
  EXPECT_EQ(sink_.boxes.back().buttons, BoxButtons::kYesNo);
  EXPECT_EQ(list_.Items().size(), 4u);

  sink_.answers = {BoxAnswer::kYes, BoxAnswer::kYes};
  list_.BitBtn3Click(2);
  EXPECT_EQ(ConfigText(), "[Tap Ports]\r\nPort1=A\r\nPort2=B\r\nPort5=\r\nPort6=Misc\r\n[A]\r\nEnabled=1\r\n"
                          "[Misc]\r\nmHeader=H\r\n");
  // A port named after another section leaves that section alone.
  list_.BitBtn3Click(2);
  EXPECT_EQ(ConfigText(), "[Tap Ports]\r\nPort1=A\r\nPort2=B\r\nPort5=\r\nPort6=\r\n[A]\r\nEnabled=1\r\n"
                          "[Misc]\r\nmHeader=H\r\n");
  EXPECT_EQ(list_.Items().size(), 2u);
  list_.BitBtn3Click(-1);
  EXPECT_EQ(list_.Items().size(), 2u);
}

TEST_F(TapPortListTest, EditLoadsThePortKeepsItsNameAndWritesItsSection) {
  Config("[Tap Ports]\r\nPort3=A\r\nPort4=Gone\r\n[A]\r\nDeviceID=2\r\nPassword=pw\r\nTimeOut=30\r\nComPort=2\r\n"
         "[Gone]\r\nDeviceID=7\r\n");
  std::vector<std::string> names;
  TPortData loaded;
  list_.ShowPortDialog = [&](TPortDataForm& form) {
    EXPECT_TRUE(form.Editing());
    names.push_back(form.ModemName);
    loaded = form.Data;
    form.Data.Password = "new";
    form.Data.Enabled = true;
    return form.OKButClick();
  };
  list_.ListView2DblClick(0);
  EXPECT_EQ(loaded.DeviceID, 2);
  EXPECT_EQ(loaded.Password, "pw");
  EXPECT_EQ(loaded.TimeOut, "30");
  EXPECT_EQ(loaded.RingsToAnswer, "1");
  EXPECT_EQ(loaded.MaxMsgLength, "160");
  EXPECT_EQ(loaded.ComPort, 2);
  EXPECT_EQ(loaded.FlowCtrl, 1);
  EXPECT_EQ(list_.Items()[0], (TTapPortItem{"A", "2", 3, "Port3"}));
  EXPECT_NE(ConfigText().find("Password=new\r\n"), std::string::npos);

  // A line no longer listed is no choice: a modem must be chosen again.
  list_.ListView2DblClick(1);
  EXPECT_EQ(loaded.DeviceID, -1);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "Gone"}));
  EXPECT_EQ(sink_.events, (Events{"beep", "box:No Modem Specified!", "focus:Modem"}));
}

TEST_F(TapPortListTest, ModemSettingsAreEditedForTheChosenLinesDeviceId) {
  std::vector<std::string> shown;
  bool accept = true;
  platform::SetDevConfigDialog([&](void*, const std::string& line, platform::DeviceConfig&) {
    shown.push_back(line);
    return accept;
  });
  TPortDataForm form(manager_, {{"Modem A", 0}, {"Modem C", 2}}, {}, false);
  form.ModemName = "Demo";
  form.BitBtn4Click();
  form.SetModemIndex(1);
  EXPECT_EQ(form.Data.DeviceID, 2);
  form.ModemName = "";
  form.BitBtn4Click();
  EXPECT_EQ(sink_.events, (Events{"beep", "box:Must Select a Modem First!", "focus:Modem", "beep",
                                  "box:Must Select a Name First!", "focus:ModemName"}));

  sink_.events.clear();
  form.ModemName = "Demo";
  form.BitBtn4Click();
  EXPECT_EQ(shown, (std::vector<std::string>{"Modem C"}));
  EXPECT_FALSE(dir_.Read("data/Demo.mcf").empty());
  accept = false;
  std::filesystem::remove(dir_ / "data/Demo.mcf");
  form.BitBtn4Click();  // cancelled: no file, no box
  EXPECT_TRUE(sink_.events.empty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "data/Demo.mcf"));

  platform::SetDevConfigDialog(nullptr);
  form.BitBtn4Click();
  EXPECT_EQ(sink_.events, (Events{"beep", "box:Unable To Save Modem Config Settings!"}));
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kError);

  sink_.events.clear();
  std::filesystem::create_directories(dir_ / "data/help");
  dir_.Write("data/help/20.html", "");
  dir_.Write("data/help/21.html", "");
  form.BitBtn1Click(0);
  form.BitBtn1Click(1);
  EXPECT_EQ(sink_.events, (Events{"open:" + (dir_ / "data/help/20.html").string(),
                                  "open:" + (dir_ / "data/help/21.html").string()}));
}

}  // namespace
}  // namespace vltg::manager
