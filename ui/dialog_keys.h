#pragma once

class QEvent;

namespace orvane::ui {

// Whether the event is a press of Return, Enter or Escape. The program's windows take these keys
// themselves, so that they neither press a default button nor close the window by accident.
bool IsEnterOrEscape(const QEvent* event);

}  // namespace orvane::ui
