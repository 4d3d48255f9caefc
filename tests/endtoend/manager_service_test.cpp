// The service manager's rules driving the real gateway under the service
// layer: install from the data directory, start, the status poll reading
// on-line once the gateway is up, stop and uninstall, each with its message.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "manager/model/service_manager.h"
#include "tests/support/gateway_installation.h"
#include "tests/support/recording_sink.h"
#include "tests/support/thread_runner.h"

namespace vltg::manager {
namespace {

TEST(ManagerServiceTest, InstallStartReadOnLineStopUninstall) {
  testing::GatewayInstallation gw;
  const platform::ScManagerHandle scm = platform::OpenSCManager();
  testing::RecordingSink sink;
  sink.on_wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  testing::ThreadRunner runner;
  TServiceManager manager(sink, scm, gw.Data().string(), runner);
  manager.WindowCreated();
  runner.Settle();
  ASSERT_TRUE(manager.Look().install);

  manager.Install();
  const auto started = std::chrono::steady_clock::now();
  manager.Start();
  const auto log = gw.LogTexts("[System] All Services Active!");
  EXPECT_NE(std::find(log.begin(), log.end(), "[System] All Services Active!"), log.end());
  manager.PollStatus();
  runner.Settle();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(kStatusPollMs));
  EXPECT_EQ(manager.Look().status, "Gateway On-Line");
  EXPECT_EQ(manager.Look().icon, 1);
  EXPECT_TRUE(manager.Look().stop);

  manager.Stop();
  EXPECT_TRUE(gw.WaitForState(1));
  sink.answers.push_back(BoxAnswer::kYes);
  manager.Uninstall();
  EXPECT_EQ(sink.events,
            (std::vector<std::string>{"box:DI DIZ Evevevu Service Installed!", "box:Service Started!",
                                      "box:Service Stopped!", "beep", "box:Remove RA VARU Daridev Service?",
                                      "box:RA VARU Daridev Service Removed!"}));
  EXPECT_EQ(gw.State(), -1);  // not installed
  EXPECT_TRUE(manager.Look().install);
  const auto stopped = gw.LogTexts("[System] Server ShutDown");
  EXPECT_NE(std::find(stopped.begin(), stopped.end(), "[System] Server ShutDown"), stopped.end());
}

}  // namespace
}  // namespace vltg::manager
