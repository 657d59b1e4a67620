#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

// Grid columns whose non-negative numbers get a "+" and the red/blue colour.
using SignColumns = std::array<int, 3>;

inline constexpr std::string_view kHomeFolder = "/101.KX_Menu";
inline constexpr std::string_view kHomeListFile = "/1010018.txt";
inline constexpr std::string_view kHomeSeriesFile = "/10001.txt";
// A tab or source text without a match loads this list of the current folder.
inline constexpr std::string_view kFallbackListCode = "0001";

struct MenuSource {
  int menuId;
  std::string_view folder;
};
std::span<const MenuSource> MenuSources();

// What a lookup yields: the folder to switch to (empty = keep the current one), the four-digit
// list code, and the sign columns when the choice sets them.
struct CatalogueChoice {
  std::string folder;
  std::string listCode;
  std::optional<SignColumns> signColumns;

  bool operator==(const CatalogueChoice&) const = default;
};

// Level 1: the cells of grid row 0.
std::optional<CatalogueChoice> TabLookup(std::string_view text);
// Level 2 of the "아파트지수" tab.
std::optional<CatalogueChoice> SourceLookup(std::string_view text);
// Level 3 of the "아파트지수" tab; the code depends on the current folder (101 or 102 to 104).
std::optional<CatalogueChoice> IndexRegionLookup(std::string_view text,
                                                 std::string_view menuFolder);
// Level 3 of the "섹터지수" tab: "섹터1" to "섹터8".
std::optional<CatalogueChoice> SectorLookup(std::string_view text);
// Level 2 of the "아파트" tab.
std::optional<CatalogueChoice> ApartmentRegionLookup(std::string_view text);
// Level 3 of the "아파트" tab, looked up in the block of the region chosen at level 2.
std::optional<CatalogueChoice> DistrictLookup(std::string_view regionText, std::string_view text);

// Tab and source clicks always load something: without a match the folder stays and list 0001
// of it is loaded, sign columns unchanged.
CatalogueChoice ResolveTab(std::string_view text);
CatalogueChoice ResolveSource(std::string_view text);

// "/101.KX_Menu" + "0018" -> "/1010018.txt": only the slash and the menu id of the folder count.
std::string MenuListPath(std::string_view menuFolder, std::string_view listCode);
// "10001" -> "/10001.txt", whatever the current menu source.
std::string SeriesPath(std::string_view link);

// The tables themselves, for the reference service's sample catalogue and for tests.
struct IndexRegion {
  std::string_view name;
  std::string_view ownCode;    // source 101
  std::string_view otherCode;  // sources 102 to 104
};
std::span<const IndexRegion> IndexRegions();

struct DistrictBlock {
  std::string_view region;
  int firstCode;  // code of the region's level-2 choice is firstCode, except "서울시"
  std::span<const std::string_view> names;
};
std::span<const DistrictBlock> DistrictBlocks();
std::span<const std::string_view> SectorNames();

std::string ListCode(int code);  // 28 -> "0028"

// Every menu list path the lookups above can build, each once, in a stable order.
std::vector<std::string> AllMenuListPaths();

}  // namespace orvane
