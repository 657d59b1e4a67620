#include "app/qt/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace orvane::app {

bool InstallQtTranslations(QCoreApplication& app, const QLocale& system) {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto* translator = new QTranslator(&app);
  // English is Qt's source language: an English system gets Korean like one with no language.
  const bool ownLanguage =
      system.language() != QLocale::C && system.language() != QLocale::English &&
      translator->load(system, QStringLiteral("qtbase"), QStringLiteral("_"), folder);
  if (!ownLanguage && !translator->load(QLocale(QLocale::Korean, QLocale::SouthKorea),
                                        QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
    delete translator;
    return false;
  }
  return QCoreApplication::installTranslator(translator);
}

}  // namespace orvane::app
