#include "app/main_window_logic.h"

#include <algorithm>

#include "modes/pipeline.h"

namespace orvane::app {

int ModeOfRadio(int controlId) {
  const auto it = std::find(kModeRadioIds.begin(), kModeRadioIds.end(), controlId);
  return it == kModeRadioIds.end() ? -1 : static_cast<int>(it - kModeRadioIds.begin());
}

int YearOfEdit(std::string_view text) { return LeadingInteger(text); }

ApplyPlan PlanApply(const StripValues& strip) {
  constexpr int kRangeSearchMode = 4;
  ApplyPlan plan;
  plan.mode = strip.mode;
  plan.showDashboard = strip.mode == 0;
  plan.dashboard = {strip.scale, YearOfEdit(strip.fromYear), YearOfEdit(strip.toYear)};
  plan.singleChart = plan.dashboard;
  if (strip.mode == kRangeSearchMode) {
    plan.singleChart = {strip.rangeScale, YearOfEdit(strip.rangeFromYear),
                        YearOfEdit(strip.rangeToYear)};
  }
  return plan;
}

ChildRects ResizeChildren(const PixelRect& client, const PixelRect& dashboard,
                          const PixelRect& menu) {
  constexpr int kEdgeGap = 10;
  const int bottom = client.Bottom() - kEdgeGap;
  const int right = client.Right() - kEdgeGap;
  ChildRects rects;
  rects.dashboard = {dashboard.x, dashboard.y, std::max(right - dashboard.x, 0),
                     std::max(bottom - dashboard.y, 0)};
  rects.singleChart = rects.dashboard;
  rects.menu = {menu.x, menu.y, menu.width, std::max(bottom - menu.y, 0)};
  return rects;
}

namespace {

PixelRect Union(const PixelRect& a, const PixelRect& b) {
  const int x = std::min(a.x, b.x), y = std::min(a.y, b.y);
  return {x, y, std::max(a.Right(), b.Right()) - x, std::max(a.Bottom(), b.Bottom()) - y};
}

PixelRect Moved(const PixelRect& r, int dx, int dy) {
  return {r.x + dx, r.y + dy, r.width, r.height};
}

// Rows of the wrapped strip, filled from left to right.
struct StripFlow {
  int left, limit, gap;
  int x, top, bottom;

  // Starts a new row unless the current one is empty or `width` more still fits.
  void Reserve(int width) {
    if (x == left || x + width <= limit) return;
    top = bottom + gap;
    x = left;
  }
};

}  // namespace

StripPlacement PlaceStrip(const std::vector<StripPiece>& pieces, int clientWidth, int leftLimit) {
  StripPlacement placed;
  for (const StripPiece& p : pieces) placed.rects.push_back(p.rect);
  if (pieces.empty() || clientWidth >= kFixedStripWidth) return placed;

  PixelRect all = pieces.front().rect;
  for (const StripPiece& p : pieces) all = Union(all, p.rect);
  // The template's top margin doubles as the gap between rows.
  const int gap = std::max(all.y, 2);
  const int left = std::max(all.x, leftLimit);
  StripFlow flow{left, clientWidth - 10, gap, left, all.y, all.y};
  int previousRight = all.x;

  std::size_t i = 0;
  while (i < pieces.size()) {
    // A unit: a run of plain controls, or a frame with the radios after it.
    std::size_t end = i + 1;
    if (pieces[i].role == StripPiece::kGroupBox) {
      while (end < pieces.size() && pieces[end].role == StripPiece::kRadio) ++end;
    } else {
      while (end < pieces.size() && pieces[end].role == StripPiece::kPlain) ++end;
    }
    PixelRect box = pieces[i].rect;
    for (std::size_t k = i; k < end; ++k) box = Union(box, pieces[k].rect);
    const int spacing = std::max(box.x - previousRight, 0);
    previousRight = box.Right();
    const bool wrapsRadios = pieces[i].role == StripPiece::kGroupBox && end > i + 1 &&
                             flow.x + spacing + box.width > flow.limit;
    flow.Reserve(spacing + box.width);
    if (flow.x != left) flow.x += spacing;

    if (!wrapsRadios) {
      for (std::size_t k = i; k < end; ++k) {
        placed.rects[k] = Moved(pieces[k].rect, flow.x - box.x, flow.top - box.y);
      }
      flow.x += box.width;
      flow.bottom = std::max(flow.bottom, flow.top + box.height);
      i = end;
      continue;
    }

    // The frame keeps its insets; radios keep their spacing and wrap within the row's width.
    const PixelRect& frame = pieces[i].rect;
    const PixelRect& firstRadio = pieces[i + 1].rect;
    const int insetLeft = firstRadio.x - frame.x;
    const int insetTop = firstRadio.y - frame.y;
    const int insetRight = std::max(frame.Right() - pieces[end - 1].rect.Right(), 0);
    const int insetBottom = std::max(frame.Bottom() - firstRadio.Bottom(), 0);
    const int inner = flow.limit - flow.x - insetLeft - insetRight;
    int rx = 0, ry = 0, innerRight = 0;
    for (std::size_t k = i + 1; k < end; ++k) {
      const PixelRect& radio = pieces[k].rect;
      if (rx > 0 && rx + radio.width > inner) {
        rx = 0;
        ry += radio.height + insetBottom;
      }
      placed.rects[k] = {flow.x + insetLeft + rx, flow.top + insetTop + ry, radio.width,
                         radio.height};
      innerRight = std::max(innerRight, rx + radio.width);
      rx += k + 1 < end ? pieces[k + 1].rect.x - radio.x : radio.width;
    }
    placed.rects[i] = {flow.x, flow.top, insetLeft + innerRight + insetRight,
                       insetTop + ry + firstRadio.height + insetBottom};
    flow.x += placed.rects[i].width;
    flow.bottom = std::max(flow.bottom, placed.rects[i].Bottom());
    i = end;
  }
  placed.contentTop = std::max(kContentTop, flow.bottom + gap);
  return placed;
}

std::string FileNameFromUrl(std::string_view url) {
  const auto slash = url.rfind('/');
  return std::string(slash == std::string_view::npos ? url : url.substr(slash + 1));
}

}  // namespace orvane::app
