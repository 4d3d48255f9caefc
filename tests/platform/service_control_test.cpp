// The service layer with real service processes: tests/support's fake-service
// (its behaviour chosen by FAKE_SERVICE_MODE, which the started program
// inherits from the starter's environment).
#include "platform/service/service_control.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/base/system_error.h"
#include "platform/messages/message_queue.h"
#include "platform/service/event_log.h"
#include "platform/service/service_dispatcher.h"
#include "platform/service/service_tool.h"
#include "tests/support/run_program.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::platform {
namespace {
namespace fs = std::filesystem;

class ServiceRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(bin_);
    fs::create_symlink(VLTG_BINARY_DIR "/tests/fake-service", bin_ / "fake-service");
    ASSERT_TRUE(manager_);
  }

  void TearDown() override {
    for (const auto& name : EnumServiceNames(manager_)) {
      const ServiceHandle service = OpenService(manager_, name);
      ServiceStatus status;
      // A service still starting takes no stop and would be left running:
      // it is let come up first, however long the machine takes.
      if (service && QueryServiceStatus(service, status) && status.current_state == SERVICE_START_PENDING) {
        WaitForState(service, SERVICE_RUNNING);
      }
      if (service && ControlService(service, SERVICE_CONTROL_STOP, status)) WaitForState(service, SERVICE_STOPPED);
    }
    if (const int pid = ReportedPid(); pid > 0 && testing::ProcessAlive(pid)) ::kill(pid, SIGKILL);
    SetServiceStartTimeout(30000);
  }

  ServiceHandle Install(const std::string& name, uint32_t start_type = SERVICE_DEMAND_START,
                        const std::string& account = "") {
    ServiceConfig config;
    config.service_name = name;
    config.binary_path = (bin_ / "fake-service").string();
    config.start_type = start_type;
    config.account = account;
    return CreateService(manager_, config);
  }

  static bool WaitForState(const ServiceHandle& service, uint32_t state) {
    ServiceStatus status;
    for (int i = 0; i < 3000; ++i) {
      if (QueryServiceStatus(service, status) && status.current_state == state) return true;
      SleepPumping(10);
    }
    return false;
  }

  // The fake service's report, once it is whole (it writes it as it begins).
  std::map<std::string, std::string> WaitForReport() const {
    for (int i = 0; i < 3000 && !Report().count("channel"); ++i) SleepPumping(10);
    return Report();
  }

  std::map<std::string, std::string> Report() const {
    std::map<std::string, std::string> values;
    std::istringstream in(dir_.Read("bin/fake-service.txt"));
    for (std::string line; std::getline(in, line);) {
      const auto eq = line.find('=');
      if (eq != std::string::npos) values[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return values;
  }

  int ReportedPid() const {
    const auto report = Report();
    const auto pid = report.find("pid");
    return pid == report.end() ? 0 : std::stoi(pid->second);
  }

  testing::TempDir dir_;
  testing::ScopedEnv root_env_{"VLTG_ROOT", (dir_.Path() / "root").string()};
  fs::path bin_ = dir_.Path() / "bin";
  ScManagerHandle manager_ = OpenSCManager();
};

TEST_F(ServiceRunTest, StartQueryControlAndStop) {
  const ServiceHandle service = Install("Fake");
  ASSERT_TRUE(StartService(service)) << GetLastError();
  ServiceStatus status;
  ASSERT_TRUE(WaitForState(service, SERVICE_RUNNING));
  ASSERT_TRUE(QueryServiceStatus(service, status));
  EXPECT_EQ(status.controls_accepted, SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN);
  const auto report = WaitForReport();
  ASSERT_TRUE(report.count("channel"));
  EXPECT_EQ(std::to_string(status.process_id), report.at("pid"));
  EXPECT_EQ(fs::path(report.at("cwd")), fs::canonical(bin_));  // the program's directory
  EXPECT_EQ(report.at("channel"), "unset");                     // not handed on to its children

  EXPECT_FALSE(StartService(service));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_INTERROGATE, status));
  EXPECT_EQ(status.current_state, SERVICE_RUNNING);
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_PAUSE, status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_SERVICE_CONTROL);

  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(status.current_state, SERVICE_STOP_PENDING);
  EXPECT_EQ(status.wait_hint, 5000u);
  ASSERT_TRUE(WaitForState(service, SERVICE_STOPPED));
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  EXPECT_EQ(status.current_state, SERVICE_STOPPED);
}

