#include "app/qt/web_view_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScreen>

#include <algorithm>

#include "ui/dialog_keys.h"
#include "ui/dialog_units.h"

namespace orvane::app {
namespace {

WebViewFactory& Factory() {
  static WebViewFactory factory;
  return factory;
}

}  // namespace

void SetWebViewFactory(WebViewFactory factory) { Factory() = std::move(factory); }

CWebViewDlg::CWebViewDlg(const std::string& pageUrl, QWidget* owner) : QWidget(owner, Qt::Window) {
  setWindowTitle(QString::fromUtf8("웹차트"));
  setFont(ui::DialogFont());
  const ui::DialogUnits du(font());
  resize(du.X(512), du.Y(445));
  // Loading starts now, while the window is still hidden.
  view_ = Factory() ? Factory()(this, QString::fromStdString(pageUrl)) : nullptr;
  if (view_ == nullptr) view_ = new QWidget(this);
  view_->setGeometry(rect());
}

void CWebViewDlg::ShowWindow() {
  showNormal();
  // The template's place may reach past a small screen: keep the whole frame on it.
  if (QScreen* shown = screen()) {
    const QRect area = shown->availableGeometry();
    const QSize frameExtra = frameGeometry().size() - size();
    resize(size().boundedTo(area.size() - frameExtra));
    const QSize outer = size() + frameExtra;
    move(std::clamp(x(), area.left(), std::max(area.left(), area.right() + 1 - outer.width())),
         std::clamp(y(), area.top(), std::max(area.top(), area.bottom() + 1 - outer.height())));
  }
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
  // Neither key closes the window.
  if (ui::IsEnterOrEscape(event)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CWebViewDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  view_->setGeometry(rect());
}

}  // namespace orvane::app
