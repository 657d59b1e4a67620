#include "updater/zentrel_app.h"

#include <curl/curl.h>

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "updater/curl_http.h"
#include "updater/signature.h"
#include "updater/x11_window_probe.h"
#include "updater/zentrel_dlg.h"

#ifndef ZENTREL_PUBLIC_KEY
#define ZENTREL_PUBLIC_KEY ""
#endif

namespace {

// Unattended runs (tests, demonstrations) set ZENTREL_AUTO_ACKNOWLEDGE_MS: the finish message
// then acknowledges itself after that many milliseconds (0 to 600000).
std::optional<int> AutoAcknowledgeMs() {
  const char* text = std::getenv("ZENTREL_AUTO_ACKNOWLEDGE_MS");
  if (text == nullptr) return std::nullopt;
  const std::string_view value = text;
  int ms = -1;
  const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), ms);
  if (ec != std::errc() || end != value.data() + value.size() || ms < 0 || ms > 600000)
    return std::nullopt;
  return ms;
}

}  // namespace

CVS_ZentrelApp::CVS_ZentrelApp(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Zentrel"));
  curl_global_init(CURL_GLOBAL_DEFAULT);
}

QString CVS_ZentrelApp::WorkDir() {
  QString programDir = applicationDirPath();
  if (QFileInfo(programDir).isWritable()) return programDir;
  QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Orvane";
  QDir().mkpath(data);
  return data;
}

int CVS_ZentrelApp::InitInstance() {
  ZentrelServices services;
  std::vector<std::string> args;
  for (const QString& arg : arguments()) args.push_back(arg.toStdString());
  services.config.updateHost = zentrel::ResolveUpdateHost(args, std::getenv("ORVANE_UPDATE_HOST"),
                                                          std::getenv("ORVANE_LOGIN_HOST"));
  services.config.workDir = WorkDir().toStdString();
  services.config.publicKey = zentrel::ParsePublicKey(ZENTREL_PUBLIC_KEY);
  services.http = std::make_shared<zentrel::CurlHttpClient>();
  // Only an X11 session has a window list to look into.
  if (platformName() == QLatin1String("xcb")) services.probe = zentrel::X11WindowProbe::Connect();
  services.files = std::make_shared<zentrel::LocalFileSystem>();
  const std::optional<int> acknowledgeAfter = AutoAcknowledgeMs();
  services.showMessage = [acknowledgeAfter](QWidget* parent, const QString& text,
                                            const QString& caption) {
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, parent);
    if (acknowledgeAfter) QTimer::singleShot(*acknowledgeAfter, &box, &QMessageBox::accept);
    box.exec();
  };
  services.startProgram = [](const QString& program) {
    return QProcess::startDetached(program, {});
  };

  CVS_ZentrelDlg dialog(std::move(services));
  dialog.show();
  dialog.exec();
  return 0;
}
