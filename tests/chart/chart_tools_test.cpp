#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "chart/chart_interaction.h"
#include "chart/chart_tools.h"
#include "chart/dated_notes.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;

// Series 0 of a chart with points at these dates, close = date % 100.
std::vector<ChartSeries> Dated(const std::vector<std::int32_t>& dates) {
  ChartSeries s;
  s.style = SeriesStyle::Candle;
  for (std::int32_t d : dates) {
    ChartPoint p;
    p.date = d;
    p.open = p.high = p.low = p.close = d % 100;
    s.points.push_back(p);
  }
  return {s};
}

TEST(ChartToolsTest, PeriodsHoldTheirMonthsAndRangePresetsEndAtTheLastMonth) {
  // Quarters of a year that starts in February, and a filler slot after the last.
  const auto quarters = Dated({202303, 202306, 202309, 202312, 202403, 0});
  EXPECT_EQ(PointForMonth(quarters, 202302), PointIndex{0});
  EXPECT_EQ(PointForMonth(quarters, 202304), PointIndex{1});
  EXPECT_EQ(PointForMonth(quarters, 202312), PointIndex{3});
  EXPECT_EQ(PointForMonth(quarters, 202404), std::nullopt);
  EXPECT_EQ(PeriodStart(quarters, PointIndex{0}), 0);
  EXPECT_EQ(PeriodStart(quarters, PointIndex{4}), 202401);  // after December comes January

  std::vector<std::int32_t> dates;
  for (int m = 0; m < 48; ++m) dates.push_back((2020 + m / 12) * 100 + m % 12 + 1);
  dates.push_back(0);
  const auto months = Dated(dates);
  ChartView home;
  home.lastIndex = 48;
  home.visibleCount = 49;
  const ChartView year = RecentYearsView(months, home, 1);
  EXPECT_EQ(months[0].points[static_cast<std::size_t>(year.firstIndex)].date, 202301);
  EXPECT_EQ(year.visibleCount, 13);  // twelve months and the filler slot
  const ChartView all = RecentYearsView(months, home, 0);
  EXPECT_EQ(all.firstIndex, 0);
  EXPECT_EQ(all.visibleCount, 49);
  // One year of a short yearly chart still shows the zoom floor of points.
  const auto years = Dated({201912, 202012, 202112, 202212, 202312, 202412, 202512, 202612, 202712,
                            202812, 202912, 203012});
  ChartView yearsHome;
  yearsHome.lastIndex = 11;
  yearsHome.visibleCount = 12;
  EXPECT_EQ(RecentYearsView(years, yearsHome, 1).visibleCount, kMinZoomPoints);
}

TEST(ChartToolsTest, VisibleDataSumsEachPeriodsVolumeAndCopiesAsTabSeparatedText) {
  std::vector<DataRecord> records;
  for (std::int32_t d : {202302, 202303, 202304, 202305, 202306}) {
    DataRecord r;
    r.date = d;
    r.v[kVolume] = d % 100 * 10.0;
    records.push_back(r);
  }
  const MonthlyVolumes volumes(records);
  EXPECT_EQ(volumes.Sum(202301, 202312), 200.0);
  EXPECT_EQ(volumes.Sum(202401, 202403), std::nullopt);

  auto series = Dated({202303, 202306});
  ChartSeries line;
  line.style = SeriesStyle::Line;
  line.name = "12개월 평균";
  line.points = series[0].points;
  line.points.Edit(0, [](ChartPoint& p) { p.valid = false; });
  line.points.Edit(1, [](ChartPoint& p) { p.close = 1.5; });
  series.push_back(line);
  ChartView view;
  view.visibleCount = 2;
  const VisibleData data = VisibleDataOf(series, ChartSettings{}, view, volumes);
  ASSERT_EQ(data.rows.size(), 2u);
  EXPECT_EQ(data.rows[0].values[4], 50.0);   // February and March
  EXPECT_EQ(data.rows[1].values[4], 150.0);  // April to June
  EXPECT_EQ(RowsAsTsv(data, {1}),
            "날짜\t시가\t고가\t저가\t종가\t거래량\t12개월 평균\n2023-06\t6\t6\t6\t6\t150\t1.5\n");
  EXPECT_EQ(RowsAsTsv(data, {0}).substr(RowsAsTsv(data, {}).size()), "2023-03\t3\t3\t3\t3\t50\t\n");
}

class NotesFileTest : public ::testing::Test {
 protected:
  NotesFileTest() {
    std::string pattern = (fs::temp_directory_path() / "notes-test-XXXXXX").string();
    folder = mkdtemp(pattern.data());
    path = folder / "notes" / "orvane-notes.json";
  }
  ~NotesFileTest() override { fs::remove_all(folder); }
  void WriteFile(const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  fs::path folder, path;
};

TEST_F(NotesFileTest, NotesSurviveARestartAndLeaveNoTemporaryFiles) {
  {
    NotesFile notes(path);
    EXPECT_FALSE(notes.Load().setAside);  // no file yet
    ASSERT_TRUE(notes.Set("10001.txt", 202306, "  금리\n인상 "));
    ASSERT_TRUE(notes.Set("10001.txt", 202001, "코로나"));
    ASSERT_TRUE(notes.Set("20002.txt", 202001, "다른 계열"));
    ASSERT_TRUE(notes.Set("20002.txt", 202001, ""));  // removed
    EXPECT_FALSE(notes.Set("10001.txt", 202313, "no such month"));
  }
  NotesFile again(path);
  EXPECT_FALSE(again.Load().setAside);
  const auto kept = again.Notes("10001.txt");
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].month, 202001);
  EXPECT_EQ(kept[1].text, "금리 인상");
  EXPECT_TRUE(again.Notes("20002.txt").empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(path.parent_path()), fs::directory_iterator()), 1);
  // A long note is cut on a character boundary.
  EXPECT_EQ(CleanNoteText(std::string(100, 'a') + "가나다라마바사아자차").size(), 118u);
}

TEST_F(NotesFileTest, AnUnreadableFileIsSetAsideKeepingItsSoundNotes) {
  WriteFile("{not json");
  NotesFile broken(path);
  const auto result = broken.Load();
  EXPECT_TRUE(result.setAside);
  EXPECT_EQ(result.setAsideAs, fs::path(path.string() + ".corrupt"));
  EXPECT_EQ(Read(result.setAsideAs), "{not json");
  EXPECT_FALSE(fs::exists(path));

  // One bad entry: the file goes aside under the next free name, the good note stays.
  const std::string partly =
      R"({"series": {"a.txt": [{"month": 202106, "text": "좋음"}, {"month": "x"}]}})";
  WriteFile(partly);
  NotesFile mixed(path);
  const auto second = mixed.Load();
  EXPECT_EQ(second.setAsideAs, fs::path(path.string() + ".corrupt-2"));
  EXPECT_EQ(Read(second.setAsideAs), partly);
  ASSERT_EQ(mixed.Notes("a.txt").size(), 1u);
  EXPECT_EQ(mixed.Notes("a.txt")[0].text, "좋음");
}

}  // namespace
}  // namespace orvane
