#include "views/menu_grid.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <sstream>

#include "data/fetch.h"
#include "data/number_text.h"
#include "data/text_codec.h"

namespace orvane::views {
namespace {

constexpr std::string_view kHeadingText = "순서";
constexpr std::string_view kRankText = "순위";
constexpr std::string_view kLinkHeader = "링크";
constexpr int kPreambleLines = 5;

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

bool ContainsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
  return std::any_of(parts.begin(), parts.end(),
                     [text](std::string_view p) { return Contains(text, p); });
}

bool IsOneOf(std::string_view text, std::initializer_list<std::string_view> values) {
  return std::find(values.begin(), values.end(), text) != values.end();
}

std::string_view FileNameOf(std::string_view url) {
  const auto slash = url.rfind('/');
  return slash == std::string_view::npos ? url : url.substr(slash + 1);
}

// Keeps the text up to and including the third character after its first ".".
void CutAfterThirdDecimal(std::string& text) {
  std::size_t i = text.find('.');
  if (i == std::string::npos) return;
  ++i;
  for (int kept = 0; kept < 3 && i < text.size(); ++kept) {
    ++i;
    // A character is its lead byte and the continuation bytes after it.
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
  }
  text.resize(i);
}

GridRow SplitLine(std::string_view line) {
  GridRow row;
  std::size_t column = 0;
  std::size_t start = 0;
  while (column < row.size()) {
    const std::size_t end = std::min(line.find(';', start), line.size());
    std::string& field = row[column++];
    for (char c : line.substr(start, end - start)) {
      if (c != '"') field += c;
    }
    if (end == line.size()) break;
    start = end + 1;
  }
  return row;
}

}  // namespace

ListFetcher CacheFolderFetcher(std::string cacheDir) {
  return [cacheDir = std::move(cacheDir)](const std::string& url) -> std::optional<std::string> {
    const std::string name(FileNameOf(url));
    if (FetchFile(url, name, cacheDir) != FetchResult::Ok) return std::nullopt;
    const std::filesystem::path path = cacheDir + name;
    std::optional<std::string> body;
    {
      std::ifstream in(path, std::ios::binary);
      if (in) {
        std::ostringstream bytes;
        bytes << in.rdbuf();
        body = std::move(bytes).str();
      }
    }
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return body;
  };
}

std::vector<GridRow> ReadListFile(std::string_view bytes) {
  const std::string text = DecodeFileText(bytes);
  std::vector<GridRow> rows;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t end = std::min(rest.find('\n'), rest.size());
    std::string_view line = rest.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    rows.push_back(SplitLine(line));
    rest.remove_prefix(std::min(end + 1, rest.size()));
  }
  return rows;
}

std::string PercentText(double value) {
  std::string text = fmt::format("{:.2f}", value);
  return text == "0.00" ? std::string() : text;
}

MenuGrid::MenuGrid(MenuCallbacks callbacks) : callbacks_(std::move(callbacks)) {
  columnWidths_.fill(kColumnWidth);
  columnWidths_.front() = 0;
  columnWidths_.back() = 0;
}

