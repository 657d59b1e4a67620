#include "views/qt/menu_dlg.h"

#include <QEvent>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <QToolTip>

#include "ui/dialog_units.h"
#include "ui/message_box.h"

namespace orvane::views {
namespace {

constexpr int kRowHeight = 20;

QColor ColorOf(std::uint32_t ref) {
  return QColor(static_cast<int>(ref & 0xFF), static_cast<int>((ref >> 8) & 0xFF),
                static_cast<int>((ref >> 16) & 0xFF));
}

// The cell's whole text when the cell cannot show all of it, else empty.
QString CutCellText(const QStyledItemDelegate& delegate, const QStyleOptionViewItem& option,
                    const QModelIndex& index) {
  QString text = index.data(Qt::DisplayRole).toString();
  if (text.isEmpty() || delegate.sizeHint(option, index).width() <= option.rect.width()) return {};
  return text;
}

// Paints cells in their own colours only: the view's selection and focus marks never show.
class PlainCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem plain(option);
    plain.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver);
    QStyledItemDelegate::paint(painter, plain, index);
  }
  // A cell too narrow for its text shows the whole text as its tooltip.
  bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                 const QModelIndex& index) override {
    if (event->type() != QEvent::ToolTip) {
      return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
    const QString text = CutCellText(*this, option, index);
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(event->globalPos(), text, view, option.rect);
    }
    return true;
  }
};

}  // namespace

int MenuTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : grid_.RowCount();
}

int MenuTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kGridColumns;
}

QVariant MenuTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(grid_.Text(index.row(), index.column()));
    case Qt::TextAlignmentRole:
      return static_cast<int>((index.column() <= 1 ? Qt::AlignHCenter : Qt::AlignRight) |
                              Qt::AlignVCenter);
    case Qt::BackgroundRole:
      return ColorOf(grid_.ColoursOf(index.row(), index.column()).back);
    case Qt::ForegroundRole:
      return ColorOf(grid_.ColoursOf(index.row(), index.column()).text);
    default:
      return {};
  }
}

class CMenuDlg::QtRotationTimer : public RotationTimer {
 public:
  explicit QtRotationTimer(QTimer& timer) : timer_(timer) {}
  void Start(std::chrono::milliseconds period) override {
    timer_.start(static_cast<int>(period.count()));
  }
  void Stop() override { timer_.stop(); }

 private:
  QTimer& timer_;
};

