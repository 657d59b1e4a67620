#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// The text of the series file last loaded: one row per file line, column 0 the row number and
// columns 1 to 76 the cleaned fields of the line. Rows keep only the cells their line has;
// all text sits in one pool, so long files cost little more than their own size.
class DataTable {
 public:
  static constexpr int kColumnCount = 77;
  // Offsets are 32-bit: the text of one table stays below 4 GiB.
  static constexpr std::size_t kPoolLimit = 0xFFFFFFFFu;

  // The cells of one row, valid until the table changes.
  class RowView {
   public:
    int CellCount() const { return count_; }
    // Empty text for a column the row does not hold.
    std::string_view Text(int column) const {
      if (column < 0 || column >= count_) return {};
      const std::uint32_t begin = column == 0 ? begin_ : ends_[column - 1];
      return {pool_ + begin, ends_[column] - begin};
    }

   private:
    friend class DataTable;
    const char* pool_ = nullptr;
    const std::uint32_t* ends_ = nullptr;  // end offsets of the row's cells
    std::uint32_t begin_ = 0;              // start offset of its first cell
    int count_ = 0;
  };

  void Clear();

  // Starts a new row with no cells.
  void AppendRow();
  // Appends the next cell (column 0 first) to the last row. Cells past the last column, or
  // text that would overflow the pool, are dropped; reports whether the cell was kept.
  bool AppendCell(std::string_view text) {
    if (lastRowCells_ >= kColumnCount || rowStart_.empty() ||
        text.size() > kPoolLimit - pool_.size() || cellEnd_.size() >= kPoolLimit) {
      return false;
    }
    pool_.append(text);
    cellEnd_.push_back(static_cast<std::uint32_t>(pool_.size()));
    ++lastRowCells_;
    return true;
  }

  std::size_t RowCount() const { return rowStart_.size(); }
  RowView Row(std::size_t row) const;
  // Number of cells the row holds (columns 0 .. CellCount - 1).
  int CellCount(std::size_t row) const;
  // Empty text for a row or column that holds nothing.
  std::string_view Text(std::size_t row, int column) const;
  // Index of the row's last column with text, -1 when every cell is empty.
  int LastFilledColumn(std::size_t row) const;

  // Bytes held, for measurements.
  std::size_t MemoryUse() const;
  // Makes room ahead of a load of about this much text, rows and cells.
  void Reserve(std::size_t textBytes, std::size_t rows, std::size_t cells);

 private:
  std::string pool_;
  // End offset in pool_ of every cell, all rows in order; a cell starts where the previous ends.
  std::vector<std::uint32_t> cellEnd_;
  // Index in cellEnd_ of each row's first cell.
  std::vector<std::uint32_t> rowStart_;
  int lastRowCells_ = 0;
};

}  // namespace orvane
