#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "data/catalogue.h"
#include "server/sample/sample_parts.h"

namespace orvane::server {
namespace {

constexpr int kIndexFamily = 1;  // 1SNNN: source S (0 to 3), NNN counted per source
constexpr int kSectorFamily = 2;
constexpr int kCompositeFamily = 4;
constexpr int kApartmentFamily = 5;
constexpr int kMarketFamily = 6;
constexpr int kEconomyFamily = 7;

constexpr int kDistrictRowsPerRegion = 4;
constexpr int kApartmentsPerDistrict = 4;

// ---- Numbers as the server writes them into menu lists.

struct Moves {
  double last = 0, month = 0, year = 0, threeYears = 0, halfYear = 0, volume = 0, high52 = 0;
  double diff = 0;
};

double Change(double now, double before) {
  if (std::isnan(now) || std::isnan(before) || before == 0.0) return 0.0;
  return now / before - 1.0;
}

Moves MovesOf(const SeriesFile& f) {
  const int last = f.LastMonth();
  Moves m;
  m.last = f.CloseAt(last);
  m.month = Change(m.last, f.CloseAt(last - 1));
  m.halfYear = Change(m.last, f.CloseAt(last - 6));
  m.year = Change(m.last, f.CloseAt(last - 12));
  m.threeYears = Change(m.last, f.CloseAt(last - 36));
  m.volume = f.volume.empty() ? 0.0 : f.volume.back();
  m.diff = m.last - f.CloseAt(last - 1);
  if (std::isnan(m.diff)) m.diff = 0.0;
  m.high52 = m.last;
  for (int k = 0; k < 12; ++k) {
    const double v = f.CloseAt(last - k);
    if (!std::isnan(v)) m.high52 = std::max(m.high52, v);
  }
  return m;
}

// A change as a fraction: "0.0123", "-0.0235", "0.0000" when flat, "3.0E-05" when tiny.
std::string Fraction(double change) {
  if (change == 0.0) return "0.0000";
  if (std::fabs(change) < 1e-4) return fmt::format("{:.1E}", change);
  std::string text = fmt::format("{:.4f}", change);
  return text == "-0.0000" ? "0.0000" : text;
}

std::string Plain(double v, int decimals) { return fmt::format("{:.{}f}", v, decimals); }

// Every seventh row reports a flat month and every eleventh a tiny one, as real lists do.
double Reported(double change, std::size_t row) {
  if (row % 7 == 3) return 0.0;
  if (row % 11 == 5) return change >= 0 ? 3.0e-5 : -4.0e-5;
  return change;
}

// ---- Regions and their housing markets.

struct RegionProfile {
  std::string_view name;
  std::string_view shortName;
  double amplitude;
  double price;   // average apartment price, ten thousand won
  double volume;  // apartment sales per month
  int firstYear;
};

constexpr RegionProfile kRegions[] = {
    {"전국", "전국", 1.0, 48000, 32000, 1986},    {"서울시", "서울", 1.25, 118000, 3800, 1986},
    {"인천시", "인천", 1.05, 42000, 2100, 1986},  {"경기도", "경기", 1.15, 58000, 9200, 1986},
    {"부산시", "부산", 0.95, 38000, 2800, 1986},  {"대구시", "대구", 0.95, 33000, 2000, 1986},
    {"광주시", "광주", 0.8, 30000, 1300, 1986},   {"대전시", "대전", 0.95, 33000, 1200, 1986},
    {"울산시", "울산", 0.85, 30000, 1000, 1986},  {"세종시", "세종", 1.4, 52000, 500, 2013},
    {"경상남도", "경남", 0.7, 25000, 2300, 1986}, {"경상북도", "경북", 0.65, 18000, 2000, 1986},
    {"전라남도", "전남", 0.6, 17000, 1500, 1986}, {"전라북도", "전북", 0.6, 18000, 1400, 1986},
    {"충청남도", "충남", 0.7, 22000, 1900, 1986}, {"충청북도", "충북", 0.7, 21000, 1500, 1986},
    {"강원도", "강원", 0.65, 20000, 1500, 1986},  {"제주도", "제주", 0.9, 40000, 400, 1986},
};

const RegionProfile& ProfileOf(std::string_view name) {
  for (const RegionProfile& r : kRegions) {
    if (r.name == name) return r;
  }
  return kRegions[0];
}

const DistrictBlock* BlockOf(std::string_view region) {
  for (const DistrictBlock& b : DistrictBlocks()) {
    if (b.region == region) return &b;
  }
  return nullptr;
}

// Composite entries of a district block: "경기100", "★Vela100", "♣Crest250", "♥KX1500".
bool IsComposite(std::string_view name) {
  return name.ends_with("100") || name.ends_with("250") || name.ends_with("1500");
}

std::vector<std::string_view> OrdinaryDistricts(const DistrictBlock& block) {
  std::vector<std::string_view> names;
  for (std::string_view n : block.names) {
    if (!IsComposite(n)) names.push_back(n);
  }
  return names;
}

// Price level of a district relative to its region.
double DistrictFactor(std::string_view district, std::string_view region) {
  if (region == "서울시") {
    if (district == "강남구") return 2.3;
    if (district == "서초구") return 2.2;
    if (district == "송파구") return 1.6;
    if (district == "용산구") return 1.8;
    if (district == "성동구" || district == "마포구") return 1.25;
  }
  if (district == "과천시" || district == "성남분당구") return 2.0;
  if (district == "수성구" || district == "해운대구" || district == "유성구") return 1.45;
  SampleRandom random(HashText(district) ^ HashText(region));
  return 0.55 + 0.8 * random.Uniform();
}

// ---- Series files.

struct Source {
  int menuId;
  std::string_view name;
  std::string_view folder;
  int firstYear;
  int firstMonthOfYear;
  int baseMonth;  // the month that reads 100
  bool ohlc;
  bool shortOctober;
};

const Source kSources[] = {
    {101, "Orvane", "/101.KX_Menu", 1986, 1, Month(2020, 1), true, false},
    {102, "부동산원", "/102.REB_Menu", 2003, 11, Month(2021, 6), false, false},
    {103, "KB부동산", "/103.KB_Menu", 1986, 1, Month(2022, 1), false, true},
    {104, "국토부", "/104.KOR_Menu", 2006, 1, Month(2017, 11), false, false},
};

const SeriesFile& HousingIndex(SeriesBook& book, const Source& source, int sourceIndex,
                               const std::string& title, const std::string& caption,
                               double amplitude, double volumeBase, int firstYear, bool compare,
                               std::uint64_t seed) {
  SeriesFile f;
  f.link = fmt::format("{}{}{:03d}", kIndexFamily, sourceIndex, book.Next(10 + sourceIndex));
  f.title = title;
  f.caption = caption;
  f.source = std::string(source.name);
  f.unit = fmt::format("{}={}", DateText(source.baseMonth), 100);
  f.ohlc = source.ohlc || compare;
  f.shortOctober = source.shortOctober && !compare;
  f.firstMonth = std::max(Month(source.firstYear, source.firstMonthOfYear), Month(firstYear, 1));
  CurveParams curve;
  curve.shape = Shape::Housing;
  curve.amplitude = amplitude;
  curve.driftPerYear = 0.004 * SampleRandom(seed).Symmetric();
  curve.seed = seed;
  curve.scaleAt = source.baseMonth;
  curve.scaleTo = 100.0;
  f.close = MonthlyPath(curve, f.firstMonth, kLastMonth);
  FillBars(f, 0.004, volumeBase, 4.0, seed);
  // The companion: the deposit (jeonse) index of the same market.
  CurveParams deposit = curve;
  deposit.shape = Shape::Jeonse;
  deposit.amplitude = amplitude * 0.85;
  deposit.seed = seed ^ 0x5EULL;
  if (!compare) {
    f.further.push_back(MonthlyPath(deposit, f.firstMonth, kLastMonth));
    f.companionName = "전세지수";
  }
  // Highlight the peak month.
  const auto peak = std::max_element(f.close.begin(), f.close.end()) - f.close.begin();
  f.highlight = DateText(f.firstMonth + static_cast<int>(peak));
  return book.Add(std::move(f));
}

using Compared = std::vector<std::pair<std::string, const SeriesFile*>>;

// Makes the file at link a compare file: the given series become its further values 1 to 10.
void AttachCompare(SeriesBook& book, const std::string& link, const Compared& compared) {
  SeriesFile f = *book.Find(link);
  f.further.clear();
  f.compareNames.clear();
  for (const auto& [name, c] : compared) {
    std::vector<double> column(f.close.size(), std::numeric_limits<double>::quiet_NaN());
    for (std::size_t i = 0; i < column.size(); ++i) {
      column[i] = c->CloseAt(f.firstMonth + static_cast<int>(i));
    }
    f.further.push_back(std::move(column));
    f.compareNames.push_back(name);
  }
  book.Add(std::move(f));
}

std::string ApartmentName(std::string_view district, int index, std::uint64_t seed) {
  static constexpr std::string_view kBrands[] = {
      "래미안",   "자이", "힐스테이트", "푸르지오", "e편한세상", "아이파크",
      "롯데캐슬", "더샵", "SK뷰",       "센트레빌", "꿈에그린",  "두산위브",
      "호반써밋", "한신", "현대",       "우성",     "쌍용예가",  "중흥S클래스"};
  static constexpr std::string_view kSuffixes[] = {"센트럴", "퍼스트", "리버뷰",   "파크",
                                                   "1차",    "2단지",  "더퍼스트", "에듀포레",
                                                   "스카이", "레이크", "시티",     "헤리티지"};
  SampleRandom random(seed + static_cast<std::uint64_t>(index) * 7919);
  std::string stem(district);
  // "강남구" -> "강남", "성남분당구" -> "분당": the last two syllables before the unit.
  for (std::string_view unit : {"구", "시", "군"}) {
    if (stem.size() > unit.size() && stem.ends_with(unit)) stem.resize(stem.size() - unit.size());
  }
  if (stem.size() > 6) stem = stem.substr(stem.size() - 6);
  return fmt::format("{}{}{}", kBrands[random.Below(std::size(kBrands))], stem,
                     kSuffixes[random.Below(std::size(kSuffixes))]);
}

struct Apartment {
  std::string district;
  std::string name;
  int households;
  int age;
  double price;  // ten thousand won, latest
  const SeriesFile* file;
};

Apartment MakeApartment(SeriesBook& book, std::string_view region, std::string_view district,
                        int index) {
  const RegionProfile& profile = ProfileOf(region);
  const std::uint64_t seed = HashText(region) * 31 + HashText(district) * 7 + index;
  SampleRandom random(seed);
  Apartment a;
  a.district = std::string(district);
  a.name = ApartmentName(district, index, seed);
  a.households = 300 + random.Below(5200);
  a.age = 4 + random.Below(36);
  const double price = profile.price * DistrictFactor(district, region) *
                       (0.7 + 0.7 * random.Uniform()) * (a.households > 2000 ? 1.15 : 1.0);
  a.price = std::round(price / 100.0) * 100.0;

  SeriesFile f;
  f.link = book.NextLink(kApartmentFamily);
  f.title = fmt::format("{} {} {}", profile.shortName, district, a.name);
  f.caption = fmt::format("{}세대 · {}년차 · 전용 84㎡ 실거래 평균 (만원)", a.households, a.age);
  f.source = "국토부 실거래가";
  f.unit = "만원";
  f.style = NumberStyle::QuotedGrouped;
  f.firstMonth = std::max(Month(2006, 1), Month(2024 - a.age + 1, 1));
  CurveParams curve;
  curve.shape = Shape::Housing;
  curve.amplitude = profile.amplitude * (0.9 + 0.3 * random.Uniform());
  curve.wander = 0.006;
  curve.noise = 0.012;
  curve.seed = seed;
  curve.scaleAt = kLastMonth;
  curve.scaleTo = a.price;
  f.close = MonthlyPath(curve, f.firstMonth, kLastMonth);
  for (double& c : f.close) c = std::round(c / 50.0) * 50.0;
  FillBars(f, 0.02, 3.0 + a.households / 600.0, 5.0, seed);
  std::vector<double> deposit(f.close.size());
  const double ratio = 0.45 + 0.2 * random.Uniform();
  for (std::size_t i = 0; i < deposit.size(); ++i) {
    deposit[i] = std::round(f.close[i] * ratio * (1.0 + 0.05 * std::sin(i * 0.11)) / 50.0) * 50.0;
  }
  f.further.push_back(std::move(deposit));
  f.companionName = "전세가";
  const auto peak = std::max_element(f.close.begin(), f.close.end()) - f.close.begin();
  f.highlight = DateText(f.firstMonth + static_cast<int>(peak));
  a.file = &book.Add(std::move(f));
  return a;
}

// ---- The grid layout shared by all lists.

void PutTabs(MenuList& list, bool apartmentTabLong) {
  GridRow& r = list.Row(0);
  r[1] = "아파트지수";
  r[2] = "섹터지수";
  r[3] = apartmentTabLong ? "개별아파트" : "아파트";
  r[5] = "금융시장";
  r[7] = "경제지표";
}

void PutSources(MenuList& list) {
  GridRow& r = list.Row(2);
  r[1] = "Orvane";
  r[3] = "부동산원";
  r[5] = "KB부동산";
  r[7] = "국토부";
}

// Names laid out perColumn to a row from firstRow, columns 1 on.
void PutCells(MenuList& list, std::size_t firstRow, std::size_t perRow,
              const std::vector<std::string_view>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    list.Set(firstRow + i / perRow, 1 + i % perRow, std::string(names[i]));
  }
}

void PutHeading(MenuList& list, std::size_t row, const std::vector<std::string_view>& names) {
  GridRow& r = list.Row(row);
  std::size_t c = 1;
  for (std::string_view n : names) r[c++] = std::string(n);
}

// ---- Tab 1: the index sources.

struct IndexRow {
  std::string name;
  const SeriesFile* file;
  double price;
};

void PutIndexRows(MenuList& list, std::size_t& row, const Source& source,
                  const std::vector<IndexRow>& items) {
  for (std::size_t i = 0; i < items.size(); ++i, ++row) {
    const IndexRow& item = items[i];
    const Moves m = MovesOf(*item.file);
    GridRow& r = list.Row(row);
    r[1] = std::to_string(i + 1);
    r[2] = item.name;
    if (source.menuId == 101) {
      r[3] = fmt::format("{:.0f}", item.price);
      r[4] = fmt::format("{:.0f}", m.volume);
      r[5] = Plain(m.last, 4);
      r[6] = Fraction(Reported(m.month, row));
      r[7] = Fraction(m.year);
      r[8] = Fraction(m.threeYears);
    } else {
      r[3] = fmt::format("{:.0f}", item.price);
      r[4] = fmt::format("{:.0f}", item.price * 0.62);
      r[5] = fmt::format("{:.0f}", m.volume);
      r[6] = Plain(m.last, 4);
      r[7] = Fraction(Reported(m.month, row));
      r[8] = Plain(62.0 + 10.0 * std::sin(static_cast<double>(row)), 1);
    }
    r[9] = item.file->link;
  }
}

void PutIndexUnitRow(MenuList& list, std::size_t row, const Source& source) {
  GridRow& r = list.Row(row);
  if (source.menuId == 101) {
    r[3] = "단위:만원";
    r[4] = "단위:건";
    r[5] = "기준월";
    r[6] = "전월대비";
    r[7] = "반기평균";
    r[8] = "3년평균";
  } else {
    r[3] = "단위:만원";
    r[4] = "전세(만원)";
    r[5] = "세대수";
    r[7] = "등락률";
  }
}

std::vector<MenuList> IndexSourceLists(SeriesBook& book) {
  std::vector<MenuList> lists;
  for (int s = 0; s < 4; ++s) {
    const Source& source = kSources[s];
    auto headingFor = [&source](std::string_view second) {
      if (source.menuId == 101) {
        return std::vector<std::string_view>{"순서", second,  "평균가", "거래량",
                                             "지수", "1개월", "1년",    "3년"};
      }
      return std::vector<std::string_view>{"순서",   second, "매매가", "전세가",
                                           "거래량", "지수", "변동률", "전세가율"};
    };
    std::map<std::string_view, const SeriesFile*> composite;
    for (const RegionProfile& region : kRegions) {
      const std::string title = fmt::format("{} {} 아파트 매매가격지수", source.name, region.name);
      composite[region.name] = &HousingIndex(book, source, s, title,
                                             fmt::format("{} 아파트 매매가격지수 ({}=100), 월간",
                                                         region.name, DateText(source.baseMonth)),
                                             region.amplitude, region.volume, region.firstYear,
                                             region.name == "전국", HashText(title));
    }
    // The nationwide file compares the first ten regions.
    Compared compared;
    for (std::size_t i = 1; i <= 10; ++i) {
      compared.emplace_back(std::string(kRegions[i].name), composite[kRegions[i].name]);
    }
    AttachCompare(book, composite["전국"]->link, compared);
    composite["전국"] = book.Find(composite["전국"]->link);

    for (const IndexRegion& region : IndexRegions()) {
      const RegionProfile& profile = ProfileOf(region.name);
      const std::string code(source.menuId == 101 ? region.ownCode : region.otherCode);
      MenuList list;
      list.name = MenuListPath(source.folder, code).substr(1);
      list.source = std::string(source.name);
      PutTabs(list, false);
      PutSources(list);
      std::vector<std::string_view> regionNames;
      for (const IndexRegion& r : IndexRegions()) regionNames.push_back(r.name);
      PutCells(list, 4, 6, regionNames);

      std::size_t row = 8;
      const auto h1 = headingFor("지역별");
      PutHeading(list, row++, h1);
      std::vector<IndexRow> items;
      if (region.name == "전국") {
        for (const RegionProfile& r : kRegions) {
          items.push_back({std::string(r.name), composite[r.name], r.price});
        }
      } else {
        items.push_back({std::string(region.name), composite[region.name], profile.price});
        if (const DistrictBlock* block = BlockOf(region.name)) {
          const auto districts = OrdinaryDistricts(*block);
          for (std::size_t d = 0; d < districts.size() && d < kDistrictRowsPerRegion; ++d) {
            const std::string title = fmt::format("{} {} {} 아파트 매매가격지수", source.name,
                                                  profile.shortName, districts[d]);
            const double factor = DistrictFactor(districts[d], region.name);
            const SeriesFile& f =
                HousingIndex(book, source, s, title,
                             fmt::format("{} {} 아파트 매매가격지수", region.name, districts[d]),
                             profile.amplitude * (0.85 + 0.25 * factor), profile.volume * 0.08,
                             profile.firstYear, false, HashText(title));
            items.push_back({std::string(districts[d]), &f, profile.price * factor});
          }
        }
      }
      PutIndexRows(list, row, source, items);

      const bool nationwide = region.name == "전국";
      const auto h2 = headingFor("가격대별");
      PutHeading(list, row++, h2);
      std::vector<std::string_view> bands =
          nationwide ? std::vector<std::string_view>{"1분위", "2분위", "3분위", "4분위", "5분위"}
                     : std::vector<std::string_view>{"하위", "중위", "상위"};
      items.clear();
      for (std::size_t b = 0; b < bands.size(); ++b) {
        const double weight = 0.45 + 0.9 * static_cast<double>(b) / (bands.size() - 1);
        const std::string title =
            fmt::format("{} {} 가격대별 {} 아파트 지수", source.name, profile.shortName, bands[b]);
        const SeriesFile& f =
            HousingIndex(book, source, s, title,
                         fmt::format("{} 가격 {} 아파트 매매가격지수", region.name, bands[b]),
                         profile.amplitude * (0.75 + 0.4 * weight), profile.volume * 0.2,
                         profile.firstYear, false, HashText(title));
        items.push_back({std::string(bands[b]), &f, profile.price * weight});
      }
      PutIndexRows(list, row, source, items);

      if (nationwide) {
        const auto h3 = headingFor("권역별");
        PutHeading(list, row++, h3);
        items.clear();
        const std::pair<std::string_view, double> areas[] = {
            {"수도권", 1.18}, {"5대광역시", 0.92}, {"기타지방", 0.68}};
        for (const auto& [area, amplitude] : areas) {
          const std::string title =
              fmt::format("{} 권역별 {} 아파트 매매가격지수", source.name, area);
          const SeriesFile& f =
              HousingIndex(book, source, s, title, fmt::format("{} 아파트 매매가격지수", area),
                           amplitude, 8000, 1986, false, HashText(title));
          items.push_back({std::string(area), &f, 48000 * amplitude});
        }
        PutIndexRows(list, row, source, items);
      }
      PutIndexUnitRow(list, row, source);
      lists.push_back(std::move(list));
    }
  }
  return lists;
}

// ---- Tab 2: sectors.

std::vector<MenuList> SectorLists(SeriesBook& book, const std::vector<Apartment>& seoulApartments) {
  static constexpr std::string_view kSectorTitles[] = {
      "재건축", "신축 5년 이내", "대단지 1000세대 이상", "역세권",
      "학군지", "대형 평형",     "중소형 평형",          "고가 아파트"};
  static constexpr std::string_view kSectorRegions[] = {"서울시", "경기도", "인천시", "부산시",
                                                        "대구시", "대전시", "광주시", "울산시"};
  std::vector<MenuList> lists;
  const auto sectors = SectorNames();
  for (std::size_t s = 0; s < sectors.size(); ++s) {
    MenuList list;
    list.name = MenuListPath("/101.KX_Menu", ListCode(21 + static_cast<int>(s))).substr(1);
    list.source = "Orvane";
    PutTabs(list, false);
    list.Set(2, 1, "Orvane");
    for (std::size_t i = 0; i < sectors.size(); ++i) {
      list.Set(4 + i / 4, 1 + i % 4, std::string(sectors[i]));
    }
    list.Set(2, 3, fmt::format("{}: {}", sectors[s], kSectorTitles[s]));
    std::size_t row = 11;
    PutHeading(list, row++, {"순서", "지역별", "평균가", "거래량", "지수", "1개월", "1년", "3년"});
    std::vector<IndexRow> items;
    const double tilt = 0.8 + 0.08 * static_cast<double>(s);
    auto addSector = [&](std::string_view regionName) {
      const RegionProfile& profile = ProfileOf(regionName);
      const std::string title =
          fmt::format("Orvane {} {} 섹터지수", profile.shortName, kSectorTitles[s]);
      SeriesFile f;
      f.link = fmt::format("2{}{:03d}", s + 1, items.size() + 1);
      f.title = title;
      f.caption = fmt::format("{} · {} (2020.01=100)", sectors[s], kSectorTitles[s]);
      f.source = "Orvane";
      f.unit = "2020.01=100";
      f.ohlc = true;
      f.firstMonth = Month(std::max(2003, profile.firstYear), 1);
      CurveParams curve;
      curve.amplitude = profile.amplitude * tilt;
      curve.seed = HashText(title);
      curve.scaleAt = Month(2020, 1);
      curve.scaleTo = 100.0;
      f.close = MonthlyPath(curve, f.firstMonth, kLastMonth);
      FillBars(f, 0.006, profile.volume * 0.1, 4.0, curve.seed);
      const auto peak = std::max_element(f.close.begin(), f.close.end()) - f.close.begin();
      f.highlight = DateText(f.firstMonth + static_cast<int>(peak));
      items.push_back({std::string(regionName), &book.Add(std::move(f)), profile.price * tilt});
    };
    addSector("전국");
    for (std::string_view r : kSectorRegions) addSector(r);
    // The nationwide sector file compares the regions.
    Compared compared;
    for (std::size_t i = 1; i < items.size(); ++i)
      compared.emplace_back(items[i].name, items[i].file);
    AttachCompare(book, items[0].file->link, compared);
    items[0].file = book.Find(items[0].file->link);
    PutIndexRows(list, row, kSources[0], items);

    // A ranking of the sector's largest complexes, linked to their own series.
    GridRow& rank = list.Row(row++);
    rank = {"",         "순위",   "아파트명", "세대수",   "단지면적",
            "시가총액", "전월비", "반기",     "평균대비", ""};
    for (std::size_t k = 0; k < 5; ++k, ++row) {
      const Apartment& a = seoulApartments[(s * 13 + k * 29) % seoulApartments.size()];
      const Moves m = MovesOf(*a.file);
      GridRow& r = list.Row(row);
      r[1] = std::to_string(k + 1);
      r[2] = a.name;
      r[3] = std::to_string(a.households);
      r[4] = fmt::format("{}", 20000 + a.households * 31);
      r[5] = Plain(a.price * a.households / 1e8, 4);
      r[6] = Fraction(m.month);
      r[7] = Fraction(m.halfYear);
      r[8] = Fraction(m.year - 0.01);
      r[9] = a.file->link;
    }
    PutIndexUnitRow(list, row, kSources[0]);
    lists.push_back(std::move(list));
  }
  return lists;
}

// ---- Tab 3: apartments by region and district.

std::vector<MenuList> ApartmentLists(SeriesBook& book, std::vector<Apartment>& seoulApartments) {
  std::vector<MenuList> lists;
  std::vector<std::string_view> regionNames;
  for (const DistrictBlock& b : DistrictBlocks()) regionNames.push_back(b.region);

  for (const DistrictBlock& block : DistrictBlocks()) {
    const RegionProfile& profile = ProfileOf(block.region);
    // The complexes of every ordinary district of the block, made once.
    std::map<std::string_view, std::vector<Apartment>> byDistrict;
    std::vector<Apartment> all;
    for (std::string_view d : OrdinaryDistricts(block)) {
      for (int k = 0; k < kApartmentsPerDistrict; ++k) {
        byDistrict[d].push_back(MakeApartment(book, block.region, d, k));
        all.push_back(byDistrict[d].back());
      }
    }
    if (block.region == "서울시") seoulApartments = all;
    std::vector<Apartment> byPrice = all;
    std::stable_sort(byPrice.begin(), byPrice.end(),
                     [](const Apartment& a, const Apartment& b) { return a.price > b.price; });

    for (std::size_t i = 0; i < block.names.size(); ++i) {
      const std::string_view district = block.names[i];
      const int code = block.firstCode + static_cast<int>(i);
      MenuList list;
      list.name = MenuListPath("/105.APT_Menu", ListCode(code)).substr(1);
      list.source = "개별아파트";
      PutTabs(list, true);
      PutCells(list, 2, 6, regionNames);
      std::vector<std::string_view> districts(block.names.begin(), block.names.end());
      PutCells(list, 6, 8, districts);

      std::size_t row = 13;
      if (!IsComposite(district)) {
        PutHeading(
            list, row++,
            {"순서", "시/군/구", "아파트명", "세대.연차", "매매가", "평당가", "1개월", "1년"});
        const auto& apartments = byDistrict[district];
        for (std::size_t k = 0; k < apartments.size(); ++k, ++row) {
          const Apartment& a = apartments[k];
          const Moves m = MovesOf(*a.file);
          GridRow& r = list.Row(row);
          r[1] = std::to_string(k + 1);
          r[2] = a.district;
          r[3] = a.name;
          r[4] = fmt::format("{}.{:02d}", a.households, a.age);
          r[5] = Plain(a.price / 10000.0, 2);
          r[6] = Plain(a.price / 10000.0 / 2.5 * 1.0123, 4);
          r[7] = Fraction(Reported(m.month, row));
          r[8] = Fraction(m.year);
          r[9] = a.file->link;
        }
        lists.push_back(std::move(list));
        continue;
      }

      // A composite: its own index, then its largest members.
      const bool weighted = code == 28;  // this list reads its columns 5 and 6 as fractions
      const std::string indexName(district);
      SeriesFile f;
      f.link = book.NextLink(kCompositeFamily);
      f.title = fmt::format("{} {} 아파트 지수", profile.shortName, indexName);
      f.caption = fmt::format("{} 대표 아파트 {} 시가총액 가중 지수 (2020.01=100)", block.region,
                              indexName);
      f.source = "Orvane";
      f.unit = "2020.01=100";
      f.ohlc = true;
      f.firstMonth = Month(block.region == "세종시" ? 2013 : 2006, 1);
      CurveParams curve;
      curve.amplitude = profile.amplitude * 1.1;
      curve.seed = HashText(f.title);
      curve.scaleAt = Month(2020, 1);
      curve.scaleTo = 100.0;
      f.close = MonthlyPath(curve, f.firstMonth, kLastMonth);
      FillBars(f, 0.006, profile.volume * 0.05, 4.0, curve.seed);
      f.highlight = "2021.10";
      const SeriesFile& index = book.Add(std::move(f));
      const Moves im = MovesOf(index);

      if (weighted) {
        PutHeading(list, row++,
                   {"순서", "구분", "명칭", "세대.연차", "비중", "1개월", "1년", "3년"});
        list.Row(row) = {"",
                         "1",
                         "지수",
                         indexName,
                         "",
                         "1.0000",
                         Fraction(im.month),
                         Fraction(im.year),
                         Fraction(im.threeYears),
                         index.link};
      } else {
        PutHeading(list, row++,
                   {"순서", "구분", "명칭", "세대.연차", "지수", "시총(조)", "1개월", "1년"});
        list.Row(row) = {"",
                         "1",
                         "지수",
                         indexName,
                         "",
                         Plain(im.last, 4),
                         Plain(static_cast<double>(all.size()) * 0.37, 3),
                         Fraction(im.month),
                         Fraction(im.year),
                         index.link};
      }
      ++row;
      if (weighted) {
        list.Row(row++) = {"",     "순위",      "시/군/구", "아파트명", "세대.연차",
                           "비중", "1개월등락", "1년등락",  "3년등락",  ""};
      } else {
        list.Row(row++) = {"",         "순위", "시/군/구",  "아파트명", "세대.연차",
                           "시가총액", "비중", "1개월등락", "1년등락",  ""};
      }
      // Each composite takes its members from a different slice of the price ranking.
      const std::size_t members = std::min<std::size_t>(weighted ? 12 : 8, byPrice.size());
      const std::size_t offset = district.starts_with("♣") ? 4 : 0;
      double total = 0;
      for (std::size_t k = 0; k < members; ++k)
        total += byPrice[(k + offset) % byPrice.size()].price;
      for (std::size_t k = 0; k < members; ++k, ++row) {
        const Apartment& a = byPrice[(k + offset) % byPrice.size()];
        const Moves m = MovesOf(*a.file);
        GridRow& r = list.Row(row);
        r[1] = std::to_string(k + 1);
        r[2] = a.district;
        r[3] = a.name;
        r[4] = fmt::format("{}.{:02d}", a.households, a.age);
        if (weighted) {
          r[5] = Plain(a.price / total, 4);
          r[6] = Fraction(Reported(m.month, row));
          r[7] = Fraction(m.year);
          r[8] = Fraction(m.threeYears);
        } else {
          r[5] = Plain(a.price * a.households / 10000.0, 1);
          r[6] = Plain(100.0 * a.price / total, 2);
          r[7] = Fraction(Reported(m.month, row));
          r[8] = Fraction(m.year);
        }
        r[9] = a.file->link;
      }
      lists.push_back(std::move(list));
    }
  }
  return lists;
}

// ---- Tab 5: financial markets.

struct MarketEntry {
  std::string_view group;
  std::string_view name;
  Shape shape;
  double amplitude;
  double drift;
  double latest;
  int firstYear;
  std::string_view unit;
};

constexpr MarketEntry kMarkets[] = {
    {"국내", "KOSPI", Shape::Kospi, 1.0, 0.0, 2797.82, 1980, "pt"},
    {"국내", "KOSDAQ", Shape::Kospi, 1.2, -0.01, 840.44, 1997, "pt"},
    {"국내", "KOSPI200", Shape::Kospi, 1.0, 0.002, 375.97, 1990, "pt"},
    {"국내", "KRX건설", Shape::Kospi, 1.35, -0.02, 612.30, 2000, "pt"},
    {"국내", "KRX은행", Shape::Kospi, 0.9, -0.005, 781.15, 2000, "pt"},
    {"해외", "S&P500", Shape::UsStocks, 1.0, 0.0, 5460.48, 1980, "pt"},
    {"해외", "나스닥", Shape::UsStocks, 1.35, 0.01, 17732.60, 1980, "pt"},
    {"해외", "다우존스", Shape::UsStocks, 0.9, 0.0, 39118.86, 1980, "pt"},
    {"해외", "니케이225", Shape::Kospi, 0.55, 0.01, 39583.08, 1980, "pt"},
    {"해외", "상해종합", Shape::Kospi, 0.8, -0.01, 2967.40, 1991, "pt"},
    {"해외", "항셍", Shape::Kospi, 0.7, -0.015, 17718.61, 1980, "pt"},
    {"해외", "DAX", Shape::UsStocks, 0.85, 0.0, 18235.45, 1988, "pt"},
    {"금리", "국고채3년", Shape::BondYield, 1.0, 0.0, 3.26, 1995, "%"},
    {"금리", "국고채10년", Shape::BondYield, 1.05, 0.0, 3.32, 2001, "%"},
    {"금리", "회사채AA-", Shape::BondYield, 1.15, 0.0, 3.69, 1995, "%"},
    {"금리", "CD91일", Shape::BaseRate, 1.05, 0.0, 3.59, 1999, "%"},
    {"금리", "미국채10년", Shape::BondYield, 0.8, 0.0, 4.36, 1995, "%"},
    {"환율", "원/달러", Shape::Won, 1.0, 0.0, 1376.70, 1980, "원"},
    {"환율", "원/엔(100엔)", Shape::Won, 0.7, -0.01, 856.80, 1980, "원"},
    {"환율", "원/유로", Shape::Won, 0.9, 0.0, 1474.86, 1999, "원"},
    {"환율", "원/위안", Shape::Won, 0.8, 0.0, 189.37, 1994, "원"},
    {"원자재", "WTI", Shape::Commodity, 1.0, 0.0, 81.54, 1983, "달러/배럴"},
    {"원자재", "금", Shape::Commodity, 0.6, 0.045, 2326.75, 1980, "달러/온스"},
    {"원자재", "구리", Shape::Commodity, 0.8, 0.01, 9476.00, 1980, "달러/톤"},
};

MenuList MarketList(SeriesBook& book) {
  MenuList list;
  list.name = MenuListPath("/106.STOCK_Menu", "0001").substr(1);
  list.source = "금융시장";
  PutTabs(list, false);
  list.Set(1, 1, "기준일");
  list.Set(1, 2, "2024-06-28");
  std::size_t row = 2;
  std::string_view group;
  int n = 0;
  std::map<std::string_view, const SeriesFile*> files;
  for (const MarketEntry& m : kMarkets) {
    const bool rate = m.unit == "%";
    SeriesFile f;
    f.link = book.NextLink(kMarketFamily);
    f.title = fmt::format("{} 월봉", m.name);
    f.caption = fmt::format("{} {} 월간 (단위: {})", m.group, m.name, m.unit);
    f.source = "Orvane 시장자료";
    f.unit = std::string(m.unit);
    f.ohlc = true;
    f.style = rate ? NumberStyle::Decimal3 : NumberStyle::Decimal2;
    f.firstMonth = Month(m.firstYear, 1);
    CurveParams curve;
    curve.shape = m.shape;
    curve.amplitude = m.amplitude;
    curve.driftPerYear = m.drift;
    curve.wander = rate ? 0.006 : 0.01;
    curve.noise = rate ? 0.01 : 0.025;
    curve.seed = HashText(m.name);
    curve.scaleTo = m.latest;
    f.close = MonthlyPath(curve, f.firstMonth, kLastMonth);
    FillBars(f, rate ? 0.03 : 0.05, rate ? 0.0 : 9000.0, 2.0, curve.seed);
    if (rate) std::fill(f.volume.begin(), f.volume.end(), 0.0);
    const auto low = std::min_element(f.close.begin(), f.close.end()) - f.close.begin();
    f.highlight = m.group == "국내" ? "2021.06" : DateText(f.firstMonth + static_cast<int>(low));
    const SeriesFile& added = book.Add(std::move(f));
    files[m.name] = &added;
    book.markets.emplace_back(std::string(m.name), added.link);

    if (m.group != group) {
      group = m.group;
      n = 0;
      PutHeading(list, row++,
                 {"순서", "구분", "종목명", "기준일", "전일비", "현재가", "등락률", "52주고가"});
    }
    const Moves mv = MovesOf(added);
    GridRow& r = list.Row(row);
    r[1] = std::to_string(++n);
    r[2] = std::string(m.group);
    r[3] = std::string(m.name);
    r[4] = "2024-06-28";
    r[5] = Plain(mv.diff, 4);
    r[6] = Plain(mv.last, 4);
    r[7] = Fraction(Reported(mv.month, row));
    r[8] = rate ? "" : Plain(mv.high52, 4);  // an empty cell reads 0.00 on screen
    r[9] = added.link;
    ++row;
  }

  // Compare files: stocks against each other, rebased to the first one in 2010.
  auto rebased = [&](std::string_view base, std::initializer_list<std::string_view> names) {
    const SeriesFile* b = files[base];
    Compared compared;
    std::vector<SeriesFile> scaled;
    scaled.reserve(names.size());
    for (std::string_view name : names) {
      SeriesFile c = *files[name];
      const double factor = b->CloseAt(Month(2010, 1)) / c.CloseAt(Month(2010, 1));
      for (double& v : c.close) v *= factor;
      scaled.push_back(std::move(c));
    }
    std::size_t k = 0;
    for (std::string_view name : names) compared.emplace_back(std::string(name), &scaled[k++]);
    AttachCompare(book, b->link, compared);
  };
  rebased("KOSPI", {"KOSDAQ", "KOSPI200", "S&P500", "나스닥", "다우존스", "니케이225", "상해종합",
                    "항셍", "DAX", "원/달러"});
  rebased("S&P500", {"나스닥", "다우존스", "KOSPI"});
  return list;
}

// ---- Tab 7: economic indicators.

struct IndicatorEntry {
  std::string_view group;
  std::string_view name;
  Shape shape;
  double amplitude;
  double latest;
  int firstYear;
  std::string_view unit;
  bool additive;
};

constexpr IndicatorEntry kIndicators[] = {
    {"경제", "기준금리", Shape::BaseRate, 1.0, 3.5, 1999, "%", true},
    {"경제", "소비자물가지수", Shape::Prices, 1.0, 114.2, 1980, "2020=100", false},
    {"경제", "실업률", Shape::BondYield, 0.45, 2.8, 1995, "%", false},
    {"경제", "광의통화(M2)", Shape::Prices, 2.2, 4012.5, 1986, "조원", false},
    {"경제", "선행지수순환변동치", Shape::Kospi, 0.04, 100.6, 1986, "pt", false},
    {"경제", "소비자심리지수", Shape::Kospi, 0.12, 100.9, 2008, "pt", false},
    {"주택", "주택담보대출금리", Shape::BondYield, 0.7, 3.94, 2001, "%", false},
    {"주택", "가계대출잔액", Shape::Prices, 2.5, 1896.2, 2003, "조원", false},
    {"주택", "주택매매거래량", Shape::Commodity, 0.4, 55120, 2006, "호", false},
    {"주택", "미분양주택", Shape::Unsold, 1.0, 74037, 1995, "호", false},
    {"주택", "주택가격전망CSI", Shape::Housing, 0.45, 108, 2013, "pt", false},
    {"주택", "전세가율", Shape::Commodity, 0.08, 67.5, 2003, "%", false},
};

MenuList EconomyList(SeriesBook& book) {
  MenuList list;
  list.name = MenuListPath("/107.ECO_Menu", "0001").substr(1);
  list.source = "경제지표";
  PutTabs(list, false);
  list.Set(1, 1, "기준월");
  list.Set(1, 2, "2024.06");
  std::size_t row = 2;
  std::string_view group;
  int n = 0;
  for (const IndicatorEntry& ind : kIndicators) {
    SeriesFile f;
    f.link = book.NextLink(kEconomyFamily);
    f.title = std::string(ind.name);
    f.caption = fmt::format("{} · {} (단위: {})", ind.group, ind.name, ind.unit);
    f.source = "Orvane 경제자료";
    f.unit = std::string(ind.unit);
    f.style = ind.unit == "%" ? NumberStyle::Decimal3 : NumberStyle::Decimal2;
    f.shortOctober = true;
    f.plusInField8 = true;
    f.tinyAsExponent = true;
    f.firstMonth = Month(ind.firstYear, ind.name == "기준금리" ? 5 : 1);
    CurveParams curve;
    curve.shape = ind.shape;
    curve.amplitude = ind.amplitude;
    curve.additive = ind.additive;
    curve.wander = ind.additive ? 0.0 : 0.003;
    curve.noise = ind.additive ? 0.0 : 0.004;
    curve.seed = HashText(ind.name);
    curve.scaleTo = ind.latest;
    f.close = MonthlyPath(curve, f.firstMonth, kLastMonth);
    if (ind.additive) {
      for (double& v : f.close) v = std::round(v * 4.0) / 4.0;  // quarter-point steps
    }
    FillBars(f, ind.additive ? 0.0 : 0.002, 0.0, 0.0, curve.seed);
    std::fill(f.volume.begin(), f.volume.end(), 0.0);
    const std::size_t count = f.close.size();
    std::vector<double> yearOnYear(count), monthOnMonth(count), difference(count);
    for (std::size_t i = 0; i < count; ++i) {
      const double yearAgo = i >= 12 ? f.close[i - 12] : f.close[0];
      const double monthAgo = i >= 1 ? f.close[i - 1] : f.close[0];
      yearOnYear[i] = Change(f.close[i], yearAgo);
      monthOnMonth[i] = Change(f.close[i], monthAgo);
      difference[i] = f.close[i] - yearAgo;
    }
    f.further = {yearOnYear, monthOnMonth, difference};
    f.companionName = "전년비";
    f.highlight = ind.additive ? "" : "2022.07";
    const SeriesFile& added = book.Add(std::move(f));

    if (ind.group != group) {
      group = ind.group;
      n = 0;
      PutHeading(list, row++,
                 {"순서", "분류", "지표명", "단위", "기준월", "최근값", "전년비", "이전값"});
    }
    const Moves mv = MovesOf(added);
    GridRow& r = list.Row(row);
    r[1] = std::to_string(++n);
    r[2] = std::string(ind.group);
    r[3] = std::string(ind.name);
    r[4] = std::string(ind.unit);
    r[5] = "2024.06";
    r[6] = Plain(mv.last, 4);
    r[7] = Fraction(Reported(mv.year, row));
    r[8] = Plain(added.CloseAt(kLastMonth - 1), 4);
    r[9] = added.link;
    ++row;
  }
  list.Row(row) = {"", "", "", "", "", "", "", "등락 기준: 전년동월", "", ""};
  return list;
}

}  // namespace

