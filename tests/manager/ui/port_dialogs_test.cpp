// The TAP port list, the "TAP Modem Data" dialog and the provider's modem
// settings dialog on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "manager/ui/modem_config_dialog.h"
#include "manager/ui/port_data_dialog.h"
#include "manager/ui/tap_port_group.h"
#include "platform/telephony/line_api.h"
#include "platform/telephony/tapi_constants.h"
#include "tests/manager/ui/test_application.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

class PortDialogsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { testing::TestApplication(); }
  void TearDown() override { platform::SetDevConfigDialog(nullptr); }

  template <typename T>
  static T* Child(const QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", dir_.Path().string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  TVLSGSrvcMngr manager_{sink_, scm_, dir_.Path().string()};
};

TEST_F(PortDialogsTest, ThePortDialogShowsItsPagesListsAndTexts) {
  TPortDataForm form(manager_, {{"Modem A", 0}, {"Modem C", 2}}, {"Other"}, false);
  form.Data.DeviceID = 2;
  PortDataDialog dialog(form);
  form.SetSink(sink_);
  EXPECT_EQ(dialog.windowTitle(), "TAP Modem Data");
  QTabWidget* pages = dialog.Pages();
  ASSERT_EQ(pages->count(), 2);
  EXPECT_EQ(pages->tabText(0), "&General Details");
  EXPECT_EQ(pages->tabText(1), "&Direct Access Port Settings");
  EXPECT_EQ(pages->currentIndex(), 0);

  auto* modem = Child<QComboBox>(dialog, "Modem");
  EXPECT_EQ(Items(modem), (QStringList{"Modem A", "Modem C"}));
  EXPECT_EQ(modem->currentIndex(), 1);
  EXPECT_EQ(Items(Child<QComboBox>(dialog, "ComPort")), (QStringList{"COM1", "COM2", "COM3", "COM4"}));
  EXPECT_EQ(Items(Child<QComboBox>(dialog, "DataSettings")), (QStringList{"7,E,1", "8,N,1"}));
  EXPECT_EQ(Items(Child<QComboBox>(dialog, "FlowCtrl")), (QStringList{"None", "Hardware", "Software", "Both"}));
  EXPECT_EQ(Items(Child<QComboBox>(dialog, "COMSpeed")),
            (QStringList{"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "56000",
                         "57600", "115200"}));
  EXPECT_EQ(Child<QComboBox>(dialog, "FlowCtrl")->currentText(), "Hardware");
  EXPECT_EQ(Child<QComboBox>(dialog, "COMSpeed")->currentText(), "1200");
  EXPECT_EQ(Child<QLineEdit>(dialog, "TimeOut")->text(), "60");
  EXPECT_EQ(Child<QLineEdit>(dialog, "RingsToAnswer")->text(), "1");
  EXPECT_EQ(Child<QLineEdit>(dialog, "MaxMsgLength")->text(), "160");
  EXPECT_EQ(Child<QCheckBox>(dialog, "Turncate")->text(), "Turncate Messages");
  EXPECT_EQ(Child<QCheckBox>(dialog, "Enabled")->text(), "Port &Enabled");
  EXPECT_EQ(Child<QCheckBox>(dialog, "DirectAccess")->text(), "Enable Direct Port Access");
  EXPECT_EQ(Child<QPushButton>(dialog, "BitBtn4")->text(), "TAP Modem &Settings");
  EXPECT_EQ(Child<QPushButton>(dialog, "OKBut")->toolTip(), "Accept And Exit");
  EXPECT_FALSE(Child<QLineEdit>(dialog, "ModemName")->isReadOnly());

  // OK keeps the dialog open until the model accepts, then hands the controls over.
  Child<QPushButton>(dialog, "OKBut")->click();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:No Name Specified!", "focus:ModemName"}));
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  Child<QLineEdit>(dialog, "ModemName")->setText("Demo");
  Child<QComboBox>(dialog, "COMSpeed")->setCurrentIndex(6);
  Child<QCheckBox>(dialog, "Enabled")->setChecked(true);
  Child<QPushButton>(dialog, "OKBut")->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(form.ModemName, "Demo");
  EXPECT_EQ(form.Data.DeviceID, 2);
  EXPECT_EQ(form.Data.COMSpeed, 6);
  EXPECT_TRUE(form.Data.Enabled);

  sink_.events.clear();
  std::filesystem::create_directories(dir_ / "help");
  dir_.Write("help/21.html", "");
  pages->setCurrentIndex(1);
  Child<QPushButton>(dialog, "BitBtn1")->click();
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"open:" + (dir_ / "help/21.html").string()}));

  TPortDataForm edited(manager_, {}, {}, true);
  PortDataDialog edit(edited);
  EXPECT_TRUE(Child<QLineEdit>(edit, "ModemName")->isReadOnly());
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
  EXPECT_EQ(Child<QComboBox>(dialog, "Speed")->currentText(), "19200");
  EXPECT_EQ(Child<QComboBox>(dialog, "DataBits")->currentText(), "7");
  EXPECT_EQ(Child<QComboBox>(dialog, "Parity")->currentText(), "Even");
  EXPECT_EQ(Child<QComboBox>(dialog, "StopBits")->currentText(), "2");
  EXPECT_EQ(Child<QComboBox>(dialog, "FlowControl")->currentText(), "Software (XON/XOFF)");
  EXPECT_FALSE(Child<QCheckBox>(dialog, "WatchCarrier")->isChecked());
  EXPECT_EQ(Child<QLineEdit>(dialog, "InitCommand")->text(), "ATL0");
  EXPECT_EQ(Child<QLineEdit>(dialog, "InitCommand")->maxLength(), 60);
  EXPECT_EQ(dialog.Config(), given);

  // Installed, it is what the line layer shows.
  dir_.Write("telephony.ini", "[Modem A]\r\nDevice=COM1\r\nSpeed=2400\r\n");
  InstallModemConfigDialog();
  QTimer::singleShot(0, [] {
    ModemConfigDialog* shown = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      if (auto* dialog = qobject_cast<ModemConfigDialog*>(widget); dialog && dialog->isVisible()) shown = dialog;
    }
    ASSERT_NE(shown, nullptr);
    shown->findChild<QLineEdit*>("InitCommand")->setText("AT&K3");
    shown->findChild<QComboBox*>("FlowControl")->setCurrentIndex(3);
    shown->accept();
  });
  platform::VARSTRING out;
  out.dwTotalSize = 1024;
  ASSERT_EQ(platform::lineConfigDialogEdit(0, nullptr, platform::kDeviceClassDataModem, nullptr, 0, &out), 0);
  const auto edited = platform::DecodeDeviceConfig(out.String);
  ASSERT_TRUE(edited);
  EXPECT_EQ(edited->speed, 2400u);
  EXPECT_EQ(edited->init_command, "AT&K3");
  EXPECT_TRUE(edited->rts_cts && edited->xon_xoff);
}

