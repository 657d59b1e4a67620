// Any bytes as a menu list: the reader, the cell formatting and the grid's clicks, keys and
// rotation steps over it never crash and leave only valid UTF-8 in the grid.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "data/text_codec.h"
#include "views/menu_grid.h"

namespace {

void CheckRows(const orvane::views::MenuGrid& grid) {
  for (const orvane::views::GridRow& row : grid.Rows()) {
    for (const std::string& cell : row) {
      if (!orvane::IsValidUtf8(cell)) __builtin_trap();
    }
  }
  for (int r = 0; r < grid.RowCount(); ++r) {
    for (int c = 0; c < orvane::views::kGridColumns; ++c) (void)grid.ColoursOf(r, c);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string list(reinterpret_cast<const char*>(data), size);
  orvane::views::MenuCallbacks callbacks;
  // Every list the grid asks for has these bytes, so clicks re-read the same input.
  callbacks.fetchList = [&list](const std::string&) { return std::optional<std::string>(list); };
  callbacks.openDataUrl = [](const std::string& url) {
    if (url.empty()) __builtin_trap();
  };
  orvane::views::MenuGrid grid(callbacks);
  grid.ShowHome("http://127.0.0.1/orvane_data");
  CheckRows(grid);

  // A few clicks in the first rows, then keys and rotation steps; bounded for speed.
  const int rows = grid.RowCount() < 4 ? grid.RowCount() : 4;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < orvane::views::kGridColumns; ++c) {
      grid.OnCellClicked(r, c);
      CheckRows(grid);
    }
  }
  for (int i = 0; i < 4; ++i) {
    grid.OnKey(i % 2 == 0 ? orvane::views::MenuKey::Down : orvane::views::MenuKey::Up);
  }
  for (int i = 0; i < 16; ++i) {
    if (grid.StepRotation() == orvane::views::RotationStep::Ended) break;
  }
  CheckRows(grid);
  return 0;
}
