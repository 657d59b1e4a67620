#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <string_view>

#include "app/login_flow.h"
#include "ui/message_box.h"

class QWidget;

namespace orvane::app {

inline constexpr char kSettingsOrganisation[] = "로컬 애플리케이션 마법사에서 생성된 애플리케이션";
inline constexpr char kSettingsGroup[] = "Orvane";
inline constexpr char kLoginPictureName[] = "Orvane_Login.bmp";
inline constexpr char kUpdaterFileName[] = "Zentrel";

// What the login and sign-up dialogs take from their surroundings; each empty member gets the
// real platform behaviour, and tests replace them.
struct LoginDialogHooks {
  // An OK-only message box captioned with the application's name (ui::ShowOkMessage).
  std::function<void(QWidget* parent, const QString& text)> showMessage;
  // The pause after a refusal; it blocks the dialog as the exchange does.
  std::function<void(std::chrono::milliseconds)> pause;
  std::function<bool(const QString& program, const QStringList& arguments)> startProgram;
  QString programFolder;                // ends in "/"; the executable's folder by default
  QString picturePath;                  // programFolder + "Orvane_Login.bmp" by default
  std::shared_ptr<QSettings> settings;  // the per-user store under kSettingsOrganisation
};

LoginDialogHooks CompleteHooks(LoginDialogHooks hooks);

// The flows' window side, through the hooks.
class HookedLoginUi : public LoginUi {
 public:
  HookedLoginUi(QWidget* parent, const LoginDialogHooks& hooks,
                std::function<void()> saveIdSetting = {})
      : parent_(parent), hooks_(hooks), saveIdSetting_(std::move(saveIdSetting)) {}
  void ShowMessage(std::string_view text) override;
  void Pause(std::chrono::milliseconds duration) override { hooks_.pause(duration); }
  void SaveIdSetting() override {
    if (saveIdSetting_) saveIdSetting_();
  }

 private:
  QWidget* parent_;
  const LoginDialogHooks& hooks_;
  std::function<void()> saveIdSetting_;
};

// The daily re-login of the main window with its messages; false means the program ends.
bool RunReLogin(LoginContext& context, QWidget* mainWindow, LoginDialogHooks hooks = {});

}  // namespace orvane::app
