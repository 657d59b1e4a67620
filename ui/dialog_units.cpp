#include "ui/dialog_units.h"

#include <QApplication>
#include <QFontMetrics>

#include <cmath>

namespace orvane::ui {

DialogUnits::DialogUnits(const QFont& font) {
  QFontMetrics metrics(font);
  // The average width is taken over the Latin alphabet, rounded half up.
  const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  baseX_ = (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
  baseY_ = metrics.height();
}

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setPointSize(9);
  return font;
}

}  // namespace orvane::ui
