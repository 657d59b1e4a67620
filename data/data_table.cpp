#include "data/data_table.h"

#include <bit>
#include <charconv>
#include <memory>
#include <mutex>

#include "data/fresh_memory.h"

namespace orvane {

namespace {

// Row numbers are written on demand in blocks that are never freed, so their texts outlive
// any table; only callers that read column 0 (the table dump) pay for them.
constexpr std::size_t kNumbersPerBlock = 4096;
// Ten digits and the length.
constexpr std::size_t kNumberSlot = 11;

}  // namespace

std::string_view DataTable::RowNumberText(std::size_t row) {
  if (row == 0) return {};
  static std::mutex mutex;
  static std::vector<std::unique_ptr<char[]>> blocks;
  const std::size_t block = row / kNumbersPerBlock;
  const std::lock_guard lock(mutex);
  if (blocks.size() <= block) blocks.resize(block + 1);
  if (!blocks[block]) {
    blocks[block] = std::make_unique<char[]>(kNumbersPerBlock * kNumberSlot);
    for (std::size_t k = 0; k < kNumbersPerBlock; ++k) {
      char* slot = blocks[block].get() + k * kNumberSlot;
      const auto written =
          std::to_chars(slot, slot + kNumberSlot - 1, block * kNumbersPerBlock + k);
      slot[kNumberSlot - 1] = static_cast<char>(written.ptr - slot);
    }
  }
  const char* slot = blocks[block].get() + (row % kNumbersPerBlock) * kNumberSlot;
  return {slot, static_cast<std::size_t>(slot[kNumberSlot - 1])};
}

DataTable& DataTable::operator=(DataTable&& other) noexcept {
  if (this == &other) return *this;
  pool_ = std::move(other.pool_);
  cellEnd_ = std::move(other.cellEnd_);
  rowStart_ = std::move(other.rowStart_);
  storedBits_ = std::move(other.storedBits_);
  storedBefore_ = std::move(other.storedBefore_);
  rows_ = other.rows_;
  lastRowCells_ = other.lastRowCells_;
  other.Clear();
  return *this;
}

void DataTable::Clear() {
  pool_.assign(kReadableBeforeEnd, '\0');
  cellEnd_.clear();
  rowStart_.clear();
  storedBits_.clear();
  storedBefore_.clear();
  rows_ = 0;
  lastRowCells_ = 0;
}

void DataTable::AppendRow() {
  // The last row, when blank, gives its storage back.
  if (rows_ > 0 && lastRowCells_ == 2) {
    const std::size_t cells = cellEnd_.size();
    const std::uint32_t begin =
        cells >= 2 ? cellEnd_[cells - 2] : static_cast<std::uint32_t>(kReadableBeforeEnd);
    if (cellEnd_.back() == begin) {
      cellEnd_.pop_back();
      rowStart_.pop_back();
      storedBits_.back() &= ~(std::uint64_t{1} << ((rows_ - 1) % 64));
    }
  }
  if (rows_ % 64 == 0) {
    storedBits_.push_back(0);
    storedBefore_.push_back(static_cast<std::uint32_t>(rowStart_.size()));
  }
  storedBits_.back() |= std::uint64_t{1} << (rows_ % 64);
  rowStart_.push_back(static_cast<std::uint32_t>(cellEnd_.size()));
  ++rows_;
  lastRowCells_ = 1;
}

std::ptrdiff_t DataTable::StoredIndex(std::size_t row) const {
  const std::uint64_t bits = storedBits_[row / 64];
  const std::uint64_t bit = std::uint64_t{1} << (row % 64);
  if ((bits & bit) == 0) return -1;
  return static_cast<std::ptrdiff_t>(storedBefore_[row / 64]) + std::popcount(bits & (bit - 1));
}

DataTable::RowView DataTable::Row(std::size_t row) const {
  RowView view;
  if (row >= rows_) return view;
  view.row_ = row;
  const std::ptrdiff_t stored = StoredIndex(row);
  if (stored < 0) {
    view.count_ = 2;
    return view;
  }
  const auto index = static_cast<std::size_t>(stored);
  const std::size_t first = rowStart_[index];
  const std::size_t end = index + 1 < rowStart_.size() ? rowStart_[index + 1] : cellEnd_.size();
  view.count_ = static_cast<int>(end - first) + 1;
  view.pool_ = pool_.data();
  view.ends_ = cellEnd_.data() + first;
  view.begin_ = first == 0 ? static_cast<std::uint32_t>(kReadableBeforeEnd) : cellEnd_[first - 1];
  return view;
}

int DataTable::LastFilledColumn(std::size_t row) const {
  const RowView cells = Row(row);
  for (int column = cells.CellCount() - 1; column >= 0; --column) {
    if (!cells.Text(column).empty()) return column;
  }
  return -1;
}

std::size_t DataTable::MemoryUse() const {
  return pool_.capacity() +
         (cellEnd_.capacity() + rowStart_.capacity() + storedBefore_.capacity()) *
             sizeof(std::uint32_t) +
         storedBits_.capacity() * sizeof(std::uint64_t);
}

void DataTable::Reserve(std::size_t textBytes, std::size_t rows, std::size_t filledRows,
                        std::size_t cells) {
  pool_.reserve(kReadableBeforeEnd + textBytes);
  MapForWriting(pool_.data() + pool_.size(), pool_.capacity() - pool_.size());
  rowStart_.reserve(filledRows);
  cellEnd_.reserve(cells);
  MapRoomForWriting(cellEnd_);
  storedBits_.reserve(rows / 64 + 1);
  storedBefore_.reserve(rows / 64 + 1);
}

}  // namespace orvane
