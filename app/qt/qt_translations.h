#pragma once

#include <QLocale>

class QCoreApplication;

namespace orvane::app {

// Installs Qt's own translations (standard buttons, file dialogs, context menus) for the
// system's language, or Korean when Qt has none for it: the program itself speaks Korean.
// False when no translation could be loaded (the package that ships them is missing).
bool InstallQtTranslations(QCoreApplication& app, const QLocale& system = QLocale::system());

}  // namespace orvane::app
