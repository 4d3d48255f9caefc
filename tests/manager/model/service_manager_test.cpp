// The main window's shared rules: Config.Dat writes with their failures shown,
// and the restart prompt only while the gateway was last seen running.
#include "manager/model/service_manager.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thread_runner.h"

namespace vltg::manager {
namespace {

class ServiceManagerTest : public ::testing::Test {
 protected:
  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", (dir_ / "root").string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  testing::ThreadRunner runner_;
  TServiceManager manager_{sink_, scm_, dir_.Path().string(), runner_};
};

TEST_F(ServiceManagerTest, AFailedConfigWriteIsShownAndReported) {
  EXPECT_TRUE(manager_.WriteConfig([](platform::ProfileFile& config) { config.WriteString("WCTP", "A", "1"); }));
  EXPECT_EQ(dir_.Read("Config.Dat"), "[WCTP]\r\nA=1\r\n");
  EXPECT_TRUE(sink_.events.empty());

  std::filesystem::remove(dir_ / "Config.Dat");
  std::filesystem::create_directory(dir_ / "Config.Dat");
  EXPECT_FALSE(manager_.WriteConfig([](platform::ProfileFile& config) { config.WriteString("WCTP", "A", "2"); }));
  ASSERT_EQ(sink_.boxes.size(), 1u);
  EXPECT_EQ(sink_.boxes[0].kind, BoxKind::kError);
  EXPECT_NE(sink_.boxes[0].text.find("Config.Dat"), std::string::npos) << sink_.boxes[0].text;
}

TEST_F(ServiceManagerTest, TheRestartPromptWaitsForARunningService) {
  manager_.RefreshServiceStatus();
  EXPECT_FALSE(manager_.Look().restart);
  EXPECT_EQ(manager_.Look().status, "Gateway Off-Line");
  manager_.RestartPrompt();
  EXPECT_TRUE(sink_.events.empty());
}

TEST_F(ServiceManagerTest, HelpOpensItsPageOnlyWhenThePageIsThere) {
  manager_.ShowHelp(20);
  manager_.ShowHelpContents();
  EXPECT_TRUE(sink_.events.empty());
  std::filesystem::create_directory(dir_ / "help");
  dir_.Write("help/20.html", "<p>ports</p>");
  dir_.Write("help/index.html", "<p>contents</p>");
  manager_.ShowHelp(20);
  manager_.ShowHelpContents();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"open:" + (dir_ / "help/20.html").string(),
                                                     "open:" + (dir_ / "help/index.html").string()}));
}

}  // namespace
}  // namespace vltg::manager
