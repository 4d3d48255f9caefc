// The main window on Qt's offscreen platform: its captions, menus, hints and
// enablings as the model sets them once the background reading is there, the
// program's runner, minimizing into the notification area, and the about box.
#include "manager/ui/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <optional>

#include "manager/ui/about_box.h"
#include "manager/ui/qt_background_runner.h"
#include "manager/ui/qt_message_sink.h"
#include "manager/ui/tray_icon.h"
#include "tests/manager/ui/test_application.h"
#include "tests/support/manager_test.h"

namespace vltg::manager {
namespace {

class MainWindowTest : public testing::ManagerTest {
 protected:
  static void SetUpTestSuite() { testing::TestApplication(); }

  template <typename T = QWidget>
  T* Find(const MainWindow& window, const char* name) {
    T* found = window.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  // A menu's caption and its items' ("-" for a separator).
  static std::vector<std::string> Items(const QMenu* menu) {
    std::vector<std::string> items{menu->title().toStdString()};
    for (const QAction* item : menu->actions()) items.push_back(item->isSeparator() ? "-" : item->text().toStdString());
    return items;
  }

  // The names of the service actions that are enabled.
  std::vector<std::string> Enabled(const MainWindow& window) {
    std::vector<std::string> names;
    for (const char* name : {"Start1", "Stop1", "Restart1", "Install1", "Uninstall1", "Start2", "Stop2", "Restart2"}) {
      if (Find<QAction>(window, name)->isEnabled()) names.push_back(name);
    }
    for (const char* name : {"Install2", "Uninstall2", "ApplySvcChg"}) {
      if (Find(window, name)->isEnabled()) names.push_back(name);
    }
    return names;
  }

};

TEST_F(MainWindowTest, PagesAndMenusStandInTheirOrder) {
  MainWindow window(manager_);
  EXPECT_EQ(window.windowTitle(), "Velomar TAP Gateway Service Manager");
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  QTabWidget* pages = window.Pages();
  std::vector<std::string> captions;
  for (int i = 0; i < pages->count(); ++i) captions.push_back(pages->tabText(i).toStdString());
  EXPECT_EQ(captions, (std::vector<std::string>{"General Settings", "TNPP Settings", "WCTP Settings", "Routing Tables",
                                                "Misc. Settings"}));
  EXPECT_EQ(pages->currentIndex(), 0);

  std::vector<std::vector<std::string>> menus;
  for (const QAction* menu : window.menuBar()->actions()) menus.push_back(Items(menu->menu()));
  menus.push_back(Items(window.TrayMenu()));
  EXPECT_EQ(menus, (std::vector<std::vector<std::string>>{
                       {"&File", "E&xit"},
                       {"&Service", "&Start", "Sto&p", "&Restart", "-", "&Install", "&Uninstall"},
                       {"&Help", "&Contents", "&About"},
                       {"", "&Start", "Sto&p", "&Restart", "-", "&Setup", "E&xit"}}));
}

TEST_F(MainWindowTest, TheServiceGroupsCaptionsHintsAndHelp) {
  MainWindow window(manager_);
  // In tab order: name, caption, hint; the labels take the keyboard to their edits.
  std::vector<std::string> controls;
  QWidget* control = Find(window, "Install2");
  for (; controls.size() < 6; control = control->nextInFocusChain()) {
    if (control->focusPolicy() == Qt::NoFocus) continue;
    const auto* button = qobject_cast<QAbstractButton*>(control);
    controls.push_back(control->objectName().toStdString() + "|" + (button ? button->text().toStdString() : "") + "|" +
                       control->toolTip().toStdString());
  }
  for (const QLabel* label : Find(window, "ServiceGroup")->findChildren<QLabel*>()) {
    controls.push_back(label->text().toStdString() + "|" + label->buddy()->objectName().toStdString());
  }
  EXPECT_EQ(controls, (std::vector<std::string>{
                          "Install2|Install Service|Install SNPP To HTML Service",
                          "Uninstall2|Uninstall Service|Uninstall SNPP To HTML Service",
                          "LogonName||NT/2000 Service Logon Name",
                          "LogonPassword||NT/2000 Logon Password",
                          "DefaultLogon|&Default Service Logon|Use Default System Service Logon",
                          "ApplySvcChg|Apply Changes|Apply Logon Changes To The SNPP To HTML Service",
                          "Logon &Name:|LogonName",
                          "Logon &Password:|LogonPassword",
                      }));

  // The default logon, checked without a Config.Dat, disables the edits;
  // what is typed reaches the model.
  auto* name = Find<QLineEdit>(window, "LogonName");
  EXPECT_FALSE(name->isEnabled());
  Find<QCheckBox>(window, "DefaultLogon")->setChecked(false);
  EXPECT_TRUE(name->isEnabled());
  EXPECT_FALSE(manager_.Logon().default_logon);
  QTest::keyClicks(name, "gwuser");
  EXPECT_EQ(manager_.Logon().logon_name, "gwuser");

  // F1 opens the help of the focused control's group.
  std::filesystem::create_directories(dir_ / "help");
  dir_.Write("help/10.html", "");
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  name->setFocus();
  QTest::keyClick(&window, Qt::Key_F1);
  EXPECT_EQ(sink_.events, std::vector<std::string>{"open:" + (dir_ / "help/10.html").string()});

  // A box's focus on a field of another page turns the page control there.
  window.Pages()->setCurrentIndex(1);
  QtMessageSink(&window).Focus("LogonName");
  EXPECT_EQ(window.Pages()->currentIndex(), 0);
  EXPECT_EQ(QApplication::focusWidget(), name);
}

TEST_F(MainWindowTest, EnablingsFollowTheModelAndRestDuringAnOperation) {
  MainWindow window(manager_);
  EXPECT_EQ(Enabled(window), std::vector<std::string>{});  // until the first reading
  runner_.Settle();
  EXPECT_EQ(Enabled(window), (std::vector<std::string>{"Install1", "Install2"}));
  EXPECT_EQ(window.StatusText(), "Gateway Off-Line");
  EXPECT_EQ(window.TrayIcon().Tip().toStdString(), std::string(kManagerTitle) + "[Gateway Off-Line]");

  Find<QPushButton>(window, "Install2")->click();
  ASSERT_EQ(sink_.events, std::vector<std::string>{"box:DI DIZ Evevevu Service Installed!"});
  EXPECT_EQ(Enabled(window), (std::vector<std::string>{"Start1", "Uninstall1", "Start2", "Uninstall2", "ApplySvcChg"}));

  // The start fails (there is no program), but while it runs nothing else can.
  std::optional<std::vector<std::string>> during;
  sink_.on_wait = [&](int) {
    if (!during) during = Enabled(window);
  };
  Find<QAction>(window, "Start2")->trigger();
  EXPECT_EQ(during, std::vector<std::string>{});
  EXPECT_EQ(sink_.events.back(), "box:Unable to Start Service!");
  EXPECT_EQ(Enabled(window).size(), 5u);
}

// The program's runner: the work on another thread, `done` back on the
// window's from its event loop; the window's first look comes that way.
TEST_F(MainWindowTest, TheQtRunnerWorksOffTheWindowsThread) {
  QtBackgroundRunner runner;
  const QThread* window_thread = QThread::currentThread();
  const QThread* worked_on = nullptr;
  const QThread* done_on = nullptr;
  runner.Run([&] { worked_on = QThread::currentThread(); }, [&] { done_on = QThread::currentThread(); });
  runner.WaitUntil([&] { return done_on != nullptr; });
  EXPECT_NE(worked_on, window_thread);
  EXPECT_EQ(done_on, window_thread);

  TServiceManager manager(sink_, scm_, dir_.Path().string(), runner);
  MainWindow window(manager);
  EXPECT_EQ(window.StatusText(), "");
  EXPECT_TRUE(QTest::qWaitFor([&] { return window.StatusText() == "Gateway Off-Line"; }, 30000));
}

TEST_F(MainWindowTest, WithoutANotificationAreaTheWindowStaysReachable) {
  MainWindow window(manager_, nullptr, false);
  window.ShowAtStart();
  EXPECT_TRUE(window.isVisible() && !window.isMinimized());
  window.close();  // minimizes, onto the taskbar
  EXPECT_TRUE(window.isVisible() && window.isMinimized());
  EXPECT_FALSE(window.TrayIcon().Shown());
}

TEST_F(MainWindowTest, WithANotificationAreaTheWindowLivesThere) {
  static std::vector<std::string> messages;  // Qt's, while the window is made and minimized
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        messages.push_back(text.toStdString());
      });
  MainWindow window(manager_, nullptr, true);
  TTrayIcon& tray = window.TrayIcon();
  window.ShowAtStart();
  QCoreApplication::processEvents();
  EXPECT_TRUE(!window.isVisible() && tray.Shown() && tray.Minimized());
  qInstallMessageHandler(previous);
  // The icon had its image before it was shown.
  EXPECT_THAT(messages, ::testing::Not(::testing::Contains(::testing::HasSubstr("No Icon set"))));
  Find<QAction>(window, "Setup1")->trigger();
  EXPECT_TRUE(window.isVisible() && tray.Shown() && !tray.Minimized());  // SeparateIcon
  window.close();
  QCoreApplication::processEvents();
  EXPECT_TRUE(!window.isVisible() && tray.Minimized());
  tray.OnDblClick(tray);
  EXPECT_TRUE(window.isVisible());

