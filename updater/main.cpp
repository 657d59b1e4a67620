#include "updater/zentrel_app.h"

int main(int argc, char** argv) {
  CVS_ZentrelApp app(argc, argv);
  return app.InitInstance();
}
