// The notification icon under a real X desktop: Xvfb, the openbox window
// manager and the trayer notification area, started by the test. The window
// minimized into the notification area comes back at every restore, however
// the window manager's notices of the last minimize and hide fall.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWindow>
#include <list>
#include <memory>

#include "manager/ui/main_window.h"
#include "manager/ui/tray_icon.h"
#include "tests/manager/ui/test_application.h"
#include "tests/support/manager_test.h"
#include "tests/support/scoped_env.h"
#include "tests/support/test_desktop.h"

namespace vltg::manager {
namespace {

// Generous: the desktop's programs share the machine with busy tests.
constexpr int kDeadlineMs = 30000;

class TrayRestoreTest : public testing::ManagerTest {
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

TEST_F(TrayRestoreTest, TheIconRestoresTheWindowEveryTime) {
  ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, kDeadlineMs))
      << "no notification area; see the logs in " << logs_->Path();
  MainWindow window(manager_, nullptr, true);
  TTrayIcon& tray = window.TrayIcon();
  QAction* setup = window.TrayMenu()->findChild<QAction*>("Setup1");
  window.ShowAtStart();
  ASSERT_TRUE(QTest::qWaitFor([&] { return tray.Shown() && tray.Minimized() && !window.isVisible(); }, kDeadlineMs));

  for (int round = 1; round <= 20; ++round) {
    SCOPED_TRACE(round);
    round % 2 ? setup->trigger() : tray.OnDblClick(tray);  // the menu's Setup, the icon's double click
    // Shown by the window manager: not mapped iconic and hidden again.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.isVisible() && window.windowHandle()->isExposed() && ManagedAs(window) == "Normal"; },
        kDeadlineMs))
        << "visible " << window.isVisible() << ", managed as \"" << ManagedAs(window) << '"';
    EXPECT_FALSE(window.isMinimized() || tray.Minimized());

    window.close();  // minimizes into the notification area: hidden, withdrawn
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !window.isVisible() && !window.windowHandle()->isExposed() && ManagedAs(window).empty(); },
        kDeadlineMs));
    EXPECT_TRUE(tray.Minimized());
  }
}

}  // namespace
}  // namespace vltg::manager
