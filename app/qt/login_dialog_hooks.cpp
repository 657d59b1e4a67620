#include "app/qt/login_dialog_hooks.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

namespace orvane::app {

LoginDialogHooks CompleteHooks(LoginDialogHooks hooks) {
  if (!hooks.showMessage) hooks.showMessage = ui::ShowOkMessage;
  if (!hooks.pause) {
    hooks.pause = [](std::chrono::milliseconds d) {
      QThread::msleep(static_cast<unsigned long>(d.count()));
    };
  }
  if (!hooks.startProgram) {
    hooks.startProgram = [](const QString& program, const QStringList& arguments) {
      return QProcess::startDetached(program, arguments);
    };
  }
  if (hooks.programFolder.isEmpty()) {
    hooks.programFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  }
  if (hooks.picturePath.isEmpty()) {
    hooks.picturePath = hooks.programFolder + QString::fromUtf8(kLoginPictureName);
  }
  if (!hooks.settings) {
    hooks.settings = std::make_shared<QSettings>(QString::fromUtf8(kSettingsOrganisation),
                                                 QString::fromUtf8(ui::kApplicationName));
  }
  return hooks;
}

void HookedLoginUi::ShowMessage(std::string_view text) {
  hooks_.showMessage(parent_, QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool RunReLogin(LoginContext& context, QWidget* mainWindow, LoginDialogHooks hooks) {
  hooks = CompleteHooks(std::move(hooks));
  HookedLoginUi ui(mainWindow, hooks);
  return ReLogin(context, ui);
}

}  // namespace orvane::app
