// The settings pages' controls on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

#include "manager/ui/misc_page.h"
#include "manager/ui/tnpp_page.h"
#include "tests/manager/ui/test_application.h"
#include "tests/support/manager_test.h"

namespace vltg::manager {
namespace {

class SettingsPagesWidgetTest : public testing::ManagerTest {
 protected:
  static void SetUpTestSuite() { testing::TestApplication(); }

  template <typename T>
  T* Find(QWidget& page, const char* name) {
    T* control = page.findChild<T*>(name);
    EXPECT_NE(control, nullptr) << name;
    return control;
  }
};

TEST_F(SettingsPagesWidgetTest, TheNumberFieldsTakeDigitsOnlyTypedOrPastedTheSourceAddressAnyText) {
  TnppPage page(manager_);
  for (const char* name : {"BusyRtyTO", "IdelTO", "RetryCount", "KeepAliveTO", "IntCharTime", "RSHoldRetry",
                           "RSHoldTime", "ENQRetries", "ENQTO"}) {
    SCOPED_TRACE(name);
    auto* edit = Find<QLineEdit>(page, name);
    edit->clear();
    QTest::keyClicks(edit, "1a-2 ");
    EXPECT_EQ(edit->text(), "12");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), "1");
    QApplication::clipboard()->setText("3x,4");
    edit->paste();
    EXPECT_EQ(edit->text(), "134");
  }
  auto* source = Find<QLineEdit>(page, "SourceAddr");
  source->clear();
  QTest::keyClicks(source, "$1F");
  EXPECT_EQ(source->text(), "$1F");
}

// Only what is typed is filtered: a loaded text that is not all digits stays.
TEST_F(SettingsPagesWidgetTest, TypingIntoANumberFieldLeavesItsLoadedTextAsItIs) {
  dir_.Write("Config.Dat", "[TNPP]\r\nBusyRtyTO=0x3C\r\n");
  TnppPage page(manager_);
  auto* edit = Find<QLineEdit>(page, "BusyRtyTO");
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  edit->undo();
  EXPECT_EQ(edit->text(), "0x3C");
  edit->end(false);
  QTest::keyClicks(edit, "1y");
  EXPECT_EQ(edit->text(), "0x3C1");
  edit->setCursorPosition(1);
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, "z2");
  EXPECT_EQ(edit->text(), "023C1");
}

TEST_F(SettingsPagesWidgetTest, TheControlsShowTheLoadedValuesAndApplyStoresThem) {
  dir_.Write("Config.Dat", "[TNPP]\r\nIdelTO=15\r\nComSpeed=10\r\nHandShake=7\r\n");
  TnppPage page(manager_);
  EXPECT_EQ(Find<QLineEdit>(page, "IdelTO")->text(), "15");
  EXPECT_EQ(Find<QComboBox>(page, "ComSpeed")->currentText(), "56000");
  EXPECT_EQ(Find<QComboBox>(page, "HandShake")->currentIndex(), -1);
  EXPECT_FALSE(Find<QCheckBox>(page, "TRSPCRC")->isChecked());
  EXPECT_EQ(Find<QLineEdit>(page, "BusyRtyTO")->toolTip(), "Busy Response Time Out");

  Find<QComboBox>(page, "HandShake")->setCurrentIndex(3);
  Find<QCheckBox>(page, "EnableSNPP")->setChecked(true);
  Find<QLineEdit>(page, "ENQTO")->setText("30");
  Find<QPushButton>(page, "Button2")->click();
  const platform::ProfileFile config(dir_ / "Config.Dat");
  EXPECT_EQ(config.ReadString("TNPP", "HandShake", ""), "3");
  EXPECT_EQ(config.ReadString("TNPP", "EnableTNPP", ""), "1");
  EXPECT_EQ(config.ReadString("TNPP", "ENQTO", ""), "30");
  EXPECT_EQ(config.ReadString("TNPP", "IdelTO", ""), "15");
}

// Bytes of another code page survive an Apply that did not touch them.
TEST_F(SettingsPagesWidgetTest, AnUntouchedTextKeepsItsBytes) {
  dir_.Write("Config.Dat", "[Misc]\r\nmHeader=Caf\xE9\r\n");
  MiscPage page(manager_);
  Find<QPushButton>(page, "Button4")->click();
  EXPECT_EQ(platform::ProfileFile(dir_ / "Config.Dat").ReadString("Misc", "mHeader", ""), "Caf\xE9");
}

}  // namespace
}  // namespace vltg::manager
