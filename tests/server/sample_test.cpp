#include <gtest/gtest.h>

#include <map>
#include <set>

#include "data/catalogue.h"
#include "data/series_reader.h"
#include "data/text_codec.h"
#include "server/sample/sample_catalogue.h"
#include "tests/support/test_support.h"

namespace orvane {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

// Lines split at ";", CR LF line ends.
Rows ReadTable(const fs::path& file) {
  const std::string text = DecodeCp949(test::ReadFile(file));
  Rows rows;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::vector<std::string> fields;
    const std::string line = text.substr(start, end - start);
    std::size_t f = 0;
    while (true) {
      const std::size_t semi = line.find(';', f);
      fields.push_back(line.substr(f, semi - f));
      if (semi == std::string::npos) break;
      f = semi + 1;
    }
    rows.push_back(std::move(fields));
    start = end + 2;
  }
  return rows;
}

std::string Cell(const Rows& rows, std::size_t r, std::size_t c) {
  return r < rows.size() && c < rows[r].size() ? rows[r][c] : std::string();
}

struct ListKind {
  int tabColumn;
  std::size_t firstSeriesRow;  // 0: from the first heading row down
};

ListKind KindOf(const std::string& path) {
  const std::string id = path.substr(1, 3);
  const int code = std::stoi(path.substr(4, 4));
  if (id == "101") return code >= 21 ? ListKind{2, 12} : ListKind{1, 9};
  if (id == "102" || id == "103" || id == "104") return {1, 9};
  if (id == "105") return {3, 14};
  if (id == "106") return {5, 0};
  return {7, 3};
}

std::string FolderOf(const std::string& path) {
  for (const MenuSource& s : MenuSources()) {
    if (std::to_string(s.menuId) == path.substr(1, 3)) return std::string(s.folder);
  }
  return {};
}

std::string RegionOfDistrictList(const std::string& path) {
  const int code = std::stoi(path.substr(4, 4));
  for (const DistrictBlock& b : DistrictBlocks()) {
    if (code >= b.firstCode && code < b.firstCode + static_cast<int>(b.names.size())) {
      return std::string(b.region);
    }
  }
  return {};
}

class SampleCatalogue : public ::testing::Test {
 protected:
  static fs::path Data() { return test::SampleRoot() / "orvane_data"; }
  static bool ListExists(const std::string& path) { return fs::exists(Data() / path.substr(1)); }
};

TEST_F(SampleCatalogue, EveryListIsPresentAndEveryMenuCellLeadsToAList) {
  for (const std::string& path : AllMenuListPaths()) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(ListExists(path));
    const Rows file = ReadTable(Data() / path.substr(1));
    ASSERT_GT(file.size(), 6u);
    EXPECT_EQ(Cell(file, 1, 9), "링크");
    const Rows grid(file.begin() + 5, file.end());
    for (std::size_t c : {1, 2, 3, 5, 7}) {
      const auto tab = TabLookup(Cell(grid, 0, c));
      ASSERT_TRUE(tab) << Cell(grid, 0, c);
      EXPECT_TRUE(ListExists(MenuListPath(tab->folder, tab->listCode)));
    }
    const ListKind kind = KindOf(path);
    const std::string folder = FolderOf(path);
    auto expectTarget = [&](const std::optional<CatalogueChoice>& choice, const std::string& text) {
      ASSERT_TRUE(choice) << text;
      EXPECT_TRUE(ListExists(
          MenuListPath(choice->folder.empty() ? folder : choice->folder, choice->listCode)))
          << text;
    };
    for (std::size_t r = 1; r < std::min<std::size_t>(grid.size(), 12); ++r) {
      for (std::size_t c = 1; c <= 8; ++c) {
        const std::string text = Cell(grid, r, c);
        if (text.empty()) continue;
        if (kind.tabColumn == 1 && r == 2) expectTarget(SourceLookup(text), text);
        if (kind.tabColumn == 1 && r >= 4 && r <= 6)
          expectTarget(IndexRegionLookup(text, folder), text);
        if (kind.tabColumn == 2 && r >= 4 && r <= 9) expectTarget(SectorLookup(text), text);
        if (kind.tabColumn == 3 && r >= 2 && r <= 4)
          expectTarget(ApartmentRegionLookup(text), text);
        if (kind.tabColumn == 3 && r >= 6 && r <= 11) {
          expectTarget(DistrictLookup(RegionOfDistrictList(path), text), text);
        }
      }
    }
  }
}

