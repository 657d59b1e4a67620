// The menu grid driven through the reference service's sample catalogue.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "data/catalogue.h"
#include "data/text_codec.h"
#include "tests/views/sample_root.h"
#include "views/menu_grid.h"

namespace orvane::views {
namespace {

using testing::kTestBaseUrl;

struct SampleMenu {
  testing::SampleFetcher fetcher;
  std::vector<std::string> opened;
  MenuGrid grid{Callbacks()};

  SampleMenu() {
    grid.SetHomeState(kTestBaseUrl);
    grid.LoadCurrentList();
  }
  MenuCallbacks Callbacks() {
    MenuCallbacks c;
    c.fetchList = fetcher.Fetcher();
    c.openDataUrl = [this](const std::string& url) { opened.push_back(Path(url)); };
    return c;
  }
  static std::string Path(const std::string& url) {
    return url.substr(std::string(kTestBaseUrl).size());
  }
  std::string LastList() const { return Path(fetcher.asked.back()); }
  // Clicks the first cell reading `text` in rows first to last.
  GridCell Click(std::string_view text, int first = 0, int last = 13) {
    for (int r = first; r <= last; ++r) {
      for (int k = 0; k < kGridColumns; ++k) {
        if (grid.Text(r, k) == text) {
          grid.OnCellClicked(r, k);
          return {r, k};
        }
      }
    }
    ADD_FAILURE() << "no cell " << text;
    return kNoCell;
  }
};

TEST(SampleMenu, TabsSourcesRegionsAndDistrictsLoadTheirLists) {
  SampleMenu m;
  EXPECT_EQ(m.LastList(), "/1010018.txt");
  ASSERT_GT(m.grid.RowCount(), 9);

  m.Click("섹터지수", 0, 0);
  EXPECT_EQ(m.LastList(), "/1010021.txt");
  m.Click("섹터3", 4, 9);
  EXPECT_EQ(m.LastList(), "/1010023.txt");
  m.Click("경제지표", 0, 0);
  EXPECT_EQ(m.LastList(), "/1070001.txt");
  EXPECT_EQ(m.grid.GetSignColumns(), (SignColumns{7, 7, 7}));
  m.Click("금융시장", 0, 0);
  EXPECT_EQ(m.LastList(), "/1060001.txt");

  m.Click("아파트지수", 0, 0);
  EXPECT_EQ(m.LastList(), "/1010018.txt");
  m.Click("부동산원", 2, 2);
  m.Click("전국", 4, 6);
  EXPECT_EQ(m.LastList(), "/1020001.txt");
  EXPECT_EQ(m.grid.GetSignColumns(), (SignColumns{7, 7, 7}));
  m.Click("Orvane", 2, 2);
  m.Click("전국", 4, 6);
  EXPECT_EQ(m.LastList(), "/1010018.txt");
  m.Click("서울시", 4, 6);
  EXPECT_EQ(m.LastList(), "/1010001.txt");
  EXPECT_EQ(m.grid.GetSignColumns(), (SignColumns{7, 8, 8}));
  EXPECT_EQ(m.grid.SubgroupCell(), (GridCell{4, 2}));

  m.Click("아파트", 0, 0);
  EXPECT_EQ(m.LastList(), "/1050028.txt");
  EXPECT_EQ(m.grid.SubgroupCell(), (GridCell{6, 1}));
  const GridCell busan = m.Click("부산시", 2, 4);
  EXPECT_EQ(m.LastList(), "/1050211.txt");
  EXPECT_EQ(m.grid.GroupCell(), busan);
  m.Click("중구", 6, 11);
  EXPECT_EQ(m.LastList(), "/1050218.txt");
  m.Click("서울시", 2, 4);
  EXPECT_EQ(m.grid.GetSignColumns(), (SignColumns{6, 7, 8}));
  m.Click("중구", 6, 11);
  EXPECT_EQ(m.LastList(), "/1050014.txt");
  EXPECT_EQ(m.grid.GetSignColumns(), (SignColumns{7, 8, 8}));

  // A series row of the apartment source opens its link at the base, without a folder.
  const std::string link = m.grid.Text(14, m.grid.LinkColumn());
  ASSERT_FALSE(link.empty());
  m.grid.OnCellClicked(14, 2);
  EXPECT_EQ(m.opened, std::vector<std::string>{"/" + link + ".txt"});
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{14, 3}));
  EXPECT_EQ(m.grid.LastSeriesUrl(), std::string(kTestBaseUrl) + "/" + link + ".txt");
}

