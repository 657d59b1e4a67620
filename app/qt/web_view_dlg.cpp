#include "app/qt/web_view_dlg.h"

#include <unistd.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QUrl>

#include "app/qt/dialog_units.h"

#ifdef ORVANE_WITH_WEBENGINE
#include <QWebEngineView>
#endif

namespace orvane::app {

void PrepareWebEngine() {
#ifdef ORVANE_WITH_WEBENGINE
  if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX")) {
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
#endif
}

bool CWebViewDlg::HasWebEngine() {
#ifdef ORVANE_WITH_WEBENGINE
  return true;
#else
  return false;
#endif
}

CWebViewDlg::CWebViewDlg(const std::string& pageUrl, QWidget* owner) : QWidget(owner, Qt::Window) {
  setWindowTitle(QString::fromUtf8("웹차트"));
  setFont(DialogFont());
  const DialogUnits du(font());
  resize(du.X(512), du.Y(445));
#ifdef ORVANE_WITH_WEBENGINE
  auto* browser = new QWebEngineView(this);
  // Loading starts now, while the window is still hidden.
  browser->setUrl(QUrl(QString::fromStdString(pageUrl)));
  view_ = browser;
#else
  static_cast<void>(pageUrl);
  view_ = new QWidget(this);
#endif
  view_->setGeometry(rect());
}

void CWebViewDlg::ShowWindow() {
  showNormal();
  view_->setVisible(true);
  raise();
  activateWindow();
}

void CWebViewDlg::closeEvent(QCloseEvent* event) {
  // The page stays loaded for the next time the window is shown.
  hide();
  event->ignore();
}

void CWebViewDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void CWebViewDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  view_->setGeometry(rect());
}

}  // namespace orvane::app
