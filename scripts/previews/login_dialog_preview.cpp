// Shows the login window (and with --join the sign-up window over it) for screenshots and
// manual tries against a login service on loopback.
//   login_dialog_preview [--join] [--port N] [--write-picture FILE]
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/adapter_mac.h"
#include "app/qt/join_memver_dlg.h"
#include "app/qt/server_login.h"
#include "app/udp_transport.h"
#include "ui/dialog_units.h"

namespace {

// A stand-in for the login picture the content server provides, sized to the controls.
QImage MakeLoginPicture() {
  const orvane::ui::DialogUnits du(orvane::ui::DialogFont());
  QImage image(du.X(285), du.Y(305), QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient sky(0, 0, 0, image.height());
  sky.setColorAt(0, QColor(18, 40, 82));
  sky.setColorAt(0.7, QColor(58, 104, 160));
  sky.setColorAt(1, QColor(226, 232, 240));
  p.fillRect(image.rect(), sky);
  p.setPen(Qt::NoPen);
  int base = du.Y(200);
  const int heights[] = {90, 140, 110, 180, 125, 160, 95, 135};
  for (int i = 0; i < 8; ++i) {
    p.setBrush(QColor(30 + i * 6, 60 + i * 5, 100 + i * 4));
    int w = image.width() / 8;
    p.drawRect(i * w + 4, base - heights[i], w - 8, heights[i]);
  }
  p.fillRect(QRect(0, base, image.width(), image.height() - base), QColor(236, 240, 246));
  p.setPen(Qt::white);
  QFont title = orvane::ui::DialogFont();
  title.setPointSize(30);
  title.setBold(true);
  p.setFont(title);
  p.drawText(QRect(0, du.Y(30), image.width(), du.Y(40)), Qt::AlignCenter, "Orvane");
  title.setPointSize(11);
  title.setBold(false);
  p.setFont(title);
  p.drawText(QRect(0, du.Y(72), image.width(), du.Y(16)), Qt::AlignCenter,
             QStringLiteral("주택시장 · 금융지수 차트"));
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  bool join = false;
  int port = 0;
  QString writePicture;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--join") == 0) join = true;
    if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) port = std::atoi(argv[++i]);
    if (std::strcmp(argv[i], "--write-picture") == 0 && i + 1 < argc) writePicture = argv[++i];
  }
  if (!writePicture.isEmpty()) return MakeLoginPicture().save(writePicture) ? 0 : 1;

  QTemporaryDir folder;
  orvane::app::LoginDialogHooks hooks;
  hooks.picturePath = folder.path() + "/Orvane_Login.bmp";
  MakeLoginPicture().save(hooks.picturePath);
  hooks.settings =
      std::make_shared<QSettings>(folder.path() + "/settings.ini", QSettings::IniFormat);

  orvane::app::UdpTransport transport;
  orvane::app::LoginContext context;
  if (port > 0 && transport.Resolve("127.0.0.1", static_cast<std::uint16_t>(port))) {
    context.transport = &transport;
  }
  orvane::app::CServerLogin dialog(context, hooks);
  if (join) {
    QMetaObject::invokeMethod(
        &dialog,
        [&dialog] {
          dialog.JoinButton()->click();
          auto* j = dialog.JoinDialog();
          j->IdEdit()->setText("member77");
          j->PasswordEdit()->setText("secret1");
          j->PasswordAgainEdit()->setText("secret1");
          j->NameEdit()->setText(QStringLiteral("홍길동"));
          j->PhoneEdit()->setText("01012345678");
        },
        Qt::QueuedConnection);
  } else {
    dialog.IdEdit()->setText("demo1234");
    dialog.SaveIdBox()->setChecked(true);
  }
  int result = dialog.exec();
  std::printf("%s\n", result == QDialog::Accepted ? "admitted" : "not admitted");
  return 0;
}
