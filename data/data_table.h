#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {

// The text of the series file last loaded: one row per file line, column 0 the row number and
// columns 1 to 76 the cleaned fields of the line. Rows keep only the cells their line has; all
// text sits in one pool, row numbers are not stored, and a blank row (column 1 empty, nothing
// after it) costs a fraction of a byte, so any file costs at most a few times its own size.
class DataTable {
 public:
  static constexpr int kColumnCount = 77;
  // Offsets are 32-bit: the text of one table stays below 4 GiB.
  static constexpr std::size_t kPoolLimit = 0xFFFFFFFFu;
  // The last this many bytes up to the end of any cell of columns 1 on are the table's own, so a
  // short cell can be read in machine words that end where the cell ends.
  static constexpr std::size_t kReadableBeforeEnd = 16;

  // The cells of one row, valid until the table changes.
  class RowView {
   public:
    int CellCount() const { return count_; }
    // Empty text for a column the row does not hold.
    std::string_view Text(int column) const {
      if (column <= 0 || column >= count_) {
        return column == 0 && count_ > 0 ? RowNumberText(row_) : std::string_view();
      }
      if (ends_ == nullptr) return {};
      const std::uint32_t begin = column == 1 ? begin_ : ends_[column - 2];
      return {pool_ + begin, ends_[column - 1] - begin};
    }

   private:
    friend class DataTable;
    const char* pool_ = nullptr;
    const std::uint32_t* ends_ = nullptr;  // end offsets of columns 1 on; none for a blank row
    std::uint32_t begin_ = 0;              // start offset of column 1
    int count_ = 0;
    std::size_t row_ = 0;
  };

  // The text of column 0: the row number, empty for row 0. The text stays valid for the life of
  // the process, shared by every table.
  static std::string_view RowNumberText(std::size_t row);

  DataTable() = default;
  DataTable(const DataTable&) = default;
  DataTable& operator=(const DataTable&) = default;
  // A table moved from is left empty.
  DataTable(DataTable&& other) noexcept { *this = std::move(other); }
  DataTable& operator=(DataTable&& other) noexcept;
  ~DataTable() = default;

  void Clear();

  // Starts a new row holding only its row number (column 0).
  void AppendRow();
  // Appends the next cell (column 1 first) to the last row. Cells past the last column, or
  // text that would overflow the pool, are dropped; reports whether the cell was kept.
  bool AppendCell(std::string_view text) {
    if (lastRowCells_ >= kColumnCount || rows_ == 0 || text.size() > kPoolLimit - pool_.size() ||
        cellEnd_.size() >= kPoolLimit) {
      return false;
    }
    pool_.append(text);
    cellEnd_.push_back(static_cast<std::uint32_t>(pool_.size()));
    ++lastRowCells_;
    return true;
  }

  std::size_t RowCount() const { return rows_; }
  RowView Row(std::size_t row) const;
  // Number of cells the row holds (columns 0 .. CellCount - 1).
  int CellCount(std::size_t row) const { return Row(row).CellCount(); }
  // Empty text for a row or column that holds nothing.
  std::string_view Text(std::size_t row, int column) const { return Row(row).Text(column); }
  // Index of the row's last column with text, -1 when every cell is empty.
  int LastFilledColumn(std::size_t row) const;

  // Bytes held, for measurements.
  std::size_t MemoryUse() const;
  // Makes room ahead of a load of at most this much text, rows, rows that are not blank and
  // cells after column 0.
  void Reserve(std::size_t textBytes, std::size_t rows, std::size_t filledRows, std::size_t cells);

 private:
  // Index of the row among the stored ones, or -1 for a blank row.
  std::ptrdiff_t StoredIndex(std::size_t row) const;

  // Cell text after kReadableBeforeEnd zero bytes.
  std::string pool_ = std::string(kReadableBeforeEnd, '\0');
  // End offset in pool_ of every stored cell (columns 1 on), all stored rows in order; a cell
  // starts where the previous ends.
  std::vector<std::uint32_t> cellEnd_;
  // Index in cellEnd_ of each stored row's column 1.
  std::vector<std::uint32_t> rowStart_;
  // One bit per row, set when the row is stored; a clear bit marks a blank row.
  std::vector<std::uint64_t> storedBits_;
  // Number of stored rows before each group of 64 rows.
  std::vector<std::uint32_t> storedBefore_;
  std::size_t rows_ = 0;
  int lastRowCells_ = 0;
};

}  // namespace orvane
