#include "server/sample/series.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace orvane::server {
namespace {

constexpr Anchor kHousing[] = {{1980.0, 15.5},  {1986.0, 22.0},  {1988.0, 25.0},  {1990.0, 33.5},
                               {1991.3, 40.0},  {1993.0, 36.8},  {1995.0, 36.0},  {1997.8, 38.2},
                               {1998.9, 32.5},  {2000.0, 35.0},  {2002.0, 44.5},  {2003.5, 50.5},
                               {2005.0, 52.0},  {2006.9, 67.5},  {2008.7, 77.0},  {2009.2, 74.0},
                               {2011.5, 80.5},  {2013.0, 77.0},  {2015.0, 82.0},  {2017.0, 89.5},
                               {2019.0, 97.0},  {2020.0, 100.0}, {2021.8, 131.0}, {2022.5, 127.0},
                               {2023.3, 106.0}, {2023.9, 109.0}, {2024.5, 108.0}};
constexpr Anchor kJeonse[] = {{1980.0, 14.0},  {1986.0, 19.0}, {1990.0, 30.0}, {1991.5, 34.0},
                              {1997.8, 40.0},  {1998.9, 32.0}, {2002.0, 47.0}, {2004.5, 46.0},
                              {2008.7, 55.0},  {2009.1, 53.5}, {2011.9, 66.0}, {2015.0, 80.0},
                              {2017.0, 86.0},  {2019.3, 85.0}, {2020.0, 88.0}, {2021.9, 112.0},
                              {2022.6, 110.0}, {2023.4, 90.0}, {2024.5, 93.0}};
constexpr Anchor kKospi[] = {
    {1980.0, 100.0},  {1985.0, 140.0},   {1989.3, 1000.0}, {1992.7, 500.0},   {1994.9, 1100.0},
    {1998.5, 300.0},  {1999.95, 1000.0}, {2001.7, 470.0},  {2004.0, 850.0},   {2007.8, 2000.0},
    {2008.8, 1000.0}, {2011.3, 2200.0},  {2016.0, 2000.0}, {2018.05, 2550.0}, {2020.2, 1500.0},
    {2021.5, 3300.0}, {2022.7, 2150.0},  {2023.5, 2600.0}, {2023.8, 2300.0},  {2024.5, 2800.0}};
constexpr Anchor kUsStocks[] = {
    {1980.0, 110.0},  {1987.6, 330.0},  {1987.9, 230.0},  {1990.5, 360.0},   {1995.0, 460.0},
    {2000.2, 1500.0}, {2002.7, 800.0},  {2007.8, 1550.0}, {2009.2, 700.0},   {2015.4, 2100.0},
    {2016.1, 1900.0}, {2020.1, 3380.0}, {2020.2, 2580.0}, {2021.95, 4770.0}, {2022.75, 3580.0},
    {2023.5, 4450.0}, {2023.8, 4190.0}, {2024.5, 5460.0}};
constexpr Anchor kBaseRate[] = {
    {1999.0, 4.75}, {2000.9, 5.25}, {2001.8, 4.0},  {2004.8, 3.5},  {2005.8, 3.75}, {2007.7, 5.0},
    {2008.7, 5.25}, {2009.1, 2.0},  {2010.6, 2.25}, {2011.5, 3.25}, {2012.6, 3.0},  {2013.3, 2.5},
    {2014.6, 2.0},  {2015.5, 1.5},  {2016.5, 1.25}, {2017.9, 1.5},  {2018.9, 1.75}, {2019.6, 1.5},
    {2020.2, 0.5},  {2021.6, 0.75}, {2021.9, 1.0},  {2022.3, 1.5},  {2022.6, 2.25}, {2022.8, 3.0},
    {2022.95, 3.5}, {2024.5, 3.5}};
constexpr Anchor kBondYield[] = {
    {1995.0, 12.0}, {1997.9, 18.0}, {1999.0, 7.0}, {2001.0, 6.0}, {2005.0, 4.0}, {2008.5, 5.8},
    {2009.0, 3.5},  {2011.0, 3.8},  {2012.5, 3.0}, {2016.5, 1.2}, {2018.0, 2.2}, {2020.6, 0.8},
    {2021.9, 1.9},  {2022.8, 4.3},  {2023.5, 3.6}, {2023.8, 4.0}, {2024.5, 3.3}};
constexpr Anchor kWon[] = {{1980.0, 580.0},  {1985.0, 860.0},   {1989.0, 670.0},  {1992.0, 780.0},
                           {1997.0, 890.0},  {1997.95, 1700.0}, {1998.9, 1200.0}, {2000.0, 1130.0},
                           {2001.3, 1330.0}, {2007.8, 910.0},   {2009.2, 1450.0}, {2011.5, 1070.0},
                           {2014.5, 1010.0}, {2016.0, 1200.0},  {2018.0, 1070.0}, {2020.2, 1220.0},
                           {2021.0, 1090.0}, {2022.8, 1430.0},  {2023.5, 1300.0}, {2024.5, 1380.0}};
constexpr Anchor kPrices[] = {{1980.0, 18.0},  {1990.0, 38.0},  {1998.0, 60.0},  {2000.0, 63.0},
                              {2010.0, 86.0},  {2015.0, 95.0},  {2020.0, 100.0}, {2021.0, 102.5},
                              {2022.0, 107.7}, {2023.0, 111.6}, {2024.5, 114.2}};
constexpr Anchor kUnsold[] = {{1995.0, 100000.0}, {1998.5, 100000.0}, {2002.0, 25000.0},
                              {2005.0, 57000.0},  {2009.2, 165000.0}, {2012.0, 70000.0},
                              {2014.0, 45000.0},  {2015.9, 62000.0},  {2018.0, 59000.0},
                              {2019.0, 52000.0},  {2021.7, 13800.0},  {2023.1, 75000.0},
                              {2024.5, 74000.0}};
constexpr Anchor kCommodity[] = {{1980.0, 35.0},  {1986.2, 13.0},  {1990.8, 33.0},  {1998.9, 11.0},
                                 {2000.8, 33.0},  {2004.0, 35.0},  {2008.5, 133.0}, {2009.1, 40.0},
                                 {2011.3, 110.0}, {2014.5, 105.0}, {2016.0, 30.0},  {2018.8, 70.0},
                                 {2020.3, 20.0},  {2022.4, 115.0}, {2023.4, 72.0},  {2024.5, 80.0}};

double Interpolate(std::span<const Anchor> anchors, double t, bool logScale) {
  if (t <= anchors.front().t) return anchors.front().v;
  if (t >= anchors.back().t) return anchors.back().v;
  for (std::size_t i = 1; i < anchors.size(); ++i) {
    if (t <= anchors[i].t) {
      const Anchor& a = anchors[i - 1];
      const Anchor& b = anchors[i];
      const double f = (t - a.t) / (b.t - a.t);
      // A smooth step between anchors keeps turning points rounded.
      const double s = f * f * (3.0 - 2.0 * f);
      if (!logScale) return a.v + (b.v - a.v) * s;
      return std::exp(std::log(a.v) + (std::log(b.v) - std::log(a.v)) * s);
    }
  }
  return anchors.back().v;
}

std::string Number(double v, NumberStyle style) {
  switch (style) {
    case NumberStyle::Decimal3:
      return fmt::format("{:.3f}", v);
    case NumberStyle::QuotedGrouped: {
      const long long whole = std::llround(v);
      const std::string digits = std::to_string(std::llabs(whole));
      std::string grouped = whole < 0 ? "\"-" : "\"";
      for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
      }
      return grouped + "\"";
    }
    case NumberStyle::Decimal2:
      break;
  }
  return fmt::format("{:.2f}", v);
}

}  // namespace

