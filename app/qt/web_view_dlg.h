#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <string>

namespace orvane::app {

// The world-markets page under the content server.
inline constexpr char kWorldMarketPath[] = "/world_Market/0.main.html";

// Makes the browser view of the web window and starts loading url in it.
using WebViewFactory = std::function<QWidget*(QWidget* parent, const QString& url)>;

// The browser the web windows of this process use, set once at start-up by a program built with
// a web engine; without one the windows stay empty.
void SetWebViewFactory(WebViewFactory factory);

// The web chart window: a resizable top-level window owned by the main window,
// holding one browser view that fills it. Created hidden, so the page loads in the background;
// closing only hides it.
class CWebViewDlg : public QWidget {
 public:
  static constexpr int kTemplateId = 112;

  CWebViewDlg(const std::string& pageUrl, QWidget* owner = nullptr);

  // "웹화면" of the menu window: shown normally and brought to the front.
  void ShowWindow();
  // The browser view, or an empty stand-in without a web engine.
  QWidget* View() const { return view_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QWidget* view_;
};

}  // namespace orvane::app
