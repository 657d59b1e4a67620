#pragma once

#include <QApplication>

namespace orvane::testing {

// Widgets need a QApplication; one lives for the whole test program.
inline void EnsureQApplication() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "chart_render_tests";
  static char* argv[] = {name, nullptr};
  // Never destroyed: the pointing device that synthetic mouse events create must not outlive
  // the application at exit.
  static QApplication* const app = new QApplication(argc, argv);
  (void)app;
}

}  // namespace orvane::testing
