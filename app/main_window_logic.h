#pragma once

// The decisions of the main window that need no window system: the mode radios, what Apply
// hands each content window, the resize rule and the cached file's name.

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::app {

// A window rectangle in pixels: position of the top-left corner and size.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int Right() const { return x + width; }    // exclusive
  int Bottom() const { return y + height; }  // exclusive
  bool operator==(const PixelRect&) const = default;
};

// Control IDs of the main window's strip.
namespace control {
inline constexpr int kApply = 1000;
inline constexpr int kFromYear = 1003;
inline constexpr int kToYear = 1004;
inline constexpr int kRangeFromYear = 1005;
inline constexpr int kScale = 1010;
inline constexpr int kFirstRadio = 1011;
inline constexpr int kRangeToYear = 1012;
inline constexpr int kRangeApply = 1013;
inline constexpr int kRangeScale = 1014;
}  // namespace control

// Radio IDs in template order: the position is the chart mode.
inline constexpr std::array<int, 9> kModeRadioIds = {1011, 1006, 1007, 1008, 1009,
                                                     1015, 1016, 1018, 1019};
// The radios' captions, by chart mode.
inline constexpr std::array<const char*, 9> kModeCaptions = {
    "3분할", "월봉", "볼린저", "일목", "구간검색", "분기봉", "연봉", "확대", "비교"};
// Chart mode of a radio ID; -1 for any other ID.
int ModeOfRadio(int controlId);

// What the strip holds when Apply reads it.
struct StripValues {
  int mode = 0;
  std::string fromYear;
  std::string toYear;
  int scale = 1;
  std::string rangeFromYear;
  std::string rangeToYear;
  int rangeScale = 0;
};

struct YearsAndScale {
  int scaleChoice = 1;
  int fromYear = 0;
  int toYear = 0;
  bool operator==(const YearsAndScale&) const = default;
};

// Apply's reading of the strip: both windows take 1003, 1004 and 1010; in mode 4 the
// single-chart window then takes 1005, 1012 and 1014 instead.
struct ApplyPlan {
  int mode = 0;
  bool showDashboard = true;
  YearsAndScale singleChart;
  YearsAndScale dashboard;
};
ApplyPlan PlanApply(const StripValues& strip);

// A year edit's value: its leading decimal integer, 0 for empty or non-numeric text.
int YearOfEdit(std::string_view text);

// Rectangles after a size change, in the main window's client coordinates.
struct ChildRects {
  PixelRect dashboard;
  PixelRect singleChart;
  PixelRect menu;
};
// Right edge of the dashboard and bottom edges of dashboard and menu go to 10 pixels from the
// client's right and bottom; left and top edges and the menu's width stay. The single-chart
// window takes the dashboard's rectangle.
ChildRects ResizeChildren(const PixelRect& client, const PixelRect& dashboard,
                          const PixelRect& menu);

// Client width from which the strip keeps the template's fixed positions.
inline constexpr int kFixedStripWidth = 1900;
// Top of the dashboard and the single-chart window when the strip is on one row.
inline constexpr int kContentTop = 40;

// One control of the strip at its template place (pixels), in screen order.
struct StripPiece {
  enum Role { kPlain, kGroupBox, kRadio } role = kPlain;
  PixelRect rect;
};
struct StripPlacement {
  std::vector<PixelRect> rects;  // one per piece, same order
  int contentTop = kContentTop;  // where the content windows start below the strip
};
// Places the strip in a client area: at kFixedStripWidth or wider every piece keeps its
// template rectangle. Narrower, the runs of plain controls and the framed radio group flow from
// left to right in rows that start no further left than `leftLimit` and end 10 pixels before
// the client's right edge; radios wrap inside their frame when the frame is wider than a row.
StripPlacement PlaceStrip(const std::vector<StripPiece>& pieces, int clientWidth, int leftLimit);

// The text after the last "/" of a URL: the name the fetched file is cached under.
std::string FileNameFromUrl(std::string_view url);

}  // namespace orvane::app