TEST_F(SampleCatalogue, EverySeriesRowLinksToAReadableSeriesFile) {
  std::set<std::string> links;
  int rows = 0;
  for (const std::string& path : AllMenuListPaths()) {
    SCOPED_TRACE(path);
    const Rows file = ReadTable(Data() / path.substr(1));
    const Rows grid(file.begin() + 5, file.end());
    std::size_t firstHeading = 10000;
    for (std::size_t r = 0; r < grid.size() && firstHeading == 10000; ++r) {
      if (Cell(grid, r, 1) == "순서") firstHeading = r;
    }
    const ListKind kind = KindOf(path);
    ASSERT_NE(firstHeading, 10000u);
    if (kind.firstSeriesRow > 0) {
      EXPECT_LT(firstHeading, kind.firstSeriesRow);
    }
    const std::size_t from = kind.firstSeriesRow > 0 ? kind.firstSeriesRow : firstHeading;
    for (std::size_t r = from; r < grid.size(); ++r) {
      const std::string link = Cell(grid, r, 9);
      const std::string first = Cell(grid, r, 1);
      if (link.empty() || first == "순서" || first == "순위") continue;
      ++rows;
      EXPECT_TRUE(fs::exists(Data() / SeriesPath(link).substr(1))) << "row " << r << " " << link;
      links.insert(link);
    }
  }
  EXPECT_GT(rows, 1500);

  const Rows home = ReadTable(Data() / "1010018.txt");
  EXPECT_EQ(Cell(home, 5 + 9, 2), "전국");
  EXPECT_EQ(Cell(home, 5 + 9, 9), "10001");

  for (const std::string& link : links) {
    SCOPED_TRACE(link);
    const Rows s = ReadTable(Data() / (link + ".txt"));
    ASSERT_GT(s.size(), 30u);
    // Header cells (line, field) counted from field 1: title (1, 2), layout (3, 2), caption (9, 4).
    const std::string layout = Cell(s, 3, 1);
    EXPECT_TRUE(layout == "open" || layout == "hlc");
    EXPECT_FALSE(Cell(s, 1, 1).empty());
    EXPECT_FALSE(Cell(s, 9, 3).empty());
    std::string previous;
    for (std::size_t r = 10; r < s.size(); ++r) {
      std::string date = Cell(s, r, 0);
      if (date.size() == 6) date += "0";
      ASSERT_EQ(date.size(), 7u) << "line " << r;
      EXPECT_GT(date, previous);
      previous = date;
      EXPECT_FALSE(Cell(s, r, layout == "open" ? 4 : 3).empty()) << "line " << r;
    }
    EXPECT_EQ(previous, "2024.06");

    // The client's own reader takes every data line as a record.
    DataTable table;
    ASSERT_TRUE(LoadDataFile(table, Data() / (link + ".txt")));
    const SeriesData series = LoadRecords(table);
    EXPECT_EQ(series.records.size(), s.size() - 10);
    EXPECT_EQ(series.layout == SeriesLayout::Ohlc, layout == "open");
    EXPECT_EQ(series.header.title, Cell(s, 1, 1));
    ASSERT_FALSE(series.records.empty());
    EXPECT_EQ(series.records.back().date, 202406);
    EXPECT_GT(series.records.back().v[kClose], 0.0);
  }
}

