// The service group and the service's control, on a service database of the
// test's own: the look in every state (shown through a stand-in control
// channel), install and "Apply Changes" read back from the database, the
// refusals that write nothing, start, stop, restart and uninstall of a real
// service process (tests/support's fake-service as the data directory's
// vltg), the window's thread never asking a gateway that hangs, and Exit
// waiting for a running operation.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <thread>

#include "datafiles/service_names.h"
#include "manager/model/service_manager.h"
#include "platform/base/system_error.h"
#include "platform/service/service_tool.h"
#include "tests/support/fake_service_channel.h"
#include "tests/support/manager_test.h"

namespace vltg::manager {
namespace {
namespace fs = std::filesystem;
using platform::SERVICE_RUNNING;
using platform::SERVICE_STOPPED;
using testing::FakeServiceChannel;

class ServiceControlTest : public testing::ManagerTest {
 protected:
  void SetUp() override {
    fs::create_symlink(VLTG_BINARY_DIR "/tests/fake-service", dir_ / "vltg");
    // The window's waits pass for real, shortened: the service is a real process.
    sink_.on_wait = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 50))); };
  }

  void TearDown() override {
    platform::ServiceStatus status;
    if (platform::ControlService(Service(), platform::SERVICE_CONTROL_STOP, status)) WaitForState(SERVICE_STOPPED);
  }

  platform::ServiceHandle Service() const { return platform::OpenService(scm_, kGatewayServiceName); }
  // The service's status now; state 0 when it is not installed.
  platform::ServiceStatus Status() const {
    platform::ServiceStatus status;
    status.current_state = 0;
    platform::QueryServiceStatus(Service(), status);
    return status;
  }
  bool WaitForState(uint32_t state) const {
    for (int i = 0; i < 500 && Status().current_state != state; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return Status().current_state == state;
  }
  platform::ServiceConfig Installed() const {
    platform::ServiceConfig config;
    EXPECT_TRUE(platform::QueryServiceConfig(Service(), config));
    return config;
  }

  // Installed behind the window's back.
  void InstallUnseen() {
    platform::ServiceConfig config;
    config.service_name = kGatewayServiceName;
    config.binary_path = (dir_ / "vltg").string();
    ASSERT_TRUE(platform::CreateService(scm_, config));
  }
  void Install(const LogonEdits& logon = {}) {
    manager_.Logon() = logon;
    manager_.Install();
    sink_.events.clear();
    sink_.boxes.clear();
  }
  // Started behind the window's back: its look still says stopped.
  void StartUnseen() {
    ASSERT_TRUE(platform::StartService(Service()));
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));
  }

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
      {"running", FakeServiceChannel::State(SERVICE_RUNNING), Look(false, true, false, 1, "On-Line")},
      {"stop pending", FakeServiceChannel::State(platform::SERVICE_STOP_PENDING),
       Look(false, true, false, 1, "On-Line")},
      {"stopped", FakeServiceChannel::State(SERVICE_STOPPED), Look(true, false, false, 0, "Off-Line")},
      {"query fails", FakeServiceChannel::Error(platform::ERROR_ACCESS_DENIED),
       Look(true, false, false, 0, "Off-Line")},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    if (step.reply && !Service()) InstallUnseen();
    std::optional<FakeServiceChannel> channel;
    if (step.reply) channel.emplace(kGatewayServiceName, *step.reply);
    manager_.PollStatus();
    runner_.Settle();
    EXPECT_EQ(manager_.Look(), step.look);
  }
  EXPECT_TRUE(sink_.events.empty());
}

