// The gateway program under the service layer, end to end: vltg installs
// itself, vltg-sc starts and stops it, and Log.Dat and the event log show the
// run. Each test has its own machine root and data directory holding a copy
// of vltg, as an installation does.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>

#include "datafiles/data_directory.h"
#include "platform/messages/message_queue.h"
#include "platform/registry/registry.h"
#include "platform/service/event_log.h"
#include "tests/support/gateway_installation.h"
#include "tests/support/pump_until.h"
#include "tests/support/scoped_env.h"

namespace vltg {
namespace {
namespace fs = std::filesystem;

class GatewayServiceTest : public ::testing::Test {
 protected:
  std::vector<std::string> EventTexts() {
    std::vector<std::string> texts;
    for (const auto& entry : platform::ReadEventLog()) {
      EXPECT_EQ(entry.source, "VLTAPGateway");
      EXPECT_EQ(entry.type, platform::EVENTLOG_INFORMATION_TYPE);
      texts.push_back(entry.text);
    }
    return texts;
  }

  testing::GatewayInstallation gw_;
};

const std::vector<std::string> kStartLines = {
    "TAP Gateway Server Starting", "[System] TAP Gateway Start Requested!", "[System] Starting TAP Services!",
    "[System] All Services Active!", "[System] DI DIZ Evevevu Strated"};
const std::vector<std::string> kStopLines = {"[System] Stopping DI DIZ Evevevu Services",
                                             "[System] Server ShutDown Requested", "[System] Server ShutDown"};

TEST_F(GatewayServiceTest, InstallStartStopUninstall) {
  auto result = gw_.Vltg({"-install"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "Service installed successfully\n");
  const std::string config = gw_.Sc({"qc", "VLTAPGateway"}).out;
  EXPECT_NE(config.find("TYPE               : 110  WIN32_OWN_PROCESS (interactive)"), std::string::npos) << config;
  EXPECT_NE(config.find("START_TYPE         : 2   AUTO_START"), std::string::npos);
  EXPECT_NE(config.find("ERROR_CONTROL      : 1   NORMAL"), std::string::npos);
  EXPECT_NE(config.find("BINARY_PATH_NAME   : " + (gw_.Data() / "vltg").string() + "\n"), std::string::npos);
  EXPECT_NE(config.find("DISPLAY_NAME       : DI DIZ Evevevu\n"), std::string::npos);
  EXPECT_NE(config.find("SERVICE_START_NAME : LocalSystem\n"), std::string::npos);

  result = gw_.Vltg({"/INSTALL"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err,
            "Service \"VLTAPGateway\" failed to install with error: \"The specified service already exists.\"\n");

  ASSERT_EQ(gw_.Sc({"start", "VLTAPGateway"}).exit_status, 0);
  EXPECT_TRUE(gw_.WaitForState(4));
  EXPECT_EQ(gw_.LogTexts(gw_.Data(), kStartLines.back()), kStartLines);
  EXPECT_EQ(EventTexts(), std::vector<std::string>{"DI DIZ Evevevu Strated"});

  const std::string stop = gw_.Sc({"stop", "VLTAPGateway"}).out;
  EXPECT_NE(stop.find("STATE              : 3  STOP_PENDING"), std::string::npos) << stop;
  EXPECT_TRUE(gw_.WaitForState(1));
  std::vector<std::string> expected = kStartLines;
  expected.insert(expected.end(), kStopLines.begin(), kStopLines.end());
  EXPECT_EQ(gw_.LogTexts(gw_.Data(), kStopLines.back()), expected);
  EXPECT_EQ(EventTexts(), (std::vector<std::string>{"DI DIZ Evevevu Strated", "DI DIZ Evevevu Stopped"}));

  result = gw_.Vltg({"-uninstall"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "Service uninstalled successfully\n");
  result = gw_.Sc({"query", "VLTAPGateway"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.out.find("FAILED 1060"), std::string::npos);
}

TEST_F(GatewayServiceTest, AKilledGatewayReadsAsStopped) {
  ASSERT_EQ(gw_.Vltg({"-install", "-silent"}).exit_status, 0);
  ASSERT_EQ(gw_.Sc({"start", "VLTAPGateway"}).exit_status, 0);
  const int pid = gw_.Pid();
  ASSERT_GT(pid, 0);
  ASSERT_EQ(::kill(pid, SIGKILL), 0);
  EXPECT_TRUE(gw_.WaitForState(1));
  EXPECT_EQ(gw_.Pid(), 0);
  EXPECT_EQ(gw_.Sc({"start", "VLTAPGateway"}).exit_status, 0);
}

TEST_F(GatewayServiceTest, SystemShutdownStopsItLikeAStopRequest) {
  // The data directory from the registry key, away from the program's own.
  const fs::path elsewhere = gw_.Dir().Path() / "elsewhere";
  fs::create_directories(elsewhere);
  platform::RegistryKey::WriteString(platform::RegistryHive::kLocalMachine, kDataDirectoryKey, "", elsewhere.string());
  ASSERT_EQ(gw_.Vltg({"-install", "-silent"}).exit_status, 0);
  ASSERT_EQ(gw_.Sc({"start", "VLTAPGateway"}).exit_status, 0);
  ASSERT_TRUE(gw_.WaitForState(4));
  gw_.LogTexts(elsewhere, kStartLines.back());
  ASSERT_EQ(::kill(gw_.Pid(), SIGTERM), 0);
  EXPECT_TRUE(gw_.WaitForState(1));
  const auto texts = gw_.LogTexts(elsewhere, kStopLines.back());
  ASSERT_GE(texts.size(), kStopLines.size());
  EXPECT_TRUE(std::equal(kStopLines.begin(), kStopLines.end(), texts.end() - kStopLines.size()));
  EXPECT_EQ(EventTexts(), (std::vector<std::string>{"DI DIZ Evevevu Strated", "DI DIZ Evevevu Stopped"}));
  EXPECT_FALSE(fs::exists(gw_.Data() / "Log.Dat"));
}

TEST_F(GatewayServiceTest, AControllerThatFailsToStartIsStillStoppedInOrder) {
  // fake-service runs the gateway service with a controller whose start fails.
  fs::create_symlink(VLTG_BINARY_DIR "/tests/fake-service", gw_.Data() / "fake-service");
  ASSERT_EQ(gw_.Sc({"create", "VLTAPGateway", "binPath=", (gw_.Data() / "fake-service").string()}).exit_status, 0);
  testing::ScopedEnv mode("FAKE_SERVICE_MODE", "gateway-throw");
  ASSERT_EQ(gw_.Sc({"start", "VLTAPGateway"}).exit_status, 0);
  EXPECT_TRUE(gw_.WaitForState(1));
  std::vector<std::string> expected{"TAP Gateway Server Starting"};
  expected.insert(expected.end(), kStopLines.begin(), kStopLines.end());
  EXPECT_EQ(gw_.LogTexts(gw_.Data(), kStopLines.back()), expected);
  const auto entries = platform::ReadEventLog();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].text, "DI DIZ Evevevu Stopped");
  EXPECT_EQ(entries[1].type, platform::EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(entries[1].text, "Service failed on execute: no ports");
}

TEST_F(GatewayServiceTest, StartedByHandItEndsAtOnceAndWritesNothing) {
  platform::RegistryKey::WriteString(platform::RegistryHive::kLocalMachine, kDataDirectoryKey, "", gw_.Data().string());
  const auto result = gw_.Vltg({});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out + result.err, "");
  EXPECT_FALSE(fs::exists(gw_.Data() / "Log.Dat"));
  EXPECT_TRUE(platform::ReadEventLog().empty());
}

// A Log.Dat that cannot be written (here a directory in its place) does not
// stop the gateway: it runs and stops in order, and the event log says once
// why nothing is logged, with the path and the reason, and once when the log
// is written again.
TEST_F(GatewayServiceTest, ALogThatCannotBeWrittenIsToldAndTheGatewayRunsOn) {
  fs::create_directories(gw_.Data() / "Log.Dat");
  const auto told = [](size_t count) {
    return test::PumpUntil([&] { return platform::ReadEventLog().size() >= count; }, std::chrono::seconds(10));
  };
  ASSERT_TRUE(gw_.InstallAndStart());
  ASSERT_TRUE(told(2));  // the failure, then the start
  fs::remove(gw_.Data() / "Log.Dat");
  ASSERT_TRUE(gw_.Stop());
  const auto texts = gw_.LogTexts(kStopLines.back());
  ASSERT_GE(texts.size(), kStopLines.size());
  EXPECT_TRUE(std::equal(kStopLines.begin(), kStopLines.end(), texts.end() - kStopLines.size()));
  ASSERT_TRUE(told(4));
  const auto entries = platform::ReadEventLog();
  // "<failure><path>: <reason>", the path as the gateway names its directory.
  const std::string failure = "Log.Dat cannot be written: ", reason = ": Not a regular file", text = entries[0].text;
  EXPECT_EQ(entries[0].type, platform::EVENTLOG_ERROR_TYPE);
  ASSERT_TRUE(text.starts_with(failure) && text.ends_with("/Log.Dat" + reason)) << text;
  const std::string path = text.substr(failure.size(), text.size() - failure.size() - reason.size());
  EXPECT_EQ(entries[1].text, "DI DIZ Evevevu Strated");
  EXPECT_EQ(entries[2].text, "Log.Dat is written again: " + path);
  EXPECT_EQ(entries[3].text, "DI DIZ Evevevu Stopped");
}

TEST_F(GatewayServiceTest, OnlyWholeSwitchesAfterASlashOrDashCount) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"install"}, {"--install"}, {"/installx"}, {"/in stall"}}) {
    const auto result = gw_.Vltg(args);
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "") << args[0];
    EXPECT_EQ(gw_.Sc({"query", "VLTAPGateway"}).exit_status, 1) << args[0] << " installed the service";
  }
  auto result = gw_.Vltg({"/Install", "/silent"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(gw_.State(), 1);
  result = gw_.Vltg({"-SILENT", "-UnInstall"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.err, "");
  result = gw_.Vltg({"-uninstall"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.err,
            "Service \"VLTAPGateway\" failed to uninstall with error: \"The specified service does not exist as an "
            "installed service.\"\n");
}

}  // namespace
}  // namespace vltg
