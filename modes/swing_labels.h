#pragma once

// Swing labels: the date label of each peak and trough of a series within a window.

#include <cstddef>
#include <cstdint>
#include <string>

#include "chart/chart_model.h"

namespace orvane {

enum class SwingKind {
  Strict,     // a peak is higher than every neighbour in the window
  NonStrict,  // no neighbour in the window is higher
};
// Window of the modes that scale it with the data: max(3, points / 50).
int ScaledSwingWindow(std::size_t points);
// Marks peaks (upperLabel) and troughs (lowerLabel) with their date label; of two labelled
// neighbours only the later keeps its label. Points from firstPoint on are examined (0: from the
// window on), each against the neighbours that exist within window - 1 places. Runs in time
// linear in the points for any window.
void SetSwingLabels(ChartSeries& series, int window, SwingKind kind, int firstPoint = 0);
// Swing labels of a mode: a fixed window, or 0 for ScaledSwingWindow.
struct SwingRule {
  int window = 0;
  SwingKind kind = SwingKind::NonStrict;
  int firstPoint = 0;  // 0: the window
  int WindowFor(std::size_t points) const {
    return window > 0 ? window : ScaledSwingWindow(points);
  }
};
// "23-07" for 202307: last four digits with a dash after the second; empty for date 0.
std::string DateLabel(std::int32_t date);

}  // namespace orvane