  // Without SeparateIcon the icon is there only while minimized.
  tray.SetSeparateIcon(false);
  EXPECT_FALSE(tray.Shown());
  window.showMinimized();
  EXPECT_TRUE(tray.Shown());

  tray.SetHint(QString(70, 'x'));  // the tip holds 63 characters
  EXPECT_EQ(tray.Tip(), QString(63, 'x'));
}

TEST_F(MainWindowTest, TheAboutBox) {
  MainWindow window(manager_);
  QTimer::singleShot(0, [] {
    auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowTitle(), "About Velomar TAP Gateway");
    EXPECT_EQ(box->Version->text(), "Version 1.2.5");
    EXPECT_EQ(box->minimumSize(), box->maximumSize());  // a fixed border
    EXPECT_TRUE(box->width() >= 329 && box->height() >= 293);
    // Everything, the OK button too, on a panel whose bevel is lowered
    // outside (its left edge dark, its right light) and raised inside.
    if (auto* panel = box->findChild<QWidget*>("Panel")) {
      EXPECT_TRUE(panel->isAncestorOf(box->findChild<QPushButton*>("OKButton")));
      const QImage drawn = panel->grab().toImage();
      const int middle = drawn.height() / 2;
      const auto lightness = [&](int x) { return drawn.pixelColor(x, middle).lightness(); };
      EXPECT_LT(lightness(0), lightness(drawn.width() - 1));
      EXPECT_GT(lightness(1), lightness(drawn.width() - 2));
    } else {
      ADD_FAILURE() << "no panel";
    }
    box->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(box));
    // Each link clicked opens once; Enter then closes the box, as OK is the
    // default button.
    for (const char* name : {"Label1", "Label2"}) {
      auto* link = box->findChild<QLabel*>(name);
      const QPoint on_text(link->fontMetrics().horizontalAdvance(link->text().section('>', 1, 1).section('<', 0, 0)) / 2,
                           link->height() / 2);
      QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, on_text);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(box->isVisible()) << "Enter went to " << QApplication::focusWidget()->objectName().toStdString();
    if (box->isVisible()) box->reject();
  });
  window.ShowAbout();
  EXPECT_EQ(window.findChild<TAboutBox*>(), nullptr);
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"open:Mailto:gateway@example.org", "open:https://www.example.org/vltg/"}));
}

}  // namespace
}  // namespace vltg::manager
