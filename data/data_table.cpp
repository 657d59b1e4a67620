#include "data/data_table.h"

#include <limits>

namespace orvane {

void DataTable::Clear() {
  pool_.clear();
  cellEnd_.clear();
  rowStart_.clear();
}

void DataTable::AppendRow() { rowStart_.push_back(static_cast<std::uint32_t>(cellEnd_.size())); }

bool DataTable::AppendCell(std::string_view text) {
  if (rowStart_.empty() || CellCount(rowStart_.size() - 1) >= kColumnCount) return false;
  constexpr std::size_t kLimit = std::numeric_limits<std::uint32_t>::max();
  if (text.size() > kLimit - pool_.size() || cellEnd_.size() >= kLimit) return false;
  pool_.append(text);
  cellEnd_.push_back(static_cast<std::uint32_t>(pool_.size()));
  return true;
}

int DataTable::CellCount(std::size_t row) const {
  if (row >= rowStart_.size()) return 0;
  const std::size_t end = row + 1 < rowStart_.size() ? rowStart_[row + 1] : cellEnd_.size();
  return static_cast<int>(end - rowStart_[row]);
}

std::string_view DataTable::Text(std::size_t row, int column) const {
  if (column < 0 || column >= CellCount(row)) return {};
  const std::size_t cell = rowStart_[row] + static_cast<std::size_t>(column);
  const std::size_t begin = cell == 0 ? 0 : cellEnd_[cell - 1];
  return std::string_view(pool_).substr(begin, cellEnd_[cell] - begin);
}

int DataTable::LastFilledColumn(std::size_t row) const {
  for (int column = CellCount(row) - 1; column >= 0; --column) {
    if (!Text(row, column).empty()) return column;
  }
  return -1;
}

std::size_t DataTable::MemoryUse() const {
  return pool_.capacity() + (cellEnd_.capacity() + rowStart_.capacity()) * sizeof(std::uint32_t);
}

void DataTable::Reserve(std::size_t textBytes, std::size_t rows, std::size_t cells) {
  pool_.reserve(textBytes);
  rowStart_.reserve(rows);
  cellEnd_.reserve(cells);
}

}  // namespace orvane
