#include "chart/qt/data_pane.h"

#include <QAction>
#include <QClipboard>
#include <QColor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>
#include <algorithm>
#include <mutex>

#include "chart/chart_interaction.h"

namespace orvane {
namespace {

// Docked, the pane takes this share of its host's width, within these bounds.
constexpr double kPaneShare = 0.3;
constexpr int kMinPaneWidth = 240;
constexpr int kMaxPaneWidth = 560;
const QColor kHighlightFill(255, 230, 150);

// Cells are one short line each: drawn straight with the painter, without the general
// delegate's text layout, which costs several times as much and runs for every cell a
// crosshair move repaints.
class PlainCellDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const QVariant fill = index.data(Qt::BackgroundRole);
    if (selected) {
      painter->fillRect(option.rect, option.palette.highlight());
    } else if (fill.isValid()) {
      painter->fillRect(option.rect, fill.value<QColor>());
    }
    painter->setPen(selected ? option.palette.color(QPalette::HighlightedText)
                             : option.palette.color(QPalette::Text));
    painter->drawText(option.rect.adjusted(kCellPadding, 0, -kCellPadding, 0),
                      index.data(Qt::TextAlignmentRole).toInt(),
                      index.data(Qt::DisplayRole).toString());
  }

 private:
  static constexpr int kCellPadding = 4;
};

}  // namespace

void VisibleDataModel::SetData(VisibleData data) {
  beginResetModel();
  data_ = std::move(data);
  highlight_.reset();
  // Formatted once: a scroll repaints every visible cell.
  texts_.clear();
  texts_.reserve(data_.rows.size() * data_.columns.size());
  for (const VisibleData::Row& row : data_.rows) {
    texts_.push_back(QString::fromStdString(ReadoutDate(row.date)));
    for (const auto& value : row.values) {
      texts_.push_back(value ? QString::fromStdString(FormatReadoutValue(*value)) : QString());
    }
  }
  endResetModel();
}

void VisibleDataModel::SetHighlight(std::optional<int> row) {
  if (row == highlight_) return;
  const std::optional<int> before = highlight_;
  highlight_ = row;
  const int last = columnCount() - 1;
  for (const std::optional<int>& r : {before, row}) {
    if (r) emit dataChanged(index(*r, 0), index(*r, last), {Qt::BackgroundRole});
  }
}

int VisibleDataModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(data_.rows.size());
}

int VisibleDataModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(data_.columns.size());
}

QVariant VisibleDataModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (role == Qt::BackgroundRole) {
    return highlight_ == index.row() ? QVariant(kHighlightFill) : QVariant();
  }
  if (role == Qt::TextAlignmentRole) {
    return index.column() == 0 ? QVariant(Qt::AlignCenter)
                               : QVariant(Qt::AlignRight | Qt::AlignVCenter);
  }
  if (role != Qt::DisplayRole) return {};
  return texts_[static_cast<std::size_t>(index.row()) * data_.columns.size() +
                static_cast<std::size_t>(index.column())];
}

QVariant VisibleDataModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
      section >= columnCount())
    return {};
  return QString::fromStdString(data_.columns[static_cast<std::size_t>(section)]);
}

DataPane::DataPane(QWidget* host) : QDockWidget(QStringLiteral("데이터 표"), host) {
  setObjectName(QStringLiteral("dataPane"));
  setAccessibleName(QStringLiteral("데이터 표"));
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetFloatable);
  table_ = new QTableView(this);
  table_->setObjectName(QStringLiteral("dataPaneTable"));
  table_->setAccessibleName(QStringLiteral("데이터 표"));
  table_->setModel(&model_);
  table_->setItemDelegate(new PlainCellDelegate(table_));
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
  auto* copy = new QAction(QStringLiteral("선택한 행 복사"), table_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  connect(copy, &QAction::triggered, this, &DataPane::CopySelectedRows);
  table_->addAction(copy);
  table_->setContextMenuPolicy(Qt::ActionsContextMenu);
  setWidget(table_);
  // D toggles the pane (eventFilter); the menu item says so.
  toggleViewAction()->setShortcut(QKeySequence(Qt::Key_D));
  host->installEventFilter(this);
  toggleViewAction()->setObjectName(QStringLiteral("dataPaneToggle"));
  connect(this, &QDockWidget::visibilityChanged, this, &DataPane::placementChanged);
  connect(this, &QDockWidget::topLevelChanged, this, &DataPane::placementChanged);
  hide();
}

void DataPane::Follow(CCHARTctl* chart) {
  if (chart == chart_) return;
  disconnect(paintLink_);
  disconnect(crosshairLink_);
  chart_ = chart;
  if (chart != nullptr) {
    paintLink_ = connect(chart, &CCHARTctl::framePainted, this, [this] {
      if (isVisible()) Refresh();
    });
    crosshairLink_ = connect(chart, &CCHARTctl::crosshairMoved, this, &DataPane::OnCrosshair);
  }
  if (isVisible()) Refresh();
}

void DataPane::SetVolumes(MonthlyVolumes volumes) {
  volumes_ = std::move(volumes);
  if (isVisible()) Refresh();
}

void DataPane::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  Refresh();
}

bool DataPane::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_D && key->modifiers() == Qt::NoModifier) {
      setVisible(isHidden());
      return true;
    }
  }
  return QDockWidget::eventFilter(watched, event);
}

void DataPane::Refresh() {
  VisibleData data;
  if (chart_ != nullptr) {
    ChartModel& m = chart_->Model();
    std::lock_guard lock(m.seriesLock);
    if (!m.series.empty()) data = VisibleDataOf(m.series, m.settings, m.view, volumes_);
  }
  model_.SetData(std::move(data));
  table_->resizeColumnsToContents();
  const auto& readout = chart_ != nullptr ? chart_->CurrentReadout() : std::nullopt;
  OnCrosshair(readout ? static_cast<int>(readout->index) : -1);
}

void DataPane::OnCrosshair(int index) {
  const std::optional<int> row = index < 0 ? std::nullopt : model_.Data().RowOf(PointIndex{index});
  model_.SetHighlight(row);
  if (!row || !isVisible()) return;
  // A row out of sight comes to the middle: the rows that follow need no scrolling, which
  // repaints the whole table.
  const QModelIndex cell = model_.index(*row, 0);
  if (!table_->viewport()->rect().contains(table_->visualRect(cell))) {
    table_->scrollTo(cell, QAbstractItemView::PositionAtCenter);
  }
}

QString DataPane::SelectedRowsText() const {
  std::vector<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows.empty() ? QString() : QString::fromStdString(RowsAsTsv(model_.Data(), rows));
}

bool DataPane::CopySelectedRows() {
  const QString text = SelectedRowsText();
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (text.isEmpty() || clipboard == nullptr) return false;
  clipboard->setText(text);
  return true;
}

QRect DataPane::PlaceIn(const QRect& area) {
  if (isHidden() || isFloating()) return area;
  // A narrow host gives the pane at most half of its width.
  const int width = std::min(
      std::clamp(static_cast<int>(area.width() * kPaneShare), kMinPaneWidth, kMaxPaneWidth),
      area.width() / 2);
  setGeometry(area.right() + 1 - width, area.top(), width, area.height());
  return QRect(area.left(), area.top(), area.width() - width, area.height());
}

}  // namespace orvane
