// The new-version hand-off end to end: the login service answers "VerDiff", the login window
// starts the real Zentrel from the program folder, Zentrel fetches the signed build from the
// service's update folder (published there with the publisher's tool) and starts it. Only the first
// client process is replaced by the login window under test; everything after it runs as separate
// programs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "app/qt/server_login.h"
#include "app/udp_transport.h"

// Fontconfig keeps a cache for the life of the process; LeakSanitizer should not count it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace orvane::app {
namespace {

constexpr int kWaitMs = 30000;

QApplication& App() {
  static int argc = 1;
  static char name[] = "handoff_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteProgram(const QString& path, const QByteArray& text) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
    return false;
  file.close();
  return file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ReadOwner);
}

// A stand-in client: it notes which build it is, where it runs from and how many arguments it
// was given, in a file beside the program folder.
QByteArray StandInClient(const QString& build, const QString& noteFile) {
  return QStringLiteral("#!/bin/sh\necho \"%1 $0 $#\" > '%2.tmp' && mv '%2.tmp' '%2'\n")
      .arg(build, noteFile)
      .toUtf8();
}

class HandOffTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    ASSERT_TRUE(root.isValid());
    const QDir dir(root.path());
    for (const char* sub : {"program", "updates", "www"}) ASSERT_TRUE(dir.mkpath(sub));
    programDir = root.filePath("program");
    note = root.filePath("started.txt");
    ASSERT_TRUE(QFile::copy(HANDOFF_ZENTREL, programDir + "/Zentrel"));
    ASSERT_TRUE(QFile::setPermissions(programDir + "/Zentrel",
                                      QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(WriteProgram(programDir + "/Orvane", StandInClient("old", note)));
    newBuild = StandInClient("new", note) + QByteArray(500'000, '#') + "\n";
    ASSERT_TRUE(WriteProgram(root.filePath("updates/Orvane"), newBuild));
  }

  void TearDown() override {
    if (server.state() != QProcess::NotRunning) {
      server.terminate();
      if (!server.waitForFinished(5000)) server.kill();
    }
  }

  // Publishes the new build with the key Zentrel trusts, or with a stranger's key made now.
  bool Publish(bool trustedKey) {
    QString key = QStringLiteral(HANDOFF_KEY);
    if (!trustedKey) {
      key = root.filePath("stranger.key");
      if (QProcess::execute(HANDOFF_SIGN, {"keygen", key}) != 0) return false;
    }
    return QProcess::execute(HANDOFF_SIGN,
                             {"publish", key, root.filePath("updates/Orvane"), "Ver.2.0.0"}) == 0;
  }

  // The service with a client version other than this client's, so every login gets "VerDiff".
  bool StartService() {
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start(QStringLiteral(ORVANE_BINARY_DIR "/server/orvane-server"),
                 {"--http-port", "0", "--udp-port", "0", "--root", root.filePath("www"), "--db",
                  root.filePath("members.db"), "--update-dir", root.filePath("updates"),
                  "--client-version", "Ver.2.0.0"});
    static const QRegularExpression http(QStringLiteral("http listening on [^:]+:(\\d+)"));
    static const QRegularExpression udp(QStringLiteral("login listening on UDP [^:]+:(\\d+)"));
    QElapsedTimer waited;
    waited.start();
    while ((httpPort == 0 || udpPort == 0) && waited.elapsed() < 10000 &&
           server.waitForReadyRead(1000)) {
      output += server.readAll();
      if (auto m = http.match(output); m.hasMatch()) httpPort = m.captured(1).toInt();
      if (auto m = udp.match(output); m.hasMatch()) udpPort = m.captured(1).toInt();
    }
    // Zentrel inherits the content server, as the client passes it on; it serves the updates.
    qunsetenv("ORVANE_UPDATE_HOST");
    qputenv("ORVANE_CONTENT_HOST", QByteArray("127.0.0.1:") + QByteArray::number(httpPort));
    qputenv("ZENTREL_AUTO_ACKNOWLEDGE_MS", "100");
    return httpPort > 0 && udpPort > 0;
  }

  // Logs in through the real login window over UDP; it starts the program folder's Zentrel.
  void LogIn() {
    UdpTransport transport;
    ASSERT_TRUE(transport.SocketOk());
    ASSERT_TRUE(transport.Resolve("127.0.0.1", static_cast<std::uint16_t>(udpPort)));
    LoginContext context;
    context.transport = &transport;
    context.adapterText = [] { return std::string("AA:BB:CC:DD:EE:FF"); };
    LoginDialogHooks hooks;
    hooks.showMessage = [this](QWidget*, const QString& text) { messages << text; };
    hooks.pause = [](std::chrono::milliseconds) {};
    hooks.startProgram = [this](const QString& program, const QStringList& arguments) {
      startedArguments = arguments;
      return QProcess::startDetached(program, arguments, programDir);
    };
    hooks.programFolder = programDir + "/";
    hooks.settings =
        std::make_shared<QSettings>(root.filePath("settings.ini"), QSettings::IniFormat);
    CServerLogin dialog(context, hooks);
    dialog.show();
    QTest::keyClicks(dialog.IdEdit(), "demo1234");
    QTest::keyClicks(dialog.PasswordEdit(), "demo1234");
    QTest::mouseClick(dialog.LoginButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
  }

  // What the program Zentrel started at the end wrote about itself.
  QString WaitForStartedProgram() {
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(note) && waited.elapsed() < kWaitMs) QTest::qWait(50);
    return QString::fromUtf8(ReadAll(note)).trimmed();
  }

  QTemporaryDir root;
  QString programDir;
  QString note;
  QByteArray newBuild;
  QProcess server;
  QByteArray output;
  int httpPort = 0;
  int udpPort = 0;
  QStringList messages;
  QStringList startedArguments;
};

TEST_F(HandOffTest, VersionChangeCarriesTheUserThroughZentrelToTheNewProgram) {
  ASSERT_TRUE(Publish(true));
  ASSERT_TRUE(StartService()) << output.toStdString();
  LogIn();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_EQ(messages[0].toStdString(),
            "Orvane 새로운 버젼이 있습니다. \r\rOrvane 자동업데이트가 시작됩니다!");
  EXPECT_EQ(startedArguments, QStringList{"~Renew4x!*~615"});

  // The new build runs from the program folder, started without arguments.
  EXPECT_EQ(WaitForStartedProgram(), "new " + programDir + "/Orvane 0");
  EXPECT_EQ(ReadAll(programDir + "/Orvane"), newBuild);
  EXPECT_TRUE(QFileInfo(programDir + "/Orvane").isExecutable());
  // Nothing but the two programs and the installed manifest is left in the program folder.
  EXPECT_EQ(QDir(programDir).entryList(QDir::Files | QDir::Hidden),
            (QStringList{"Orvane", "Orvane.manifest", "Zentrel"}));
  server.terminate();
  server.waitForFinished(5000);
  output += server.readAll();
  EXPECT_TRUE(output.contains("\"GET /UpdateFiles/Orvane.manifest.sig\" 200 64"))
      << output.toStdString();
}

TEST_F(HandOffTest, BuildSignedWithAnotherKeyIsRefusedAndTheOldProgramStarts) {
  ASSERT_TRUE(Publish(false));
  ASSERT_TRUE(StartService()) << output.toStdString();
  LogIn();
  EXPECT_EQ(startedArguments, QStringList{"~Renew4x!*~615"});
  EXPECT_EQ(WaitForStartedProgram(), "old " + programDir + "/Orvane 0");
  EXPECT_EQ(ReadAll(programDir + "/Orvane"), StandInClient("old", note));
  EXPECT_EQ(QDir(programDir).entryList(QDir::Files | QDir::Hidden),
            (QStringList{"Orvane", "Zentrel"}));
}

}  // namespace
}  // namespace orvane::app
