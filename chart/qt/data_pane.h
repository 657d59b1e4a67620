#pragma once

#include <QAbstractTableModel>
#include <QDockWidget>
#include <QPointer>
#include <optional>

#include "chart/chart_tools.h"
#include "chart/qt/cchart_ctl.h"

class QTableView;

namespace orvane {

// The visible data of a chart as table rows; one row may be highlighted (the crosshair's).
class VisibleDataModel : public QAbstractTableModel {
 public:
  using QAbstractTableModel::QAbstractTableModel;
  void SetData(VisibleData data);
  void SetHighlight(std::optional<int> row);
  const VisibleData& Data() const { return data_; }
  std::optional<int> Highlight() const { return highlight_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  VisibleData data_;
  std::vector<QString> texts_;  // row by row, date first
  std::optional<int> highlight_;
};

// The data pane: a dockable table of what a chart shows (date, open, high, low, close, volume,
// each named line), following that chart's view and crosshair (its row highlighted and scrolled
// into sight). Selected rows copy as tab-separated text (Ctrl+C or the table's menu). Hidden
// until switched on: its toggleViewAction() is the menu item that does so, and D anywhere in the
// host window (a key its charts leave alone) does the same. Docked, it sits
// along the right edge of its host window; floating, it is a window of its own.
class DataPane : public QDockWidget {
  Q_OBJECT

 public:
  explicit DataPane(QWidget* host);

  // Follows this chart until the next call.
  void Follow(CCHARTctl* chart);
  CCHARTctl* Followed() const { return chart_; }
  // Volumes of the months of the series the host loaded.
  void SetVolumes(MonthlyVolumes volumes);

  QTableView* Table() const { return table_; }
  const VisibleData& Data() const { return model_.Data(); }
  std::optional<int> HighlightedRow() const { return model_.Highlight(); }
  // Header line and the selected rows, tab-separated; copied to the clipboard by CopySelectedRows.
  QString SelectedRowsText() const;
  bool CopySelectedRows();

  // Places the pane along the right edge of area when it is shown and docked; the rest of the
  // area, which the host's charts take.
  QRect PlaceIn(const QRect& area);

 signals:
  // Shown, hidden, floated or docked: the host lays its charts out again.
  void placementChanged();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Refresh();
  void OnCrosshair(int index);

  QPointer<CCHARTctl> chart_;
  QMetaObject::Connection paintLink_, crosshairLink_;
  MonthlyVolumes volumes_;
  VisibleDataModel model_;
  QTableView* table_ = nullptr;
};

}  // namespace orvane