CMenuDlg::CMenuDlg(MenuDlgHooks hooks, QWidget* parent)
    : QWidget(parent), hooks_(std::move(hooks)) {
  if (!hooks_.fetchList) hooks_.fetchList = CacheFolderFetcher(hooks_.cacheDir);
  if (!hooks_.showMessage) hooks_.showMessage = ui::ShowOkMessage;

  MenuCallbacks callbacks;
  callbacks.fetchList = hooks_.fetchList;
  callbacks.openDataUrl = [this](const std::string& url) {
    seriesUrlEdit_->setText(QString::fromStdString(url));
    if (hooks_.openDataUrl) hooks_.openDataUrl(url);
  };
  callbacks.loadStarting = [this] { FreezeForLoad(); };
  callbacks.loadFinished = [this] { ThawAfterLoad(); };
  grid_ = std::make_unique<MenuGrid>(std::move(callbacks));
  model_ = std::make_unique<MenuTableModel>(*grid_);
  rotationTimer_ = std::make_unique<QtRotationTimer>(timer_);
  rotation_ = std::make_unique<MenuRotation>(
      *grid_, *rotationTimer_, [this] { OnRotationEnded(); }, hooks_.rotationUnit);
  connect(&timer_, &QTimer::timeout, this, [this] { OnRotationTimer(); });

  const QFont font = ui::DialogFont();
  setFont(font);
  const ui::DialogUnits du(font);
  resize(du.X(311), du.Y(558));

  seriesUrlEdit_ = new QLineEdit(this);
  seriesUrlEdit_->setObjectName("edit1004");
  seriesUrlEdit_->setAccessibleName(QStringLiteral("시리즈 주소"));
  seriesUrlEdit_->setGeometry(du.Rect(0, 0, 72, 14));
  seriesUrlEdit_->hide();

  periodEdit_ = new QLineEdit(QStringLiteral("3"), this);
  periodEdit_->setObjectName("edit1013");
  periodEdit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  periodEdit_->setGeometry(du.Rect(107, 0, 22, 14));
  periodEdit_->setAccessibleName(QStringLiteral("자동돌려보기 간격(초)"));

  // The up-down control 1014: two arrows stacked in its rectangle.
  const QRect spin = du.Rect(128, 0, 10, 14);
  periodUp_ = new QToolButton(this);
  periodUp_->setObjectName("updown1014up");
  periodUp_->setArrowType(Qt::UpArrow);
  periodUp_->setGeometry(spin.x(), spin.y(), spin.width(), spin.height() / 2);
  periodUp_->setAutoRepeat(true);
  periodUp_->setAccessibleName(QStringLiteral("간격 늘리기"));
  periodDown_ = new QToolButton(this);
  periodDown_->setObjectName("updown1014down");
  periodDown_->setArrowType(Qt::DownArrow);
  periodDown_->setGeometry(spin.x(), spin.y() + spin.height() / 2, spin.width(),
                           spin.height() - spin.height() / 2);
  periodDown_->setAutoRepeat(true);
  periodDown_->setAccessibleName(QStringLiteral("간격 줄이기"));
  connect(periodUp_, &QToolButton::clicked, this, [this] { Spin(1); });
  connect(periodDown_, &QToolButton::clicked, this, [this] { Spin(-1); });

  auto* unit = new QLabel(QStringLiteral("초"), this);
  unit->setGeometry(du.Rect(140, 3, 8, 8));

  auto button = [this, &du](const char* text, const char* name, QRect rect) {
    auto* b = new QPushButton(QString::fromUtf8(text), this);
    b->setObjectName(name);
    b->setGeometry(rect);
    b->setAutoDefault(false);
    return b;
  };
  stopButton_ = button("■", "button1002", du.Rect(150, 1, 14, 12));
  stopButton_->setAccessibleName(QStringLiteral("자동돌려보기 멈춤"));
  startButton_ = button("▶", "button1005", du.Rect(164, 1, 14, 12));
  startButton_->setAccessibleName(QStringLiteral("자동돌려보기 시작"));
  webButton_ = button("웹화면", "button1001", du.Rect(208, 0, 50, 14));
  homeButton_ = button("홈 화면", "button1000", du.Rect(259, 0, 50, 14));
  connect(stopButton_, &QPushButton::clicked, this, [this] { StopRotation(); });
  connect(startButton_, &QPushButton::clicked, this, [this] { StartRotation(); });
  connect(homeButton_, &QPushButton::clicked, this, [this] { ShowHome(); });
  connect(webButton_, &QPushButton::clicked, this, [this] {
    if (hooks_.showWebWindow) hooks_.showWebWindow();
  });

  view_ = new QTableView(this);
  view_->setObjectName("list1003");
  view_->setAccessibleName(QStringLiteral("메뉴"));
  view_->setModel(model_.get());
  view_->setItemDelegate(new PlainCellDelegate(view_));
  view_->horizontalHeader()->hide();
  view_->verticalHeader()->hide();
  view_->verticalHeader()->setMinimumSectionSize(1);
  view_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->horizontalHeader()->setMinimumSectionSize(0);
  view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view_->setShowGrid(true);
  view_->setSelectionMode(QAbstractItemView::NoSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->setWordWrap(false);
  view_->setFocusPolicy(Qt::ClickFocus);
  view_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  view_->setGeometry(du.Rect(0, 14, 311, 544));
  connect(view_, &QTableView::clicked, this,
          [this](const QModelIndex& index) { OnCellClicked(index.row(), index.column()); });
  ThawAfterLoad();

  for (QWidget* w : findChildren<QWidget*>()) FilterKeysOf(w);
  FilterKeysOf(this);
}

CMenuDlg::~CMenuDlg() { timer_.stop(); }

void CMenuDlg::FilterKeysOf(QWidget* widget) { widget->installEventFilter(this); }

void CMenuDlg::FreezeForLoad() {
  if (freezeDepth_++ > 0) return;
  setUpdatesEnabled(false);
  model_->BeginReset();
}

void CMenuDlg::ThawAfterLoad() {
  if (freezeDepth_ > 0) {
    if (--freezeDepth_ > 0) return;
    model_->EndReset();
  }
  for (int k = 0; k < kGridColumns; ++k) {
    const int width = grid_->ColumnWidth(k);
    view_->setColumnHidden(k, width == 0);
    if (width > 0) view_->setColumnWidth(k, width);
  }
  setUpdatesEnabled(true);
}

QString CMenuDlg::CellToolTip(int row, int column) const {
  const QModelIndex index = model_->index(row, column);
  QStyleOptionViewItem option;
  option.initFrom(view_);
  option.rect = view_->visualRect(index);
  option.font = view_->font();
  const auto* delegate = static_cast<const QStyledItemDelegate*>(view_->itemDelegate());
  return CutCellText(*delegate, option, index);
}

void CMenuDlg::Refresh() {
  seriesUrlEdit_->setText(QString::fromStdString(grid_->LastSeriesUrl()));
  view_->viewport()->update();
}

void CMenuDlg::LoadMenuList(const std::string& url) {
  grid_->LoadMenuList(url);
  Refresh();
}

void CMenuDlg::OnCellClicked(int row, int column) {
  grid_->OnCellClicked(row, column);
  Refresh();
}

void CMenuDlg::ShowHome() {
  grid_->ShowHome(grid_->BaseUrl());
  Refresh();
}

void CMenuDlg::StartRotation() {
  rotation_->Start(periodEdit_->text().toStdString());
  startButton_->setEnabled(!rotation_->Running());
}

void CMenuDlg::StopRotation() {
  rotation_->Stop();
  startButton_->setEnabled(true);
}

void CMenuDlg::OnRotationTimer() {
  rotation_->OnTick(periodEdit_->text().toStdString());
  Refresh();
}

void CMenuDlg::SetRotationUnit(std::chrono::milliseconds unit) {
  if (rotation_->Running()) return;
  hooks_.rotationUnit = unit;
  rotation_ = std::make_unique<MenuRotation>(
      *grid_, *rotationTimer_, [this] { OnRotationEnded(); }, hooks_.rotationUnit);
}

void CMenuDlg::OnRotationEnded() {
  startButton_->setEnabled(true);
  hooks_.showMessage(this, QString::fromUtf8(kRotationEndText));
}

void CMenuDlg::Spin(int delta) {
  periodEdit_->setText(
      QString::fromStdString(SpinPeriod(periodEdit_->text().toStdString(), delta)));
}

bool CMenuDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    switch (key) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
      case Qt::Key_Escape:
        return true;
      case Qt::Key_Up:
      case Qt::Key_Down:
        if (grid_->OnKey(key == Qt::Key_Up ? MenuKey::Up : MenuKey::Down)) {
          Refresh();
          return true;
        }
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void CMenuDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QRect g = view_->geometry();
  view_->setGeometry(g.x(), g.y(), g.width(), std::max(0, height() - g.y()));
}

}  // namespace orvane::views