TEST_F(ServiceRunTest, AKilledServiceReadsAsStoppedAndStartsAgain) {
  const ServiceHandle service = Install("Fake");
  ASSERT_TRUE(StartService(service));
  ServiceStatus status;
  ASSERT_TRUE(QueryServiceStatus(service, status));
  ASSERT_EQ(::kill(static_cast<pid_t>(status.process_id), SIGKILL), 0);
  ASSERT_TRUE(WaitForState(service, SERVICE_STOPPED));
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_NOT_ACTIVE);
  EXPECT_TRUE(StartService(service)) << GetLastError();
}

TEST_F(ServiceRunTest, StartsThatFail) {
  ServiceConfig missing;
  missing.service_name = "Missing";
  missing.binary_path = (bin_ / "no-such-program").string();
  const ServiceHandle no_program = CreateService(manager_, missing);
  EXPECT_FALSE(StartService(no_program));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  EXPECT_FALSE(StartService(Install("Off", SERVICE_DISABLED)));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DISABLED);
  EXPECT_FALSE(StartService(Install("Stranger", SERVICE_DEMAND_START, "no-such-user-here")));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_LOGON_FAILED);

  const ServiceHandle service = Install("Fake");
  {
    testing::ScopedEnv mode("FAKE_SERVICE_MODE", "exit");
    EXPECT_FALSE(StartService(service));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_REQUEST_TIMEOUT);
  }
  {
    testing::ScopedEnv mode("FAKE_SERVICE_MODE", "no-dispatcher");
    SetServiceStartTimeout(300);
    EXPECT_FALSE(StartService(service));
    EXPECT_EQ(GetLastError(), ERROR_SERVICE_REQUEST_TIMEOUT);
    // A program that never reported is not left running.
    for (int i = 0; i < 3000 && testing::ProcessAlive(ReportedPid()); ++i) SleepPumping(10);
    EXPECT_FALSE(testing::ProcessAlive(ReportedPid()));
  }
  ServiceStatus status;
  EXPECT_TRUE(QueryServiceStatus(service, status));
  EXPECT_EQ(status.current_state, SERVICE_STOPPED);
}

TEST_F(ServiceRunTest, TheSystemsRequestToEndIsTheShutdownControl) {
  testing::ScopedEnv mode("FAKE_SERVICE_MODE", "no-stop");
  const ServiceHandle service = Install("Fake");
  ASSERT_TRUE(StartService(service));
  ServiceStatus status;
  ASSERT_TRUE(WaitForState(service, SERVICE_RUNNING));
  EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, status));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_SERVICE_CONTROL);
  ASSERT_TRUE(QueryServiceStatus(service, status));
  ASSERT_EQ(::kill(static_cast<pid_t>(status.process_id), SIGTERM), 0);
  EXPECT_TRUE(WaitForState(service, SERVICE_STOPPED));
}

TEST_F(ServiceRunTest, AFailedExecuteIsLoggedAndTheServiceStops) {
  testing::ScopedEnv mode("FAKE_SERVICE_MODE", "throw");
  const ServiceHandle service = Install("Fake");
  ASSERT_TRUE(StartService(service));
  ASSERT_TRUE(WaitForState(service, SERVICE_STOPPED));
  const auto entries = ReadEventLog();
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries.back().source, "FakeService");
  EXPECT_EQ(entries.back().type, EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(entries.back().text, "Service failed on execute: boom");
}

TEST_F(ServiceRunTest, DeletedWhileRunningGoesWhenItStops) {
  const ServiceHandle service = Install("Fake");
  ASSERT_TRUE(StartService(service));
  ASSERT_TRUE(DeleteService(service));
  EXPECT_FALSE(DeleteService(service));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  EXPECT_FALSE(OpenService(manager_, "Fake"));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);
  EXPECT_FALSE(Install("Fake"));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_MARKED_FOR_DELETE);

  ServiceStatus status;
  ASSERT_TRUE(WaitForState(service, SERVICE_RUNNING));
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, status));  // the handle still controls it
  for (int i = 0; i < 3000 && testing::ProcessAlive(ReportedPid()); ++i) SleepPumping(10);
  EXPECT_FALSE(OpenService(manager_, "Fake"));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_TRUE(Install("Fake"));
}

