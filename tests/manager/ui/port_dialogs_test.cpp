// The TAP port list, the "TAP Modem Data" dialog and the provider's modem
// settings dialog on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "manager/model/service_manager.h"
#include "manager/ui/modem_config_dialog.h"
#include "manager/ui/port_dialog.h"
#include "manager/ui/state_images.h"
#include "manager/ui/tap_port_group.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"
#include "tests/manager/ui/test_application.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"
#include "tests/support/thread_runner.h"

namespace vltg::manager {
namespace {

// What a control shows: a button's or line's text, a list's items with the
// current one in brackets.
std::string Shown(const QWidget& parent, const char* name) {
  const QWidget* widget = parent.findChild<QWidget*>(name);
  if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
      items << (i == list->currentIndex() ? "[" + list->itemText(i) + "]" : list->itemText(i));
    return items.join(" ").toStdString();
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return edit->text().toStdString();
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) return button->text().toStdString();
  return "missing";
}

class PortDialogsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::TestApplication(); }
  void TearDown() override { platform::SetDevConfigDialog(nullptr); }

  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", dir_.Path().string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  testing::ThreadRunner runner_;
  TServiceManager manager_{sink_, scm_, dir_.Path().string(), runner_};
};

TEST_F(PortDialogsTest, ThePortDialogShowsItsPagesListsAndTextsAndHandsItsControlsOver) {
  TPortDialogModel form(manager_, {{"Modem A", 0}, {"Modem C", 2}}, {}, false);
  form.Data.SetNumber("Modem", 2);
  PortDialog dialog(form);
  form.SetSink(sink_);
  EXPECT_EQ(dialog.windowTitle(), "TAP Modem Data");
  QTabWidget* pages = dialog.Pages();
  EXPECT_EQ(pages->tabText(0) + "|" + pages->tabText(1), "&General Details|&Direct Access Port Settings");
  EXPECT_EQ(pages->currentIndex(), 0);
  const std::pair<const char*, std::string> controls[] = {
      {"Modem", "Modem A [Modem C]"},
      {"ComPort", "[COM1] COM2 COM3 COM4"},
      {"DataSettings", "[7,E,1] 8,N,1"},
      {"FlowCtrl", "None [Hardware] Software Both"},
      {"COMSpeed", "110 300 600 [1200] 2400 4800 9600 14400 19200 38400 56000 57600 115200"},
      {"TimeOut", "60"},
      {"RingsToAnswer", "1"},
      {"MaxMsgLength", "160"},
      {"Turncate", "Turncate Messages"},
      {"Enabled", "Port &Enabled"},
      {"DirectAccess", "Enable Direct Port Access"},
      {"BitBtn4", "TAP Modem &Settings"},
  };
  for (const auto& [name, shown] : controls) EXPECT_EQ(Shown(dialog, name), shown) << name;

  auto* ok = dialog.findChild<QAbstractButton*>("OKBut");
  ok->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);  // no name: the model refused
  dialog.findChild<QLineEdit*>("ModemName")->setText("Demo");
  dialog.findChild<QComboBox*>("COMSpeed")->setCurrentIndex(6);
  ok->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(form.ModemName, "Demo");
  EXPECT_EQ(form.Data.Number("Modem"), 2);
  EXPECT_EQ(form.Data.Position("COMSpeed"), 6);

  sink_.events.clear();
  std::filesystem::create_directories(dir_ / "help");
  dir_.Write("help/21.html", "");
  pages->setCurrentIndex(1);
  dialog.findChild<QAbstractButton*>("BitBtn1")->click();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"open:" + (dir_ / "help/21.html").string()}));

  // F1 opens the help of the page the focused control is on.
  dir_.Write("help/20.html", "");
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  dialog.findChild<QComboBox*>("ComPort")->setFocus();
  QTest::keyClick(&dialog, Qt::Key_F1);
  pages->setCurrentIndex(0);
  dialog.findChild<QLineEdit*>("Password")->setFocus();
  QTest::keyClick(&dialog, Qt::Key_F1);
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"open:" + (dir_ / "help/21.html").string(),
                                                    "open:" + (dir_ / "help/21.html").string(),
                                                    "open:" + (dir_ / "help/20.html").string()}));
  dialog.hide();

  TPortDialogModel edited(manager_, {}, {}, true);
  EXPECT_TRUE(PortDialog(edited).findChild<QLineEdit*>("ModemName")->isReadOnly());
}

