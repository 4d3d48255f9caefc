// The gateway service as the window shows and controls it: its look in every
// state (shown through a stand-in control channel), and start, stop, restart
// and uninstall of a real service process (tests/support's fake-service
// installed as the data directory's vltg).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "gateway/vltap_gateway_service.h"
#include "manager/model/service_manager.h"
#include "platform/base/system_error.h"
#include "tests/support/fake_service_channel.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {
namespace fs = std::filesystem;
using testing::FakeServiceChannel;

class ServiceControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_symlink(VLTG_BINARY_DIR "/tests/fake-service", dir_ / "vltg");
    // The window's waits pass for real, shortened: the service is a real process.
    sink_.on_wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 50))); };
  }

  void TearDown() override {
    platform::ServiceHandle service = platform::OpenService(scm_, kGatewayServiceName);
    platform::ServiceStatus status;
    if (service && platform::ControlService(service, platform::SERVICE_CONTROL_STOP, status)) {
      WaitForState(platform::SERVICE_STOPPED);
    }
  }

  bool WaitForState(uint32_t state) const {
    for (int i = 0; i < 500; ++i) {
      if (State() == state) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  // The state the service database gives now; 0 when not installed.
  uint32_t State() const {
    platform::ServiceStatus status;
    const platform::ServiceHandle service = platform::OpenService(scm_, kGatewayServiceName);
    return service && platform::QueryServiceStatus(service, status) ? status.current_state : 0;
  }

  uint32_t Pid() const {
    platform::ServiceStatus status;
    const platform::ServiceHandle service = platform::OpenService(scm_, kGatewayServiceName);
    return service && platform::QueryServiceStatus(service, status) ? status.process_id : 0;
  }

  void Install() {
    manager_.Install1Click();
    sink_.events.clear();
    sink_.boxes.clear();
  }

  // Started behind the window's back: its look still says stopped.
  void StartUnseen() {
    ASSERT_TRUE(platform::StartService(platform::OpenService(scm_, kGatewayServiceName)));
    ASSERT_TRUE(manager_.Look().start);
  }

  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", (dir_ / "root").string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  TVLSGSrvcMngr manager_{sink_, scm_, dir_.Path().string()};
};

ServiceLook Look(bool start, bool stop, bool install, int icon, const char* state) {
  ServiceLook look;
  look.start = start;
  look.stop = look.restart = stop;
  look.install = install;
  look.uninstall = look.apply_changes = !install;
  look.icon = icon;
  look.tip = std::string(kManagerTitle) + "[Gateway " + state + "]";
  look.status = std::string("Gateway ") + state;
  return look;
}

TEST_F(ServiceControlTest, TheLookFollowsEveryState) {
  // Pending states and failing queries change only the installed enabling;
  // the rest stays as the last running or stopped state left it.
  struct Step {
    const char* what;
    std::optional<platform::ChannelReply> reply;  // nothing: not installed
    ServiceLook look;
  };
  const Step steps[] = {
      {"not installed", std::nullopt, Look(false, false, true, 0, "Off-Line")},
      {"start pending", FakeServiceChannel::State(platform::SERVICE_START_PENDING),
       Look(false, false, false, 0, "Off-Line")},
      {"running", FakeServiceChannel::State(platform::SERVICE_RUNNING), Look(false, true, false, 1, "On-Line")},
      {"stop pending", FakeServiceChannel::State(platform::SERVICE_STOP_PENDING),
       Look(false, true, false, 1, "On-Line")},
      {"stopped", FakeServiceChannel::State(platform::SERVICE_STOPPED), Look(true, false, false, 0, "Off-Line")},
      {"query fails", FakeServiceChannel::Error(platform::ERROR_ACCESS_DENIED),
       Look(true, false, false, 0, "Off-Line")},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.reply && State() == 0) {
      platform::ServiceConfig config;  // installed behind the window's back
      config.service_name = kGatewayServiceName;
      config.binary_path = (dir_ / "vltg").string();
      ASSERT_TRUE(platform::CreateService(scm_, config));
    }
    std::optional<FakeServiceChannel> channel;
    if (step.reply) channel.emplace(kGatewayServiceName, *step.reply);
    manager_.Timer2Timer();
    EXPECT_EQ(manager_.Look(), step.look);
  }
  EXPECT_EQ(steps[0].look.tip.size(), 48u);
  EXPECT_TRUE(sink_.events.empty());
}

