#include "app/qt/web_engine_view.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QUrl>
#include <QWebEngineView>

#include "app/qt/web_view_dlg.h"

namespace orvane::app {

void UseWebEngine() {
  // Values already in the environment are kept.
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  SetWebViewFactory([](QWidget* parent, const QString& url) -> QWidget* {
    auto* view = new QWebEngineView(parent);
    view->setUrl(QUrl(url));
    return view;
  });
}

}  // namespace orvane::app
