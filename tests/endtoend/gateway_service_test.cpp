// The gateway program under the service layer, end to end: vltg installs
// itself, vltg-sc starts and stops it, and Log.Dat and the event log show the
// run. Each test has its own machine root and data directory holding a copy
// of vltg, as an installation does.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "gateway/data_directory.h"
#include "platform/messages/message_queue.h"
#include "platform/registry/registry.h"
#include "platform/service/event_log.h"
#include "tests/support/run_program.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {
namespace fs = std::filesystem;

class GatewayServiceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(data_);
    fs::create_directories(root_);
    fs::copy_file(VLTG_BINARY_DIR "/gateway/vltg", data_ / "vltg");
  }

  void TearDown() override {
    Sc({"stop", "VLTAPGateway"});
    for (int i = 0; i < 500 && State() > 1; ++i) platform::SleepPumping(10);
    if (const int pid = Pid(); pid > 0) ::kill(pid, SIGKILL);
  }

  testing::ProgramResult Vltg(const std::vector<std::string>& args) {
    return testing::RunProgram((data_ / "vltg").string(), args, {"VLTG_ROOT=" + root_.string()});
  }
  testing::ProgramResult Sc(const std::vector<std::string>& args) {
    return testing::RunProgram(VLTG_BINARY_DIR "/platform/vltg-sc", args, {"VLTG_ROOT=" + root_.string()});
  }

  // A number shown after "KEY : " by vltg-sc query; -1 when missing.
  int QueryField(const std::string& key) {
    const std::string out = Sc({"query", "VLTAPGateway"}).out;
    std::smatch match;
    if (!std::regex_search(out, match, std::regex(key + " +: (\\d+)"))) return -1;
    return std::stoi(match[1]);
  }
  int State() { return QueryField("STATE"); }
  int Pid() { return QueryField("PID"); }

  bool WaitForState(int state) {
    for (int i = 0; i < 500; ++i) {
      if (State() == state) return true;
      platform::SleepPumping(10);
    }
    return false;
  }

  // The texts of Log.Dat's lines (after the time stamp), once `last` is among them.
  std::vector<std::string> LogTexts(const fs::path& dir, const std::string& last) {
    std::vector<std::string> texts;
    for (int i = 0; i < 500; ++i) {
      texts.clear();
      std::istringstream in(dir_.Read(fs::relative(dir / "Log.Dat", dir_.Path()).string()));
      for (std::string line; std::getline(in, line);) {
        const auto dash = line.find(" - ");
        if (dash != std::string::npos) texts.push_back(line.substr(dash + 3, line.size() - dash - 4));  // CR LF
      }
      if (std::find(texts.begin(), texts.end(), last) != texts.end()) break;
      platform::SleepPumping(10);
    }
    return texts;
  }

  std::vector<std::string> EventTexts() {
    std::vector<std::string> texts;
    for (const auto& entry : platform::ReadEventLog()) {
      EXPECT_EQ(entry.source, "VLTAPGateway");
      EXPECT_EQ(entry.type, platform::EVENTLOG_INFORMATION_TYPE);
      texts.push_back(entry.text);
    }
    return texts;
  }

  testing::TempDir dir_;
  fs::path root_ = dir_.Path() / "root";
  fs::path data_ = dir_.Path() / "data";
  testing::ScopedEnv env_{"VLTG_ROOT", root_.string()};
};

const std::vector<std::string> kStartLines = {
    "TAP Gateway Server Starting", "[System] TAP Gateway Start Requested!", "[System] Starting TAP Services!",
    "[System] All Services Active!", "[System] DI DIZ Evevevu Strated"};
const std::vector<std::string> kStopLines = {"[System] Stopping DI DIZ Evevevu Services",
                                             "[System] Server ShutDown Requested", "[System] Server ShutDown"};