TEST_F(ServiceControlTest, InstallWithEachLogonOrRefuseWritingNothing) {
  struct Case {
    LogonEdits logon;
    std::vector<std::string> events;
    std::string account;  // empty: not installed, and no Config.Dat
    std::string password;
  };
  const Case cases[] = {
      {{"", "secret", false}, {"beep", "box:Must Enter Logon Name!", "focus:LogonName"}, "", ""},
      {{"gwuser", "", false}, {"beep", "box:Must Enter Logon Password!", "focus:LogonPassword"}, "", ""},
      // The default account, and the typed logon still saved.
      {{"gwuser", "secret", true}, {"box:DI DIZ Evevevu Service Installed!"}, "LocalSystem", ""},
      {{"gwuser", "secret", false}, {"box:DI DIZ Evevevu Service Installed!"}, "gwuser", "secret"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events.back());
    platform::DeleteService(Service());
    fs::remove(dir_ / "Config.Dat");
    sink_.events.clear();
    manager_.Logon() = c.logon;
    manager_.Install();
    EXPECT_EQ(sink_.events, c.events);
    if (c.account.empty()) {
      EXPECT_FALSE(Service());
      EXPECT_FALSE(fs::exists(dir_ / "Config.Dat"));
      continue;
    }
    const platform::ServiceConfig config = Installed();
    EXPECT_EQ(std::tie(config.account, config.password), std::tie(c.account, c.password));
    EXPECT_EQ(std::tie(config.service_name, config.display_name, config.service_type, config.start_type,
                       config.error_control, config.binary_path),
              std::make_tuple("VLTAPGateway", "DI DIZ Evevevu", 0x110u, 2u, 1u, (dir_ / "vltg").string()));
    EXPECT_EQ(dir_.Read("Config.Dat"), "[Server]\r\nLogonName=gwuser\r\nPassword=secret\r\nDefaultLogon=" +
                                           std::string(c.logon.default_logon ? "1" : "0") + "\r\n");
    EXPECT_TRUE(manager_.Look().start);
  }
  manager_.Install();  // installed already: the system error
  EXPECT_EQ(sink_.events.back(), "box:System Error.  Code: 1073.\nThe specified service already exists.");
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kError);
}

TEST_F(ServiceControlTest, ApplyChangesWithTheDefaultLogonReturnsToLocalSystem) {
  manager_.ApplyServiceChanges();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Service Update Failed!"}));
  Install({"gwuser", "secret", false});
  manager_.Logon().default_logon = true;
  manager_.ApplyServiceChanges();
  EXPECT_EQ(sink_.events, std::vector<std::string>{"box:Service Updated!"});
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kWarning);
  EXPECT_EQ(Installed().account, "LocalSystem");
  EXPECT_EQ(Installed().password, "");
}

TEST_F(ServiceControlTest, AFailingSettingsWriteEndsTheOperation) {
  fs::create_directory(dir_ / "Config.Dat");
  manager_.Install();
  ASSERT_EQ(sink_.boxes.size(), 1u);
  EXPECT_EQ(sink_.boxes[0].kind, BoxKind::kError);
  EXPECT_FALSE(Service());
}

TEST_F(ServiceControlTest, StartStopAndRestartWithTheirMessages) {
  Install();
  manager_.Start();
  ASSERT_TRUE(WaitForState(SERVICE_RUNNING));  // no longer start pending
  manager_.Start();
  const uint32_t first = Status().process_id;
  manager_.Restart();
  ASSERT_TRUE(WaitForState(SERVICE_RUNNING));
  EXPECT_NE(Status().process_id, first);
  manager_.Stop();
  ASSERT_TRUE(WaitForState(SERVICE_STOPPED));
  manager_.Stop();
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"box:Service Started!", "box:Unable to Start Service!", "box:Service Restarted!",
                                      "box:Service Stopped!", "box:Unable to Stop Service!"}));
  EXPECT_EQ(sink_.boxes[0].kind, BoxKind::kInformation);
  EXPECT_EQ(sink_.boxes[1].kind, BoxKind::kWarning);
}

