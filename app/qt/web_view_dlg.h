#pragma once

#include <QWidget>

#include <string>

namespace orvane::app {

// The world-markets page under the content server.
inline constexpr char kWorldMarketPath[] = "/world_Market/0.main.html";

// Settings the embedded browser needs before the QApplication exists: its sandbox cannot run
// as root, and it shares OpenGL contexts with the widgets. Values already set are kept.
void PrepareWebEngine();

// The web chart window (template 112): a resizable top-level window owned by the main window,
// holding one browser view that fills it. Created hidden, so the page loads in the background;
// closing only hides it. Built without a web engine it stays empty.
class CWebViewDlg : public QWidget {
 public:
  static constexpr int kTemplateId = 112;

  CWebViewDlg(const std::string& pageUrl, QWidget* owner = nullptr);

  // "웹화면" of the menu window: shown normally and brought to the front.
  void ShowWindow();
  // The browser view, or an empty stand-in without a web engine.
  QWidget* View() const { return view_; }
  static bool HasWebEngine();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* view_;
};

}  // namespace orvane::app
