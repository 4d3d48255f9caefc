// The manager's pages and the running gateway: what the route list and the
// WCTP page write is what the gateway uses once the manager has restarted it.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "manager/model/routing_tables.h"
#include "manager/model/service_manager.h"
#include "manager/model/wctp_settings.h"
#include "tests/endtoend/page_calls.h"
#include "tests/support/gateway_installation.h"
#include "tests/support/local_http_server.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/recording_sink.h"
#include "tests/support/thread_runner.h"

namespace vltg {
namespace {

using manager::BoxAnswer;

TEST(ManagerSettingsTest, AWctpRouteAndSenderIdWrittenByTheManagerServeTheNextCallAfterItsRestart) {
  testing::GatewayInstallation gw;
  testing::ModemSimulator modem;
  testing::LinkComPort(1, modem.LinePath());
  gw.Dir().Write("root/telephony.ini", "[Modem 1]\r\nDevice=COM1\r\n");
  gw.Dir().Write("data/Config.Dat", "[Tap Ports]\r\nPort1=Line1\r\n[Line1]\r\nEnabled=1\r\nDeviceID=0\r\n");
  const std::string waiting = "[TAP Dial-Up Connection] Line1 Waiting For Calls...";
  // The line is ready once it was armed that many times.
  const auto armed = [&](int times) {
    return modem.WaitUntil(
        [&] {
          const auto texts = gw.LogTexts(waiting, 0);
          return std::count(texts.begin(), texts.end(), waiting) >= times;
        },
        20000);
  };
  ASSERT_TRUE(gw.InstallAndStart());
  ASSERT_TRUE(armed(1));

  // The manager's waits keep real time, as the window's do.
  testing::RecordingSink sink;
  sink.on_wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  const platform::ScManagerHandle scm = platform::OpenSCManager();
  testing::ThreadRunner runner;
  manager::TServiceManager window(sink, scm, gw.Data().string(), runner);
  window.RefreshServiceStatus();
  ASSERT_TRUE(window.Look().restart);

  testing::LocalHttpServer wctp_server({testing::kWctpAccepted, false, {}});
  manager::WctpSettings wctp(window);
  wctp.SetText("WCTPSenderID", "night-desk@example.org");
  sink.answers.push_back(BoxAnswer::kNo);  // restart later, with the routes
  ASSERT_TRUE(wctp.Apply());

  manager::RoutingTables routes(window);
  manager::TRouteDialogModel form;
  form.Route = "55";
  form.SelectTransport("WCTP");
  form.Destination = wctp_server.Url("/wctp");
  form.Port = "0";
  ASSERT_TRUE(form.Accept(sink));
  routes.AddRoute(form.Line());
  sink.answers.push_back(BoxAnswer::kYes);
  ASSERT_TRUE(routes.Apply());
  EXPECT_EQ(sink.events, (std::vector<std::string>{"beep", "box:Server Restart Required! Restart Server?!", "beep",
                                                    "box:Server Restart Required! Restart Server?!",
                                                    "box:Service Restarted!"}));
  ASSERT_TRUE(armed(2)) << "the restarted gateway serves the line again";

  EXPECT_EQ(testing::Call(modem, testing::PageScript("5512", "from the manager", testing::kAccepted)), "");
  ASSERT_EQ(wctp_server.Requests().size(), 1u);
  EXPECT_NE(wctp_server.Requests()[0].find("senderID=\"night-desk@example.org\""), std::string::npos)
      << wctp_server.Requests()[0];
}

}  // namespace
}  // namespace vltg