TEST(SampleMenu, UpAndDownSkipHeadingsAndReopenAtTheEnds) {
  SampleMenu m;
  m.grid.OnKey(MenuKey::Up);  // only the heading row is above the first series row
  EXPECT_EQ(m.opened, std::vector<std::string>{"/10001.txt"});
  m.grid.OnKey(MenuKey::Down);
  EXPECT_EQ(m.opened.back(), "/10002.txt");
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{10, 2}));

  // Seoul's list has a second table: Down passes its heading row.
  m.Click("서울시", 4, 6);
  EXPECT_FALSE(m.grid.OnKey(MenuKey::Down));  // no series row chosen yet
  m.grid.OnCellClicked(13, 2);
  ASSERT_EQ(m.grid.Text(14, 1), "순서");
  m.grid.OnKey(MenuKey::Down);
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{15, 2}));
  m.grid.OnKey(MenuKey::Up);
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{13, 2}));

  // The apartment tab passes the "시/군/구" row between its two tables.
  m.Click("아파트", 0, 0);
  m.grid.OnCellClicked(14, 3);
  ASSERT_EQ(m.grid.Text(15, 2), "시/군/구");
  m.grid.OnKey(MenuKey::Down);
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{16, 3}));
  m.grid.OnKey(MenuKey::Up);
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{14, 3}));
  const std::size_t before = m.opened.size();
  m.grid.OnKey(MenuKey::Up);
  EXPECT_EQ(m.opened.size(), before + 1);
  EXPECT_EQ(m.opened.back(), m.opened[before - 1]);

  // Down from the last row of a list re-opens it.
  m.Click("경제지표", 0, 0);
  int last = m.grid.RowCount() - 1;
  while (m.grid.Text(last, m.grid.LinkColumn()).empty()) --last;
  m.grid.OnCellClicked(last, 3);
  m.grid.OnKey(MenuKey::Down);
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{last, 3}));
}

struct FakeTimer : RotationTimer {
  void Start(std::chrono::milliseconds period) override {
    armed = true;
    periods.push_back(period.count());
  }
  void Stop() override { armed = false; }
  bool armed = false;
  std::vector<long long> periods;
};

TEST(SampleMenu, IndexRotationWalksEveryRegionOfEverySourceAndEndsOnce) {
  SampleMenu m;
  FakeTimer timer;
  int ends = 0;
  MenuRotation rotation(m.grid, timer, [&ends] { ++ends; });
  rotation.Start("2");
  EXPECT_TRUE(rotation.Running());
  std::string period = "2";
  for (int tick = 0; tick < 5000 && timer.armed; ++tick) {
    if (tick == 3) period = "0";
    rotation.OnTick(period);
  }
  EXPECT_EQ(ends, 1);
  EXPECT_FALSE(rotation.Running());
  EXPECT_FALSE(timer.armed);
  rotation.OnTick(period);
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(timer.periods.front(), 2000);
  EXPECT_EQ(timer.periods.back(), 1000);

  // The home table first, then Seoul's list and its first row, and every list of the four
  // sources on the way.
  ASSERT_GT(m.opened.size(), 20u);
  EXPECT_EQ(m.opened[0], "/10002.txt");
  EXPECT_EQ(m.opened[1], "/10003.txt");
  const std::set<std::string> fetched(m.fetcher.asked.begin(), m.fetcher.asked.end());
  for (const IndexRegion& region : IndexRegions()) {
    for (const char* folder : {"/101.KX_Menu", "/102.REB_Menu", "/103.KB_Menu", "/104.KOR_Menu"}) {
      const std::string list =
          MenuListPath(folder, folder[3] == '1' ? region.ownCode : region.otherCode);
      EXPECT_TRUE(fetched.contains(std::string(kTestBaseUrl) + list)) << list;
    }
  }
  EXPECT_EQ(m.grid.GroupCell(), (GridCell{2, 7}));
  EXPECT_EQ(m.grid.MenuFolder(), "/104.KOR_Menu");
  // The search walked subgroupCell past the last region, and the highlight stays there.
  EXPECT_EQ(m.grid.SubgroupCell(), (GridCell{7, 1}));
}

TEST(SampleMenu, IndexRotationWithoutAChosenRowStartsAtTheFirstSeriesRow) {
  SampleMenu m;
  m.Click("부산시", 4, 6);
  EXPECT_EQ(m.grid.SelectedCell(), kNoCell);
  EXPECT_EQ(m.grid.StepRotation(), RotationStep::Stepped);
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{9, 2}));
  EXPECT_EQ(m.opened, std::vector<std::string>{"/" + m.grid.Text(9, m.grid.LinkColumn()) + ".txt"});
}

