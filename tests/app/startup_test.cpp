#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/qt/plinthview_app.h"
#include "app/qt/plinthview_dlg.h"
#include "app/qt/server_login.h"
#include "server/login_service.h"

namespace orvane::app {
namespace {

using namespace std::chrono_literals;

void EnsureApp() {
  if (QApplication::instance() != nullptr) return;
  static int argc = 1;
  static char name[] = "app_window_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  (void)app;
}

// Start-up against the login service on loopback, with a script playing the member: it types
// into the login window and closes the main window once it sees it.
class StartupTest : public ::testing::Test {
 protected:
  StartupTest() {
    EnsureApp();
    server::LoginServiceOptions options;
    options.databasePath = (folder.path() + "/members.db").toStdString();
    options.bindAddress = "127.0.0.1";
    options.udpPort = 0;
    options.cheapHashing = true;
    service = std::make_unique<server::LoginService>(options);
  }

  int Run(std::function<void(CServerLogin&)> atLogin) {
    StartupOptions options;
    options.contentHost = HostPort{"127.0.0.1", 1};
    options.loginHost = HostPort{"127.0.0.1", service->Port()};
    LoginDialogHooks hooks;
    hooks.showMessage = [this](QWidget*, const QString& text) {
      messages.push_back(text.toStdString());
    };
    hooks.pause = [](std::chrono::milliseconds) {};
    hooks.settings =
        std::make_shared<QSettings>(folder.path() + "/settings.ini", QSettings::IniFormat);
    CPlinthviewApp app(options, hooks, folder.path().toStdString());
    app.Login().receiveTimeout = 3s;
    bool typed = false;
    QTimer script;
    QObject::connect(&script, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* login = dynamic_cast<CServerLogin*>(modal); login != nullptr && !typed) {
        typed = true;
        atLogin(*login);
      } else if (auto* window = dynamic_cast<CPlinthviewDlg*>(modal)) {
        ++mainWindows;
        window->close();
      }
    });
    script.start(10);
    return app.InitInstance();
  }

  QTemporaryDir folder;
  std::unique_ptr<server::LoginService> service;
  std::vector<std::string> messages;
  int mainWindows = 0;
};

TEST_F(StartupTest, TheMainWindowOpensOnlyOnAdmission) {
  ASSERT_TRUE(service->Start()) << service->Error();
  EXPECT_EQ(Run([](CServerLogin& login) {
              login.IdEdit()->setText(QString::fromUtf8(server::kDemoMemberId.data()));
              login.PasswordEdit()->setText(QString::fromUtf8(server::kDemoMemberPassword.data()));
              QTest::keyClick(login.PasswordEdit(), Qt::Key_Return);
            }),
            0);
  EXPECT_EQ(mainWindows, 1);
  EXPECT_TRUE(messages.empty());
  // The main window set up its cache folder in the working folder.
  EXPECT_TRUE(QDir(folder.path() + "/Temp").exists());
}

TEST_F(StartupTest, TheExitButtonEndsTheProgramWithoutTheMainWindow) {
  ASSERT_TRUE(service->Start()) << service->Error();
  EXPECT_EQ(Run([](CServerLogin& login) {
              login.IdEdit()->setText("demo1234");
              login.PasswordEdit()->setText("wrong-password");
              QTest::keyClick(login.PasswordEdit(), Qt::Key_Return);
              login.ExitButton()->click();
            }),
            0);
  EXPECT_EQ(mainWindows, 0);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].starts_with("로그인이 실패 하엿습니다."));
}

}  // namespace
}  // namespace orvane::app
