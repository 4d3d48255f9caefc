// The notification icon under a real X desktop. The window minimized into the
// notification area comes back at every restore, however the window
// manager's notices of the last minimize and hide fall.
#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWindow>

#include "manager/ui/main_window.h"
#include "manager/ui/tray_icon.h"
#include "tests/manager/desktop/desktop_test.h"

namespace vltg::manager {
namespace {

TEST_F(DesktopTest, TheIconRestoresTheWindowEveryTime) {
  ASSERT_TRUE(QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, kDesktopDeadlineMs))
      << "no notification area; see the logs in " << logs_->Path();
  MainWindow window(manager_, nullptr, true);
  TTrayIcon& tray = window.TrayIcon();
  QAction* setup = window.TrayMenu()->findChild<QAction*>("Setup1");
  window.ShowAtStart();
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return tray.Shown() && tray.Minimized() && !window.isVisible(); }, kDesktopDeadlineMs));

  for (int round = 1; round <= 20; ++round) {
    SCOPED_TRACE(round);
    round % 2 ? setup->trigger() : tray.OnDblClick(tray);  // the menu's Setup, the icon's double click
    // Shown by the window manager: not mapped iconic and hidden again.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.isVisible() && window.windowHandle()->isExposed() && ManagedAs(window) == "Normal"; },
        kDesktopDeadlineMs))
        << "visible " << window.isVisible() << ", managed as \"" << ManagedAs(window) << '"';
    EXPECT_FALSE(window.isMinimized() || tray.Minimized());

    window.close();  // minimizes into the notification area: hidden, withdrawn
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !window.isVisible() && !window.windowHandle()->isExposed() && ManagedAs(window).empty(); },
        kDesktopDeadlineMs));
    EXPECT_TRUE(tray.Minimized());
  }
}

}  // namespace
}  // namespace vltg::manager
