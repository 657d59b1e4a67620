#include "app/qt/web_engine_view.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLabel>
#include <QStandardPaths>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include "app/qt/web_view_dlg.h"

namespace orvane::app {

namespace {

// One profile on disk for the whole run, as a browser's default user data folder is.
QWebEngineProfile* Profile() {
  static QWebEngineProfile* profile = [] {
    auto* p = new QWebEngineProfile(QStringLiteral("Orvane"), QCoreApplication::instance());
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    p->setPersistentStoragePath(data + QStringLiteral("/WebView"));
    p->setCachePath(QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
                    QStringLiteral("/WebView"));
    return p;
  }();
  return profile;
}

}  // namespace

void UseWebEngine() {
  const bool sandboxOff = qgetenv(kWebNoSandboxEnv) == "1";
  // Only our own switch turns the sandbox off; a stray engine variable does not.
  if (sandboxOff) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  } else {
    qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
  }
  if (::geteuid() == 0 && !sandboxOff) {
    SetWebViewFactory([](QWidget* parent, const QString&) -> QWidget* {
      auto* notice = new QLabel(QString::fromUtf8(kWebNoSandboxText.data(),
                                                  static_cast<qsizetype>(kWebNoSandboxText.size())),
                                parent);
      notice->setAlignment(Qt::AlignCenter);
      notice->setWordWrap(true);
      return notice;
    });
    return;
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  SetWebViewFactory([](QWidget* parent, const QString& url) -> QWidget* {
    auto* view = new QWebEngineView(parent);
    view->setPage(new QWebEnginePage(Profile(), view));
    view->setUrl(QUrl(url));
    return view;
  });
}

}  // namespace orvane::app