TEST_F(ServiceControlTest, StartStopAndRestartWithTheirMessages) {
  Install();
  std::vector<bool> busy_while_waiting;
  sink_.on_wait = [&](int ms) {
    busy_while_waiting.push_back(manager_.Busy());
    manager_.Timer2Timer();  // the poll waits for the operation's end
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 50)));
  };
  manager_.Start1Click();
  manager_.Start1Click();
  EXPECT_EQ(State(), platform::SERVICE_RUNNING);
  const uint32_t first = Pid();
  manager_.Restart1Click();
  EXPECT_EQ(State(), platform::SERVICE_RUNNING);
  EXPECT_NE(Pid(), first);
  EXPECT_EQ(manager_.Look().status, "Gateway On-Line");
  manager_.Stop1Click();
  ASSERT_TRUE(WaitForState(platform::SERVICE_STOPPED));
  manager_.Stop1Click();
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"box:Service Started!", "box:Unable to Start Service!", "box:Service Restarted!",
                                      "box:Service Stopped!", "box:Unable to Stop Service!"}));
  EXPECT_EQ(sink_.boxes[1].kind, BoxKind::kWarning);
  EXPECT_EQ(sink_.boxes[2].kind, BoxKind::kInformation);
  ASSERT_FALSE(busy_while_waiting.empty());
  EXPECT_TRUE(std::all_of(busy_while_waiting.begin(), busy_while_waiting.end(), [](bool b) { return b; }));
  EXPECT_FALSE(manager_.Busy());
}

TEST_F(ServiceControlTest, ARestartWhoseStopIsRefusedDoesNotStart) {
  testing::ScopedEnv mode("FAKE_SERVICE_MODE", "no-stop");
  Install();
  manager_.Start1Click();
  const uint32_t pid = Pid();
  manager_.Restart1Click();
  EXPECT_EQ(sink_.events.back(), "box:Unable to Restart Service!");
  // The last failure is the refused stop, not a start of a running service.
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_SERVICE_CONTROL);
  EXPECT_EQ(Pid(), pid);
  ::kill(static_cast<pid_t>(pid), SIGKILL);
}

TEST_F(ServiceControlTest, UninstallStopsARunningServiceAndAsksFirst) {
  manager_.Uninstall1Click();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Service Not Installed!"}));
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kInformation);
  sink_.events.clear();

  Install();
  StartUnseen();
  manager_.Uninstall1Click();  // answered No: installed, and stopped
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Remove RA VARU Daridev Service?"}));
  EXPECT_EQ(State(), platform::SERVICE_STOPPED);
  EXPECT_EQ(manager_.Look().status, "Gateway Off-Line");
  sink_.events.clear();

  StartUnseen();
  sink_.answers.push_back(BoxAnswer::kYes);
  manager_.Uninstall1Click();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Remove RA VARU Daridev Service?",
                                                    "box:RA VARU Daridev Service Removed!"}));
  EXPECT_EQ(State(), 0u);
  EXPECT_TRUE(manager_.Look().install);
  EXPECT_FALSE(manager_.Look().uninstall);
}

TEST_F(ServiceControlTest, AServiceThatWillNotStopIsNotRemoved) {
  testing::ScopedEnv mode("FAKE_SERVICE_MODE", "no-stop");
  Install();
  StartUnseen();
  const uint32_t pid = Pid();
  manager_.Uninstall1Click();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Unable To Stop Service!"}));
  EXPECT_EQ(State(), platform::SERVICE_RUNNING);
  ::kill(static_cast<pid_t>(pid), SIGKILL);
}

}  // namespace
}  // namespace vltg::manager
