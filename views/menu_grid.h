#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/catalogue.h"

namespace orvane::views {

inline constexpr int kGridColumns = 10;
inline constexpr int kColumnWidth = 65;
// Row index that stands for "no heading row".
inline constexpr int kNoRow = 10000;

using GridRow = std::array<std::string, kGridColumns>;

struct GridCell {
  int row = -1;
  int column = -1;
  bool operator==(const GridCell&) const = default;
};
inline constexpr GridCell kNoCell{-1, -1};

// Colours as 0x00BBGGRR colour references.
inline constexpr std::uint32_t RgbRef(int r, int g, int b) {
  return static_cast<std::uint32_t>(r) | static_cast<std::uint32_t>(g) << 8 |
         static_cast<std::uint32_t>(b) << 16;
}
inline constexpr std::uint32_t kLevelCellBack = RgbRef(240, 240, 150);
inline constexpr std::uint32_t kHeadingBack = RgbRef(240, 240, 240);
inline constexpr std::uint32_t kPlainBack = RgbRef(255, 255, 255);
inline constexpr std::uint32_t kBlackText = RgbRef(0, 0, 0);
inline constexpr std::uint32_t kRisingText = RgbRef(255, 0, 0);
inline constexpr std::uint32_t kFallingText = RgbRef(0, 0, 255);

struct CellColours {
  std::uint32_t back = kPlainBack;
  std::uint32_t text = kBlackText;
  bool operator==(const CellColours&) const = default;
};

// Gets the body of a menu list file; nothing when it cannot be fetched.
using ListFetcher = std::function<std::optional<std::string>(const std::string& url)>;

// The list fetch of the client: the body goes into cacheDir under the URL's file name, is read
// and the local copy deleted.
ListFetcher CacheFolderFetcher(std::string cacheDir);

// Splits a menu list file into grid rows: one row per line, fields at ";", double quotes removed,
// fields beyond the tenth dropped. CP949 text is decoded; UTF-8 is taken as it is.
std::vector<GridRow> ReadListFile(std::string_view bytes);

// "%.02f" with "0.00" written as an empty cell.
std::string PercentText(double value);

enum class MenuKey { Up, Down };
enum class RotationStep { Stepped, Ended };

// What the menu asks of the window around it.
struct MenuCallbacks {
  ListFetcher fetchList;
  std::function<void(const std::string& url)> openDataUrl;
  // Before and after a list replaces the grid, so drawing can be held until it is complete.
  std::function<void()> loadStarting;
  std::function<void()> loadFinished;
};

// The menu grid's content and its four chosen levels: what is listed, which cells are chosen,
// and what a click, a key or a rotation step does. The window only shows it and feeds it.
class MenuGrid {
 public:
  explicit MenuGrid(MenuCallbacks callbacks);

  // The home choice; baseUrl is "http://" + content host + "/orvane_data".
  void SetHomeState(std::string baseUrl);
  // Home state, home list, home series.
  void ShowHome(std::string baseUrl);

  // Fetches the list at url and refills the grid; false when it could not be fetched (the grid
  // is then empty).
  bool LoadMenuList(const std::string& url);
  // Loads baseUrl + the menu list last built (listFile unless a series was opened since).
  bool LoadCurrentList();

  void OnCellClicked(int row, int column);
  // Up or Down; false when the key does nothing in the current state.
  bool OnKey(MenuKey key);
  RotationStep StepRotation();

  CellColours ColoursOf(int row, int column) const;

  const std::vector<GridRow>& Rows() const { return rows_; }
  int RowCount() const { return static_cast<int>(rows_.size()); }
  const std::string& Text(int row, int column) const;
  int ColumnWidth(int column) const { return columnWidths_.at(static_cast<std::size_t>(column)); }

  const std::string& BaseUrl() const { return baseUrl_; }
  const std::string& MenuFolder() const { return menuFolder_; }
  const std::string& ListFile() const { return listFile_; }
  // The URL of the series last opened (the hidden edit of the window).
  const std::string& LastSeriesUrl() const { return lastSeriesUrl_; }
  int LinkColumn() const { return linkColumn_; }
  GridCell TabCell() const { return tabCell_; }
  GridCell GroupCell() const { return groupCell_; }
  GridCell SubgroupCell() const { return subgroupCell_; }
  GridCell SelectedCell() const { return selectedCell_; }
  int FirstHeadingRow() const { return firstHeadingRow_; }
  const std::vector<int>& HeadingRows() const { return headingRows_; }
  const SignColumns& GetSignColumns() const { return signColumns_; }

 private:
  void FormatCells(std::string_view listName);
  void FormatCell(int row, int column, std::string_view menuId, std::string_view listName);
  void Load();
  void LoadAfterLookup(const std::optional<CatalogueChoice>& choice);
  // Opens the series of row r; false when the row opens nothing.
  bool SeriesClick(int row, int markedColumn);
  bool IsHeadingRow(int row) const;
  bool IsSignColumn(int column) const;
  bool KeySkips(int row, int testColumn) const;
  bool HasText(int row, int column) const { return !Text(row, column).empty(); }
  // Clicks a series row for the rotation; a row that opens nothing is still passed.
  void RotationClick(int row, int markedColumn);
  RotationStep StepIndexTab();
  RotationStep StepTable(int firstRow, bool menusAfter);

  MenuCallbacks callbacks_;
  std::vector<GridRow> rows_;
  std::array<int, kGridColumns> columnWidths_{};
  std::string baseUrl_;
  std::string menuFolder_;
  std::string listFile_;
  // The menu list last built, reloaded when a lookup finds nothing.
  std::string menuListFile_;
  std::string lastSeriesUrl_;
  int linkColumn_ = kGridColumns - 1;
  GridCell tabCell_{0, 1};
  GridCell groupCell_ = kNoCell;
  GridCell subgroupCell_ = kNoCell;
  GridCell selectedCell_ = kNoCell;
  int firstHeadingRow_ = kNoRow;
  std::vector<int> headingRows_;
  SignColumns signColumns_{6, 7, 8};
};

// Timer of the rotation, so tests and soaks drive it without waiting.
class RotationTimer {
 public:
  virtual ~RotationTimer() = default;
  virtual void Start(std::chrono::milliseconds period) = 0;
  virtual void Stop() = 0;
};

// The rotation's start, stop and ticks around MenuGrid::StepRotation.
class MenuRotation {
 public:
  // unit is what one typed second lasts (1000 ms; shorter in soaks).
  MenuRotation(MenuGrid& grid, RotationTimer& timer, std::function<void()> ended,
               std::chrono::milliseconds unit = std::chrono::seconds(1));

  // The period typed into the period edit: its leading integer in seconds, at least one.
  std::chrono::milliseconds PeriodOf(std::string_view periodText) const;

  void Start(std::string_view periodText);
  void Stop();
  // One timer tick; the period is read anew for the next one.
  void OnTick(std::string_view periodText);
  bool Running() const { return running_; }
  int Steps() const { return steps_; }

 private:
  MenuGrid& grid_;
  RotationTimer& timer_;
  std::function<void()> ended_;
  std::chrono::milliseconds unit_;
  bool running_ = false;
  int steps_ = 0;
};

// The up-down arrows of the period edit: one more or one less, never below 1.
std::string SpinPeriod(std::string_view periodText, int delta);

}  // namespace orvane::views
