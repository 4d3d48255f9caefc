#pragma once
// The fixture of the tests on a real X desktop: Xvfb, the openbox window
// manager and the trayer notification area, started by the test, with Qt on
// them. Skipped where one of the programs is not installed.
#include <gtest/gtest.h>

#include <QWidget>
#include <list>
#include <memory>

#include "tests/manager/ui/test_application.h"
#include "tests/support/manager_test.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_desktop.h"

namespace vltg::manager {

// Generous: the desktop's programs share the machine with busy tests.
inline constexpr int kDesktopDeadlineMs = 30000;

class DesktopTest : public testing::ManagerTest {
 protected:
  static void SetUpTestSuite() {
    if (!testing::TestDesktop::MissingProgram().empty()) return;
    logs_ = std::make_unique<testing::TempDir>();
    desktop_ = std::make_unique<testing::TestDesktop>(logs_->Path());
    // Qt on that desktop, with the X notification area rather than a session
    // bus's stand-in for it.
    env_.emplace_back("QT_QPA_PLATFORM", "xcb");
    env_.emplace_back("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    testing::TestApplication();
  }
  static void TearDownTestSuite() {
    env_.clear();
    desktop_.reset();
    logs_.reset();
  }
  void SetUp() override {
    const std::string missing = testing::TestDesktop::MissingProgram();
    if (!missing.empty()) GTEST_SKIP() << missing << " is not installed";
  }
  static std::string ManagedAs(const QWidget& window) { return desktop_->WindowState(window.winId()); }

  static inline std::unique_ptr<testing::TempDir> logs_;
  static inline std::unique_ptr<testing::TestDesktop> desktop_;
  static inline std::list<testing::ScopedEnv> env_;
};

}  // namespace vltg::manager
