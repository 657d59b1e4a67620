#pragma once

#include <QString>

class QWidget;

namespace orvane::ui {

// The program's name: the caption of its message boxes and its settings' application name.
inline constexpr char kApplicationName[] = "Orvane";

// An OK-only message box captioned with the application's name. Carriage returns become line
// breaks for display; the text is otherwise shown as given.
void ShowOkMessage(QWidget* parent, const QString& text);

}  // namespace orvane::ui
