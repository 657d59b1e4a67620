#pragma once

#include "views/pixel_rect.h"

namespace orvane {

// The dashboard's three charts for a client area of width x height: the monthly chart across
// the top, the quarterly and yearly charts side by side below it.
struct DashboardLayout {
  PixelRect monthly;
  PixelRect quarterly;
  PixelRect yearly;
};

// The split lies at s = height / 1.7 and m = width / 2 (both rounded down), with a one-pixel gap
// on each side of both seams.
DashboardLayout DashboardSplit(int width, int height);

}  // namespace orvane
