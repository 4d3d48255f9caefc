#pragma once
// The one QApplication of the widget tests (Qt allows one per process), made
// at first use; ctest runs them on the offscreen platform.
#include <QApplication>

namespace vltg::testing {

inline QApplication& TestApplication() {
  static int argc = 1;
  static char name[] = "manager_ui_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit its input devices (made by QTest's key events)
  // would be deleted after the statics of Qt they need.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace vltg::testing