TEST_F(SampleCatalogue, SeriesFilesCarryTheFeaturesTheReaderHandles) {
  const Rows home = ReadTable(Data() / "10001.txt");
  EXPECT_EQ(Cell(home, 3, 1), "open");
  EXPECT_EQ(Cell(home, 4, 6), "서울시");  // compared names from field 7 on
  EXPECT_EQ(home[4].size(), 16u);
  EXPECT_EQ(Cell(home, 5, 3), "2021.10");
  EXPECT_EQ(Cell(home, 10, 0), "1986.01");

  bool shortOctober = false, exponent = false, plus8 = false, quoted = false, hlc = false;
  bool emptyHighlight = false;
  for (const auto& entry : fs::directory_iterator(Data())) {
    const std::string name = entry.path().filename().string();
    if (name.size() != 9) continue;  // series files: five-digit links
    const std::string text = DecodeCp949(test::ReadFile(entry.path()));
    shortOctober |= text.find("\r\n2023.1;") != std::string::npos;
    exponent |= text.find("E-0") != std::string::npos;
    plus8 |= text.find(";+") != std::string::npos;
    quoted |= text.find(";\"") != std::string::npos;
    hlc |= text.find("형식;hlc") != std::string::npos;
    emptyHighlight |= text.find("2024.06;\r\n") != std::string::npos;
  }
  EXPECT_TRUE(shortOctober);
  EXPECT_TRUE(exponent);
  EXPECT_TRUE(plus8);
  EXPECT_TRUE(quoted);
  EXPECT_TRUE(hlc);
  EXPECT_TRUE(emptyHighlight);
}

TEST_F(SampleCatalogue, PicturesPageAndSize) {
  const std::string login = test::ReadFile(test::SampleRoot() / "orvane_img" / "Orvane_Login.bmp");
  const std::string mark = test::ReadFile(test::SampleRoot() / "orvane_img" / "orvane_bg.bmp");
  auto le32 = [](const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
  };
  ASSERT_GT(login.size(), 54u);
  EXPECT_EQ(login.substr(0, 2), "BM");
  EXPECT_EQ(le32(login, 2), login.size());
  // The login dialog's controls reach about 470 x 560 pixels.
  EXPECT_GE(le32(login, 18), 480u);
  EXPECT_GE(le32(login, 22), 570u);
  ASSERT_GT(mark.size(), 138u);
  EXPECT_EQ(le32(mark, 14), 124u);         // header with colour masks
  EXPECT_EQ(le32(mark, 30), 3u);           // bit fields
  EXPECT_EQ(le32(mark, 66), 0xFF000000);   // alpha mask
  EXPECT_EQ(mark[le32(mark, 10) + 3], 0);  // a corner pixel is fully transparent

  const std::string page = test::ReadFile(test::SampleRoot() / "world_Market" / "0.main.html");
  EXPECT_NE(page.find("KOSPI"), std::string::npos);
  for (std::string_view outside : {"http:", "https:", "src=", "<link", "@import"}) {
    EXPECT_EQ(page.find(outside), std::string::npos) << outside;
  }

  std::uintmax_t total = 0;
  for (const auto& e : fs::recursive_directory_iterator(test::SampleRoot())) {
    if (e.is_regular_file()) total += e.file_size();
  }
  EXPECT_LT(total, 50u * 1000 * 1000);
}

TEST_F(SampleCatalogue, GenerationIsDeterministic) {
  test::TempDir again;
  std::string error;
  const auto stats = server::MakeSampleCatalogue(again.path(), error);
  ASSERT_TRUE(stats) << error;
  int compared = 0;
  for (const auto& e : fs::recursive_directory_iterator(test::SampleRoot())) {
    if (!e.is_regular_file() || e.path().filename() == "done") continue;
    const fs::path relative = fs::relative(e.path(), test::SampleRoot());
    ASSERT_EQ(test::ReadFile(e.path()), test::ReadFile(again.path() / relative)) << relative;
    ++compared;
  }
  EXPECT_EQ(compared, stats->menuLists + stats->seriesFiles + 3);
}

}  // namespace
}  // namespace orvane
