#include <gtest/gtest.h>
#include <QTimer>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include "app/qt/login_startup.h"
#include "server/login_service.h"

#include "app/qt/join_memver_dlg.h"
#include "app/qt/qt_translations.h"
#include "app/qt/server_login.h"
#include "fakes.h"

// Fontconfig keeps a cache for the life of the process; LeakSanitizer should not count it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace orvane::app {
namespace {

using namespace std::chrono_literals;

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: QTest's input devices must not outlive the application at exit.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

void Settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// The dialogs with message boxes, pauses and program starts captured instead of shown.
class LoginDialogTest : public ::testing::Test {
 protected:
  LoginDialogTest() {
    App();
    context.transport = &transport;
    context.adapterText = [] { return std::string("AA:BB:CC:DD:EE:FF"); };
  }

  LoginDialogHooks Hooks() {
    LoginDialogHooks hooks;
    hooks.showMessage = [this](QWidget*, const QString& text) {
      messages.push_back(text.toStdString());
    };
    hooks.pause = [this](std::chrono::milliseconds d) { pauses.push_back(d); };
    hooks.startProgram = [this](const QString& program, const QStringList& arguments) {
      started.push_back(program);
      startedArguments = arguments;
      return true;
    };
    hooks.programFolder = folder.path() + "/";
    hooks.settings = settings;
    return hooks;
  }

  std::string Saved(const char* key) {
    return settings->value(QStringLiteral("Orvane/") + key).toString().toStdString();
  }

