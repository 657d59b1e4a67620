// The web chart window's behaviour, built without the web engine, shown from the menu window.
#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "app/qt/web_view_dlg.h"
#include "tests/views/test_app.h"
#include "views/qt/menu_dlg.h"

namespace orvane::views {
namespace {

TEST(WebViewDlg, ShownByTheMenuHiddenOnCloseFilledOnResize) {
  testing::App();

  QWidget owner;
  app::CWebViewDlg web("http://127.0.0.1:1/world_Market/0.main.html", &owner);
  web.setGeometry(560, 40, 1900, 980);
  EXPECT_EQ(web.windowTitle(), QString::fromUtf8("웹차트"));
  EXPECT_TRUE(web.isWindow());
  EXPECT_FALSE(web.isVisible());

  MenuDlgHooks hooks;
  hooks.fetchList = [](const std::string&) { return std::nullopt; };
  hooks.showWebWindow = [&web] { web.ShowWindow(); };
  CMenuDlg menu(hooks, &owner);
  owner.show();
  QTest::mouseClick(menu.WebButton(), Qt::LeftButton);
  EXPECT_TRUE(web.isVisible());
  EXPECT_EQ(web.View()->geometry(), web.rect());
  // The template's 1900 x 980 at (560, 40) is cut down to the screen it is shown on.
  ASSERT_NE(web.screen(), nullptr);
  EXPECT_TRUE(web.screen()->availableGeometry().contains(web.frameGeometry()))
      << web.frameGeometry().width() << "x" << web.frameGeometry().height();

  QTest::keyClick(&web, Qt::Key_Escape);
  QTest::keyClick(&web, Qt::Key_Return);
  EXPECT_TRUE(web.isVisible());

  QWidget* view = web.View();
  EXPECT_FALSE(web.close());
  EXPECT_FALSE(web.isVisible());
  menu.WebButton()->click();
  EXPECT_TRUE(web.isVisible());
  EXPECT_EQ(web.View(), view);

  web.resize(800, 600);
  EXPECT_EQ(web.View()->geometry(), QRect(0, 0, 800, 600));
}

}  // namespace
}  // namespace orvane::views