TEST(SampleMenu, ApartmentRotationPassesRankRowsAndMovesToTheNextDistrict) {
  SampleMenu m;
  m.Click("아파트", 0, 0);
  // The Seoul list (code 0028): its rows, then the district right of the first one.
  int series = 0;
  for (int r = 14; r < m.grid.RowCount(); ++r) {
    const std::string& first = m.grid.Text(r, 1);
    if (!first.empty() && first != "순서" && first != "순위" &&
        !m.grid.Text(r, m.grid.LinkColumn()).empty())
      ++series;
  }
  for (int step = 0; step < 200 && m.LastList() == "/1050028.txt"; ++step) {
    ASSERT_EQ(m.grid.StepRotation(), RotationStep::Stepped);
  }
  EXPECT_EQ(static_cast<int>(m.opened.size()), series);
  EXPECT_EQ(m.LastList(), "/1050002.txt");
  EXPECT_EQ(m.grid.SubgroupCell(), (GridCell{6, 2}));
  EXPECT_EQ(m.grid.SelectedCell(), kNoCell);
  EXPECT_EQ(m.grid.StepRotation(), RotationStep::Stepped);
  EXPECT_EQ(m.grid.SelectedCell(), (GridCell{14, 3}));
}

TEST(SampleMenu, MarketRotationEndsAfterItsLastRow) {
  SampleMenu m;
  m.Click("금융시장", 0, 0);
  int steps = 0;
  while (m.grid.StepRotation() == RotationStep::Stepped && steps < 500) ++steps;
  EXPECT_LT(steps, 500);
  int last = m.grid.RowCount() - 1;
  while (m.grid.Text(last, m.grid.LinkColumn()).empty()) --last;
  EXPECT_EQ(m.opened.back(), "/" + m.grid.Text(last, m.grid.LinkColumn()) + ".txt");
}

// What a formatted value column may read: empty, or two decimals with the sign rule.
void ExpectPercentCell(const MenuGrid& g, int r, int k, bool signs) {
  static const std::regex number(R"(^[+-]?\d+\.\d\d$)");
  const std::string& t = g.Text(r, k);
  if (t.empty()) return;
  ASSERT_TRUE(std::regex_match(t, number)) << r << "," << k << ": " << t;
  const auto& sc = g.GetSignColumns();
  const bool signColumn = signs && std::find(sc.begin(), sc.end(), k) != sc.end();
  EXPECT_EQ(t[0] == '+', signColumn && t[0] != '-') << r << "," << k << ": " << t;
}

TEST(SampleMenu, EveryCatalogueListFormatsItsValueColumns) {
  SampleMenu m;
  static const std::regex grouped(R"(^-?\d{1,3}(,\d{3})*$)");
  int lists = 0;
  for (const std::string& path : AllMenuListPaths()) {
    if (!std::filesystem::exists(testing::SampleRoot() / "orvane_data" / path.substr(1))) continue;
    ++lists;
    // Sign columns as a click on this list's source would set them.
    ASSERT_TRUE(m.grid.LoadMenuList(kTestBaseUrl + path)) << path;
    const MenuGrid& g = m.grid;
    const std::string id = path.substr(1, 3);
    ASSERT_LT(g.FirstHeadingRow(), g.RowCount()) << path;
    for (int r = g.FirstHeadingRow() + 1; r < g.RowCount(); ++r) {
      const std::string& first = g.Text(r, 1);
      if (first == "순서" || first == "순위" || first.empty()) continue;
      if (id == "101") {
        for (int k = 5; k <= 8; ++k) ExpectPercentCell(g, r, k, k != 5);
        for (int k = 3; k <= 4; ++k) {
          EXPECT_TRUE(std::regex_match(g.Text(r, k), grouped)) << path << " " << g.Text(r, k);
        }
      } else if (id == "102" || id == "103" || id == "104") {
        ExpectPercentCell(g, r, 7, true);
        EXPECT_TRUE(std::regex_match(g.Text(r, 3), grouped)) << path << " " << g.Text(r, 3);
      } else if (id == "105") {
        for (int k = 6; k <= 8; ++k) ExpectPercentCell(g, r, k, true);
      } else {
        ExpectPercentCell(g, r, 7, true);
      }
      for (int k = 0; k < kGridColumns; ++k) {
        EXPECT_TRUE(IsValidUtf8(g.Text(r, k)));
        EXPECT_EQ(g.Text(r, k).find("E-"), std::string::npos) << path;
      }
    }
  }
  EXPECT_GT(lists, 200);
}

}  // namespace
}  // namespace orvane::views