TEST_F(ServiceControlTest, AServiceThatRefusesToStopIsNeitherRestartedNorRemoved) {
  testing::ScopedEnv mode("FAKE_SERVICE_MODE", "no-stop");
  Install();
  manager_.Start();
  ASSERT_TRUE(WaitForState(SERVICE_RUNNING));
  const uint32_t pid = Status().process_id;
  manager_.Restart();
  // The last failure is the refused stop: no start was tried.
  EXPECT_EQ(platform::GetLastError(), platform::ERROR_INVALID_SERVICE_CONTROL);
  manager_.Uninstall();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"box:Service Started!", "box:Unable to Restart Service!", "beep",
                                                    "box:Unable To Stop Service!"}));
  EXPECT_EQ(Status().process_id, pid);
  ::kill(static_cast<pid_t>(pid), SIGKILL);
}

TEST_F(ServiceControlTest, UninstallStopsWhatRunsNowAndAsksFirst) {
  manager_.Uninstall();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Service Not Installed!"}));
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kInformation);

  Install();
  StartUnseen();
  manager_.Uninstall();  // answered No: installed, and stopped
  EXPECT_EQ(Status().current_state, SERVICE_STOPPED);
  StartUnseen();
  sink_.answers.push_back(BoxAnswer::kYes);
  manager_.Uninstall();
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"beep", "box:Remove RA VARU Daridev Service?", "beep",
                                      "box:Remove RA VARU Daridev Service?", "box:RA VARU Daridev Service Removed!"}));
  EXPECT_FALSE(Service());
  EXPECT_TRUE(manager_.Look().install);
}

TEST_F(ServiceControlTest, ARecordThatCannotBeReadIsAFailingQueryAndIsRemoved) {
  const fs::path record = dir_ / "root" / "services" / "vltapgateway.svc";
  // Row 0 is removed by the manager's Uninstall, row 1 by vltg-sc delete.
  const std::function<void()> spoil[] = {
      [&] { dir_.Write("root/services/vltapgateway.svc", "\x01 garbage"); },
      [&] { fs::remove(record), fs::create_symlink("nowhere", record); },
  };
  for (int row = 0; row < 2; ++row) {
    Install();
    spoil[row]();
    std::ostringstream out;
    EXPECT_EQ(platform::RunServiceTool({"query", kGatewayServiceName}, out), 1);
    EXPECT_EQ(out.str(),
              "[SC] QueryServiceStatus FAILED 1392:\n\nThe file or directory is corrupted and unreadable.\n\n");
    TServiceManager started(sink_, scm_, dir_.Path().string(), runner_);
    started.WindowCreated();
    runner_.Settle();
    ServiceLook installed;  // the failing query changes only the installed enabling
    installed.install = false;
    installed.uninstall = installed.apply_changes = true;
    EXPECT_EQ(started.Look(), installed) << row;
    if (row == 0) {
      sink_.answers.push_back(BoxAnswer::kYes);
      started.Uninstall();
      EXPECT_EQ(sink_.events.back(), "box:RA VARU Daridev Service Removed!");
    } else {
      EXPECT_EQ(platform::RunServiceTool({"delete", kGatewayServiceName}, out), 0) << out.str();
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(record))) << row;
  }
}

TEST_F(ServiceControlTest, StartUp) {
  manager_.CheckSettingsExist();  // no Config.Dat: the question, its answer unused
  manager_.WindowCreated();
  ASSERT_EQ(sink_.boxes.size(), 1u);
  EXPECT_EQ(sink_.boxes[0].text, "Settings Not Found! Please Configure Application?");
  EXPECT_EQ(std::tie(sink_.boxes[0].kind, sink_.boxes[0].buttons, sink_.boxes[0].help_context),
            std::make_tuple(BoxKind::kConfirmation, BoxButtons::kOkHelp, 2));
  EXPECT_FALSE(manager_.LogonEditsEnabled());

  dir_.Write("Config.Dat", "[Server]\r\nLogonName=gwuser\r\nPassword=secret\r\nDefaultLogon=0\r\n");
  testing::RecordingSink sink;
  TServiceManager manager(sink, scm_, dir_.Path().string(), runner_);
  manager.CheckSettingsExist();
  manager.WindowCreated();
  EXPECT_EQ(std::tie(manager.Logon().logon_name, manager.Logon().logon_password), std::make_tuple("gwuser", "secret"));
  EXPECT_TRUE(manager.LogonEditsEnabled());

  testing::ScopedEnv root("VLTG_ROOT", (dir_ / "Config.Dat").string());  // no database there
  EXPECT_FALSE(OpenServiceDatabase(sink));
  EXPECT_EQ(sink.events, std::vector<std::string>{"box:System Error.  Code: 5.\nAccess is denied."});
}

