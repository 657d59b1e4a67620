#include "app/qt/join_memver_dlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ui/dialog_keys.h"
#include "ui/dialog_units.h"

namespace orvane::app {
CJoinMemverDlg::CJoinMemverDlg(LoginContext& context, LoginDialogHooks hooks, QWidget* owner)
    : QDialog(owner), context_(context), hooks_(CompleteHooks(std::move(hooks))) {
  setWindowTitle(QStringLiteral("회원가입"));
  setFont(ui::DialogFont());
  const ui::DialogUnits du(font());
  setFixedSize(du.X(215), du.Y(237));

  struct LabelSpec {
    const char* text;
    int y;
  };
  static constexpr LabelSpec kLabels[] = {
      {"아이디", 98}, {"비밀번호", 112}, {"비밀번호 확인", 127}, {"이름", 141}, {"전화번호", 156}};
  for (const LabelSpec& label : kLabels) {
    auto* l = new QLabel(QString::fromUtf8(label.text), this);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    l->setGeometry(du.Rect(49, label.y, 41, 8));
  }
  auto makeEdit = [&](int id, int y, bool hidden) {
    auto* edit = new QLineEdit(this);
    // A screen reader names the edit after the label on its left.
    for (const LabelSpec& label : kLabels) {
      if (label.y >= y && label.y < y + 14) edit->setAccessibleName(QString::fromUtf8(label.text));
    }
    edit->setObjectName(QString::number(id));
    edit->setGeometry(du.Rect(96, y, 69, 14));
    if (hidden) edit->setEchoMode(QLineEdit::Password);
    return edit;
  };
  idEdit_ = makeEdit(1018, 95, false);
  passwordEdit_ = makeEdit(1019, 110, true);
  passwordAgainEdit_ = makeEdit(1022, 125, true);
  nameEdit_ = makeEdit(1020, 140, false);
  phoneEdit_ = makeEdit(1021, 155, false);
  joinButton_ = new QPushButton(QStringLiteral("가입신청"), this);
  joinButton_->setObjectName(QStringLiteral("1000"));
  joinButton_->setAutoDefault(false);
  joinButton_->setGeometry(du.Rect(48, 173, 116, 27));
  connect(joinButton_, &QPushButton::clicked, this, [this] { OnJoin(); });

  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

JoinOutcome CJoinMemverDlg::OnJoin() {
  protocol::JoinForm form{idEdit_->text().toStdString(), passwordEdit_->text().toStdString(),
                          passwordAgainEdit_->text().toStdString(), nameEdit_->text().toStdString(),
                          phoneEdit_->text().toStdString()};
  HookedLoginUi ui(this, hooks_);
  JoinOutcome outcome = orvane::app::JoinButton(context_, ui, form);
  if (outcome == JoinOutcome::kRegistered) hide();
  return outcome;
}

bool CJoinMemverDlg::eventFilter(QObject* watched, QEvent* event) {
  if (ui::IsEnterOrEscape(event)) return true;
  return QDialog::eventFilter(watched, event);
}

void CJoinMemverDlg::keyPressEvent(QKeyEvent* event) {
  if (ui::IsEnterOrEscape(event)) return;
  QDialog::keyPressEvent(event);
}

}  // namespace orvane::app
