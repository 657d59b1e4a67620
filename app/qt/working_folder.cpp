#include "app/qt/working_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace orvane::app {

std::filesystem::path WorkingFolder() {
  QString folder = QCoreApplication::applicationDirPath();
  if (!QFileInfo(folder).isWritable()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    QDir().mkpath(folder);
  }
  return std::filesystem::path(folder.toStdString());
}

}  // namespace orvane::app
