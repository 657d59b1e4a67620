#include "ui/message_box.h"

#include <QMessageBox>

namespace orvane::ui {

void ShowOkMessage(QWidget* parent, const QString& text) {
  QString shown = text;
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationName), shown, QMessageBox::Ok,
                  parent);
  box.exec();
}

}  // namespace orvane::ui
