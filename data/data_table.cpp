#include "data/data_table.h"

namespace orvane {

void DataTable::Clear() {
  pool_.clear();
  cellEnd_.clear();
  rowStart_.clear();
  lastRowCells_ = 0;
}

void DataTable::AppendRow() {
  rowStart_.push_back(static_cast<std::uint32_t>(cellEnd_.size()));
  lastRowCells_ = 0;
}

int DataTable::CellCount(std::size_t row) const {
  if (row >= rowStart_.size()) return 0;
  const std::size_t end = row + 1 < rowStart_.size() ? rowStart_[row + 1] : cellEnd_.size();
  return static_cast<int>(end - rowStart_[row]);
}

DataTable::RowView DataTable::Row(std::size_t row) const {
  RowView view;
  view.count_ = CellCount(row);
  if (view.count_ == 0) return view;
  const std::size_t first = rowStart_[row];
  view.pool_ = pool_.data();
  view.ends_ = cellEnd_.data() + first;
  view.begin_ = first == 0 ? 0 : cellEnd_[first - 1];
  return view;
}

std::string_view DataTable::Text(std::size_t row, int column) const {
  return Row(row).Text(column);
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