std::span<const Anchor> ShapeAnchors(Shape shape) {
  switch (shape) {
    case Shape::Housing:
      return kHousing;
    case Shape::Jeonse:
      return kJeonse;
    case Shape::Kospi:
      return kKospi;
    case Shape::UsStocks:
      return kUsStocks;
    case Shape::BaseRate:
      return kBaseRate;
    case Shape::BondYield:
      return kBondYield;
    case Shape::Won:
      return kWon;
    case Shape::Prices:
      return kPrices;
    case Shape::Unsold:
      return kUnsold;
    case Shape::Commodity:
      return kCommodity;
  }
  return kHousing;
}

std::uint64_t SampleRandom::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

double SampleRandom::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
double SampleRandom::Symmetric() { return Uniform() * 2.0 - 1.0; }
int SampleRandom::Below(int n) { return static_cast<int>(Uniform() * n); }

std::uint64_t HashText(std::string_view text) {
  std::uint64_t h = 1469598103934665603ULL;  // FNV-1a
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  return h;
}

std::vector<double> MonthlyPath(const CurveParams& curve, int firstMonth, int lastMonth) {
  const auto anchors = ShapeAnchors(curve.shape);
  SampleRandom random(curve.seed);
  const int from = std::min(firstMonth, curve.scaleAt);
  const int to = std::max(lastMonth, curve.scaleAt);
  std::vector<double> raw;
  raw.reserve(static_cast<std::size_t>(to - from) + 1);
  double wander = 0.0;
  for (int m = from; m <= to; ++m) {
    const double t = m / 12.0;
    wander = 0.97 * wander + curve.wander * random.Symmetric();
    const double shock = curve.noise * random.Symmetric();
    if (curve.additive) {
      const double level = Interpolate(anchors, t, false) * curve.amplitude;
      raw.push_back(std::max(0.05, level + (wander + shock) * 10.0));
    } else {
      const double base = std::log(Interpolate(anchors, t, true));
      const double drift = curve.driftPerYear * (t - 2020.0);
      raw.push_back(std::exp(curve.amplitude * base + drift + wander + shock));
    }
  }
  double factor = 1.0;
  if (curve.scaleTo != 0.0)
    factor = curve.scaleTo / raw[static_cast<std::size_t>(curve.scaleAt - from)];
  std::vector<double> path;
  path.reserve(static_cast<std::size_t>(lastMonth - firstMonth) + 1);
  for (int m = firstMonth; m <= lastMonth; ++m) {
    path.push_back(raw[static_cast<std::size_t>(m - from)] * factor);
  }
  return path;
}

