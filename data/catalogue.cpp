#include "data/catalogue.h"

#include <fmt/format.h>
#include <algorithm>

namespace orvane {
namespace {

constexpr SignColumns kWideSigns{6, 7, 8};
constexpr SignColumns kNarrowSigns{7, 8, 8};
constexpr SignColumns kSingleSign{7, 7, 7};

constexpr std::string_view kKxFolder = "/101.KX_Menu";
constexpr std::string_view kRebFolder = "/102.REB_Menu";
constexpr std::string_view kKbFolder = "/103.KB_Menu";
constexpr std::string_view kKorFolder = "/104.KOR_Menu";
constexpr std::string_view kAptFolder = "/105.APT_Menu";
constexpr std::string_view kStockFolder = "/106.STOCK_Menu";
constexpr std::string_view kEcoFolder = "/107.ECO_Menu";

constexpr std::array<MenuSource, 7> kMenuSources{{
    {101, kKxFolder},
    {102, kRebFolder},
    {103, kKbFolder},
    {104, kKorFolder},
    {105, kAptFolder},
    {106, kStockFolder},
    {107, kEcoFolder},
}};

struct FixedEntry {
  std::string_view text;
  std::string_view folder;
  std::string_view listCode;
  std::optional<SignColumns> signColumns;
};

const std::array<FixedEntry, 6> kTabs{{
    {"아파트지수", kKxFolder, "0018", kWideSigns},
    {"섹터지수", kKxFolder, "0021", kWideSigns},
    {"아파트", kAptFolder, "0028", kWideSigns},
    {"개별아파트", kAptFolder, "0028", kWideSigns},
    {"금융시장", kStockFolder, "0001", kWideSigns},
    {"경제지표", kEcoFolder, "0001", kSingleSign},
}};

const std::array<FixedEntry, 4> kSources{{
    {"Orvane", kKxFolder, "0018", kWideSigns},
    {"부동산원", kRebFolder, "0001", kSingleSign},
    {"KB부동산", kKbFolder, "0001", kSingleSign},
    {"국토부", kKorFolder, "0001", kSingleSign},
}};

constexpr std::array<IndexRegion, 18> kIndexRegions{{
    {"전국", "0018", "0001"},
    {"서울시", "0001", "0002"},
    {"인천시", "0002", "0003"},
    {"경기도", "0003", "0004"},
    {"부산시", "0004", "0005"},
    {"대구시", "0005", "0006"},
    {"광주시", "0006", "0007"},
    {"대전시", "0007", "0008"},
    {"울산시", "0008", "0009"},
    {"세종시", "0009", "0010"},
    {"경상남도", "0010", "0011"},
    {"경상북도", "0011", "0012"},
    {"전라남도", "0012", "0013"},
    {"전라북도", "0013", "0014"},
    {"충청남도", "0014", "0015"},
    {"충청북도", "0015", "0016"},
    {"강원도", "0016", "0017"},
    {"제주도", "0017", "0018"},
}};

constexpr std::array<std::string_view, 8> kSectors{"섹터1", "섹터2", "섹터3", "섹터4",
                                                   "섹터5", "섹터6", "섹터7", "섹터8"};

constexpr std::string_view kSeoulRegion = "서울시";
constexpr int kSeoulRegionCode = 28;
constexpr std::string_view kWideDistrict = "♥KX1500";

constexpr std::array<std::string_view, 28> kSeoul{
    "강남구", "서초구", "송파구", "강동구", "노원구",   "도봉구",    "강북구",
    "성북구", "중랑구", "동대문", "성동구", "광진구",   "용산구",    "중구",
    "종로구", "은평구", "서대문", "마포구", "동작구",   "영등포",    "양천구",
    "강서구", "금천구", "관악구", "구로구", "★Vela100", "♣Crest250", "♥KX1500"};
constexpr std::array<std::string_view, 43> kGyeonggi{
    "경기100",    "과천시",     "성남분당구", "성남수정구", "성남중원구", "안양동안구",
    "안양만안구", "군포시",     "의왕시",     "수원영통구", "수원권선구", "수원장안구",
    "수원팔달구", "용인수지구", "용인기흥구", "용인처인구", "안성시",     "광명시",
    "화성시",     "부천시",     "안산단원구", "안산상록구", "시흥시",     "평택시",
    "오산시",     "남양주시",   "하남시",     "구리시",     "경기광주시", "이천시",
    "여주시",     "양평군",     "가평군",     "김포시",     "파주시",     "고양덕양구",
    "고양일산동", "고양일산서", "의정부시",   "양주시",     "포천시",     "동두천시",
    "연천군"};
constexpr std::array<std::string_view, 9> kIncheon{"인천100",  "연수구", "남동구", "서구", "부평구",
                                                   "미추홀구", "계양구", "중구",   "동구"};
constexpr std::array<std::string_view, 17> kBusan{
    "부산100",  "남구",   "부산진구", "연제구", "수영구", "영도구", "동구",   "중구",  "서구",
    "해운대구", "금정구", "동래구",   "기장군", "북구",   "강서구", "사상구", "사하구"};
constexpr std::array<std::string_view, 9> kDaegu{"대구100", "수성구", "달서구", "북구", "서구",
                                                 "중구",    "달성군", "동구",   "남구"};
constexpr std::array<std::string_view, 6> kGwangju{"광주100", "광산구", "서구",
                                                   "북구",    "동구",   "남구"};
constexpr std::array<std::string_view, 6> kDaejeon{"대전100", "서구",   "유성구",
                                                   "중구",    "대덕구", "동구"};
constexpr std::array<std::string_view, 6> kUlsan{"울산100", "북구", "남구",
                                                 "중구",    "동구", "울주군"};
constexpr std::array<std::string_view, 1> kSejong{"세종시100"};
constexpr std::array<std::string_view, 12> kGyeongnam{
    "경남100",    "창원성산구", "창원의창구", "김해시", "양산시", "진주시",
    "창원마산회", "창원진해구", "창원마산합", "거제시", "사천시", "함안군"};
constexpr std::array<std::string_view, 12> kGyeongbuk{"경북100",  "구미시", "경산시", "포항북구",
                                                      "포항남구", "경주시", "김천시", "예천군",
                                                      "안동시",   "칠곡군", "영주시", "영천시"};
constexpr std::array<std::string_view, 9> kJeonnam{
    "전남100", "순천시", "여수시", "나주시", "목포시", "광양시", "무안군", "영암군", "화순군"};
constexpr std::array<std::string_view, 8> kJeonbuk{"전북100", "전주완산구", "전주덕진구", "군산시",
                                                   "익산시",  "정읍시",     "완주군",     "김제시"};
constexpr std::array<std::string_view, 11> kChungnam{
    "충남100", "천안서북구", "아산시", "천안동남구", "서산시", "태안군",
    "홍성군",  "당진시",     "계룡시", "논산시",     "공주시"};
constexpr std::array<std::string_view, 10> kChungbuk{
    "충북100", "청주상당구", "청주서원구", "청주청원구", "청주흥덕구",
    "충주시",  "음성군",     "제천시",     "증평군",     "진천군"};
constexpr std::array<std::string_view, 11> kGangwon{"강원100", "원주시", "춘천시", "강릉시",
                                                    "속초시",  "동해시", "양양군", "삼척시",
                                                    "홍천군",  "고성군", "평창군"};
constexpr std::array<std::string_view, 3> kJeju{"제주100", "제주시", "서귀포시"};

const std::array<DistrictBlock, 17> kDistrictBlocks{{
    {kSeoulRegion, 1, kSeoul},
    {"경기도", 101, kGyeonggi},
    {"인천시", 201, kIncheon},
    {"부산시", 211, kBusan},
    {"대구시", 231, kDaegu},
    {"광주시", 241, kGwangju},
    {"대전시", 251, kDaejeon},
    {"울산시", 261, kUlsan},
    {"세종시", 271, kSejong},
    {"경상남도", 301, kGyeongnam},
    {"경상북도", 321, kGyeongbuk},
    {"전라남도", 341, kJeonnam},
    {"전라북도", 351, kJeonbuk},
    {"충청남도", 361, kChungnam},
    {"충청북도", 381, kChungbuk},
    {"강원도", 401, kGangwon},
    {"제주도", 421, kJeju},
}};

std::optional<CatalogueChoice> FindFixed(std::span<const FixedEntry> table, std::string_view text) {
  for (const FixedEntry& e : table) {
    if (e.text == text) {
      return CatalogueChoice{std::string(e.folder), std::string(e.listCode), e.signColumns};
    }
  }
  return std::nullopt;
}

const DistrictBlock* FindBlock(std::string_view region) {
  for (const DistrictBlock& b : kDistrictBlocks) {
    if (b.region == region) return &b;
  }
  return nullptr;
}

}  // namespace

std::span<const MenuSource> MenuSources() { return kMenuSources; }
std::span<const IndexRegion> IndexRegions() { return kIndexRegions; }
std::span<const DistrictBlock> DistrictBlocks() { return kDistrictBlocks; }
std::span<const std::string_view> SectorNames() { return kSectors; }

std::string ListCode(int code) { return fmt::format("{:04d}", code); }

std::optional<CatalogueChoice> TabLookup(std::string_view text) { return FindFixed(kTabs, text); }

std::optional<CatalogueChoice> SourceLookup(std::string_view text) {
  return FindFixed(kSources, text);
}

CatalogueChoice ResolveTab(std::string_view text) {
  return TabLookup(text).value_or(
      CatalogueChoice{std::string(), std::string(kFallbackListCode), std::nullopt});
}

CatalogueChoice ResolveSource(std::string_view text) {
  return SourceLookup(text).value_or(
      CatalogueChoice{std::string(), std::string(kFallbackListCode), std::nullopt});
}

std::optional<CatalogueChoice> IndexRegionLookup(std::string_view text,
                                                 std::string_view menuFolder) {
  const bool own = menuFolder == kKxFolder;
  if (!own && menuFolder != kRebFolder && menuFolder != kKbFolder && menuFolder != kKorFolder) {
    return std::nullopt;
  }
  for (const IndexRegion& r : kIndexRegions) {
    if (r.name != text) continue;
    if (!own) return CatalogueChoice{std::string(), std::string(r.otherCode), std::nullopt};
    const bool nationwide = r.ownCode == "0018";
    return CatalogueChoice{std::string(), std::string(r.ownCode),
                           nationwide ? kWideSigns : kNarrowSigns};
  }
  return std::nullopt;
}

std::optional<CatalogueChoice> SectorLookup(std::string_view text) {
  for (std::size_t i = 0; i < kSectors.size(); ++i) {
    if (kSectors[i] == text) {
      return CatalogueChoice{std::string(), ListCode(21 + static_cast<int>(i)), std::nullopt};
    }
  }
  return std::nullopt;
}

std::optional<CatalogueChoice> ApartmentRegionLookup(std::string_view text) {
  const DistrictBlock* block = FindBlock(text);
  if (block == nullptr) return std::nullopt;
  const bool seoul = block->region == kSeoulRegion;
  return CatalogueChoice{std::string(kAptFolder),
                         ListCode(seoul ? kSeoulRegionCode : block->firstCode),
                         seoul ? kWideSigns : kNarrowSigns};
}

std::optional<CatalogueChoice> DistrictLookup(std::string_view regionText, std::string_view text) {
  const DistrictBlock* block = FindBlock(regionText);
  if (block == nullptr) return std::nullopt;
  const auto it = std::find(block->names.begin(), block->names.end(), text);
  if (it == block->names.end()) return std::nullopt;
  const int code = block->firstCode + static_cast<int>(it - block->names.begin());
  return CatalogueChoice{std::string(kAptFolder), ListCode(code),
                         text == kWideDistrict ? kWideSigns : kNarrowSigns};
}

std::string MenuListPath(std::string_view menuFolder, std::string_view listCode) {
  std::string path(menuFolder.substr(0, 4));
  path += listCode;
  path += ".txt";
  return path;
}

std::string SeriesPath(std::string_view link) {
  std::string path = "/";
  path += link;
  path += ".txt";
  return path;
}

std::vector<std::string> AllMenuListPaths() {
  std::vector<std::string> paths;
  auto add = [&paths](std::string path) {
    if (std::find(paths.begin(), paths.end(), path) == paths.end()) {
      paths.push_back(std::move(path));
    }
  };
  // Tab and source targets, and the list every folder falls back to.
  for (const FixedEntry& e : kTabs) add(MenuListPath(e.folder, e.listCode));
  for (const FixedEntry& e : kSources) add(MenuListPath(e.folder, e.listCode));
  for (const MenuSource& s : kMenuSources) add(MenuListPath(s.folder, kFallbackListCode));
  for (std::string_view folder : {kKxFolder, kRebFolder, kKbFolder, kKorFolder}) {
    for (const IndexRegion& r : kIndexRegions) {
      add(MenuListPath(folder, folder == kKxFolder ? r.ownCode : r.otherCode));
    }
  }
  for (std::size_t i = 0; i < kSectors.size(); ++i) {
    add(MenuListPath(kKxFolder, ListCode(21 + static_cast<int>(i))));
  }
  for (const DistrictBlock& b : kDistrictBlocks) {
    for (std::size_t i = 0; i < b.names.size(); ++i) {
      add(MenuListPath(kAptFolder, ListCode(b.firstCode + static_cast<int>(i))));
    }
  }
  return paths;
}

}  // namespace orvane
