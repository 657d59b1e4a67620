#pragma once

#include <QAbstractTableModel>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "views/menu_grid.h"

class QLineEdit;
class QPushButton;
class QTableView;
class QToolButton;

namespace orvane::views {

// What the menu window takes from the main window; empty members get the client's behaviour.
struct MenuDlgHooks {
  // Menu list bodies; by default fetched into cacheDir and deleted after reading.
  ListFetcher fetchList;
  std::string cacheDir;
  // The main window's operation that fetches, loads and charts one series.
  std::function<void(const std::string& url)> openDataUrl;
  // Shows the web chart window; nothing happens without it.
  std::function<void()> showWebWindow;
  // An OK-only message box captioned with the application's name.
  std::function<void(QWidget* parent, const QString& text)> showMessage;
  // What one second of the period edit lasts; soaks shorten it.
  std::chrono::milliseconds rotationUnit{std::chrono::seconds(1)};
};

// The grid's cells as a table model: texts, alignment and the colours of every paint.
class MenuTableModel : public QAbstractTableModel {
 public:
  explicit MenuTableModel(const MenuGrid& grid, QObject* parent = nullptr)
      : QAbstractTableModel(parent), grid_(grid) {}
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }

 private:
  const MenuGrid& grid_;
};

// The menu list view: period controls, web and home buttons, and the menu grid.
class CMenuDlg : public QWidget {
 public:
  static constexpr int kTemplateId = 110;
  static constexpr int kRotationTimerId = 0;
  static constexpr char kRotationEndText[] = "자동돌려보기 종료";

  explicit CMenuDlg(MenuDlgHooks hooks, QWidget* parent = nullptr);
  ~CMenuDlg() override;

  MenuGrid& Grid() { return *grid_; }
  const MenuRotation& Rotation() const { return *rotation_; }

  void SetHomeState(std::string baseUrl) { grid_->SetHomeState(std::move(baseUrl)); }
  void LoadMenuList(const std::string& url);
  void OnCellClicked(int row, int column);
  // Button 1000.
  void ShowHome();
  // Buttons 1005 and 1002, and one tick of the rotation timer.
  void StartRotation();
  void StopRotation();
  void OnRotationTimer();
  // What one second of the period edit lasts from the next start on (soaks shorten it).
  void SetRotationUnit(std::chrono::milliseconds unit);

  QTableView* GridView() const { return view_; }
  // The whole text of a cell too narrow to show it (its tooltip), else empty.
  QString CellToolTip(int row, int column) const;
  QLineEdit* SeriesUrlEdit() const { return seriesUrlEdit_; }
  QLineEdit* PeriodEdit() const { return periodEdit_; }
  QToolButton* PeriodUp() const { return periodUp_; }
  QToolButton* PeriodDown() const { return periodDown_; }
  QPushButton* StopButton() const { return stopButton_; }
  QPushButton* StartButton() const { return startButton_; }
  QPushButton* WebButton() const { return webButton_; }
  QPushButton* HomeButton() const { return homeButton_; }
  QTimer& RotationTimerForTest() { return timer_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  class QtRotationTimer;

  void FreezeForLoad();
  void ThawAfterLoad();
  // Repaints the level cells and shows the last series URL after a choice.
  void Refresh();
  void Spin(int delta);
  void OnRotationEnded();
  void FilterKeysOf(QWidget* widget);

  MenuDlgHooks hooks_;
  std::unique_ptr<MenuGrid> grid_;
  std::unique_ptr<MenuTableModel> model_;
  QTimer timer_;
  std::unique_ptr<QtRotationTimer> rotationTimer_;
  std::unique_ptr<MenuRotation> rotation_;
  int freezeDepth_ = 0;

  QLineEdit* seriesUrlEdit_;
  QLineEdit* periodEdit_;
  QToolButton* periodUp_;
  QToolButton* periodDown_;
  QPushButton* stopButton_;
  QPushButton* startButton_;
  QPushButton* webButton_;
  QPushButton* homeButton_;
  QTableView* view_;
};

}  // namespace orvane::views
