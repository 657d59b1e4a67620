#include "ui/dialog_keys.h"

#include <QKeyEvent>

namespace orvane::ui {

bool IsEnterOrEscape(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

}  // namespace orvane::ui
