#pragma once

#include <QDialog>

namespace orvane::app {

// The about box: the application icon, the name and version, and "확인".
class CAboutDlg : public QDialog {
 public:
  static constexpr int kTemplateId = 100;
  explicit CAboutDlg(QWidget* parent);
};

inline constexpr char kAboutMenuText[] = "Plinthview 정보(&A)...";

}  // namespace orvane::app