TEST_F(GatewayServiceTest, InstallStartStopUninstall) {
  auto result = Vltg({"-install"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "Service installed successfully\n");
  const std::string config = Sc({"qc", "VLTAPGateway"}).out;
  EXPECT_NE(config.find("TYPE               : 110  WIN32_OWN_PROCESS (interactive)"), std::string::npos) << config;
  EXPECT_NE(config.find("START_TYPE         : 2   AUTO_START"), std::string::npos);
  EXPECT_NE(config.find("ERROR_CONTROL      : 1   NORMAL"), std::string::npos);
  EXPECT_NE(config.find("BINARY_PATH_NAME   : " + (data_ / "vltg").string() + "\n"), std::string::npos);
  EXPECT_NE(config.find("DISPLAY_NAME       : DI DIZ Evevevu\n"), std::string::npos);
  EXPECT_NE(config.find("SERVICE_START_NAME : LocalSystem\n"), std::string::npos);

  result = Vltg({"/INSTALL"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err,
            "Service \"VLTAPGateway\" failed to install with error: \"The specified service already exists.\"\n");

  ASSERT_EQ(Sc({"start", "VLTAPGateway"}).exit_status, 0);
  EXPECT_TRUE(WaitForState(4));
  EXPECT_EQ(LogTexts(data_, kStartLines.back()), kStartLines);
  EXPECT_EQ(EventTexts(), std::vector<std::string>{"DI DIZ Evevevu Strated"});

  const std::string stop = Sc({"stop", "VLTAPGateway"}).out;
  EXPECT_NE(stop.find("STATE              : 3  STOP_PENDING"), std::string::npos) << stop;
  EXPECT_TRUE(WaitForState(1));
  std::vector<std::string> expected = kStartLines;
  expected.insert(expected.end(), kStopLines.begin(), kStopLines.end());
  EXPECT_EQ(LogTexts(data_, kStopLines.back()), expected);
  EXPECT_EQ(EventTexts(), (std::vector<std::string>{"DI DIZ Evevevu Strated", "DI DIZ Evevevu Stopped"}));

  result = Vltg({"-uninstall"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "Service uninstalled successfully\n");
  result = Sc({"query", "VLTAPGateway"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.out.find("FAILED 1060"), std::string::npos);
}

TEST_F(GatewayServiceTest, AKilledGatewayReadsAsStopped) {
  ASSERT_EQ(Vltg({"-install", "-silent"}).exit_status, 0);
  ASSERT_EQ(Sc({"start", "VLTAPGateway"}).exit_status, 0);
  const int pid = Pid();
  ASSERT_GT(pid, 0);
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  EXPECT_TRUE(WaitForState(1));
  EXPECT_EQ(Pid(), 0);
  EXPECT_EQ(Sc({"start", "VLTAPGateway"}).exit_status, 0);
}

TEST_F(GatewayServiceTest, SystemShutdownStopsItLikeAStopRequest) {
  // The data directory from the registry key, away from the program's own.
  const fs::path elsewhere = dir_.Path() / "elsewhere";
  fs::create_directories(elsewhere);
  platform::RegistryKey::WriteString(platform::RegistryHive::kLocalMachine, kDataDirectoryKey, "", elsewhere.string());
  ASSERT_EQ(Vltg({"-install", "-silent"}).exit_status, 0);
  ASSERT_EQ(Sc({"start", "VLTAPGateway"}).exit_status, 0);
  ASSERT_TRUE(WaitForState(4));
  LogTexts(elsewhere, kStartLines.back());
  ASSERT_EQ(::kill(Pid(), SIGTERM), 0);
  EXPECT_TRUE(WaitForState(1));
  const auto texts = LogTexts(elsewhere, kStopLines.back());
  ASSERT_GE(texts.size(), kStopLines.size());
  EXPECT_TRUE(std::equal(kStopLines.begin(), kStopLines.end(), texts.end() - kStopLines.size()));
  EXPECT_EQ(EventTexts(), (std::vector<std::string>{"DI DIZ Evevevu Strated", "DI DIZ Evevevu Stopped"}));
  EXPECT_FALSE(fs::exists(data_ / "Log.Dat"));
}

TEST_F(GatewayServiceTest, AControllerThatFailsToStartIsStillStoppedInOrder) {
  // fake-service runs the gateway service with a controller whose start fails.
  fs::create_symlink(VLTG_BINARY_DIR "/tests/fake-service", data_ / "fake-service");
  ASSERT_EQ(Sc({"create", "VLTAPGateway", "binPath=", (data_ / "fake-service").string()}).exit_status, 0);
  testing::ScopedEnv mode("FAKE_SERVICE_MODE", "gateway-throw");
  ASSERT_EQ(Sc({"start", "VLTAPGateway"}).exit_status, 0);
  EXPECT_TRUE(WaitForState(1));
  std::vector<std::string> expected{"TAP Gateway Server Starting"};
  expected.insert(expected.end(), kStopLines.begin(), kStopLines.end());
  EXPECT_EQ(LogTexts(data_, kStopLines.back()), expected);
  const auto entries = platform::ReadEventLog();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].text, "DI DIZ Evevevu Stopped");
  EXPECT_EQ(entries[1].type, platform::EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(entries[1].text, "Service failed on execute: no ports");
}

TEST_F(GatewayServiceTest, StartedByHandItEndsAtOnceAndWritesNothing) {
  platform::RegistryKey::WriteString(platform::RegistryHive::kLocalMachine, kDataDirectoryKey, "", data_.string());
  const auto result = Vltg({});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out + result.err, "");
  EXPECT_FALSE(fs::exists(data_ / "Log.Dat"));
  EXPECT_TRUE(platform::ReadEventLog().empty());
}

TEST_F(GatewayServiceTest, OnlyWholeSwitchesAfterASlashOrDashCount) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"install"}, {"--install"}, {"/installx"}, {"/in stall"}}) {
    const auto result = Vltg(args);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "") << args[0];
    EXPECT_EQ(Sc({"query", "VLTAPGateway"}).exit_status, 1) << args[0] << " installed the service";
  }
  auto result = Vltg({"/Install", "/silent"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(State(), 1);
  result = Vltg({"-SILENT", "-UnInstall"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  result = Vltg({"-uninstall"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err,
            "Service \"VLTAPGateway\" failed to uninstall with error: \"The specified service does not exist as an "
            "installed service.\"\n");
}

}  // namespace
}  // namespace vltg
