#include "app/qt/server_login.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "app/qt/join_memver_dlg.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_units.h"

namespace orvane::app {

CServerLogin::CServerLogin(LoginContext& context, LoginDialogHooks hooks, QWidget* parent)
    : QDialog(parent), context_(context), hooks_(CompleteHooks(std::move(hooks))) {
  setWindowTitle(QStringLiteral("Orvane 로그인"));
  setFont(ui::DialogFont());
  const ui::DialogUnits du(font());

  saveIdBox_ = new QCheckBox(QStringLiteral("아이디 저장"), this);
  saveIdBox_->setObjectName(QStringLiteral("1017"));
  saveIdBox_->setGeometry(du.Rect(52, 231, 47, 10));
  auto* idLabel = new QLabel(QStringLiteral("아이디"), this);
  idLabel->setGeometry(du.Rect(78, 246, 18, 8));
  idEdit_ = new QLineEdit(this);
  idEdit_->setObjectName(QStringLiteral("1015"));
  idEdit_->setGeometry(du.Rect(106, 242, 89, 14));
  auto* passwordLabel = new QLabel(QStringLiteral("비밀번호"), this);
  passwordLabel->setGeometry(du.Rect(75, 260, 24, 8));
  passwordEdit_ = new QLineEdit(this);
  passwordEdit_->setObjectName(QStringLiteral("1016"));
  passwordEdit_->setEchoMode(QLineEdit::Password);
  passwordEdit_->setGeometry(du.Rect(106, 258, 89, 14));
  auto makeButton = [&](const char* text, int id, QRect rect) {
    auto* button = new QPushButton(QString::fromUtf8(text), this);
    button->setObjectName(QString::number(id));
    button->setAutoDefault(false);
    button->setGeometry(rect);
    return button;
  };
  loginButton_ = makeButton("로그인", 1000, du.Rect(197, 240, 70, 33));
  joinButton_ = makeButton("회원가입", 1001, du.Rect(120, 282, 53, 16));
  exitButton_ = makeButton("종료", 1002, du.Rect(177, 282, 53, 16));
  // Labels let the picture show through them; the check box's text sits on a light plate so it
  // reads on any part of the picture, dark edges included.
  for (QWidget* w : std::initializer_list<QWidget*>{saveIdBox_, idLabel, passwordLabel}) {
    w->setAttribute(Qt::WA_TranslucentBackground);
    w->setAutoFillBackground(false);
  }
  saveIdBox_->setStyleSheet(QStringLiteral(
      "QCheckBox { color: black; background: rgba(255, 255, 255, 215); border-radius: 3px;"
      " padding: 0px 2px; }"));
  saveIdBox_->adjustSize();
  saveIdBox_->resize(std::max(saveIdBox_->width(), du.X(47)), du.Y(10));
  idEdit_->setAccessibleName(QStringLiteral("아이디"));
  passwordEdit_->setAccessibleName(QStringLiteral("비밀번호"));

  connect(loginButton_, &QPushButton::clicked, this, [this] { OnLogin(); });
  connect(joinButton_, &QPushButton::clicked, this, [this] {
    joinDialog_->show();
    joinDialog_->raise();
    joinDialog_->activateWindow();
  });
  connect(exitButton_, &QPushButton::clicked, this, [this] {
    context_.loginMarker.clear();
    PostClose();
  });

  joinDialog_ = new CJoinMemverDlg(context_, hooks_, this);
  joinDialog_->setWindowFlag(Qt::Dialog);
  joinDialog_->hide();

  RestoreSavedId();
  picture_.load(hooks_.picturePath);
  FitToPicture();
  for (QWidget* child : findChildren<QWidget*>()) {
    if (child->window() == this) child->installEventFilter(this);
  }
}

void CServerLogin::RestoreSavedId() {
  QSettings& settings = *hooks_.settings;
  settings.beginGroup(QString::fromUtf8(kSettingsGroup));
  int checked = settings.value(QStringLiteral("ID_Check"), QString()).toString().toInt();
  QString savedId = settings.value(QStringLiteral("ID"), QString()).toString();
  settings.endGroup();
  saveIdBox_->setChecked(checked != 0);
  if (checked > 0) {
    idEdit_->setText(savedId);
    passwordEdit_->setFocus();
  } else {
    idEdit_->setFocus();
  }
}

void CServerLogin::SaveIdSetting() {
  bool checked = saveIdBox_->isChecked();
  QSettings& settings = *hooks_.settings;
  settings.beginGroup(QString::fromUtf8(kSettingsGroup));
  settings.setValue(QStringLiteral("ID"), checked ? idEdit_->text() : QString());
  settings.setValue(QStringLiteral("ID_Check"), QString::number(checked ? 1 : 0));
  settings.endGroup();
  settings.sync();
}

void CServerLogin::FitToPicture() {
  // Without its picture the window still has to hold its controls.
  QRect controls;
  for (QWidget* w : findChildren<QWidget*>()) {
    if (w->window() == this) controls = controls.united(w->geometry());
  }
  QSize client =
      picture_.isNull() ? QSize(controls.right() + 17, controls.bottom() + 17) : picture_.size();
  setFixedSize(client);
  CentreOnScreen();
}

void CServerLogin::CentreOnScreen() {
  QScreen* shown = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
  if (shown == nullptr) return;
  const QRect area = shown->availableGeometry();
  // The frame, title bar included, is what sits in the middle.
  const QSize outer = frameGeometry().size();
  const QPoint place = area.center() - QPoint(outer.width() / 2, outer.height() / 2);
  if (pos() != place) move(place);
}

LoginOutcome CServerLogin::OnLogin() {
  HookedLoginUi ui(this, hooks_, [this] { SaveIdSetting(); });
  LoginOutcome outcome = orvane::app::LoginButton(context_, ui, idEdit_->text().toStdString(),
                                                  passwordEdit_->text().toStdString());
  if (outcome == LoginOutcome::kAdmitted) accept();
  if (outcome == LoginOutcome::kNewVersion) HandOffToUpdater();
  return outcome;
}

void CServerLogin::HandOffToUpdater() {
  QString updater = hooks_.programFolder + QString::fromUtf8(kUpdaterFileName);
  if (QFileInfo::exists(updater)) {
    hooks_.startProgram(
        updater, {QString::fromUtf8(protocol::kUpdaterToken.data(),
                                    static_cast<qsizetype>(protocol::kUpdaterToken.size()))});
  }
  PostClose();
}

void CServerLogin::PostClose() {
  QMetaObject::invokeMethod(
      this, [this] { reject(); }, Qt::QueuedConnection);
}

bool CServerLogin::eventFilter(QObject* watched, QEvent* event) {
  if (ui::IsEnterOrEscape(event)) {
    int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Escape) OnLogin();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

void CServerLogin::keyPressEvent(QKeyEvent* event) {
  if (ui::IsEnterOrEscape(event)) {
    if (event->key() != Qt::Key_Escape) OnLogin();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CServerLogin::paintEvent(QPaintEvent*) {
  // Every paint puts the window back in the middle of the screen, wherever it was dragged.
  CentreOnScreen();
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.drawPixmap(0, 0, picture_);
}

}  // namespace orvane::app