TEST_F(PortDialogsTest, TheProvidersDialogEditsTheLinesConfiguration) {
  platform::DeviceConfig given;
  given.speed = 19200;
  given.data_bits = 7;
  given.parity = platform::SerialParity::kEven;
  given.stop_bits = platform::SerialStopBits::kTwo;
  given.rts_cts = false;
  given.xon_xoff = true;
  given.watch_carrier = false;
  given.init_command = "ATL0";
  ModemConfigDialog dialog("Modem A", given);
  EXPECT_EQ(dialog.windowTitle(), "Modem A Properties");
  for (const auto& [name, shown] : std::initializer_list<std::pair<const char*, const char*>>{
           {"DataBits", "5 6 [7] 8"},
           {"Parity", "None Odd [Even] Mark Space"},
           {"StopBits", "1 1.5 [2]"},
           {"FlowControl", "None Hardware (RTS/CTS) [Software (XON/XOFF)] Both"},
           {"InitCommand", "ATL0"}}) {
    EXPECT_EQ(Shown(dialog, name), shown) << name;
  }
  EXPECT_EQ(dialog.Config(), given);

  // Installed, it is what the line layer shows.
  dir_.Write("telephony.ini", "[Modem A]\r\nDevice=COM1\r\nSpeed=2400\r\n");
  InstallModemConfigDialog();
  QTimer::singleShot(0, [] {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* shown = qobject_cast<ModemConfigDialog*>(widget);
      if (shown == nullptr || !shown->isVisible()) continue;
      shown->findChild<QLineEdit*>("InitCommand")->setText("AT&K3");
      shown->accept();
    }
  });
  platform::VARSTRING out;
  out.dwTotalSize = 1024;
  ASSERT_EQ(platform::lineConfigDialogEdit(0, nullptr, platform::kDeviceClassDataModem, nullptr, 0, &out), 0);
  const auto edited = platform::DecodeDeviceConfig(out.String);
  ASSERT_TRUE(edited);
  EXPECT_EQ(edited->speed, 2400u);
  EXPECT_EQ(edited->init_command, "AT&K3");
}

TEST_F(PortDialogsTest, ThePortListIsFilledAtItsFirstShowing) {
  dir_.Write("Config.Dat",
             "[Tap Ports]\r\nPort1=A\r\nPort2=B\r\n[A]\r\nEnabled=1\r\nDeviceID=3\r\n[B]\r\nDirectAccess=1\r\n");
  TapPortGroup group(manager_);
  QTreeWidget* list = group.List();
  EXPECT_EQ(list->headerItem()->text(0) + "|" + list->headerItem()->text(1), "Port Name|Device ID");
  EXPECT_EQ(list->topLevelItemCount(), 0);
  group.show();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(0) + " " + list->topLevelItem(0)->text(1), "A 3");
  EXPECT_EQ(list->topLevelItem(1)->text(0) + " " + list->topLevelItem(1)->text(1), "B Direct");
  EXPECT_EQ(list->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 3);
  EXPECT_EQ(list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 2);
  EXPECT_EQ(Shown(group, "BitBtn4") + "|" + Shown(group, "BitBtn3"), "&Add TAP Port|&Delete TAP Port");
}

// A delete leaves nothing selected, so a second one asks nothing and removes
// nothing; an entry the gateway does not start shows its own image and why.
TEST_F(PortDialogsTest, AfterADeleteNothingIsSelected) {
  dir_.Write("Config.Dat", "[Tap Ports]\r\nPort1=A\r\nPort2=B\r\nPort17=C\r\n[A]\r\nEnabled=1\r\n");
  TapPortGroup group(manager_);
  group.show();
  QTreeWidget* list = group.List();
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(0)->icon(0).pixmap(16, 16).toImage(), StateImage(3).pixmap(16, 16).toImage());
  EXPECT_EQ(list->topLevelItem(2)->icon(0).pixmap(16, 16).toImage(), StateImage(4).pixmap(16, 16).toImage());
  EXPECT_EQ(list->topLevelItem(2)->toolTip(0), "Not Started By The Gateway (Port17)");

  list->setCurrentItem(list->topLevelItem(0));
  sink_.answers = {BoxAnswer::kYes, BoxAnswer::kYes};
  auto* remove = group.findChild<QAbstractButton*>("BitBtn3");
  remove->click();
  remove->click();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_TRUE(list->selectedItems().isEmpty());
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Delete Selected TAP Port?"}));
  EXPECT_EQ(platform::ProfileFile(dir_ / "Config.Dat").ReadString("Tap Ports", "Port2", ""), "B");
}

}  // namespace
}  // namespace vltg::manager
