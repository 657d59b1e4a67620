#include "updater/zentrel_app.h"

#include <curl/curl.h>

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <cstdlib>

#include "updater/curl_http.h"
#include "updater/signature.h"
#include "updater/x11_window_probe.h"
#include "updater/zentrel_dlg.h"

#ifndef ZENTREL_PUBLIC_KEY
#define ZENTREL_PUBLIC_KEY ""
#endif

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
  services.config.updateHost = zentrel::ResolveUpdateHost(args, std::getenv("ORVANE_LOGIN_HOST"));
  services.config.workDir = WorkDir().toStdString();
  services.config.publicKey = zentrel::ParsePublicKey(ZENTREL_PUBLIC_KEY);
  services.http = std::make_shared<zentrel::CurlHttpClient>();
  // Only an X11 session has a window list to look into.
  if (platformName() == QLatin1String("xcb")) services.probe = zentrel::X11WindowProbe::Connect();
  services.files = std::make_shared<zentrel::LocalFileSystem>();
  services.showMessage = [](QWidget* parent, const QString& text, const QString& caption) {
    QMessageBox::information(parent, caption, text, QMessageBox::Ok);
  };
  services.startProgram = [](const QString& program) {
    return QProcess::startDetached(program, {});
  };

  CVS_ZentrelDlg dialog(std::move(services));
  dialog.show();
  dialog.exec();
  return 0;
}
