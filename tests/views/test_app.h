#pragma once

#include <QApplication>

namespace orvane::views::testing {

// The one application object of the test run.
inline QApplication& App() {
  static int argc = 1;
  static char name[] = "views_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: QTest's input devices must not outlive the application at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace orvane::views::testing
