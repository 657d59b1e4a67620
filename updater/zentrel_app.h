// Zentrel's application object: builds the window with the real services and runs it.
#pragma once

#include <QApplication>
#include <QString>

class CVS_ZentrelApp : public QApplication {
 public:
  CVS_ZentrelApp(int& argc, char** argv);
  // Runs the window modally as the main window; its end is the program's end.
  int InitInstance();

  // The program folder: the new program is written to it and started from it.
  static QString WorkDir();
};
