// Zentrel's window under the offscreen platform.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "fakes.h"
#include "updater/zentrel_dlg.h"

namespace zentrel::testing {
namespace {

// One application for the whole run, gone before the process's own clean-up starts.
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
  void TearDown() override { app_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "updater_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

class DialogTest : public ::testing::Test {
 protected:
  DialogTest() {
    http = std::make_shared<FakeHttp>();
    services.config.updateHost = "update.test";
    services.config.workDir = dir.path();
    services.config.windowPoll = std::chrono::milliseconds(5);
    services.http = http;
    services.files = std::make_shared<LocalFileSystem>();
    services.showMessage = [this](QWidget*, const QString& text, const QString& caption) {
      messages.push_back(caption + "|" + text);
    };
    services.startProgram = [this](const QString& program) {
      started.push_back(program);
      return true;
    };
    services.startDelayMs = 0;
  }

  TempDir dir;
  std::shared_ptr<FakeHttp> http;
  ZentrelServices services;
  QStringList messages;
  QStringList started;
};

TEST_F(DialogTest, WindowShowsItsControls) {
  services.startDelayMs = 1000;
  CVS_ZentrelDlg dialog(services);
  EXPECT_EQ(dialog.windowTitle(), "Zentrel");
  auto* bar = dialog.findChild<QProgressBar*>("1001");
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 10000);
  EXPECT_EQ(bar->value(), 0);
  auto* cancel = dialog.findChild<QPushButton*>("1000");
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(cancel->text(), "Cancle");
  EXPECT_EQ(dialog.statusLine()->text(), "업데이트중...");
  EXPECT_EQ(dialog.aboutAction()->text(), "VS_Zentrel 정보(&A)...");
  EXPECT_EQ(dialog.size(), dialog.DialogRect(0, 0, 291, 42).size());
  EXPECT_EQ(cancel->geometry(), dialog.DialogRect(234, 21, 50, 14));
  // The button sits inside the client area on the right of the status line.
  EXPECT_GT(cancel->geometry().left(), dialog.statusLine()->geometry().right());
  EXPECT_LE(cancel->geometry().right(), dialog.width());
  EXPECT_FALSE(dialog.workerStarted());
  // The client's icon, not a stock one.
  EXPECT_TRUE(dialog.windowIcon().availableSizes().contains(QSize(48, 48)));
}

TEST_F(DialogTest, AboutBoxNamesTheProgram) {
  CAboutDlg about;
  EXPECT_EQ(about.windowTitle(), "VS_Zentrel 정보");
  QStringList texts;
  for (QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.contains("VS_Zentrel"));
  auto buttons = about.findChildren<QPushButton*>();
  ASSERT_EQ(buttons.size(), 1);
  EXPECT_EQ(buttons.front()->text(), "확인");
}

TEST_F(DialogTest, FinishShowsTheMessageAndStartsTheNewProgram) {
  const std::string body = ProgramBytes(5000);
  const Publisher publisher;
  services.config.publicKey = publisher.keys.publicKey;
  const std::string manifest = publisher.ManifestFor(body);
  http->Add("http://update.test/UpdateFiles/", FakeResponse::Body(Listing({"Orvane"})));
  http->Add("http://update.test/UpdateFiles/Orvane", FakeResponse::Body(body));
  http->Add("http://update.test/UpdateFiles/Orvane.manifest", FakeResponse::Body(manifest));
  http->Add("http://update.test/UpdateFiles/Orvane.manifest.sig",
            FakeResponse::Body(publisher.Sign(manifest)));
  CVS_ZentrelDlg dialog(services);
  dialog.show();
  QTRY_VERIFY_WITH_TIMEOUT(!started.isEmpty(), 5000);
  EXPECT_EQ(messages,
            QStringList{"Update Complete|업데이트가 완료되었습니다.\n다시 로그인 하세요."});
  EXPECT_EQ(started, QStringList{QString::fromStdString((dir.path() / "Orvane").string())});
  EXPECT_EQ(ReadText(dir.path() / "Orvane"), body);
  EXPECT_EQ(dialog.statusLine()->text(), "업데이트 완료");
  EXPECT_EQ(dialog.progressBar()->value(), 10000);
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(DialogTest, WithoutAKeyTheWindowSaysSoAndStartsTheProgramThere) {
  WriteText(dir.path() / "Orvane", "old");
  CVS_ZentrelDlg dialog(services);
  dialog.show();
  QTRY_VERIFY_WITH_TIMEOUT(!started.isEmpty(), 5000);
  EXPECT_EQ(messages, QStringList{"Zentrel|업데이트 꺼짐: 게시자 키 없이 만든 프로그램입니다"});
  EXPECT_EQ(dialog.statusLine()->text(), "업데이트 꺼짐: 게시자 키 없이 만든 프로그램입니다");
  EXPECT_EQ(started, QStringList{QString::fromStdString((dir.path() / "Orvane").string())});
  EXPECT_EQ(ReadText(dir.path() / "Orvane"), "old");
}

TEST_F(DialogTest, CancelWhileWaitingClosesAndStartsNothing) {
  auto probe = std::make_shared<FakeProbe>(-1);
  services.probe = probe;
  WriteText(dir.path() / "Orvane", "old");
  {
    CVS_ZentrelDlg dialog(services);
    dialog.show();
    QTRY_VERIFY_WITH_TIMEOUT(probe->asked() > 0, 5000);
    QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
  }
  QTest::qWait(20);
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_TRUE(started.isEmpty());
  EXPECT_EQ(http->Requests("http://update.test/UpdateFiles/"), 0);
}

TEST_F(DialogTest, CancelBeforeTheTimerStartsNoWorker) {
  services.startDelayMs = 3'600'000;
  CVS_ZentrelDlg dialog(services);
  dialog.show();
  auto* timer = dialog.findChild<QTimer*>(QString::number(CVS_ZentrelDlg::kStartTimerId));
  ASSERT_NE(timer, nullptr);
  EXPECT_TRUE(timer->isActive());
  QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
  // Stopped, so the expiry that would start the worker never comes.
  EXPECT_FALSE(timer->isActive());
  QCoreApplication::processEvents();
  EXPECT_FALSE(dialog.workerStarted());
  EXPECT_TRUE(started.isEmpty());
}

TEST_F(DialogTest, EnterAndEscapeDoNotCloseTheWindow) {
  services.startDelayMs = 100000;
  CVS_ZentrelDlg dialog(services);
  dialog.show();
  QTest::keyClick(&dialog, Qt::Key_Escape);
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
}

}  // namespace
}  // namespace zentrel::testing
