#include "updater/zentrel_dlg.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/dialog_keys.h"

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The client's icon, so the member sees whose updater this is.
QIcon AppIcon() {
  QIcon icon;
  for (const char* size : {"48", "256"})
    icon.addFile(QStringLiteral(":/icons/orvane-%1.png").arg(QLatin1String(size)));
  return icon;
}

}  // namespace

// Runs on the worker thread; every call is queued to the window's thread.
class CVS_ZentrelDlg::Sink final : public zentrel::UiSink {
 public:
  explicit Sink(CVS_ZentrelDlg* dialog) : dialog_(dialog) {}
  void SetStatus(std::string_view text) override {
    QMetaObject::invokeMethod(
        dialog_, [d = dialog_, t = FromUtf8(text)] { d->status_->setText(t); },
        Qt::QueuedConnection);
  }
  void SetProgress(int position) override {
    QMetaObject::invokeMethod(
        dialog_, [d = dialog_, position] { d->progress_->setValue(position); },
        Qt::QueuedConnection);
  }

 private:
  CVS_ZentrelDlg* dialog_;
};

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("VS_Zentrel 정보"));
  auto* icon = new QLabel(this);
  icon->setPixmap(AppIcon().pixmap(32, 32));
  auto* text = new QLabel(QStringLiteral("VS_Zentrel"), this);
  auto* ok = new QPushButton(QStringLiteral("확인"), this);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* row = new QHBoxLayout;
  row->addWidget(icon);
  row->addWidget(text, 1);
  row->addWidget(ok);
  setLayout(row);
}

CVS_ZentrelDlg::CVS_ZentrelDlg(ZentrelServices services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)), sink_(std::make_unique<Sink>(this)) {
  setWindowTitle(QStringLiteral("Zentrel"));
  setWindowIcon(AppIcon());
  QFont dialogFont = QApplication::font();
  dialogFont.setPointSize(9);
  setFont(dialogFont);
  // Dialog base units: the mean width of the Latin letters and the line height of the font.
  const QFontMetrics metrics(dialogFont);
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  baseX_ = (metrics.horizontalAdvance(kLetters) / 26 + 1) / 2;
  baseY_ = metrics.height();
  setFixedSize(DialogRect(0, 0, 291, 42).size());

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QString::number(kIdProgress));
  progress_->setRange(0, zentrel::kProgressMax);
  progress_->setValue(0);
  progress_->setTextVisible(false);
  progress_->setGeometry(DialogRect(7, 7, 277, 14));

  status_ = new QLabel(QStringLiteral("Static"), this);
  status_->setGeometry(DialogRect(7, 24, 226, 11));

  cancel_ = new QPushButton(QStringLiteral("Cancle"), this);
  cancel_->setObjectName(QString::number(kIdCancel));
  cancel_->setAutoDefault(false);
  cancel_->setGeometry(DialogRect(234, 21, 50, 14));
  connect(cancel_, &QPushButton::clicked, this, &CVS_ZentrelDlg::OnCancel);

  // Qt offers no system menu to extend; the window's context menu carries the item instead.
  about_ = new QAction(QStringLiteral("VS_Zentrel 정보(&A)..."), this);
  about_->setData(kAboutCommand);
  addAction(about_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(about_, &QAction::triggered, this, &CVS_ZentrelDlg::OnAbout);

  status_->setText(FromUtf8(zentrel::kStatusUpdating));
  startTimer_ = new QTimer(this);
  startTimer_->setObjectName(QString::number(kStartTimerId));
  startTimer_->setSingleShot(true);
  startTimer_->setInterval(services_.startDelayMs);
  connect(startTimer_, &QTimer::timeout, this, &CVS_ZentrelDlg::OnTimer);
  startTimer_->start();
}

CVS_ZentrelDlg::~CVS_ZentrelDlg() {
  // The worker sees the stop within one poll interval; it must be gone before the sink.
  worker_.request_stop();
  if (worker_.joinable()) worker_.join();
}

QRect CVS_ZentrelDlg::DialogRect(int x, int y, int width, int height) const {
  const auto px = [this](int du) { return (du * baseX_ + 2) / 4; };
  const auto py = [this](int du) { return (du * baseY_ + 4) / 8; };
  return QRect(px(x), py(y), px(width), py(height));
}

void CVS_ZentrelDlg::OnTimer() {
  if (worker_.joinable()) return;
  worker_ = std::jthread([this](std::stop_token stop) {
    zentrel::Updater updater(services_.config, *services_.http, services_.probe.get(),
                             *services_.files, *sink_);
    const zentrel::UpdateReport report = updater.Run(stop);
    QMetaObject::invokeMethod(
        this, [this, report] { OnWorkerDone(report); }, Qt::QueuedConnection);
  });
}

void CVS_ZentrelDlg::OnWorkerDone(zentrel::UpdateReport report) {
  if (worker_.get_stop_token().stop_requested()) return;
  zentrel::FinishHooks hooks;
  hooks.setStatus = [this](std::string_view text) { status_->setText(FromUtf8(text)); };
  hooks.showMessage = [this](std::string_view text, std::string_view caption) {
    if (services_.showMessage) services_.showMessage(this, FromUtf8(text), FromUtf8(caption));
  };
  hooks.exists = [](const std::filesystem::path& program) {
    return QFileInfo(QString::fromStdString(program.string())).isFile();
  };
  hooks.start = [this](const std::filesystem::path& program) {
    return services_.startProgram &&
           services_.startProgram(QString::fromStdString(program.string()));
  };
  zentrel::FinishUpdate(report, services_.config.workDir, hooks);
  close();
}

void CVS_ZentrelDlg::OnCancel() {
  worker_.request_stop();
  startTimer_->stop();
  close();
}

void CVS_ZentrelDlg::OnAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CVS_ZentrelDlg::keyPressEvent(QKeyEvent* event) {
  // Neither Enter nor Escape closes the window.
  if (orvane::ui::IsEnterOrEscape(event)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CVS_ZentrelDlg::closeEvent(QCloseEvent* event) {
  // Closing the window any way other than the finish is a cancel.
  worker_.request_stop();
  startTimer_->stop();
  QDialog::closeEvent(event);
}
