// The line component's "Dialing..." window on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include "manager/model/modem_lines.h"
#include "manager/ui/qt_dialing_form.h"
#include "tests/manager/ui/test_application.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {

// The button's hang-up is the model's TDialingForm::HangUp, driven on a
// connected call by the line component's call tests.
TEST(QtDialingFormTest, EntryZeroMakesItOnceHiddenWithItsImage) {
  testing::TestApplication();
  testing::TempDir root;
  testing::ScopedEnv env{"VLTG_ROOT", root.Path().string()};
  InstallDialingForm();
  TModemLines component;
  component.SetShowDialDialog(true);
  ASSERT_TRUE(component.InitializeLine());
  auto* form = dynamic_cast<QtDialingForm*>(component.DialingForm());
  ASSERT_NE(form, nullptr);
  ASSERT_TRUE(component.InitializeLine());
  EXPECT_EQ(component.DialingForm(), form);  // made once
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->windowTitle(), "Dialing...");
  EXPECT_EQ(form->HangUpButton->text(), "&Hang up");
  EXPECT_TRUE(form->Image->isVisibleTo(form));

  form->Show();
  EXPECT_TRUE(form->isVisible());
  form->Hide();
  EXPECT_FALSE(form->isVisible());

  TModemLines other;
  other.SetShowDialDialog(true);
  other.SetLineInstance(1);
  ASSERT_TRUE(other.InitializeLine());
  EXPECT_EQ(other.DialingForm(), nullptr);  // entry 0 only
  SetDialingFormMaker(nullptr);
}

}  // namespace
}  // namespace vltg::manager
