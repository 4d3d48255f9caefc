// A TAP port set up through the manager's rules, served by the real gateway:
// the port's modem settings reach its modem, and a caller's page reaches the
// carrier.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "datafiles/route_table.h"
#include "manager/model/service_manager.h"
#include "manager/model/tap_port_list.h"
#include "platform/telephony/line_api.h"
#include "tests/support/caller_script.h"
#include "tests/support/gateway_installation.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scripted_snpp_server.h"
#include "tests/support/thread_runner.h"

namespace vltg {
namespace {

using ::testing::Contains;

TEST(ManagerTapPortTest, APortAddedInTheManagerAnswersWithItsModemSettingsAndDelivers) {
  testing::GatewayInstallation gw;
  test::ScriptedSnppServer snpp;
  testing::ModemSimulator first, demo;
  testing::LinkComPort(1, first.LinePath());
  testing::LinkComPort(2, demo.LinePath());
  gw.Dir().Write("root/telephony.ini", "[Modem 1]\r\nDevice=COM1\r\n[Modem 2]\r\nDevice=COM2\r\n");

  // The operator adds "Demo" on the second line and sets its init command in
  // the provider's dialog.
  platform::SetDevConfigDialog([](void*, const std::string&, platform::DeviceConfig& config) {
    config.init_command = "ATS7=45";
    return true;
  });
  {
    const platform::ScManagerHandle scm = platform::OpenSCManager();
    testing::RecordingSink sink;
    testing::ThreadRunner runner;
    manager::TServiceManager manager(sink, scm, gw.Data().string(), runner);
    manager::TTapPortList ports(manager);
    ports.LoadPorts();
    std::optional<manager::TPortDialogModel> form = ports.AddDialog();
    ASSERT_TRUE(form);
    form->ModemName = "Demo";
    form->SetModemIndex(1);
    form->Data.SetChecked("Enabled", true);
    form->EditModemSettings();
    ASSERT_TRUE(form->Accept());
    ports.AddPort(form->ModemName, form->Data);
    EXPECT_TRUE(sink.events.empty());
  }
  platform::SetDevConfigDialog(nullptr);
  RouteTable({{"default", "SNPP", "127.0.0.1", snpp.PortName()}}).Save(gw.Data() / "Route.Dat");

  ASSERT_TRUE(gw.InstallAndStart());
  const std::string waiting = "[TAP Dial-Up Connection] Demo Waiting For Calls...";
  const auto texts = gw.LogTexts(waiting, 15000);
  EXPECT_THAT(texts, Contains("[TAP Dial-Up Connection] Starting TAP Modem Services For Demo"));
  ASSERT_THAT(texts, Contains(waiting));
  EXPECT_THAT(demo.Commands(), Contains("ATS7=45"));

  demo.Call();
  ASSERT_TRUE(demo.WaitUntil([&] { return demo.Connected(); }, 30000));
  std::ostringstream transcript;
  const std::string failure = testing::CallerScript::Parse(
                                  "knock \"\\r\" ID=\n"
                                  "send \"\\ePG1\\r\"\n"
                                  "expect \"\\e[p\\r\"\n"
                                  "block 1234 \"Hello from Demo\"\n"
                                  "expect \"Message Submitted For Processing\\r\\x06\\r\" 90\n"
                                  "send \"\\x04\\r\"\n"
                                  "expect \"\\e\\x04\"\n")
                                  .Play(demo, &transcript);
  EXPECT_EQ(failure, "") << transcript.str();
  ASSERT_TRUE(snpp.WaitForEnded(1));
  EXPECT_EQ(snpp.Received().at(0), "PAGE 1234\r\nMESS Hello from Demo\r\nSEND\r\nQUIT\r\n");
}

}  // namespace
}  // namespace vltg
