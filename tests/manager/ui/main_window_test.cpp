// The main window on Qt's offscreen platform: its captions, menus, hints and
// enablings as the model sets them, minimizing into the notification area,
// and the about box.
#include "manager/ui/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <optional>

#include "manager/ui/about_box.h"
#include "manager/ui/tray_icon.h"
#include "tests/manager/ui/test_application.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::TestApplication(); }

  template <typename T = QWidget>
  T* Find(const MainWindow& window, const char* name) {
    T* found = window.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  // The captions of a menu's items, "-" for a separator.
  static std::vector<std::string> Items(const QMenu* menu) {
    std::vector<std::string> items;
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

  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", (dir_ / "root").string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  TVLSGSrvcMngr manager_{sink_, scm_, dir_.Path().string()};
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
  for (const QAction* menu : window.menuBar()->actions()) {
    menus.push_back({menu->text().toStdString()});
    for (const std::string& item : Items(menu->menu())) menus.back().push_back(item);
  }
  EXPECT_EQ(menus, (std::vector<std::vector<std::string>>{
                       {"&File", "E&xit"},
                       {"&Service", "&Start", "Sto&p", "&Restart", "-", "&Install", "&Uninstall"},
                       {"&Help", "&Contents", "&About"}}));
  EXPECT_EQ(Items(window.PopupMenu1()),
            (std::vector<std::string>{"&Start", "Sto&p", "&Restart", "-", "&Setup", "E&xit"}));
}

TEST_F(MainWindowTest, TheServiceGroupsCaptionsHintsAndHelp) {
  MainWindow window(manager_);
  struct Control {
    const char* name;
    const char* caption;
    const char* hint;
  };
  for (const Control& c : {
           Control{"Install2", "Install Service", "Install SNPP To HTML Service"},
           Control{"Uninstall2", "Uninstall Service", "Uninstall SNPP To HTML Service"},
           Control{"LogonName", "", "NT/2000 Service Logon Name"},
           Control{"LogonPassword", "", "NT/2000 Logon Password"},
           Control{"DefaultLogon", "&Default Service Logon", "Use Default System Service Logon"},
           Control{"ApplySvcChg", "Apply Changes", "Apply Logon Changes To The SNPP To HTML Service"},
       }) {
    SCOPED_TRACE(c.name);
    QWidget* control = Find(window, c.name);
    EXPECT_EQ(control->toolTip().toStdString(), c.hint);
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      EXPECT_EQ(button->text().toStdString(), c.caption);
    }
  }
  // The labels take the keyboard to their edits.
  std::vector<std::string> labels;
  for (const QLabel* label : Find(window, "ServiceGroup")->findChildren<QLabel*>()) {
    labels.push_back(label->text().toStdString() + " " + label->buddy()->objectName().toStdString());
  }
  EXPECT_EQ(labels, (std::vector<std::string>{"Logon &Name: LogonName", "Logon &Password: LogonPassword"}));

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
}

TEST_F(MainWindowTest, EnablingsFollowTheModelAndRestDuringAnOperation) {
  MainWindow window(manager_);
  EXPECT_EQ(Enabled(window), (std::vector<std::string>{"Install1", "Install2"}));
  EXPECT_EQ(window.StatusText(), "Gateway Off-Line");
  EXPECT_EQ(window.TrayIcon1().Tip().toStdString(), std::string(kManagerTitle) + "[Gateway Off-Line]");

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

TEST_F(MainWindowTest, WithoutANotificationAreaTheWindowStaysReachable) {
  MainWindow window(manager_, nullptr, false);
  window.ShowAtStart();
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.isMinimized());
  window.close();  // minimizes, on the taskbar
  EXPECT_TRUE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(window.TrayIcon1().Shown());
}

TEST_F(MainWindowTest, WithANotificationAreaTheWindowLivesThere) {
  MainWindow window(manager_, nullptr, true);
  TTrayIcon& tray = window.TrayIcon1();
  window.ShowAtStart();
  QCoreApplication::processEvents();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(tray.Shown());
  EXPECT_TRUE(tray.Minimized());
  EXPECT_EQ(tray.PopupMenu(), window.PopupMenu1());

  Find<QAction>(window, "Setup1")->trigger();
  EXPECT_TRUE(window.isVisible());
  EXPECT_FALSE(tray.Minimized());
  EXPECT_TRUE(tray.Shown());  // SeparateIcon

  window.close();
  QCoreApplication::processEvents();
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(tray.Minimized());
  ASSERT_TRUE(tray.OnDblClick);
  tray.OnDblClick(tray);
  EXPECT_TRUE(window.isVisible());

  // Without SeparateIcon the icon is there only while minimized.
  tray.SetSeparateIcon(false);
  EXPECT_FALSE(tray.Shown());
  window.showMinimized();
  EXPECT_TRUE(tray.Shown());

  // The tip holds 63 characters.
  tray.SetHint(QString(70, 'x'));
  EXPECT_EQ(tray.Tip(), QString(63, 'x'));
  EXPECT_EQ(tray.Hint(), QString(70, 'x'));
  tray.SetHint("");
  EXPECT_EQ(tray.Tip(), "");
}

TEST_F(MainWindowTest, TheAboutBox) {
  MainWindow window(manager_);
  QString version;
  QTimer::singleShot(0, [&version] {
    auto* box = qobject_cast<TAboutBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    version = box->Version1->text();
    box->findChild<QPushButton*>("OKButton")->click();
  });
  window.About2Click();
  EXPECT_EQ(version, "Version 1.2.5");
  EXPECT_EQ(window.findChild<TAboutBox*>(), nullptr);

  TAboutBox box(sink_);
  EXPECT_EQ(box.windowTitle(), "About Velomar TAP Gateway");
  auto* ok = box.findChild<QPushButton*>("OKButton");
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), "&OK");
  EXPECT_TRUE(ok->isDefault());
  EXPECT_EQ(box.findChild<QLabel*>("Label1")->toolTip(), "Click To Send E-Mail");
  EXPECT_EQ(box.findChild<QLabel*>("Label2")->toolTip(), "Click To Go To Web Site");
  box.Label1Click();
  box.Label2Click();
  EXPECT_EQ(sink_.events,
            (std::vector<std::string>{"open:Mailto:gateway@example.org", "open:https://www.example.org/vltg/"}));
}

}  // namespace
}  // namespace vltg::manager
