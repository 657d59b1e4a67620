#pragma once

#include <QDialog>

#include "app/login_flow.h"
#include "app/qt/login_dialog_hooks.h"

class QLineEdit;
class QPushButton;

namespace orvane::app {

// The sign-up window: created hidden by the login dialog, shown on demand,
// hidden again after a successful registration.
class CJoinMemverDlg : public QDialog {
 public:
  static constexpr int kTemplateId = 114;

  CJoinMemverDlg(LoginContext& context, LoginDialogHooks hooks, QWidget* owner);

  // Button 1000: the checks, the registration and its messages.
  JoinOutcome OnJoin();

  QLineEdit* IdEdit() const { return idEdit_; }
  QLineEdit* PasswordEdit() const { return passwordEdit_; }
  QLineEdit* PasswordAgainEdit() const { return passwordAgainEdit_; }
  QLineEdit* NameEdit() const { return nameEdit_; }
  QLineEdit* PhoneEdit() const { return phoneEdit_; }
  QPushButton* JoinButton() const { return joinButton_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  LoginContext& context_;
  LoginDialogHooks hooks_;
  QLineEdit* idEdit_;
  QLineEdit* passwordEdit_;
  QLineEdit* passwordAgainEdit_;
  QLineEdit* nameEdit_;
  QLineEdit* phoneEdit_;
  QPushButton* joinButton_;
};

}  // namespace orvane::app
