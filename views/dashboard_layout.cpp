#include "views/dashboard_layout.h"

#include <algorithm>

namespace orvane {

DashboardLayout DashboardSplit(int width, int height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  // floor(height / 1.7) in integers.
  const int s = static_cast<int>(static_cast<long long>(height) * 10 / 17);
  const int m = width / 2;
  auto clamp = [](int v) { return std::max(v, 0); };
  DashboardLayout layout;
  layout.monthly = {0, 0, width, clamp(s - 1)};
  layout.quarterly = {0, s + 1, clamp(m - 1), clamp(height - s - 1)};
  layout.yearly = {m + 1, s + 1, clamp(width - m - 1), clamp(height - s - 1)};
  return layout;
}

}  // namespace orvane