TEST_F(ServiceRunTest, ARunningServiceWhoseRecordCannotBeReadIsStoppedBeforeItIsDeleted) {
  const ServiceHandle service = Install("Fake");
  ASSERT_TRUE(StartService(service));
  ASSERT_TRUE(WaitForState(service, SERVICE_RUNNING));
  dir_.Write("root/services/fake.svc", "garbage");
  EXPECT_FALSE(DeleteService(service));  // it would run on unmanaged
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_ALREADY_RUNNING);
  ServiceStatus status;
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, status));
  for (int i = 0; i < 3000 && testing::ProcessAlive(ReportedPid()); ++i) SleepPumping(10);
  EXPECT_TRUE(DeleteService(service));
}

TEST_F(ServiceRunTest, ANamedAccountIsSwitchedToWhenTheLayerRunsAsRoot) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root";
  ::chmod(dir_.Path().c_str(), 0755);
  ::chmod(bin_.c_str(), 0755);
  // The account must reach the program: a copy in the test's own directory,
  // not a link into a build tree it may not enter.
  fs::remove(bin_ / "fake-service");
  fs::copy_file(VLTG_BINARY_DIR "/tests/fake-service", bin_ / "fake-service");
  const ServiceHandle service = Install("Fake", SERVICE_DEMAND_START, "nobody");
  ASSERT_TRUE(StartService(service)) << GetLastError();
  ASSERT_TRUE(WaitForState(service, SERVICE_RUNNING));
  ServiceStatus status;
  ASSERT_TRUE(QueryServiceStatus(service, status));
  std::ifstream proc("/proc/" + std::to_string(status.process_id) + "/status");
  std::string line;
  while (std::getline(proc, line) && line.rfind("Uid:", 0) != 0) {
  }
  EXPECT_EQ(line.find("\t0\t"), std::string::npos) << line;
  ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, status));
  EXPECT_TRUE(WaitForState(service, SERVICE_STOPPED));
}

TEST_F(ServiceRunTest, AutostartStartsTheAutomaticServicesOnly) {
  const ServiceHandle automatic = Install("Auto", SERVICE_AUTO_START);
  const ServiceHandle demand = Install("Demand", SERVICE_DEMAND_START);
  std::ostringstream out;
  EXPECT_EQ(RunServiceTool({"autostart"}, out), 0) << out.str();
  ServiceStatus status;
  ASSERT_TRUE(QueryServiceStatus(automatic, status));
  EXPECT_NE(status.current_state, SERVICE_STOPPED);
  ASSERT_TRUE(QueryServiceStatus(demand, status));
  EXPECT_EQ(status.current_state, SERVICE_STOPPED);
  EXPECT_EQ(RunServiceTool({"autostart"}, out), 0) << "a running service is no failure";
}

TEST(ServiceDispatcherTest, AProgramStartedByHandCannotConnect) {
  testing::ScopedEnv channel(kServiceChannelVariable, std::nullopt);
  bool ran = false;
  EXPECT_FALSE(StartServiceCtrlDispatcher("Any", [&ran](const auto&) { ran = true; }));
  EXPECT_EQ(GetLastError(), ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
  testing::ScopedEnv stdin_channel(kServiceChannelVariable, "0");
  EXPECT_FALSE(StartServiceCtrlDispatcher("Any", [&ran](const auto&) { ran = true; }));
  EXPECT_EQ(GetLastError(), ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
  EXPECT_FALSE(ran);
}

TEST(ServiceToolTest, OptionsInTheMannerOfSc) {
  ServiceConfigChange change;
  std::string bad;
  ASSERT_TRUE(ParseServiceToolOptions({"binPath=", "/opt/a b/prog", "START=", "auto", "type=interact", "error=0x3",
                                       "obj=", ".\\LocalSystem", "DisplayName=", "Shown"},
                                      change, bad));
  EXPECT_EQ(change.binary_path, "/opt/a b/prog");
  EXPECT_EQ(change.start_type, SERVICE_AUTO_START);
  EXPECT_EQ(change.service_type, 0x110u);
  EXPECT_EQ(change.error_control, 3u);
  EXPECT_EQ(change.display_name, "Shown");
  EXPECT_FALSE(change.password);
  EXPECT_FALSE(ParseServiceToolOptions({"start=", "sometimes"}, change, bad));
  EXPECT_EQ(bad, "start= sometimes");
  EXPECT_FALSE(ParseServiceToolOptions({"binPath="}, change, bad));
  EXPECT_FALSE(ParseServiceToolOptions({"colour=red"}, change, bad));
  EXPECT_FALSE(ParseServiceToolOptions({"start"}, change, bad));
}

}  // namespace
}  // namespace vltg::platform
