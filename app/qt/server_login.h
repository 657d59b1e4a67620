#pragma once

#include <QDialog>
#include <QPixmap>

#include "app/login_flow.h"
#include "app/qt/login_dialog_hooks.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace orvane::app {

class CJoinMemverDlg;

// The login window, run modally at start-up. It ends with Accepted only on
// admission, when `context.loginMarker` holds the marker.
class CServerLogin : public QDialog {
 public:
  static constexpr int kTemplateId = 113;

  explicit CServerLogin(LoginContext& context, LoginDialogHooks hooks = {},
                        QWidget* parent = nullptr);

  // Button 1000 and Enter anywhere in the window.
  LoginOutcome OnLogin();
  // "ID" and "ID_Check" of the "Orvane" section from the ID edit and the check box.
  void SaveIdSetting();

  QCheckBox* SaveIdBox() const { return saveIdBox_; }
  QLineEdit* IdEdit() const { return idEdit_; }
  QLineEdit* PasswordEdit() const { return passwordEdit_; }
  QPushButton* LoginButton() const { return loginButton_; }
  QPushButton* JoinButton() const { return joinButton_; }
  QPushButton* ExitButton() const { return exitButton_; }
  CJoinMemverDlg* JoinDialog() const { return joinDialog_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void RestoreSavedId();
  void FitToPicture();
  void CentreOnScreen();
  void HandOffToUpdater();
  void PostClose();

  LoginContext& context_;
  LoginDialogHooks hooks_;
  QPixmap picture_;
  QCheckBox* saveIdBox_;
  QLineEdit* idEdit_;
  QLineEdit* passwordEdit_;
  QPushButton* loginButton_;
  QPushButton* joinButton_;
  QPushButton* exitButton_;
  CJoinMemverDlg* joinDialog_;
};

}  // namespace orvane::app