double SeriesFile::CloseAt(int month) const {
  const int i = month - firstMonth;
  if (i < 0 || i >= static_cast<int>(close.size())) return std::numeric_limits<double>::quiet_NaN();
  return close[static_cast<std::size_t>(i)];
}

void FillBars(SeriesFile& file, double barSpread, double volumeBase, double volumeSwing,
              std::uint64_t seed) {
  SampleRandom random(seed ^ 0xB5ULL);
  const std::size_t n = file.close.size();
  file.open.resize(n);
  file.high.resize(n);
  file.low.resize(n);
  file.volume.resize(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double close = file.close[i];
    const double open =
        i == 0 ? close * (1.0 - barSpread * 0.3 * random.Symmetric()) : file.close[i - 1];
    file.open[i] = open;
    file.high[i] = std::max(open, close) * (1.0 + barSpread * random.Uniform());
    file.low[i] = std::min(open, close) * (1.0 - barSpread * random.Uniform());
    const double yearAgo = i >= 12 ? file.close[i - 12] : file.close[0];
    const double change = close / yearAgo - 1.0;
    const double seasonal = 1.0 + 0.12 * std::sin((i % 12) * 0.5236 + 1.0);
    const double v =
        volumeBase * std::exp(volumeSwing * change) * seasonal * (1.0 + 0.25 * random.Symmetric());
    file.volume[i] = std::max(0.0, std::round(v));
  }
}

std::string DateText(int month) { return fmt::format("{}.{:02d}", month / 12, month % 12 + 1); }

std::string RenderSeries(const SeriesFile& file) {
  const int last = file.LastMonth();
  std::string text;
  text.reserve(file.close.size() * 64 + 512);
  auto line = [&text](const std::string& s) {
    text += s;
    text += "\r\n";
  };
  line(fmt::format("ORVANE;SERIES;{};{};{};{}", file.link, DateText(file.firstMonth),
                   DateText(last), file.close.size()));
  line("제목;" + file.title);
  line(fmt::format("출처;{};단위;{}", file.source, file.unit));
  line(fmt::format("형식;{};주기;월간", file.ohlc ? "open" : "hlc"));
  std::string columns =
      file.ohlc ? "일자;시가;고가;저가;종가;거래량" : "일자;고가;저가;종가;거래량";
  if (!file.compareNames.empty()) {
    // Compared names stand in fields 7 to 16 whatever the layout.
    if (!file.ohlc) columns += ";";
    for (const std::string& name : file.compareNames) columns += ";" + name;
  } else if (!file.companionName.empty()) {
    columns += ";" + file.companionName;
  }
  line(columns);
  line(
      fmt::format("기준;기간;{}~{};{}", DateText(file.firstMonth), DateText(last), file.highlight));
  line("작성;Orvane 리서치센터;문의;data@orvane.example");
  line("갱신;2024.07.01;배포;정기");
  line("비고;월말 기준;자료;" + file.source);
  line("주석;;;" + file.caption);

  for (std::size_t i = 0; i < file.close.size(); ++i) {
    const int month = file.firstMonth + static_cast<int>(i);
    std::vector<std::string> fields;
    std::string date = DateText(month);
    if (file.shortOctober && month % 12 == 9) date.pop_back();
    fields.push_back(date);
    if (file.ohlc) fields.push_back(Number(file.open[i], file.style));
    fields.push_back(Number(file.high[i], file.style));
    fields.push_back(Number(file.low[i], file.style));
    fields.push_back(Number(file.close[i], file.style));
    fields.push_back(fmt::format("{:.0f}", file.volume[i]));
    for (const auto& column : file.further) {
      const double v = column[i];
      std::string cell;
      if (std::isnan(v)) {
        cell.clear();
      } else if (file.tinyAsExponent && v != 0.0 && std::fabs(v) < 1e-3) {
        cell = fmt::format("{:.2E}", v);
      } else {
        cell = Number(v, file.style == NumberStyle::QuotedGrouped ? NumberStyle::QuotedGrouped
                                                                  : NumberStyle::Decimal2);
        if (file.style != NumberStyle::QuotedGrouped && std::fabs(v) < 10.0) {
          cell = fmt::format("{:.4f}", v);
        }
      }
      if (file.plusInField8 && fields.size() == 7 && !cell.empty() && cell.front() != '-') {
        cell.insert(0, 1, '+');
      }
      fields.push_back(std::move(cell));
    }
    while (fields.size() > 1 && fields.back().empty()) fields.pop_back();
    std::string row;
    for (std::size_t k = 0; k < fields.size(); ++k) {
      if (k) row += ';';
      row += fields[k];
    }
    line(row);
  }
  return text;
}

}  // namespace orvane::server
