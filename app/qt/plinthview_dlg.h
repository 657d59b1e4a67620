#pragma once

#include <QDialog>
#include <QTimer>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/login_flow.h"
#include "app/main_window_logic.h"
#include "app/qt/login_dialog_hooks.h"
#include "data/content_host.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orvane {
class CDashBoardDlg;
class NotesFile;
}  // namespace orvane
namespace orvane::views {
class CMenuDlg;
}

namespace orvane::app {

class CChart1Dlg;
class CWebViewDlg;

// What the main window takes from start-up.
struct MainWindowSetup {
  HostPort contentHost;
  std::filesystem::path workingFolder;  // pictures, "Temp" and "ExcelFile" live here
  LoginContext* login = nullptr;        // the context the daily re-login repeats
  LoginDialogHooks hooks;               // message boxes of the re-login
  // Replaces the daily re-login (tests); by default RunReLogin on `login`.
  std::function<bool()> reLogin;
  // Replaces the modal about box (tests).
  std::function<void(QWidget*)> showAbout;
  // The dated notes of every series, in the per-user data folder; empty: no notes.
  std::filesystem::path notesFile;
};

// The main window: the control strip along the top, the menu grid on the left,
// and on the right either the dashboard (mode 0) or the single-chart window (modes 1 to 8).
class CPlinthviewDlg : public QDialog {
 public:
  static constexpr int kTemplateId = 102;
  static constexpr int kReLoginTimerId = 9998;
  static constexpr std::chrono::milliseconds kReLoginPeriod{86'400'000};

  // Runs the window set-up: the background picture, the cache folder, the child windows, the
  // strip's defaults, the home series and the re-login timer. exec() shows it maximised.
  explicit CPlinthviewDlg(MainWindowSetup setup, QWidget* parent = nullptr);
  ~CPlinthviewDlg() override;

  // Fetches a series file into the cache folder, loads it into both data tables, deletes the
  // cached copy and applies the chosen mode.
  void OpenDataUrl(std::string_view url);
  // Reads the strip into both content windows and shows the chosen mode.
  void Apply();

  int ChartMode() const;
  // "http://" + content server + "/orvane_data".
  const std::string& BaseUrl() const { return baseUrl_; }
  const std::string& CacheDir() const { return cacheDir_; }

  QRadioButton* RadioOfMode(int mode) const;
  QLineEdit* Edit(int controlId) const;
  QComboBox* Combo(int controlId) const;
  QPushButton* ApplyButton(int controlId) const;
  CDashBoardDlg* Dashboard() const { return dashboard_; }
  CChart1Dlg* SingleChart() const { return chart1_; }
  // The menu list view's place: 10, 10, 550 x 980 pixels, resized with the window.
  QWidget* MenuSlot() const { return menu_; }
  views::CMenuDlg* Menu() const { return menuDlg_; }
  // The web chart window, hidden until the menu's "웹화면".
  CWebViewDlg* WebWindow() const { return webWindow_; }
  QTimer& ReLoginTimer() { return reLoginTimer_; }

  void ShowAbout();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void BuildStrip();
  // Places the strip for the window's width, then the content windows below it.
  void LayoutChildren();
  void OnReLoginTimer();
  // Reads the notes file and lends it to both content windows; reports a file set aside.
  void OpenNotes();

  MainWindowSetup setup_;
  std::string cacheDir_;
  std::string baseUrl_;
  QButtonGroup* modeGroup_ = nullptr;
  std::array<QRadioButton*, 9> radios_{};
  // The strip's controls in screen order, with their template rectangles in pixels.
  std::vector<QWidget*> stripWidgets_;
  std::vector<StripPiece> stripPieces_;
  CDashBoardDlg* dashboard_ = nullptr;
  CChart1Dlg* chart1_ = nullptr;
  QWidget* menu_ = nullptr;
  views::CMenuDlg* menuDlg_ = nullptr;
  CWebViewDlg* webWindow_ = nullptr;
  QTimer reLoginTimer_;
  std::unique_ptr<NotesFile> notes_;
};

}  // namespace orvane::app
