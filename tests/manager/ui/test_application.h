#pragma once
// The one QApplication of the widget tests (Qt allows one per process), made
// at first use; ctest runs them on the offscreen platform. It ends with the
// test run, not among the static destructors: Qt's own statics (the input
// devices that key events create) are gone by then.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace vltg::testing {

class TestApplicationEnvironment : public ::testing::Environment {
 public:
  QApplication& App() {
    static int argc = 1;
    static char name[] = "manager_ui_tests";
    static char* argv[] = {name, nullptr};
    if (!app_) app_ = std::make_unique<QApplication>(argc, argv);
    return *app_;
  }
  void TearDown() override { app_.reset(); }

 private:
  std::unique_ptr<QApplication> app_;
};

inline QApplication& TestApplication() {
  // The test run owns the environment.
  static auto* environment = static_cast<TestApplicationEnvironment*>(
      ::testing::AddGlobalTestEnvironment(new TestApplicationEnvironment));
  return environment->App();
}

}  // namespace vltg::testing