TEST_F(PortDialogsTest, ThePortListIsFilledAtItsFirstShowing) {
  dir_.Write("Config.Dat", "[Tap Ports]\r\nPort1=A\r\nPort2=B\r\n[A]\r\nEnabled=1\r\nDeviceID=3\r\n"
                           "[B]\r\nDirectAccess=1\r\n");
  TapPortGroup group(manager_);
  QTreeWidget* list = group.List();
  EXPECT_EQ(group.title(), "TAP Port Settings");
  EXPECT_EQ(list->headerItem()->text(0), "Port Name");
  EXPECT_EQ(list->headerItem()->text(1), "Device ID");
  EXPECT_EQ(list->columnWidth(0), 150);
  EXPECT_EQ(list->topLevelItemCount(), 0);
  group.show();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(0), "A");
  EXPECT_EQ(list->topLevelItem(0)->text(1), "3");
  EXPECT_EQ(list->topLevelItem(0)->data(0, Qt::UserRole).toInt(), 3);
  EXPECT_EQ(list->topLevelItem(1)->text(1), "Direct");
  EXPECT_EQ(list->topLevelItem(1)->data(0, Qt::UserRole).toInt(), 2);
  EXPECT_EQ(Child<QPushButton>(group, "BitBtn4")->text(), "&Add TAP Port");
  EXPECT_EQ(Child<QPushButton>(group, "BitBtn3")->text(), "&Delete TAP Port");
}

}  // namespace
}  // namespace vltg::manager
