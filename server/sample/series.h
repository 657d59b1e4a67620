#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvane::server {

// Months are counted as year * 12 + (month - 1).
constexpr int Month(int year, int month) { return year * 12 + month - 1; }
inline constexpr int kLastMonth = Month(2024, 6);

// A point of a long-run shape: t in decimal years, v the level there.
struct Anchor {
  double t;
  double v;
};

enum class Shape {
  Housing,    // apartment prices: 1991 peak, 1998 crisis, 2008 dip, 2021 peak, 2022-2023 fall
  Jeonse,     // deposit prices: smoother, with the 2022-2023 fall
  Kospi,      // Korean stocks
  UsStocks,   // S&P 500
  BaseRate,   // policy rate, in steps
  BondYield,  // market yields
  Won,        // won per dollar
  Prices,     // consumer prices: steady growth
  Unsold,     // unsold new homes
  Commodity,  // oil, metals
};

std::span<const Anchor> ShapeAnchors(Shape shape);

// A deterministic monthly path: the shape's level raised to amplitude (in logs), a drift per
// year, a slow random wander and month-to-month noise, then scaled so that the month scaleAt
// reads scaleTo (or kept in the shape's own units when scaleTo is 0).
struct CurveParams {
  Shape shape = Shape::Housing;
  double amplitude = 1.0;
  double driftPerYear = 0.0;
  double wander = 0.004;
  double noise = 0.002;
  std::uint64_t seed = 1;
  int scaleAt = Month(2024, 6);
  double scaleTo = 0.0;
  bool additive = false;  // rates: noise in points, not in percent
};

std::vector<double> MonthlyPath(const CurveParams& curve, int firstMonth, int lastMonth);

// A small deterministic generator (splitmix64), the same on every platform.
class SampleRandom {
 public:
  explicit SampleRandom(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  double Uniform();    // [0, 1)
  double Symmetric();  // [-1, 1)
  int Below(int n);    // [0, n)

 private:
  std::uint64_t state_;
};

std::uint64_t HashText(std::string_view text);

enum class NumberStyle {
  Decimal2,       // 108.43
  Decimal3,       // 3.125 (rates)
  QuotedGrouped,  // "250,000" (prices in ten thousand won)
};

// One series file: header cells and data columns. Further values are NaN where a line leaves
// the field empty.
struct SeriesFile {
  std::string link;
  std::string title;
  std::string caption;
  std::string source;
  std::string unit;
  bool ohlc = false;
  std::string highlight;                  // "2021.10" or empty
  std::vector<std::string> compareNames;  // names of further values 1 to 10 (line 4, field 7 on)
  std::string companionName;              // for files without compare names
  int firstMonth = 0;
  std::vector<double> open, high, low, close, volume;
  std::vector<std::vector<double>> further;  // up to 10 columns, each as long as close
  NumberStyle style = NumberStyle::Decimal2;
  bool shortOctober = false;    // writes October as "2023.1", as spreadsheets export it
  bool plusInField8 = false;    // non-negative values of field 8 get a leading "+"
  bool tinyAsExponent = false;  // further values below 1e-3 written as 1.25E-04

  int LastMonth() const { return firstMonth + static_cast<int>(close.size()) - 1; }
  double CloseAt(int month) const;  // NaN outside the series
};

// Fills open, high and low around the closes (open = previous close) and a volume that rises
// and falls with the year-on-year change.
void FillBars(SeriesFile& file, double barSpread, double volumeBase, double volumeSwing,
              std::uint64_t seed);

// The file's text, UTF-8, CR LF line ends.
std::string RenderSeries(const SeriesFile& file);

std::string DateText(int month);  // "2024.06"

}  // namespace orvane::server