TEST_F(ServiceControlTest, TheWindowsThreadNeverAsksTheGateway) {
  // The gateway takes the first request and never answers it; then it reads
  // running, takes the stop and reads stopped. A request that arrives while
  // no work of the runner runs came from the window's thread.
  InstallUnseen();
  std::atomic<int> from_window{0};
  FakeServiceChannel gateway(kGatewayServiceName,
                             {std::nullopt, FakeServiceChannel::State(SERVICE_RUNNING),
                              FakeServiceChannel::State(platform::SERVICE_STOP_PENDING),
                              FakeServiceChannel::State(SERVICE_STOPPED)});
  gateway.on_request = [&] { from_window += runner_.Running() == 0; };

  // Start-up returns with its reading hung on the runner: nothing is offered
  // until it is there, and the poll is not doubled meanwhile.
  manager_.WindowCreated();
  ASSERT_TRUE(gateway.WaitForRequests(1));
  manager_.PollStatus();
  ServiceLook unread;
  unread.install = false;
  EXPECT_EQ(manager_.Look(), unread);
  EXPECT_TRUE(manager_.Polling());
  gateway.LetGo();  // the service goes: it reads stopped
  runner_.Settle();
  EXPECT_EQ(manager_.Look(), Look(true, false, false, 0, "Off-Line"));

  // Uninstall reads the state now, stops the service and waits until it is
  // stopped, each call on the runner.
  manager_.Uninstall();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Remove RA VARU Daridev Service?"}));
  EXPECT_EQ(gateway.Requests(), 5);
  EXPECT_EQ(from_window, 0);
}

TEST_F(ServiceControlTest, ExitWaitsForTheRunningOperationAndItsBox) {
  // Exit is asked for at the operation's first wait, where the window's
  // events flow; the program ends after the operation's last box.
  using Operation = void (TServiceManager::*)();
  struct Case {
    Operation operation;
    std::vector<std::string> events;
    uint32_t state_after;  // 0: not installed
  };
  const Case cases[] = {
      {&TServiceManager::Install, {"box:DI DIZ Evevevu Service Installed!", "exit"}, SERVICE_STOPPED},
      {&TServiceManager::Start, {"box:Service Started!", "exit"}, SERVICE_RUNNING},
      {&TServiceManager::Restart, {"box:Service Restarted!", "exit"}, SERVICE_RUNNING},
      {&TServiceManager::Stop, {"box:Service Stopped!", "exit"}, SERVICE_STOPPED},
      {&TServiceManager::Uninstall,
       {"beep", "box:Remove RA VARU Daridev Service?", "box:RA VARU Daridev Service Removed!", "exit"},
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.events.front());
    TServiceManager manager(sink_, scm_, dir_.Path().string(), runner_);
    manager.OnExit = [&](TServiceManager& sender) {
      EXPECT_FALSE(sender.Busy());
      sink_.events.push_back("exit");
    };
    sink_.events.clear();
    sink_.answers = {BoxAnswer::kYes};
    sink_.on_wait = [&](int ms) {
      if (!manager.Exiting()) manager.Exit();
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 50)));
    };
    (manager.*c.operation)();
    EXPECT_EQ(sink_.events, c.events);
    ASSERT_TRUE(WaitForState(c.state_after));
  }

  // Nothing running: at once.
  TServiceManager idle(sink_, scm_, dir_.Path().string(), runner_);
  bool ended = false;
  idle.OnExit = [&](TServiceManager&) { ended = true; };
  idle.Exit();
  EXPECT_TRUE(ended);
}

}  // namespace
}  // namespace vltg::manager
