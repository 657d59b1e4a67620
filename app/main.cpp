#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/qt/plinthview_app.h"
#include "app/qt/qt_translations.h"
#include "protocol/login_protocol.h"
#ifdef ORVANE_WITH_WEBENGINE
#include "app/qt/web_engine_view.h"
#endif
#include "app/startup_options.h"

namespace {

std::string_view Env(std::string_view name) {
  const char* value = std::getenv(std::string(name).c_str());
  return value == nullptr ? std::string_view() : std::string_view(value);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvane::app;
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  StartupOptions options =
      ParseStartupOptions(args, Env(orvane::kContentHostEnv), Env(kLoginHostEnv));
  if (!options.error.empty()) {
    std::fprintf(stderr, "Orvane: %s\n%s", options.error.c_str(), StartupUsage().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(StartupUsage().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("%.*s\n", static_cast<int>(orvane::protocol::kVersionText.size()),
                orvane::protocol::kVersionText.data());
    return 0;
  }
  // Zentrel, started on a version change, finds the same service through the environment.
  ::setenv(std::string(orvane::kContentHostEnv).c_str(), options.contentHost.Authority().c_str(),
           1);
  ::setenv(std::string(kLoginHostEnv).c_str(), options.loginHost.Authority().c_str(), 1);
#ifdef ORVANE_WITH_WEBENGINE
  UseWebEngine();
#endif
  QApplication application(argc, argv);
  InstallQtTranslations(application);
  QIcon icon;
  for (const char* size : {"48", "256"}) {
    icon.addFile(QStringLiteral(":/icons/orvane-%1.png").arg(QLatin1String(size)));
  }
  QApplication::setWindowIcon(icon);
  QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.Orvane"));
  CPlinthviewApp app(std::move(options));
  return app.InitInstance();
}
