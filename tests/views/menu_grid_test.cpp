#include "views/menu_grid.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "data/text_codec.h"

namespace orvane::views {
namespace {

constexpr char kBase[] = "http://content.test/orvane_data";

// A list file: five preamble lines (the second names the link column), then the grid rows.
std::string ListFile(const std::vector<std::string>& rows,
                     const std::string& columns = "번호;순서;명칭;a;b;c;d;e;f;링크") {
  std::string text = "title\r\n" + columns + "\r\nx\r\ny\r\n-\r\n";
  for (const std::string& r : rows) text += r + "\r\n";
  return EncodeCp949(text);
}

struct Harness {
  std::map<std::string, std::string> files;  // path under the base -> body
  std::vector<std::string> fetched;
  std::vector<std::string> opened;
  std::function<void()> whileOpening;
  MenuGrid grid{Callbacks()};

  MenuCallbacks Callbacks() {
    MenuCallbacks c;
    c.fetchList = [this](const std::string& url) -> std::optional<std::string> {
      fetched.push_back(url.substr(std::string(kBase).size()));
      const auto it = files.find(fetched.back());
      if (it == files.end()) return std::nullopt;
      return it->second;
    };
    c.openDataUrl = [this](const std::string& url) {
      opened.push_back(url.substr(std::string(kBase).size()));
      if (whileOpening) whileOpening();
    };
    return c;
  }
  void Load(const std::string& path) { grid.LoadMenuList(kBase + path); }
};

TEST(MenuListFormat, KxListScalesSignsGroupsAndLeavesLaterHeadingsAsRead) {
  Harness h;
  h.grid.SetHomeState(kBase);
  h.files["/1010018.txt"] = ListFile({
      ";아파트지수;섹터지수;\"아파트\";;금융시장;;경제지표",
      ";1.5E-03;2.50;;;;;;;",
      ";순서;지역별;평균가;거래량;지수;1개월;1년;3년;",
      ";1;전국;1234567;-1234;12.3;0.0123;-0.0235;0.0000;10001",
      ";순서;가격대별;12.3456;1234;7.5;0.5;0.5;0.5;",
      ";2;하위;단위:만원;세대수;비중;1.5E-03;월간;반기;10002",
      ";순서;권역별;1234;5678;1.5E-03;;;;",
      ";3;상위;999;1000;0;-0.00001;3E+05;0.1;10003",
  });
  h.Load("/1010018.txt");
  const MenuGrid& g = h.grid;
  ASSERT_EQ(g.RowCount(), 8);
  EXPECT_EQ(g.Text(0, 3), "아파트");  // quotes removed
  // Above the first heading only scientific notation is rewritten.
  EXPECT_EQ(g.Text(1, 1), "0.001500000");
  EXPECT_EQ(g.Text(1, 2), "2.50");
  EXPECT_EQ(g.FirstHeadingRow(), 2);
  EXPECT_EQ(g.HeadingRows(), (std::vector<int>{2, 4, 6}));

  const GridRow first{"",      "1",     "전국",  "1,234,567", "-1,234",
                      "12.30", "+1.20", "-2.30", "",          "10001"};
  EXPECT_EQ(g.Rows()[3], first);
  // Later heading rows stay exactly as read, scientific notation included.
  EXPECT_EQ(g.Rows()[4][3], "12.3456");
  EXPECT_EQ(g.Rows()[6][5], "1.5E-03");
  // Unit texts, weights and month texts are left alone; 1.5E-03 in column 6 is 0.15 percent.
  const GridRow second{"",     "2",     "하위", "단위:만원", "세대수",
                       "비중", "+0.15", "월간", "반기",      "10002"};
  EXPECT_EQ(g.Rows()[5], second);
  // -0.00001 keeps its sign at two decimals; 3E+05 is read as a plain number.
  const GridRow third{"", "3",     "상위",         "999",    "1,000",
                      "", "-0.00", "+30000000.00", "+10.00", "10003"};
  EXPECT_EQ(g.Rows()[7], third);
}

TEST(MenuListFormat, IndexSourcesPeopleApartmentsMarketsAndIndicators) {
  Harness h;
  h.grid.SetHomeState(kBase);
  h.files["/1020001.txt"] = ListFile({
      ";순서;지역별;매매가;전세가;거래량;지수;변동률;전세가율;",
      ";1;전국;48000;29760;단위:세대;86.7852;-0.0030;66.1;11001",
      ";2;서울;118000;전세(만원);1234;81.0673;0.0123;등락;11002",
  });
  h.Load("/1020001.txt");
  // Sign columns 6, 7, 8 of the home state: column 7 is one of them.
  EXPECT_EQ(h.grid.Rows()[1][3], "48,000");
  EXPECT_EQ(h.grid.Rows()[1][5], "단위:세대");
  EXPECT_EQ(h.grid.Rows()[1][6], "86.785");  // only cut after the third decimal
  EXPECT_EQ(h.grid.Rows()[1][7], "-0.30");
  EXPECT_EQ(h.grid.Rows()[2][4], "전세(만원)");
  EXPECT_EQ(h.grid.Rows()[2][7], "+1.20");
  EXPECT_EQ(h.grid.Rows()[2][8], "등락");

  const std::vector<std::string> apartments{
      ";순서;시/군/구;아파트명;세대.연차;매매가;평당가;1개월;1년;",
      ";1;중구;자이;5015.05;7.20;0.0123;-0.0150;0.0000;50325",
      ";순위;시/군/구;아파트명;세대.연차;비중;1개월등락;1년등락;3년등락;",
  };
  h.files["/1050218.txt"] = ListFile(apartments);
  h.files["/1050028.txt"] = ListFile(apartments);
  h.Load("/1050218.txt");
  const GridRow district{"", "1", "중구", "자이", "5015.05", "7.20", "+0.01", "-1.50", "", "50325"};
  EXPECT_EQ(h.grid.Rows()[1], district);
  EXPECT_EQ(h.grid.Rows()[2][5], "비중");
  EXPECT_EQ(h.grid.Rows()[2][6], "1개월등락");
  // The Seoul list's first two value columns are fractions like the others.
  h.Load("/1050028.txt");
  EXPECT_EQ(h.grid.Rows()[1][5], "720.00");
  EXPECT_EQ(h.grid.Rows()[1][6], "+1.20");

  h.files["/1060001.txt"] = ListFile({
      ";순서;구분;종목명;기준일;전일비;현재가;등락률;52주고가;",
      ";1;국내;KOSPI;2024-06-28;93.0890;2797.8200;0.0153;;60001",
      ";2;해외;나스닥;2024-06-28;-1.5;17732.6;0.00001;1.5E-03;60002",
  });
  h.Load("/1060001.txt");
  const GridRow kospi{"",       "1",       "국내",  "KOSPI", "2024-06-28",
                      "93.089", "2797.82", "+1.50", "0.00",  "60001"};
  EXPECT_EQ(h.grid.Rows()[1], kospi);
  EXPECT_EQ(h.grid.Rows()[2][7], "");
  EXPECT_EQ(h.grid.Rows()[2][8], "0.00");

  h.files["/1070001.txt"] = ListFile({
      ";순서;분류;지표명;단위;기준월;최근값;전년비;이전값;",
      ";1;경제;기준금리;%;2024.06;3.5000;0.0199;3.5000;70001",
      ";;;;;;;등락 기준: 전년동월;;",
  });
  h.Load("/1070001.txt");
  EXPECT_EQ(h.grid.Rows()[1][5], "2024.06");
  EXPECT_EQ(h.grid.Rows()[1][6], "3.500");
  EXPECT_EQ(h.grid.Rows()[1][7], "+1.90");
  EXPECT_EQ(h.grid.Rows()[2][7], "등락 기준: 전년동월");
}

TEST(MenuListFormat, PreambleLinkColumnAndFailures) {
  Harness h;
  h.grid.SetHomeState(kBase);
  EXPECT_EQ(h.grid.LinkColumn(), 9);
  h.files["/1010018.txt"] = ListFile({";1;a;;;;;;;x"}, "번호;순서;링크;값");
  h.Load("/1010018.txt");
  EXPECT_EQ(h.grid.LinkColumn(), 2);
  for (int k = 0; k < kGridColumns; ++k)
    EXPECT_EQ(h.grid.ColumnWidth(k), k == 0 || k == 2 ? 0 : 65);

  // No link heading: the column stays, and only column 0 is hidden. No heading row: nothing but
  // scientific notation is rewritten, and nothing is red or blue.
  h.files["/1010001.txt"] = ListFile({";1;a;1234;0.5;1.25;0.0123;7;1.0E-02;x;y;z"}, "a;b");
  h.Load("/1010001.txt");
  EXPECT_EQ(h.grid.LinkColumn(), 2);
  EXPECT_EQ(h.grid.ColumnWidth(2), 65);
  EXPECT_EQ(h.grid.ColumnWidth(9), 65);
  EXPECT_EQ(h.grid.FirstHeadingRow(), kNoRow);
  const GridRow row{"", "1", "a", "1234", "0.5", "1.25", "0.0123", "7", "0.010000000", "x"};
  EXPECT_EQ(h.grid.Rows()[0], row);
  EXPECT_EQ(h.grid.ColoursOf(0, 6), CellColours{});

  // A missing file or a file shorter than its preamble gives an empty grid.
  EXPECT_FALSE(h.grid.LoadMenuList(std::string(kBase) + "/1019999.txt"));
  EXPECT_EQ(h.grid.RowCount(), 0);
  h.files["/1010002.txt"] = "one\r\ntwo;링크\r\n";
  EXPECT_TRUE(h.grid.LoadMenuList(std::string(kBase) + "/1010002.txt"));
  EXPECT_EQ(h.grid.RowCount(), 0);
  EXPECT_EQ(h.grid.LinkColumn(), 1);
}

TEST(MenuListFormat, HostileTextNeverBreaksTheGrid) {
  Harness h;
  h.grid.SetHomeState(kBase);
  std::vector<std::string> rows{
      ";순서;a;b;c;d;e;f;g;",
      std::string(100000, ';'),
      ";1;x;" + std::string(5000, '9') + ";1E-99999;1.5E-0;-.E-5;9E-;\xff\xfe;.\xea\xb0\x80",
      ";2;y;-;+;1e400;nan;inf;E-E-E-;",
      "",
      "\"\"\"",
  };
  h.files["/1010018.txt"] = ListFile(rows);
  h.Load("/1010018.txt");
  ASSERT_EQ(h.grid.RowCount(), 6);
  for (int r = 0; r < h.grid.RowCount(); ++r) {
    for (int k = 0; k < kGridColumns; ++k) {
      EXPECT_TRUE(IsValidUtf8(h.grid.Text(r, k)));
      h.grid.ColoursOf(r, k);
    }
  }
  // Clicks outside the grid change nothing.
  const GridCell selected = h.grid.SelectedCell();
  const std::vector<std::string> fetched = h.fetched;
  for (int k = -1; k <= kGridColumns; ++k) {
    h.grid.OnCellClicked(-1, k);
    h.grid.OnCellClicked(h.grid.RowCount(), k);
  }
  for (int r = 0; r < h.grid.RowCount(); ++r) {
    h.grid.OnCellClicked(r, -1);
    h.grid.OnCellClicked(r, kGridColumns);
  }
  EXPECT_EQ(h.grid.SelectedCell(), selected);
  EXPECT_EQ(h.fetched, fetched);
  EXPECT_TRUE(h.opened.empty());
  // Inside it, the tab cell of the first row asks for a list that is not there: the grid
  // empties, nothing opens, and keys then do nothing.
  for (int r = 0; r < h.grid.RowCount(); ++r) {
    for (int k = 0; k < kGridColumns; ++k) h.grid.OnCellClicked(r, k);
  }
  EXPECT_EQ(h.grid.RowCount(), 0);
  EXPECT_TRUE(h.opened.empty());
  const std::size_t lists = h.fetched.size();
  h.grid.OnKey(MenuKey::Up);
  h.grid.OnKey(MenuKey::Down);
  EXPECT_EQ(h.fetched.size(), lists);
  EXPECT_TRUE(h.opened.empty());
}

TEST(MenuColours, LevelCellsHeadingsAndSignedNumbers) {
  Harness h;
  h.grid.SetHomeState(kBase);
  h.files["/1010018.txt"] = ListFile({
      ";아파트지수;섹터지수",
      ";",
      ";Orvane",
      ";",
      ";전국",
      ";",
      ";순서;지역별;a;b;c;1개월;1년;3년;",
      ";",
      ";",
      ";1;전국;1;2;3;0.0123;-0.0235;0.0000;10001",
      ";순서;가격대별;a;b;c;1개월;1년;3년;",
      ";2;하위;1;2;3;월간;등락;0.001;10002",
  });
  h.Load("/1010018.txt");
  EXPECT_EQ(h.grid.ColoursOf(0, 1).back, kLevelCellBack);
  EXPECT_EQ(h.grid.ColoursOf(2, 1).back, kLevelCellBack);
  EXPECT_EQ(h.grid.ColoursOf(4, 1).back, kLevelCellBack);
  EXPECT_EQ(h.grid.ColoursOf(9, 2).back, kLevelCellBack);
  EXPECT_EQ(h.grid.ColoursOf(0, 2), CellColours{});
  for (int row : {6, 10}) {
    for (int k = 0; k < kGridColumns; ++k) {
      EXPECT_EQ(h.grid.ColoursOf(row, k), (CellColours{kHeadingBack, kBlackText}));
    }
  }
  EXPECT_EQ(h.grid.ColoursOf(9, 6).text, kRisingText);
  EXPECT_EQ(h.grid.ColoursOf(9, 7).text, kFallingText);
  EXPECT_EQ(h.grid.ColoursOf(9, 8).text, kBlackText);  // emptied zero
  EXPECT_EQ(h.grid.ColoursOf(9, 5).text, kBlackText);  // not a sign column
  EXPECT_EQ(h.grid.ColoursOf(11, 6).text, kBlackText);
  EXPECT_EQ(h.grid.ColoursOf(11, 7).text, kBlackText);
  EXPECT_EQ(h.grid.ColoursOf(11, 8).text, kRisingText);
}

TEST(MenuClicks, SeriesRowsOpenTheirLinkOrNothing) {
  Harness h;
  h.grid.SetHomeState(kBase);
  const std::vector<std::string> table{
      ";순서;지역별;a;b;c;d;e;f;",
      ";1;전국;1;2;3;4;5;6;10001",
      ";2;서울;1;2;3;4;5;6;",
      ";순위;아파트명;1;2;3;4;5;6;50001",
  };
  std::vector<std::string> index(9, ";");
  index[0] = ";아파트지수;섹터지수;아파트;;금융시장;;경제지표";
  index.insert(index.end(), table.begin(), table.end());
  h.files["/1010018.txt"] = ListFile(index);
  h.Load("/1010018.txt");
  h.grid.OnCellClicked(10, 5);
  EXPECT_EQ(h.opened, std::vector<std::string>{"/10001.txt"});
  EXPECT_EQ(h.grid.SelectedCell(), (GridCell{10, 2}));
  EXPECT_EQ(h.grid.ListFile(), "/10001.txt");
  EXPECT_EQ(h.grid.LastSeriesUrl(), std::string(kBase) + "/10001.txt");
  // In the index tab a row that opens nothing is still marked.
  h.grid.OnCellClicked(11, 2);
  EXPECT_EQ(h.grid.SelectedCell(), (GridCell{11, 2}));
  h.grid.OnCellClicked(12, 2);
  EXPECT_EQ(h.grid.SelectedCell(), (GridCell{12, 2}));
  h.grid.OnCellClicked(9, 2);
  EXPECT_EQ(h.grid.SelectedCell(), (GridCell{9, 2}));
  EXPECT_EQ(h.opened.size(), 1u);
  h.grid.OnCellClicked(10, 0);  // empty cell
  EXPECT_EQ(h.opened.size(), 1u);

  // In the market tab the same rows change nothing at all.
  std::vector<std::string> market{";아파트지수;섹터지수;아파트;;금융시장;;경제지표",
                                  ";기준일;2024"};
  market.insert(market.end(), table.begin(), table.end());
  h.files["/1060001.txt"] = ListFile(market);
  h.grid.OnCellClicked(0, 5);
  EXPECT_EQ(h.fetched.back(), "/1060001.txt");
  EXPECT_EQ(h.grid.SelectedCell(), (GridCell{3, 3}));
  h.grid.OnCellClicked(3, 3);
  EXPECT_EQ(h.opened.back(), "/10001.txt");
  for (int row : {2, 4, 5}) {
    h.grid.OnCellClicked(row, 3);
    EXPECT_EQ(h.grid.SelectedCell(), (GridCell{3, 3}));
  }
  h.grid.OnCellClicked(1, 1);  // above the first heading row
  EXPECT_EQ(h.opened.size(), 2u);
}

TEST(MenuClicks, UnknownRegionReloadsTheMenuListNotTheLastSeries) {
  Harness h;
  h.grid.SetHomeState(kBase);
  std::vector<std::string> rows(13, ";");
  rows[0] = ";아파트지수";
  rows[2] = ";Orvane";
  rows[4] = ";전국;어딘가";
  rows[8] = ";순서;지역별;a;b;c;d;e;f;";
  rows[9] = ";1;전국;1;2;3;4;5;6;10001";
  h.files["/1010018.txt"] = ListFile(rows);
  h.Load("/1010018.txt");
  h.grid.OnCellClicked(9, 2);
  EXPECT_EQ(h.grid.ListFile(), "/10001.txt");
  h.grid.OnCellClicked(4, 2);
  EXPECT_EQ(h.fetched.back(), "/1010018.txt");
  EXPECT_EQ(h.grid.SubgroupCell(), (GridCell{4, 2}));
  EXPECT_EQ(h.grid.RowCount(), 13);
}

TEST(MenuRotation, PeriodFloorsAndSpinner) {
  struct : RotationTimer {
    void Start(std::chrono::milliseconds p) override { periods.push_back(p.count()); }
    void Stop() override {}
    std::vector<long long> periods;
  } timer;
  Harness h;
  MenuRotation rotation(h.grid, timer, {});
  using std::chrono::milliseconds;
  EXPECT_EQ(rotation.PeriodOf("3"), milliseconds(3000));
  EXPECT_EQ(rotation.PeriodOf("0"), milliseconds(1000));
  EXPECT_EQ(rotation.PeriodOf("-7"), milliseconds(1000));
  EXPECT_EQ(rotation.PeriodOf("초"), milliseconds(1000));
  EXPECT_EQ(rotation.PeriodOf("99999999999"), milliseconds(std::numeric_limits<int>::max()));

  std::string period = "5";
  std::vector<std::string> shown{period};
  for (int i = 0; i < 5; ++i) shown.push_back(period = SpinPeriod(period, -1));
  EXPECT_EQ(shown, (std::vector<std::string>{"5", "4", "3", "2", "1", "1"}));
  EXPECT_EQ(SpinPeriod("1", 1), "2");
  EXPECT_EQ(SpinPeriod("2147483647", 1), "2147483647");
  EXPECT_EQ(SpinPeriod("x", -1), "1");
}

TEST(MenuRotation, AStopDuringAStepWinsAndStartWhileRunningIsIgnored) {
  struct : RotationTimer {
    void Start(std::chrono::milliseconds) override { ++starts; }
    void Stop() override {}
    int starts = 0;
  } timer;
  Harness h;
  h.grid.SetHomeState(kBase);
  std::vector<std::string> index(9, ";");
  index[0] = ";아파트지수;섹터지수";
  index.insert(index.end(), {";1;전국;1;2;3;4;5;6;10001", ";2;서울;1;2;3;4;5;6;10002",
                             ";3;부산;1;2;3;4;5;6;10003"});
  h.files["/1010018.txt"] = ListFile(index);
  h.Load("/1010018.txt");
  MenuRotation rotation(h.grid, timer, {});
  rotation.Start("1");
  rotation.Start("1");
  EXPECT_EQ(timer.starts, 1);
  // Row 9 is selected on loading: the first step opens row 10.
  rotation.OnTick("1");
  EXPECT_EQ(h.opened, std::vector<std::string>{"/10002.txt"});
  EXPECT_EQ(timer.starts, 2);
  // The next step opens a series; Stop is pressed while it loads.
  h.whileOpening = [&rotation] { rotation.Stop(); };
  rotation.OnTick("1");
  EXPECT_EQ(h.opened.back(), "/10003.txt");
  EXPECT_FALSE(rotation.Running());
  EXPECT_EQ(timer.starts, 2);
}

}  // namespace
}  // namespace orvane::views
