// The main window on Qt's offscreen platform.
#include "manager/ui/main_window.h"

#include <gtest/gtest.h>

#include <QTabWidget>

#include "tests/manager/ui/test_application.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::TestApplication(); }

  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", (dir_ / "root").string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  TVLSGSrvcMngr manager_{sink_, scm_, dir_.Path().string()};
};

TEST_F(MainWindowTest, PagesStandInTheirOrder) {
  MainWindow window(manager_);
  QTabWidget* pages = window.Pages();
  std::vector<std::string> captions;
  for (int i = 0; i < pages->count(); ++i) captions.push_back(pages->tabText(i).toStdString());
  EXPECT_EQ(captions, (std::vector<std::string>{"General Settings", "TNPP Settings", "WCTP Settings",
                                                 "Routing Tables", "Misc. Settings"}));
  EXPECT_EQ(pages->currentIndex(), 0);
}

}  // namespace
}  // namespace vltg::manager
