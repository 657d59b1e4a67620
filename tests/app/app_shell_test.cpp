#include <gtest/gtest.h>

#include <string_view>
#include <vector>

#include "app/main_window_logic.h"
#include "app/startup_options.h"

namespace orvane::app {
namespace {

StartupOptions Parse(std::vector<std::string_view> args, std::string_view contentEnv = "",
                     std::string_view loginEnv = "") {
  return ParseStartupOptions(args, contentEnv, loginEnv);
}

TEST(StartupOptions, HostsComeFromOptionThenEnvironmentThenDefault) {
  StartupOptions none = Parse({});
  EXPECT_TRUE(none.error.empty());
  EXPECT_EQ(none.contentHost, (HostPort{"127.0.0.1", 8080}));
  EXPECT_EQ(none.loginHost, (HostPort{"127.0.0.1", 10003}));

  StartupOptions env = Parse({}, "content.example:81", "login.example");
  EXPECT_EQ(env.contentHost, (HostPort{"content.example", 81}));
  EXPECT_EQ(env.loginHost, (HostPort{"login.example", 10003}));

  StartupOptions both = Parse({"--content-host", "c.example:9000", "--login-host=l.example:5000"},
                              "content.example:81", "login.example");
  EXPECT_EQ(both.contentHost, (HostPort{"c.example", 9000}));
  EXPECT_EQ(both.loginHost, (HostPort{"l.example", 5000}));
}

TEST(StartupOptions, WrongArgumentsAreReportedNotGuessed) {
  EXPECT_NE(Parse({"--content-host"}).error, "");
  EXPECT_NE(Parse({"--login-host", "bad host"}).error, "");
  EXPECT_NE(Parse({"--content-host=h:99999"}).error, "");
  EXPECT_NE(Parse({"--no-such-option"}).error, "");
  // A bad environment value is not the user's typing: the default stands in.
  EXPECT_EQ(Parse({}, "", "bad host").loginHost, (HostPort{"127.0.0.1", 10003}));
  EXPECT_TRUE(Parse({"--help"}).help);
  EXPECT_TRUE(Parse({"--version"}).version);
}

TEST(MainWindowLogic, RadiosInTemplateOrderFixTheMode) {
  const std::pair<int, int> radios[] = {{1011, 0}, {1006, 1}, {1007, 2}, {1008, 3}, {1009, 4},
                                        {1015, 5}, {1016, 6}, {1018, 7}, {1019, 8}};
  for (auto [id, mode] : radios) EXPECT_EQ(ModeOfRadio(id), mode) << id;
  EXPECT_EQ(ModeOfRadio(1010), -1);
  EXPECT_EQ(ModeOfRadio(1017), -1);
}

TEST(MainWindowLogic, RangeSearchTakesItsOwnYearsAndScale) {
  StripValues strip{4, "1999", "2020", 0, "1800", "2011", 1};
  ApplyPlan plan = PlanApply(strip);
  EXPECT_FALSE(plan.showDashboard);
  EXPECT_EQ(plan.singleChart, (YearsAndScale{1, 1800, 2011}));
  EXPECT_EQ(plan.dashboard, (YearsAndScale{0, 1999, 2020}));
  for (int mode : {0, 1, 3, 5, 8}) {
    strip.mode = mode;
    plan = PlanApply(strip);
    EXPECT_EQ(plan.showDashboard, mode == 0);
    EXPECT_EQ(plan.singleChart, (YearsAndScale{0, 1999, 2020})) << mode;
  }
}

TEST(MainWindowLogic, YearEditsReadTheirLeadingDigits) {
  const std::pair<std::string_view, int> cases[] = {
      {"2005", 2005},     {"", 0},    {"abc", 0}, {"2010abc", 2010}, {"20 10", 20},
      {"99999999999", 0}, {"-5", -5}, {"0", 0},
  };
  for (auto [text, year] : cases) EXPECT_EQ(YearOfEdit(text), year) << text;
}

TEST(MainWindowLogic, ResizeKeepsLeftAndTopAndMovesRightAndBottom) {
  const PixelRect dashboard{560, 40, 1900, 980};
  const PixelRect menu{10, 10, 550, 980};
  ChildRects grown = ResizeChildren({0, 0, 2560, 1400}, dashboard, menu);
  EXPECT_EQ(grown.dashboard, (PixelRect{560, 40, 1990, 1350}));
  EXPECT_EQ(grown.singleChart, grown.dashboard);
  EXPECT_EQ(grown.menu, (PixelRect{10, 10, 550, 1380}));
  // A window smaller than the children's corners leaves them empty, never negative.
  ChildRects tiny = ResizeChildren({0, 0, 300, 20}, dashboard, menu);
  EXPECT_EQ(tiny.dashboard, (PixelRect{560, 40, 0, 0}));
  EXPECT_EQ(tiny.menu.height, 0);
}

TEST(MainWindowLogic, StripKeepsItsPlacesWhenWideAndFlowsIntoRowsWhenNarrow) {
  using P = StripPiece;
  // A button and an edit, a frame with three radios, and a last button.
  const std::vector<StripPiece> pieces = {
      {P::kPlain, {600, 10, 60, 20}},    {P::kPlain, {662, 10, 60, 20}},
      {P::kGroupBox, {730, 4, 330, 30}}, {P::kRadio, {740, 12, 90, 16}},
      {P::kRadio, {850, 12, 90, 16}},    {P::kRadio, {960, 12, 90, 16}},
      {P::kPlain, {1070, 10, 60, 20}}};
  StripPlacement wide = PlaceStrip(pieces, 1900, 560);
  for (std::size_t i = 0; i < pieces.size(); ++i) EXPECT_EQ(wide.rects[i], pieces[i].rect);
  EXPECT_EQ(wide.contentTop, kContentTop);

  // 290 pixels from x 600: the run, then the frame alone with its radios in two rows, then the
  // last button beside it.
  StripPlacement narrow = PlaceStrip(pieces, 900, 560);
  EXPECT_EQ(narrow.rects[0], (PixelRect{600, 4, 60, 20}));
  EXPECT_EQ(narrow.rects[1], (PixelRect{662, 4, 60, 20}));
  EXPECT_EQ(narrow.rects[3], (PixelRect{610, 36, 90, 16}));
  EXPECT_EQ(narrow.rects[4], (PixelRect{720, 36, 90, 16}));
  EXPECT_EQ(narrow.rects[5], (PixelRect{610, 58, 90, 16}));
  EXPECT_EQ(narrow.rects[2], (PixelRect{600, 28, 220, 52}));
  EXPECT_EQ(narrow.rects[6], (PixelRect{830, 28, 60, 20}));
  EXPECT_EQ(narrow.contentTop, 84);
  // The strip never starts left of the menu's right edge.
  EXPECT_EQ(PlaceStrip(pieces, 900, 640).rects[0].x, 640);
}

TEST(MainWindowLogic, CachedFileIsNamedAfterTheUrlsLastPart) {
  EXPECT_EQ(FileNameFromUrl("http://h:8080/orvane_data/10001.txt"), "10001.txt");
  EXPECT_EQ(FileNameFromUrl("http://h/orvane_data/"), "");
  EXPECT_EQ(FileNameFromUrl("plain.txt"), "plain.txt");
}

}  // namespace
}  // namespace orvane::app
