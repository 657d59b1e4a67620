#include "app/qt/about_dlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "ui/dialog_units.h"

namespace orvane::app {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Plinthview 정보"));
  setFont(ui::DialogFont());
  const ui::DialogUnits du(font());
  setFixedSize(du.X(170), du.Y(62));

  auto* icon = new QLabel(this);
  icon->setGeometry(du.Rect(14, 14, 21, 20));
  icon->setPixmap(QApplication::windowIcon().pixmap(du.X(21), du.Y(20)));
  auto* name = new QLabel(QStringLiteral("Plinthview, 버전 1.0"), this);
  name->setGeometry(du.Rect(42, 14, 114, 8));
  auto* ok = new QPushButton(QStringLiteral("확인"), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setGeometry(du.Rect(113, 41, 50, 14));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace orvane::app