int SeriesBook::Next(int key) { return ++counters_[key]; }

std::string SeriesBook::NextLink(int family) {
  return fmt::format("{}{:04d}", family, Next(family));
}

const SeriesFile& SeriesBook::Add(SeriesFile file) {
  auto [it, inserted] = files_.insert_or_assign(file.link, std::move(file));
  return it->second;
}

const SeriesFile* SeriesBook::Find(const std::string& link) const {
  const auto it = files_.find(link);
  return it == files_.end() ? nullptr : &it->second;
}

GridRow& MenuList::Row(std::size_t r) {
  if (rows.size() <= r) rows.resize(r + 1);
  return rows[r];
}

std::vector<MenuList> BuildMenuLists(SeriesBook& book) {
  std::vector<MenuList> lists = IndexSourceLists(book);
  std::vector<Apartment> seoulApartments;
  for (MenuList& l : ApartmentLists(book, seoulApartments)) lists.push_back(std::move(l));
  for (MenuList& l : SectorLists(book, seoulApartments)) lists.push_back(std::move(l));
  lists.push_back(MarketList(book));
  lists.push_back(EconomyList(book));
  return lists;
}

std::string RenderMenuList(const MenuList& list) {
  std::string text;
  auto line = [&text](std::string_view s) {
    text += s;
    text += "\r\n";
  };
  line(fmt::format("Orvane 메뉴;{};{};2024.07.01", list.name, list.source));
  line("번호;순서;명칭;값1;값2;값3;값4;값5;값6;링크");
  line("갱신;2024.07.01 09:00");
  line("자료;" + list.source);
  line("-");
  for (const GridRow& row : list.rows) {
    std::string joined;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) joined += ';';
      joined += row[c];
    }
    line(joined);
  }
  return text;
}

}  // namespace orvane::server