  QTemporaryDir folder;
  std::shared_ptr<QSettings> settings =
      std::make_shared<QSettings>(folder.path() + "/settings.ini", QSettings::IniFormat);
  testing::ScriptedTransport transport;
  LoginContext context;
  std::vector<std::string> messages;
  std::vector<std::chrono::milliseconds> pauses;
  std::vector<QString> started;
  QStringList startedArguments;
};

TEST_F(LoginDialogTest, EnterLogsInAndSavesTheId) {
  CServerLogin dialog(context, Hooks());
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Orvane 로그인");
  dialog.show();
  dialog.SaveIdBox()->setChecked(true);
  QTest::keyClicks(dialog.IdEdit(), "demo1234");
  QTest::keyClicks(dialog.PasswordEdit(), "pw");
  transport.Reply("login_chrg");
  QTest::keyClick(dialog.PasswordEdit(), Qt::Key_Return);
  Settle();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(context.loginMarker, protocol::kLoginMarker);
  EXPECT_EQ(transport.sent,
            std::vector<std::string>{"login_demo1234;pw;AA:BB:CC:DD:EE:FF;Ver.1.0.1;"});
  EXPECT_EQ(Saved("ID"), "demo1234");
  EXPECT_EQ(Saved("ID_Check"), "1");
  EXPECT_TRUE(messages.empty());

  // The next start shows the saved ID and waits for the password.
  CServerLogin again(context, Hooks());
  again.show();
  QApplication::setActiveWindow(&again);
  Settle();
  EXPECT_TRUE(again.SaveIdBox()->isChecked());
  EXPECT_EQ(again.IdEdit()->text(), "demo1234");
  EXPECT_EQ(QApplication::focusWidget(), again.PasswordEdit());
}

TEST_F(LoginDialogTest, UntickedBoxStoresEmptyIdAndNextStartIsEmpty) {
  {
    CServerLogin dialog(context, Hooks());
    dialog.IdEdit()->setText("someone1");
    transport.Reply("login_other");
    EXPECT_EQ(dialog.OnLogin(), LoginOutcome::kNotAdmitted);
  }
  EXPECT_EQ(Saved("ID"), "");
  EXPECT_EQ(Saved("ID_Check"), "0");
  CServerLogin again(context, Hooks());
  EXPECT_EQ(again.IdEdit()->text(), "");
  EXPECT_FALSE(again.SaveIdBox()->isChecked());
}

TEST_F(LoginDialogTest, CorruptSettingsFileGivesAnEmptyIdAndIsWrittenAnew) {
  const QString path = folder.path() + "/corrupt.ini";
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x00\xff[[Orvane\n=\x01\nID_Check=\xfe\xfe\n[\nID", 30));
  }
  settings = std::make_shared<QSettings>(path, QSettings::IniFormat);
  {
    CServerLogin dialog(context, Hooks());
    EXPECT_EQ(dialog.IdEdit()->text(), "");
    EXPECT_FALSE(dialog.SaveIdBox()->isChecked());
    dialog.SaveIdBox()->setChecked(true);
    dialog.IdEdit()->setText("demo1234");
    transport.Reply("login_chrg");
    EXPECT_EQ(dialog.OnLogin(), LoginOutcome::kAdmitted);
  }
  settings = std::make_shared<QSettings>(path, QSettings::IniFormat);
  CServerLogin again(context, Hooks());
  EXPECT_EQ(again.IdEdit()->text(), "demo1234");
  EXPECT_TRUE(again.SaveIdBox()->isChecked());
}

TEST_F(LoginDialogTest, RefusalsAndBadIdsKeepTheDialogOpen) {
  CServerLogin dialog(context, Hooks());
  dialog.show();
  QTest::keyClicks(dialog.IdEdit(), "ab-");
  QTest::mouseClick(dialog.LoginButton(), Qt::LeftButton);
  transport.Reply("login_fail_비밀번호_오류");
  dialog.IdEdit()->setText("demo1234");
  QTest::mouseClick(dialog.LoginButton(), Qt::LeftButton);
  transport.Reply("login_fail_again");
  QTest::keyClick(dialog.IdEdit(), Qt::Key_Escape);
  Settle();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(messages, (std::vector<std::string>{"ID는 특수문자를 사용할수 없습니다.",
                                                "로그인이 실패 하엿습니다. \r\r비밀번호_오류"}));
  EXPECT_EQ(pauses, std::vector<std::chrono::milliseconds>{2000ms});
  EXPECT_EQ(transport.sent.size(), 1u);
}

TEST_F(LoginDialogTest, NewVersionStartsTheUpdaterWithTheTokenAndCloses) {
  QFile updater(folder.path() + "/Zentrel");
  ASSERT_TRUE(updater.open(QIODevice::WriteOnly));
  updater.close();
  CServerLogin dialog(context, Hooks());
  dialog.show();
  transport.Reply("login_VerDiff");
  QTest::mouseClick(dialog.LoginButton(), Qt::LeftButton);
  Settle();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0], folder.path() + "/Zentrel");
  EXPECT_EQ(startedArguments, QStringList{"~Renew4x!*~615"});
  EXPECT_EQ(messages.back(),
            "Orvane 새로운 버젼이 있습니다. \r\rOrvane 자동업데이트가 시작됩니다!");

  // Without an updater nothing is started, and the dialog still closes.
  QFile::remove(folder.path() + "/Zentrel");
  started.clear();
  CServerLogin second(context, Hooks());
  second.show();
  transport.Reply("login_VerDiff");
  second.OnLogin();
  Settle();
  EXPECT_TRUE(started.empty());
  EXPECT_FALSE(second.isVisible());
}

TEST_F(LoginDialogTest, ExitButtonClearsTheMarker) {
  context.loginMarker = std::string(protocol::kLoginMarker);
  CServerLogin dialog(context, Hooks());
  dialog.show();
  QTest::mouseClick(dialog.ExitButton(), Qt::LeftButton);
  Settle();
  EXPECT_TRUE(context.loginMarker.empty());
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
  EXPECT_TRUE(transport.sent.empty());
}

TEST_F(LoginDialogTest, MissingPictureStillShowsEveryControl) {
  CServerLogin dialog(context, Hooks());
  for (QWidget* w :
       {static_cast<QWidget*>(dialog.ExitButton()), static_cast<QWidget*>(dialog.LoginButton())}) {
    EXPECT_TRUE(dialog.rect().contains(w->geometry())) << w->objectName().toStdString();
  }
  QImage picture(400, 500, QImage::Format_RGB32);
  picture.fill(Qt::darkBlue);
  picture.save(folder.path() + "/Orvane_Login.bmp");
  CServerLogin pictured(context, Hooks());
  EXPECT_EQ(pictured.size(), QSize(400, 500));
}

TEST_F(LoginDialogTest, SaveIdBoxReadsOnADarkPictureAndTheWindowStaysCentred) {
  QImage picture(500, 590, QImage::Format_RGB32);
  picture.fill(QColor(14, 30, 58));
  picture.save(folder.path() + "/Orvane_Login.bmp");
  LoginDialogHooks hooks = Hooks();
  hooks.picturePath = folder.path() + "/Orvane_Login.bmp";
  CServerLogin dialog(context, hooks);
  dialog.show();
  Settle();
  // Most of the box's text area is a light plate, whatever lies beneath it.
  const QImage shot = dialog.grab().toImage();
  const QRect box = dialog.SaveIdBox()->geometry();
  int light = 0, all = 0;
  for (int y = box.top(); y <= box.bottom(); ++y) {
    for (int x = box.left() + box.width() / 3; x <= box.right(); ++x, ++all) {
      if (qGray(shot.pixel(x, y)) > 180) ++light;
    }
  }
  EXPECT_GT(light * 2, all);
  EXPECT_EQ(dialog.IdEdit()->accessibleName().toStdString(), "아이디");

  const QPoint centred = dialog.pos();
  dialog.move(centred + QPoint(40, 30));
  dialog.repaint();
  EXPECT_EQ(dialog.pos(), centred);
}

TEST(QtTranslations, QtsOwnTextsSpeakKoreanWhenTheSystemHasNoTranslation) {
  App();
  ASSERT_TRUE(InstallQtTranslations(App(), QLocale(QLocale::English, QLocale::UnitedStates)));
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel").toStdString(), "취소");
}

TEST_F(LoginDialogTest, SignUpWindowRegistersAndHides) {
  CServerLogin dialog(context, Hooks());
  dialog.show();
  CJoinMemverDlg* join = dialog.JoinDialog();
  EXPECT_FALSE(join->isVisible());
  QTest::mouseClick(dialog.JoinButton(), Qt::LeftButton);
  EXPECT_TRUE(join->isVisible());
  EXPECT_EQ(join->windowTitle().toStdString(), "회원가입");

  QTest::keyClicks(join->IdEdit(), "member7");
  QTest::keyClicks(join->PasswordEdit(), "secret");
  QTest::keyClicks(join->PasswordAgainEdit(), "secreT");
  join->NameEdit()->setText(QStringLiteral("김"));
  QTest::keyClicks(join->PhoneEdit(), "01012345678");
  // Enter neither submits nor closes; Escape does not close.
  QTest::keyClick(join->PhoneEdit(), Qt::Key_Return);
  QTest::keyClick(join->IdEdit(), Qt::Key_Escape);
  EXPECT_TRUE(join->isVisible());
  EXPECT_TRUE(transport.sent.empty());

  QTest::mouseClick(join->JoinButton(), Qt::LeftButton);
  EXPECT_EQ(messages.back(), "비밀번호가 다릅니다.");
  join->PasswordAgainEdit()->setText("secret");
  transport.Reply("joincl_premember");
  QTest::mouseClick(join->JoinButton(), Qt::LeftButton);
  EXPECT_EQ(messages.back(), "가입실패 :");
  EXPECT_TRUE(join->isVisible());
  transport.Reply("joincl_joinsuccess");
  QTest::mouseClick(join->JoinButton(), Qt::LeftButton);
  EXPECT_EQ(messages.back(), "가입성공 : 로그인 하세요.");
  EXPECT_FALSE(join->isVisible());
  EXPECT_EQ(transport.sent.back(),
            "joincl_member7;secret;김;01012345678;;;AA:BB:CC:DD:EE:FF;Ver.1.0.1;");
  // Shown again, it keeps what was typed.
  QTest::mouseClick(dialog.JoinButton(), Qt::LeftButton);
  EXPECT_EQ(join->IdEdit()->text(), "member7");
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(LoginDialogTest, ReLoginMessagesGoThroughTheHooks) {
  transport.Reply("login_VerDiff");
  EXPECT_FALSE(RunReLogin(context, nullptr, Hooks()));
  EXPECT_EQ(messages.back(), "Orvane 새로운 버젼이 있습니다. \r\rOrvane 재시작하세요.");
  transport.Reply("login_chrg");
  EXPECT_TRUE(RunReLogin(context, nullptr, Hooks()));
}

TEST_F(LoginDialogTest, StartupLogsTheDemoMemberInAgainstTheService) {
  server::LoginServiceOptions options;
  options.databasePath = (folder.path() + "/members.db").toStdString();
  options.bindAddress = "127.0.0.1";
  options.udpPort = 0;
  options.cheapHashing = true;
  server::LoginService service(options);
  ASSERT_TRUE(service.Start()) << service.Error();

  auto typeAndLogin = [](const char* password) {
    QTimer::singleShot(0, [password] {
      auto* dialog = dynamic_cast<CServerLogin*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      dialog->IdEdit()->setText(QString::fromUtf8(server::kDemoMemberId.data()));
      dialog->PasswordEdit()->setText(password);
      QTest::keyClick(dialog->PasswordEdit(), Qt::Key_Return);
      // A refusal leaves the window open: leave by its exit button.
      if (dialog->isVisible()) dialog->ExitButton()->click();
    });
  };
  UdpTransport transport;
  LoginContext login;
  login.receiveTimeout = 3s;
  typeAndLogin("wrong");
  EXPECT_FALSE(RunStartupLogin(login, transport, "127.0.0.1", service.Port(), Hooks()));
  EXPECT_EQ(messages.back(), "로그인이 실패 하엿습니다. \r\r아이디 또는 비밀번호가 맞지 않습니다.");
  typeAndLogin("orvane2024");
  EXPECT_TRUE(RunStartupLogin(login, transport, "127.0.0.1", service.Port(), Hooks()));
  EXPECT_EQ(login.loginMarker, protocol::kLoginMarker);
  EXPECT_EQ(login.userId, "demo1234");
}

}  // namespace
}  // namespace orvane::app
