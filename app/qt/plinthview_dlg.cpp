#include "app/qt/plinthview_dlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>

#include <system_error>

#include "app/main_window_logic.h"
#include "app/qt/about_dlg.h"
#include "app/qt/chart1_dlg.h"
#include "app/qt/web_view_dlg.h"
#include "chart/dated_notes.h"
#include "data/catalogue.h"
#include "data/fetch.h"
#include "ui/dialog_keys.h"
#include "ui/dialog_units.h"
#include "ui/message_box.h"
#include "views/qt/dash_board_dlg.h"
#include "views/qt/menu_dlg.h"

namespace orvane::app {
namespace {

constexpr char kBackgroundPictureName[] = "orvane_bg.bmp";

// One control of the strip: dialog-unit rectangle, caption and the name a screen reader says.
struct StripControl {
  int id;  // 0 for the statics and the group box
  enum Kind { kButton, kEdit, kCenteredEdit, kTilde, kCombo, kGroup, kRadio } kind;
  const char* text;
  int x, y, width, height;
  const char* accessibleName = nullptr;  // the caption when null
};

// In the template's order; the radios appear here in screen order, their IDs fix the mode.
constexpr StripControl kStrip[] = {
    {control::kApply, StripControl::kButton, "적용", 324, 7, 34, 14, "적용"},
    {control::kFromYear, StripControl::kCenteredEdit, "2005", 359, 7, 35, 14, "시작 연도"},
    {0, StripControl::kTilde, "~", 394, 9, 8, 8},
    {control::kToYear, StripControl::kCenteredEdit, "2030", 403, 7, 35, 14, "끝 연도"},
    {control::kScale, StripControl::kCombo, "", 439, 8, 48, 126, "눈금"},
    {0, StripControl::kGroup, "", 493, 3, 555, 20, "차트 종류"},
    {1011, StripControl::kRadio, "3분할", 498, 10, 31, 10},
    {1006, StripControl::kRadio, "월봉", 539, 10, 31, 10},
    {1015, StripControl::kRadio, "분기봉", 584, 10, 31, 10},
    {1016, StripControl::kRadio, "연봉", 627, 10, 31, 10},
    {1018, StripControl::kRadio, "확대", 667, 10, 31, 10},
    {1019, StripControl::kRadio, "비교", 700, 10, 31, 10},
    {1007, StripControl::kRadio, "볼린저", 736, 10, 39, 10},
    {1008, StripControl::kRadio, "일목", 783, 10, 39, 10},
    {1009, StripControl::kRadio, "구간검색", 825, 10, 39, 10},
    {control::kRangeFromYear, StripControl::kEdit, "1700", 879, 9, 35, 12, "구간검색 시작 연도"},
    {0, StripControl::kTilde, "~", 915, 10, 8, 8},
    {control::kRangeToYear, StripControl::kEdit, "2030", 923, 9, 35, 12, "구간검색 끝 연도"},
    {control::kRangeScale, StripControl::kCombo, "", 959, 8, 48, 126, "구간검색 눈금"},
    {control::kRangeApply, StripControl::kButton, "적용", 1007, 8, 34, 13, "구간검색 적용"},
};

constexpr int kScaleEntries = 2;
constexpr const char* kScaleNames[kScaleEntries] = {"로그", "산술"};

QRect ToQRect(const PixelRect& r) { return QRect(r.x, r.y, r.width, r.height); }
PixelRect ToPixelRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

}  // namespace

CPlinthviewDlg::CPlinthviewDlg(MainWindowSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)) {
  setWindowTitle(QStringLiteral("Orvane"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  setFont(ui::DialogFont());
  const ui::DialogUnits du(font());
  setGeometry(du.X(2), du.Y(2), du.X(1087), du.Y(571));
  BuildStrip();

  // The background picture the charts paint, fetched while the cache folder is still unset.
  std::error_code ignored;
  const std::filesystem::path& folder = setup_.workingFolder;
  std::filesystem::remove(folder / kBackgroundPictureName, ignored);
  FetchFile(ContentUrl(setup_.contentHost, std::string("/orvane_img/") + kBackgroundPictureName),
            kBackgroundPictureName, (folder / "").string());

  const std::filesystem::path cache = folder / "Temp";
  if (!std::filesystem::exists(cache, ignored)) std::filesystem::create_directories(cache, ignored);
  cacheDir_ = (cache / "").string();

  dashboard_ = new CDashBoardDlg(folder, this);
  chart1_ = new CChart1Dlg(folder, this);
  baseUrl_ = DataBaseUrl(setup_.contentHost);
  views::MenuDlgHooks menuHooks;
  menuHooks.cacheDir = cacheDir_;
  menuHooks.openDataUrl = [this](const std::string& url) { OpenDataUrl(url); };
  menuHooks.showWebWindow = [this] { webWindow_->ShowWindow(); };
  menuHooks.showMessage = setup_.hooks.showMessage;
  menuDlg_ = new views::CMenuDlg(std::move(menuHooks), this);
  menu_ = menuDlg_;
  menu_->setObjectName(QStringLiteral("110"));
  menu_->setGeometry(10, 10, 550, 980);
  menu_->show();
  // A top-level window owned by this one; created hidden so the page loads in the background.
  webWindow_ = new CWebViewDlg(ContentUrl(setup_.contentHost, kWorldMarketPath), this);
  webWindow_->setGeometry(560, 40, 1900, 980);
  dashboard_->setGeometry(560, 40, 1900, 980);
  dashboard_->show();
  chart1_->setGeometry(560, 40, 1900, 980);
  chart1_->hide();
  OpenNotes();

  menuDlg_->SetHomeState(baseUrl_);
  menuDlg_->LoadMenuList(baseUrl_ + std::string(kHomeListFile));
  OpenDataUrl(baseUrl_ + std::string(kHomeSeriesFile));

  setWindowState(windowState() | Qt::WindowMaximized);

  reLoginTimer_.setObjectName(QString::number(kReLoginTimerId));
  reLoginTimer_.setInterval(kReLoginPeriod);
  connect(&reLoginTimer_, &QTimer::timeout, this, &CPlinthviewDlg::OnReLoginTimer);
  reLoginTimer_.start();
}

CPlinthviewDlg::~CPlinthviewDlg() = default;

void CPlinthviewDlg::OpenNotes() {
  if (setup_.notesFile.empty()) return;
  auto notes = std::make_unique<NotesFile>(setup_.notesFile);
  const NotesFile::LoadResult loaded = notes->Load();
  const QString path = QDir::toNativeSeparators(QString::fromStdString(setup_.notesFile.string()));
  QString problem;
  if (loaded.setAside && loaded.setAsideAs.empty()) {
    // Left where it is, the file would be overwritten by the next note: no notes this run.
    problem = QStringLiteral("메모 파일을 읽을 수 없어 메모를 쓰지 않습니다: ") + path;
    notes.reset();
  } else if (loaded.setAside) {
    problem = QStringLiteral("메모 파일을 읽을 수 없어 따로 옮겨 두었습니다: ") +
              QDir::toNativeSeparators(QString::fromStdString(loaded.setAsideAs.string()));
  }
  if (!problem.isEmpty()) {
    // Said once the window is up, not in the middle of its set-up.
    QMetaObject::invokeMethod(
        this,
        [this, problem] {
          if (setup_.hooks.showMessage) {
            setup_.hooks.showMessage(this, problem);
          } else {
            ui::ShowOkMessage(this, problem);
          }
        },
        Qt::QueuedConnection);
  }
  notes_ = std::move(notes);
  chart1_->Notes().SetFile(notes_.get());
  dashboard_->Notes().SetFile(notes_.get());
}

void CPlinthviewDlg::BuildStrip() {
  const ui::DialogUnits du(font());
  modeGroup_ = new QButtonGroup(this);
  modeGroup_->setExclusive(true);
  for (const StripControl& c : kStrip) {
    const QString text = QString::fromUtf8(c.text);
    QRect rect = du.Rect(c.x, c.y, c.width, c.height);
    QWidget* widget = nullptr;
    StripPiece::Role role = StripPiece::kPlain;
    switch (c.kind) {
      case StripControl::kButton: {
        auto* button = new QPushButton(text, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, &CPlinthviewDlg::Apply);
        widget = button;
        break;
      }
      case StripControl::kEdit:
      case StripControl::kCenteredEdit: {
        auto* edit = new QLineEdit(text, this);
        if (c.kind == StripControl::kCenteredEdit) edit->setAlignment(Qt::AlignCenter);
        widget = edit;
        break;
      }
      case StripControl::kTilde:
        widget = new QLabel(text, this);
        break;
      case StripControl::kCombo: {
        auto* combo = new QComboBox(this);
        for (const char* name : kScaleNames) combo->addItem(QString::fromUtf8(name));
        combo->setCurrentIndex(c.id == control::kScale ? kScaleArith : kScaleLog);
        widget = combo;
        // The rectangle's height is the open list's; the closed box keeps its own height.
        rect.setHeight(du.Y(12));
        break;
      }
      case StripControl::kGroup:
        widget = new QGroupBox(this);
        widget->lower();
        role = StripPiece::kGroupBox;
        break;
      case StripControl::kRadio: {
        auto* radio = new QRadioButton(text, this);
        const int mode = ModeOfRadio(c.id);
        modeGroup_->addButton(radio, mode);
        radios_[static_cast<std::size_t>(mode)] = radio;
        radio->installEventFilter(this);
        widget = radio;
        role = StripPiece::kRadio;
        break;
      }
    }
    if (c.id != 0) widget->setObjectName(QString::number(c.id));
    widget->setAccessibleName(QString::fromUtf8(c.accessibleName ? c.accessibleName : c.text));
    // Some screen readers announce a combo box by its current entry; the description keeps
    // what it is.
    if (c.kind == StripControl::kCombo) widget->setAccessibleDescription(widget->accessibleName());
    widget->setGeometry(rect);
    stripWidgets_.push_back(widget);
    stripPieces_.push_back({role, ToPixelRect(rect)});
  }
  radios_[0]->setChecked(true);
  connect(modeGroup_, &QButtonGroup::idClicked, this, [this](int) { Apply(); });

  // Tab runs along the strip from left to right; the radios in the order of their modes.
  std::vector<QWidget*> order;
  for (QWidget* w : stripWidgets_) {
    if (w->focusPolicy() == Qt::NoFocus) continue;
    if (qobject_cast<QRadioButton*>(w) == nullptr) {
      order.push_back(w);
    } else if (w == radios_[0]) {
      order.insert(order.end(), radios_.begin(), radios_.end());
    }
  }
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

bool CPlinthviewDlg::eventFilter(QObject* watched, QEvent* event) {
  auto* radio = qobject_cast<QRadioButton*>(watched);
  if (radio == nullptr || event->type() != QEvent::KeyPress) {
    return QDialog::eventFilter(watched, event);
  }
  // Arrow keys step through the radios in the order of their modes, choosing as they go.
  int step = 0;
  switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      step = -1;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      step = 1;
      break;
    default:
      return QDialog::eventFilter(watched, event);
  }
  const int count = static_cast<int>(radios_.size());
  const int mode = modeGroup_->id(radio);
  QRadioButton* next = radios_[static_cast<std::size_t>((mode + step + count) % count)];
  next->setFocus(Qt::TabFocusReason);
  next->click();
  return true;
}

void CPlinthviewDlg::LayoutChildren() {
  if (dashboard_ == nullptr || chart1_ == nullptr || menu_ == nullptr) return;
  const QRect menu = menu_->geometry();
  const StripPlacement strip = PlaceStrip(stripPieces_, width(), menu.x() + menu.width());
  for (std::size_t i = 0; i < stripWidgets_.size(); ++i) {
    stripWidgets_[i]->setGeometry(ToQRect(strip.rects[i]));
  }
  QRect content = dashboard_->geometry();
  content.moveTop(strip.contentTop);
  const ChildRects rects =
      ResizeChildren(ToPixelRect(rect()), ToPixelRect(content), ToPixelRect(menu));
  dashboard_->setGeometry(ToQRect(rects.dashboard));
  chart1_->setGeometry(ToQRect(rects.singleChart));
  menu_->setGeometry(ToQRect(rects.menu));
}

int CPlinthviewDlg::ChartMode() const { return modeGroup_->checkedId(); }

QRadioButton* CPlinthviewDlg::RadioOfMode(int mode) const {
  return mode >= 0 && mode < static_cast<int>(radios_.size())
             ? radios_[static_cast<std::size_t>(mode)]
             : nullptr;
}

QLineEdit* CPlinthviewDlg::Edit(int controlId) const {
  return findChild<QLineEdit*>(QString::number(controlId), Qt::FindDirectChildrenOnly);
}

QComboBox* CPlinthviewDlg::Combo(int controlId) const {
  return findChild<QComboBox*>(QString::number(controlId), Qt::FindDirectChildrenOnly);
}

QPushButton* CPlinthviewDlg::ApplyButton(int controlId) const {
  return findChild<QPushButton*>(QString::number(controlId), Qt::FindDirectChildrenOnly);
}

void CPlinthviewDlg::OpenDataUrl(std::string_view url) {
  const std::string fileName = FileNameFromUrl(url);
  dashboard_->freshFile = 1;
  // A URL ending in "/" or naming ".." must not make the cache folder itself the file that is
  // read and deleted: such a series is simply not there.
  if (IsSafeFileName(fileName)) {
    FetchFile(url, fileName, cacheDir_);
    const std::filesystem::path cached = cacheDir_ + fileName;
    dashboard_->LoadDataFile(cached);
    chart1_->LoadDataFile(cached);
    std::error_code ignored;
    std::filesystem::remove(cached, ignored);
  } else {
    dashboard_->Table().Clear();
    chart1_->Table().Clear();
  }
  Apply();
}

void CPlinthviewDlg::Apply() {
  StripValues strip;
  strip.mode = ChartMode();
  strip.fromYear = Edit(control::kFromYear)->text().toStdString();
  strip.toYear = Edit(control::kToYear)->text().toStdString();
  strip.scale = Combo(control::kScale)->currentIndex();
  strip.rangeFromYear = Edit(control::kRangeFromYear)->text().toStdString();
  strip.rangeToYear = Edit(control::kRangeToYear)->text().toStdString();
  strip.rangeScale = Combo(control::kRangeScale)->currentIndex();
  const ApplyPlan plan = PlanApply(strip);

  dashboard_->scaleChoice = plan.dashboard.scaleChoice;
  dashboard_->fromYear = plan.dashboard.fromYear;
  dashboard_->toYear = plan.dashboard.toYear;
  chart1_->scaleChoice = plan.singleChart.scaleChoice;
  chart1_->fromYear = plan.singleChart.fromYear;
  chart1_->toYear = plan.singleChart.toYear;
  if (plan.showDashboard) {
    dashboard_->show();
    chart1_->hide();
    dashboard_->BuildDashboard();
  } else {
    dashboard_->hide();
    chart1_->show();
    chart1_->RunPipeline(plan.mode);
  }
}

void CPlinthviewDlg::ShowAbout() {
  if (setup_.showAbout) {
    setup_.showAbout(this);
    return;
  }
  CAboutDlg about(this);
  about.exec();
}

void CPlinthviewDlg::OnReLoginTimer() {
  reLoginTimer_.stop();
  reLoginTimer_.start(kReLoginPeriod);
  bool admitted = true;
  if (setup_.reLogin) {
    admitted = setup_.reLogin();
  } else if (setup_.login != nullptr) {
    admitted = RunReLogin(*setup_.login, this, setup_.hooks);
  }
  if (!admitted) QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CPlinthviewDlg::keyPressEvent(QKeyEvent* event) {
  // Neither key may close the window or press a button.
  if (ui::IsEnterOrEscape(event)) {
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_F1) {
    ShowAbout();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CPlinthviewDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  LayoutChildren();
}

void CPlinthviewDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  const QPoint at = event->globalPos();
  // A click on a content window offers its tools first.
  if (chart1_->isVisible() && chart1_->rect().contains(chart1_->mapFromGlobal(at))) {
    chart1_->AddMenuActions(menu, at);
  } else if (dashboard_->isVisible() &&
             dashboard_->rect().contains(dashboard_->mapFromGlobal(at))) {
    dashboard_->AddMenuActions(menu, at);
  }
  if (!menu.isEmpty()) menu.addSeparator();
  menu.addAction(QString::fromUtf8(kAboutMenuText), this, &CPlinthviewDlg::ShowAbout);
  menu.exec(event->globalPos());
}

}  // namespace orvane::app