const std::string& MenuGrid::Text(int row, int column) const {
  static const std::string kEmpty;
  if (row < 0 || row >= RowCount() || column < 0 || column >= kGridColumns) return kEmpty;
  return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void MenuGrid::SetHomeState(std::string baseUrl) {
  baseUrl_ = std::move(baseUrl);
  tabCell_ = {0, 1};
  groupCell_ = {2, 1};
  subgroupCell_ = {4, 1};
  selectedCell_ = {9, 2};
  signColumns_ = {6, 7, 8};
  menuFolder_ = kHomeFolder;
  listFile_ = kHomeListFile;
  menuListFile_ = listFile_;
}

void MenuGrid::ShowHome(std::string baseUrl) {
  SetHomeState(std::move(baseUrl));
  LoadMenuList(baseUrl_ + std::string(kHomeListFile));
  if (callbacks_.openDataUrl) callbacks_.openDataUrl(baseUrl_ + std::string(kHomeSeriesFile));
}

bool MenuGrid::LoadCurrentList() { return LoadMenuList(baseUrl_ + menuListFile_); }

bool MenuGrid::LoadMenuList(const std::string& url) {
  if (callbacks_.loadStarting) callbacks_.loadStarting();
  rows_.clear();
  columnWidths_.fill(kColumnWidth);
  columnWidths_.front() = 0;

  const std::string_view listName = FileNameOf(url);
  std::optional<std::string> body;
  if (callbacks_.fetchList) body = callbacks_.fetchList(url);
  if (body) rows_ = ReadListFile(*body);

  if (!rows_.empty()) rows_.erase(rows_.begin());
  if (!rows_.empty()) {
    const auto link = std::find(rows_.front().begin(), rows_.front().end(), kLinkHeader);
    if (link != rows_.front().end()) {
      linkColumn_ = static_cast<int>(link - rows_.front().begin());
      columnWidths_[static_cast<std::size_t>(linkColumn_)] = 0;
    }
  }
  rows_.erase(rows_.begin(),
              rows_.begin() + std::min<std::ptrdiff_t>(kPreambleLines - 1, std::ssize(rows_)));

  firstHeadingRow_ = kNoRow;
  headingRows_.clear();
  FormatCells(listName);
  if (callbacks_.loadFinished) callbacks_.loadFinished();
  return body.has_value();
}

void MenuGrid::FormatCells(std::string_view listName) {
  const std::string_view menuId = listName.substr(0, 3);
  for (int r = 0; r < RowCount(); ++r) {
    if (Text(r, 1) == kHeadingText) {
      headingRows_.push_back(r);
      // Only the first heading row goes on to be formatted; later ones stay as read.
      if (firstHeadingRow_ != kNoRow) continue;
      firstHeadingRow_ = r;
    }
    for (int k = 0; k < kGridColumns; ++k) FormatCell(r, k, menuId, listName);
  }
}

void MenuGrid::FormatCell(int row, int column, std::string_view menuId, std::string_view listName) {
  std::string& cell = rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
  std::string t = cell;
  const bool below = row > firstHeadingRow_;

  std::optional<std::string> scientific;
  if (Contains(t, "E-")) scientific = ScientificToFixed(t);
  if (scientific) {
    t = std::move(*scientific);
  } else if (below && t != "세대.연차" && Contains(t, ".")) {
    CutAfterThirdDecimal(t);
  }

  if (below) {
    bool percent = false;
    auto scaled = [&t, &percent](double factor) {
      t = PercentText(TextToDouble(t) * factor);
      percent = true;
    };
    const bool isValue = !t.empty() && t != "비중" && t != "시가총액";
    if (menuId == "101") {
      if (column >= 5 && column <= 8 && isValue && !ContainsAny(t, {"월", "평", "반"})) {
        scaled(column == 5 ? 1.0 : 100.0);
      } else if ((column == 3 || column == 4) && !ContainsAny(t, {"단", "세"})) {
        t = GroupThousands(t);
      }
    } else if (menuId == "102" || menuId == "103" || menuId == "104") {
      if (column >= 3 && column <= 5 && !ContainsAny(t, {"단", "세", "인", "전", "충"})) {
        t = GroupThousands(t);
      } else if (column == 7 && !t.empty() && !Contains(t, "등")) {
        scaled(100.0);
      }
    } else if (menuId == "105") {
      if (column >= 5 && column <= 8 && isValue && !Contains(t, "등")) {
        // Weights and the first two changes are percentages already, except in the Seoul list.
        scaled(column >= 7 || listName == "1050028.txt" ? 100.0 : 1.0);
      }
    } else if (menuId == "106" && (column == 6 || column == 8)) {
      t = fmt::format("{:.2f}", TextToDouble(t));
    }
    if ((menuId == "106" || menuId == "107") && column == 7 && !t.empty() && !Contains(t, "등")) {
      scaled(100.0);
    }
    if (percent && IsSignColumn(column) && !t.empty() && !t.starts_with('-')) t.insert(0, "+");
  }
  cell = std::move(t);
}

bool MenuGrid::IsHeadingRow(int row) const {
  return std::binary_search(headingRows_.begin(), headingRows_.end(), row);
}

bool MenuGrid::IsSignColumn(int column) const {
  return std::find(signColumns_.begin(), signColumns_.end(), column) != signColumns_.end();
}

void MenuGrid::Load() { LoadMenuList(baseUrl_ + menuListFile_); }

void MenuGrid::LoadAfterLookup(const std::optional<CatalogueChoice>& choice) {
  if (choice) {
    if (!choice->folder.empty()) menuFolder_ = choice->folder;
    if (choice->signColumns) signColumns_ = *choice->signColumns;
    listFile_ = MenuListPath(menuFolder_, choice->listCode);
    menuListFile_ = listFile_;
  }
  // Without a match the menu list last built is loaded again (never a series file).
  Load();
}

void MenuGrid::OnCellClicked(int row, int column) {
  if (row < 0 || column < 0) return;
  const std::string text = Text(row, column);
  if (text.empty()) return;

  if (row == 0) {
    tabCell_ = {0, column};
    if (IsOneOf(text, {"아파트지수", "섹터지수"})) {
      groupCell_ = {2, 1};
      subgroupCell_ = {4, 1};
      selectedCell_ = kNoCell;
    } else if (IsOneOf(text, {"아파트", "개별아파트"})) {
      groupCell_ = {2, 1};
      subgroupCell_ = {6, 1};
      selectedCell_ = kNoCell;
    } else if (IsOneOf(text, {"금융시장", "경제지표"})) {
      groupCell_ = kNoCell;
      subgroupCell_ = kNoCell;
      selectedCell_ = {3, 3};
    }
    LoadAfterLookup(ResolveTab(text));
    return;
  }

  switch (tabCell_.column) {
    case 1:
      if (row == 2) {
        groupCell_ = {2, column};
        subgroupCell_ = {4, 1};
        selectedCell_ = kNoCell;
        LoadAfterLookup(ResolveSource(text));
      } else if (row >= 4 && row <= 6 &&
                 IsOneOf(menuFolder_,
                         {"/101.KX_Menu", "/102.REB_Menu", "/103.KB_Menu", "/104.KOR_Menu"})) {
        subgroupCell_ = {row, column};
        selectedCell_ = kNoCell;
        LoadAfterLookup(IndexRegionLookup(text, menuFolder_));
      } else if (row >= 9) {
        SeriesClick(row, 2);
      }
      break;
    case 2:
      if (row >= 4 && row <= 9) {
        subgroupCell_ = {row, column};
        LoadAfterLookup(SectorLookup(text));
      } else if (row >= 12) {
        SeriesClick(row, 2);
      }
      break;
    case 3:
      if (row >= 2 && row <= 4) {
        groupCell_ = {row, column};
        subgroupCell_ = {6, 1};
        selectedCell_ = kNoCell;
        LoadAfterLookup(ApartmentRegionLookup(text));
      } else if (row >= 6 && row <= 11) {
        subgroupCell_ = {row, column};
        selectedCell_ = kNoCell;
        LoadAfterLookup(DistrictLookup(Text(groupCell_.row, groupCell_.column), text));
      } else if (row >= 14) {
        SeriesClick(row, 3);
      }
      break;
    case 5:
      if (!headingRows_.empty() && row >= headingRows_.front()) SeriesClick(row, 3);
      break;
    case 7:
      if (row >= 3) SeriesClick(row, 3);
      break;
    default:
      break;
  }
}

bool MenuGrid::SeriesClick(int row, int markedColumn) {
  const std::string& link = Text(row, linkColumn_);
  const std::string& first = Text(row, 1);
  if (link.empty() || first == kRankText || first == kHeadingText) {
    if (tabCell_.column == 1) selectedCell_ = {row, markedColumn};
    return false;
  }
  selectedCell_ = {row, markedColumn};
  listFile_ = SeriesPath(link);
  lastSeriesUrl_ = baseUrl_ + listFile_;
  if (callbacks_.openDataUrl) callbacks_.openDataUrl(lastSeriesUrl_);
  return true;
}

bool MenuGrid::KeySkips(int row, int testColumn) const {
  const std::string& t = Text(row, testColumn);
  return IsHeadingRow(row) || t.empty() ||
         IsOneOf(t, {"지역별", "가격대별", "권역별", "시/군/구", "아파트명"});
}

bool MenuGrid::OnKey(MenuKey key) {
  if (tabCell_.row != 0) return false;
  const int tab = tabCell_.column;
  int testColumn = 0;
  int lowest = 0;
  if (tab == 1 || tab == 2 || tab == 3) {
    if (groupCell_.row < 1 || subgroupCell_.row < 1 || selectedCell_.row < 1) return false;
    testColumn = 2;
    lowest = firstHeadingRow_ + 1;
  } else if (tab == 5 || tab == 7) {
    if (selectedCell_.row < 1) return false;
    testColumn = 3;
    lowest = firstHeadingRow_;
  } else {
    return false;
  }
  const GridCell from = selectedCell_;
  if (key == MenuKey::Up) {
    for (int r = from.row - 1; r >= lowest; --r) {
      if (!KeySkips(r, testColumn)) {
        OnCellClicked(r, from.column);
        return true;
      }
    }
  } else {
    for (int r = from.row + 1; r < RowCount(); ++r) {
      if (!KeySkips(r, testColumn)) {
        OnCellClicked(r, from.column);
        return true;
      }
    }
  }
  OnCellClicked(from.row, from.column);
  return true;
}

void MenuGrid::RotationClick(int row, int markedColumn) {
  OnCellClicked(row, markedColumn);
  // A row that opens nothing still counts as visited, so the next step moves past it.
  selectedCell_ = {row, markedColumn};
}

RotationStep MenuGrid::StepRotation() {
  switch (tabCell_.column) {
    case 1:
      return StepIndexTab();
    case 3:
      return StepTable(14, true);
    case 5:
    case 7:
      return StepTable(3, false);
    default:
      return RotationStep::Stepped;
  }
}

RotationStep MenuGrid::StepIndexTab() {
  constexpr int kFirstSeriesRow = 9;
  const GridCell firstSeries{kFirstSeriesRow, 2};
  // Nothing selected: the table's first series row comes next.
  const int start = selectedCell_.row >= 0 ? selectedCell_.row + 1 : kFirstSeriesRow;
  if (selectedCell_.row >= 0) selectedCell_.column = 2;
  for (int r = start; r < start + 3; ++r) {
    const std::string& first = Text(r, 1);
    if (!first.empty() && first != kHeadingText) {
      RotationClick(r, 2);
      return RotationStep::Stepped;
    }
  }
  // The search walks subgroupCell itself: one cell to the right, then column 1 of the next
  // row; where it stops is where the highlight stays when the rotation ends.
  if (subgroupCell_.row >= 0) {
    for (const bool nextRow : {false, true}) {
      subgroupCell_ = nextRow ? GridCell{subgroupCell_.row + 1, 1}
                              : GridCell{subgroupCell_.row, subgroupCell_.column + 1};
      if (HasText(subgroupCell_.row, subgroupCell_.column)) {
        OnCellClicked(subgroupCell_.row, subgroupCell_.column);
        OnCellClicked(firstSeries.row, firstSeries.column);
        return RotationStep::Stepped;
      }
    }
  }
  if (groupCell_.row < 0) return RotationStep::Ended;
  // Sources stand in every second column, up to column 7; an empty one is passed over.
  for (int column = groupCell_.column + 2; column <= 7; column += 2) {
    if (HasText(groupCell_.row, column)) {
      OnCellClicked(groupCell_.row, column);
      OnCellClicked(firstSeries.row, firstSeries.column);
      return RotationStep::Stepped;
    }
  }
  return RotationStep::Ended;
}

RotationStep MenuGrid::StepTable(int firstRow, bool menusAfter) {
  int last = 0;
  for (int r = RowCount() - 1; r >= 0; --r) {
    if (HasText(r, 2)) {
      last = r + 1;
      break;
    }
  }
  const int start = selectedCell_.row >= 0 ? selectedCell_.row + 1 : firstRow;
  for (int r = start; r < last; ++r) {
    const std::string& first = Text(r, 1);
    if (!first.empty() && first != kHeadingText) {
      RotationClick(r, 3);
      return RotationStep::Stepped;
    }
  }
  if (!menusAfter) return RotationStep::Ended;

  // The next non-empty menu cell after `from`, reading rows left to right up to the limits.
  auto nextCell = [this](GridCell from, int lastRow) -> std::optional<GridCell> {
    if (from.row < 0) return std::nullopt;
    constexpr int kLastColumn = 8;
    for (int r = from.row; r <= lastRow; ++r) {
      for (int c = r == from.row ? from.column + 1 : 1; c <= kLastColumn; ++c) {
        if (HasText(r, c)) return GridCell{r, c};
      }
    }
    return std::nullopt;
  };
  auto next = nextCell(subgroupCell_, 10);
  if (!next) next = nextCell(groupCell_, 3);
  if (!next) return RotationStep::Ended;
  OnCellClicked(next->row, next->column);
  return RotationStep::Stepped;
}

CellColours MenuGrid::ColoursOf(int row, int column) const {
  const GridCell cell{row, column};
  if (cell == tabCell_ || cell == groupCell_ || cell == subgroupCell_ || cell == selectedCell_) {
    return {kLevelCellBack, kBlackText};
  }
  if (IsHeadingRow(row)) return {kHeadingBack, kBlackText};
  if (row >= firstHeadingRow_ && IsSignColumn(column)) {
    const std::string& t = Text(row, column);
    if (!t.empty() && !ContainsAny(t, {"월", "등"})) {
      return {kPlainBack, TextToDouble(t) >= 0 ? kRisingText : kFallingText};
    }
  }
  return {};
}

MenuRotation::MenuRotation(MenuGrid& grid, RotationTimer& timer, std::function<void()> ended,
                           std::chrono::milliseconds unit)
    : grid_(grid), timer_(timer), ended_(std::move(ended)), unit_(unit) {}

std::chrono::milliseconds MenuRotation::PeriodOf(std::string_view periodText) const {
  // A period below one second (zero, negative, not a number) is one second.
  const auto period = unit_ * std::max(TextToInt(periodText), 1);
  // Timers count milliseconds in an int.
  return std::min<std::chrono::milliseconds>(
      period, std::chrono::milliseconds(std::numeric_limits<int>::max()));
}

void MenuRotation::Start(std::string_view periodText) {
  if (running_) return;
  running_ = true;
  timer_.Start(PeriodOf(periodText));
}

void MenuRotation::Stop() {
  timer_.Stop();
  running_ = false;
}

void MenuRotation::OnTick(std::string_view periodText) {
  if (!running_) return;
  timer_.Stop();
  ++steps_;
  if (grid_.StepRotation() == RotationStep::Ended) {
    running_ = false;
    if (ended_) ended_();
    return;
  }
  // A stop pressed while the step ran wins.
  if (running_) timer_.Start(PeriodOf(periodText));
}

std::string SpinPeriod(std::string_view periodText, int delta) {
  const long long value = static_cast<long long>(TextToInt(periodText)) + delta;
  return std::to_string(std::clamp<long long>(value, 1, std::numeric_limits<int>::max()));
}

}  // namespace orvane::views
