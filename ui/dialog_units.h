#pragma once

#include <QFont>
#include <QRect>

namespace orvane::ui {

// Dialog units of a font: x in quarters of the average character width, y in eighths of the
// character height.
class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  int X(int units) const { return units * baseX_ / 4; }
  int Y(int units) const { return units * baseY_ / 8; }
  QRect Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
  }

 private:
  int baseX_;
  int baseY_;
};

// The system UI font at the dialogs' 9 points.
QFont DialogFont();

}  // namespace orvane::ui
