// The route list and the route dialog on Qt's offscreen platform.
#include "manager/ui/routing_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "manager/ui/route_dialog.h"
#include "manager/ui/state_images.h"
#include "tests/manager/ui/test_application.h"
#include "tests/support/manager_test.h"

namespace vltg::manager {
namespace {

class RoutingPageTest : public testing::ManagerTest {
 protected:
  static void SetUpTestSuite() { testing::TestApplication(); }
};

QImage Image(const QIcon& icon) { return icon.pixmap(16, 16).toImage(); }

TEST_F(RoutingPageTest, TheListShowsItsColumnsAndAStateImageByTransport) {
  dir_.Write("Route.Dat", "1,TNPP,12,3\r\n12,SNPP,host,444\r\n2,tnpp,1,2\r\n");
  RoutingPage page(manager_);
  QTreeWidget* list = page.List();
  EXPECT_EQ(list->objectName(), "ListView1");
  QStringList headers;
  std::vector<int> widths;
  for (int column = 0; column < list->columnCount(); ++column) {
    headers << list->headerItem()->text(column);
    widths.push_back(list->columnWidth(column));
  }
  EXPECT_EQ(headers, (QStringList{"Route", "Transport", "Destination/Server", "Inertia/Port"}));
  EXPECT_EQ(widths, (std::vector<int>{100, 64, 220, 70}));

  ASSERT_EQ(list->topLevelItemCount(), 3);
  const QTreeWidgetItem* first = list->topLevelItem(0);
  EXPECT_EQ((QStringList{first->text(0), first->text(1), first->text(2), first->text(3)}),
            (QStringList{"12", "SNPP", "host", "444"}));
  EXPECT_EQ(Image(first->icon(0)), Image(StateImage(0)));
  EXPECT_EQ(list->topLevelItem(1)->text(0), "1");
  EXPECT_EQ(Image(list->topLevelItem(1)->icon(0)), Image(StateImage(1)));
  EXPECT_EQ(Image(list->topLevelItem(2)->icon(0)), Image(StateImage(0)));  // "tnpp" is not TNPP
  EXPECT_NE(Image(StateImage(0)), Image(StateImage(1)));
}

TEST_F(RoutingPageTest, AnInPlaceEditIsSortedInOrRefusedAndUndone) {
  dir_.Write("Route.Dat", "1,SNPP,h,1\r\n2,SNPP,h,2\r\n");
  RoutingPage page(manager_);
  QTreeWidget* list = page.List();
  list->topLevelItem(1)->setText(0, "11");
  QApplication::processEvents();
  EXPECT_EQ(list->topLevelItem(0)->text(0), "11");
  EXPECT_EQ(list->topLevelItem(0)->text(3), "2");
  EXPECT_EQ(list->currentItem(), list->topLevelItem(0));
  list->topLevelItem(1)->setText(0, "");
  QApplication::processEvents();
  EXPECT_EQ(list->topLevelItem(1)->text(0), "1");
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"box:Must Specify Route", "focus:ListView1"}));
}

// An in-place edit ended by a click on a button is what the button acts on;
// only the route text opens an editor.
TEST_F(RoutingPageTest, AButtonEndingAnInPlaceEditActsOnTheEdit) {
  dir_.Write("Route.Dat", "1,SNPP,a,1\r\n2,SNPP,b,2\r\n3,SNPP,c,3\r\n");
  RoutingPage page(manager_);
  page.show();
  page.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
  QTreeWidget* list = page.List();
  const auto edit = [&](int row, int column, const char* text) {
    list->setCurrentItem(list->topLevelItem(row));
    list->editItem(list->topLevelItem(row), column);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (editor == nullptr) return false;
    editor->selectAll();
    QTest::keyClicks(editor, text);
    return true;
  };
  EXPECT_FALSE(edit(1, 2, "elsewhere"));
  ASSERT_TRUE(edit(1, 0, "20"));
  QTest::mouseClick(page.findChild<QPushButton*>("Button3"), Qt::LeftButton);
  EXPECT_EQ(dir_.Read("Route.Dat"), "1,SNPP,a,1\r\n20,SNPP,b,2\r\n3,SNPP,c,3\r\n");

  ASSERT_TRUE(edit(0, 0, "9"));
  sink_.events.clear();
  sink_.answers.push_back(BoxAnswer::kYes);
  QTest::mouseClick(page.findChild<QPushButton*>("BitBtn2"), Qt::LeftButton);
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Delete Route \"9\"?"}));
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(0) + " " + list->topLevelItem(1)->text(0), "20 3");
}

TEST_F(RoutingPageTest, F2EditsTheRouteTextWhicheverCellIsCurrent) {
  dir_.Write("Route.Dat", "1,SNPP,a,1\r\n2,TNPP,b,2\r\n");
  RoutingPage page(manager_);
  page.show();
  page.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&page));
  QTreeWidget* list = page.List();
  for (int column = 0; column < list->columnCount(); ++column) {
    SCOPED_TRACE(column);
    list->setCurrentIndex(list->model()->index(1, column));
    QTest::keyClick(list, Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->text(), "2");
    QTest::keyClick(editor, Qt::Key_Escape);
  }
}

TEST_F(RoutingPageTest, ChoosingTnppRelabelsTheFieldsAndTheOtherTransportsRelabelThemBack) {
  TRouteDialogModel form;
  std::vector<int> helped;
  RouteDialog dialog(form, [&](int context) { helped.push_back(context); });
  EXPECT_EQ(dialog.windowTitle(), "Routing Data");
  auto* type = dialog.findChild<QComboBox*>("rType");
  auto* destination_label = dialog.findChild<QLabel*>("Label3");
  auto* port_label = dialog.findChild<QLabel*>("Label4");
  ASSERT_TRUE(type && destination_label && port_label);
  EXPECT_EQ(type->currentText(), "SNPP");
  EXPECT_EQ(destination_label->text(), "&Server:");
  EXPECT_EQ(port_label->text(), "&Port:");
  type->setCurrentIndex(type->findText("TNPP"));
  EXPECT_EQ(destination_label->text(), "&Destination (DEC)");
  EXPECT_EQ(port_label->text(), "&Inertia");
  EXPECT_EQ(form.Transport(), "TNPP");
  type->setCurrentIndex(type->findText("WCTP"));
  EXPECT_EQ(destination_label->text(), "&Server");
  EXPECT_EQ(port_label->text(), "&Port");

  // F1 within the dialog opens its help.
  dialog.show();
  dialog.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
  dialog.findChild<QLineEdit*>("Route")->setFocus();
  QTest::keyClick(&dialog, Qt::Key_F1);
  EXPECT_EQ(helped, std::vector<int>{60});
}

}  // namespace
}  // namespace vltg::manager
