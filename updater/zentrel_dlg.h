// Zentrel's window: the progress bar, the status line and the cancel button.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <thread>

#include "updater/zentrel_core.h"

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// What the window needs from the outside world; tests pass fakes.
struct ZentrelServices {
  zentrel::UpdaterConfig config;
  std::shared_ptr<zentrel::HttpClient> http;
  std::shared_ptr<zentrel::WindowProbe> probe;  // null where there is no window list
  std::shared_ptr<zentrel::FileSystem> files;
  // Shows a modal OK box; replaced in tests so that nothing blocks.
  std::function<void(QWidget* parent, const QString& text, const QString& caption)> showMessage;
  std::function<bool(const QString& program)> startProgram;
  int startDelayMs = 1000;
};

// The information box reached through the window's context menu.
class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

class CVS_ZentrelDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kIdCancel = 1000;
  static constexpr int kIdProgress = 1001;
  static constexpr int kStartTimerId = 1;
  static constexpr int kAboutCommand = 16;

  explicit CVS_ZentrelDlg(ZentrelServices services, QWidget* parent = nullptr);
  ~CVS_ZentrelDlg() override;

  QProgressBar* progressBar() const { return progress_; }
  QLabel* statusLine() const { return status_; }
  QPushButton* cancelButton() const { return cancel_; }
  QAction* aboutAction() const { return about_; }
  bool workerStarted() const { return worker_.joinable(); }

  // Dialog units of the dialog font, converted to pixels.
  QRect DialogRect(int x, int y, int width, int height) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  class Sink;
  void OnTimer();
  void OnCancel();
  void OnAbout();
  void OnWorkerDone(zentrel::UpdateReport report);

  ZentrelServices services_;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QAction* about_ = nullptr;
  QTimer* startTimer_ = nullptr;
  int baseX_ = 0;
  int baseY_ = 0;
  std::unique_ptr<Sink> sink_;
  std::jthread worker_;
};
