#include "updater/zentrel_app.h"

#include <curl/curl.h>

#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <charconv>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "updater/curl_http.h"
#include "updater/publisher_key.h"
#include "updater/signature.h"
#include "updater/x11_window_probe.h"
#include "updater/zentrel_dlg.h"

namespace {

// Unattended runs (tests, demonstrations) set ZENTREL_AUTO_ACKNOWLEDGE_MS: the finish message,
// or the notice of why nothing was installed, then acknowledges itself after that many milliseconds
// (0 to 600000).
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

QString CVS_ZentrelApp::WorkDir() { return applicationDirPath(); }

int CVS_ZentrelApp::InitInstance() {
  ZentrelServices services;
  std::vector<std::string> args;
  for (const QString& arg : arguments()) args.push_back(arg.toStdString());
  services.config.updateHost = zentrel::ResolveUpdateHost(
      args, {std::getenv("ORVANE_UPDATE_HOST"), std::getenv("ORVANE_CONTENT_HOST"),
             std::getenv("ORVANE_LOGIN_HOST")});
  services.config.workDir = WorkDir().toStdString();
  services.config.publicKey = zentrel::ParsePublicKey(kPublisherKey);
  services.http = std::make_shared<zentrel::CurlHttpClient>();
  // Only an X11 session has a window list to look into.
  if (platformName() == QLatin1String("xcb")) services.probe = zentrel::X11WindowProbe::Connect();
  services.files = std::make_shared<zentrel::LocalFileSystem>();
  const std::optional<int> acknowledgeAfter = AutoAcknowledgeMs();
  services.showMessage = [acknowledgeAfter](QWidget* parent, const QString& text,
                                            const QString& caption) {
    const bool installed = caption == QString::fromUtf8(zentrel::kFinishCaption.data(),
                                                        zentrel::kFinishCaption.size());
    QMessageBox box(installed ? QMessageBox::Information : QMessageBox::Warning, caption, text,
                    QMessageBox::Ok, parent);
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
