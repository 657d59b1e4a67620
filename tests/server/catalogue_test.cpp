#include "data/catalogue.h"

#include <gtest/gtest.h>

#include <set>

#include "data/content_host.h"

namespace orvane {
namespace {

// A click sequence as the menu grid makes it: the folder carried along, the path built last.
struct Navigation {
  std::string folder = std::string(kHomeFolder);
  std::string listFile = std::string(kHomeListFile);
  std::string level2;

  void Apply(const std::optional<CatalogueChoice>& choice) {
    if (!choice) return;  // nothing changes; the last path is loaded again
    if (!choice->folder.empty()) folder = choice->folder;
    listFile = MenuListPath(folder, choice->listCode);
  }
  void Tab(std::string_view text) { Apply(ResolveTab(text)); }
  void Source(std::string_view text) { Apply(ResolveSource(text)); }
  void IndexRegion(std::string_view text) { Apply(IndexRegionLookup(text, folder)); }
  void ApartmentRegion(std::string_view text) {
    level2 = text;
    Apply(ApartmentRegionLookup(text));
  }
  void District(std::string_view text) { Apply(DistrictLookup(level2, text)); }
};

TEST(Catalogue, ClickSequencesLoadTheListsNamedForThem) {
  struct Case {
    std::function<void(Navigation&)> clicks;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {[](Navigation& n) { n.Tab("아파트지수"); }, "/1010018.txt"},
      {[](Navigation& n) { n.Tab("섹터지수"); }, "/1010021.txt"},
      {[](Navigation& n) { n.Tab("개별아파트"); }, "/1050028.txt"},
      {[](Navigation& n) { n.Tab("아파트"); }, "/1050028.txt"},
      {[](Navigation& n) { n.Tab("금융시장"); }, "/1060001.txt"},
      {[](Navigation& n) { n.Tab("경제지표"); }, "/1070001.txt"},
      {[](Navigation& n) { n.Source("부동산원"), n.IndexRegion("전국"); }, "/1020001.txt"},
      {[](Navigation& n) { n.Source("Orvane"), n.IndexRegion("전국"); }, "/1010018.txt"},
      {[](Navigation& n) { n.Source("Orvane"), n.IndexRegion("서울시"); }, "/1010001.txt"},
      {[](Navigation& n) { n.Source("국토부"), n.IndexRegion("제주도"); }, "/1040018.txt"},
      {[](Navigation& n) { n.Tab("섹터지수"), n.Apply(SectorLookup("섹터8")); }, "/1010028.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.ApartmentRegion("부산시"); }, "/1050211.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.ApartmentRegion("부산시"), n.District("중구"); },
       "/1050218.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.ApartmentRegion("서울시"), n.District("중구"); },
       "/1050014.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.ApartmentRegion("서울시"); }, "/1050028.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.ApartmentRegion("서울시"), n.District("♥KX1500"); },
       "/1050028.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.ApartmentRegion("경기도"), n.District("연천군"); },
       "/1050143.txt"},
      {[](Navigation& n) {
         n.Tab("아파트"), n.ApartmentRegion("경상남도"), n.District("창원마산합");
       },
       "/1050309.txt"},
      // Without a match a tab or source keeps the folder and loads its list 0001.
      {[](Navigation& n) { n.Tab("금융시장"), n.Tab("뉴스"); }, "/1060001.txt"},
      {[](Navigation& n) { n.Source("KB부동산"), n.Source("kb부동산"); }, "/1030001.txt"},
      // A region, sector or district without a match leaves the last path.
      {[](Navigation& n) { n.Source("부동산원"), n.IndexRegion("서울"); }, "/1020001.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.ApartmentRegion("부산시"), n.District("강남구"); },
       "/1050211.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.IndexRegion("서울시"); }, "/1050028.txt"},
      {[](Navigation& n) { n.Tab("아파트"), n.ApartmentRegion("서울시"), n.District("동대문구"); },
       "/1050028.txt"},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    Navigation n;
    cases[i].clicks(n);
    EXPECT_EQ(n.listFile, cases[i].expected) << "case " << i;
  }
}

TEST(Catalogue, SignColumnsFollowTheChoice) {
  const SignColumns wide{6, 7, 8}, narrow{7, 8, 8}, single{7, 7, 7};
  EXPECT_EQ(TabLookup("아파트지수")->signColumns, wide);
  EXPECT_EQ(TabLookup("경제지표")->signColumns, single);
  EXPECT_EQ(SourceLookup("부동산원")->signColumns, single);
  EXPECT_EQ(IndexRegionLookup("전국", "/101.KX_Menu")->signColumns, wide);
  EXPECT_EQ(IndexRegionLookup("울산시", "/101.KX_Menu")->signColumns, narrow);
  EXPECT_EQ(IndexRegionLookup("울산시", "/103.KB_Menu")->signColumns, std::nullopt);
  EXPECT_EQ(SectorLookup("섹터3")->signColumns, std::nullopt);
  EXPECT_EQ(ApartmentRegionLookup("서울시")->signColumns, wide);
  EXPECT_EQ(ApartmentRegionLookup("제주도")->signColumns, narrow);
  EXPECT_EQ(DistrictLookup("서울시", "♥KX1500")->signColumns, wide);
  EXPECT_EQ(DistrictLookup("서울시", "★Vela100")->signColumns, narrow);
  EXPECT_EQ(ResolveTab("없는 탭").signColumns, std::nullopt);
  EXPECT_TRUE(ResolveTab("없는 탭").folder.empty());
}

TEST(Catalogue, DistrictBlocksRunConsecutivelyWithoutOverlap) {
  const std::map<std::string_view, std::pair<int, int>> ranges = {
      {"서울시", {1, 28}},      {"경기도", {101, 143}},   {"인천시", {201, 209}},
      {"부산시", {211, 227}},   {"대구시", {231, 239}},   {"광주시", {241, 246}},
      {"대전시", {251, 256}},   {"울산시", {261, 266}},   {"세종시", {271, 271}},
      {"경상남도", {301, 312}}, {"경상북도", {321, 332}}, {"전라남도", {341, 349}},
      {"전라북도", {351, 358}}, {"충청남도", {361, 371}}, {"충청북도", {381, 390}},
      {"강원도", {401, 411}},   {"제주도", {421, 423}}};
  std::set<int> codes;
  for (const DistrictBlock& block : DistrictBlocks()) {
    const auto [first, last] = ranges.at(block.region);
    EXPECT_EQ(block.firstCode, first) << block.region;
    EXPECT_EQ(block.firstCode + static_cast<int>(block.names.size()) - 1, last) << block.region;
    for (std::size_t i = 0; i < block.names.size(); ++i) {
      EXPECT_TRUE(codes.insert(block.firstCode + static_cast<int>(i)).second);
      EXPECT_EQ(DistrictLookup(block.region, block.names[i])->listCode,
                ListCode(block.firstCode + static_cast<int>(i)));
    }
    if (block.region != "서울시") {
      EXPECT_EQ(ApartmentRegionLookup(block.region)->listCode, ListCode(block.firstCode));
    }
  }
  // Names are matched as written, truncated forms and marks included.
  for (std::string_view name : {"동대문", "서대문", "영등포"}) {
    EXPECT_TRUE(DistrictLookup("서울시", name)) << name;
  }
  for (std::string_view name : {"고양일산동", "고양일산서"})
    EXPECT_TRUE(DistrictLookup("경기도", name));
  EXPECT_FALSE(DistrictLookup("서울시", "Vela100"));
  EXPECT_FALSE(DistrictLookup("서울시", " 강남구"));
}

TEST(Catalogue, EveryBuildablePathIsListedOnce) {
  const auto paths = AllMenuListPaths();
  const std::set<std::string> unique(paths.begin(), paths.end());
  EXPECT_EQ(unique.size(), paths.size());
  // 101: 18 regions + 8 sectors; 102 to 104: 18 each; 105: 201 districts; 106, 107: one each.
  EXPECT_EQ(paths.size(), 26u + 3 * 18 + 201 + 2);
  EXPECT_TRUE(unique.count(std::string(kHomeListFile)));
  EXPECT_EQ(SeriesPath("10001"), kHomeSeriesFile);
  EXPECT_EQ(MenuListPath("/105.APT_Menu", "0211"), "/1050211.txt");
}

TEST(ContentHost, CommandLineBeatsEnvironmentBeatsDefault) {
  EXPECT_EQ(ResolveContentHost("", ""), (HostPort{"127.0.0.1", 8080}));
  EXPECT_EQ(ResolveContentHost("", "data.example:9000"), (HostPort{"data.example", 9000}));
  EXPECT_EQ(ResolveContentHost("10.0.0.5", "data.example:9000"), (HostPort{"10.0.0.5", 8080}));
  // A value that does not parse is passed over.
  EXPECT_EQ(ResolveContentHost("host:99999", "data.example"), (HostPort{"data.example", 8080}));
  EXPECT_EQ(ResolveContentHost("a/b", "x y"), (HostPort{"127.0.0.1", 8080}));

  EXPECT_EQ(ParseHostPort("[::1]:81", 80), (HostPort{"::1", 81}));
  EXPECT_EQ(ParseHostPort("[::1]:81", 80)->Authority(), "[::1]:81");
  EXPECT_FALSE(ParseHostPort("[::1", 80));
  EXPECT_FALSE(ParseHostPort("host:", 80));
  EXPECT_FALSE(ParseHostPort("host:8x", 80));
  EXPECT_FALSE(ParseHostPort(":8080", 80));
  EXPECT_EQ(DataBaseUrl(HostPort{"127.0.0.1", 8080}), "http://127.0.0.1:8080/orvane_data");

  const char* argv[] = {"orvane", "--content-host", "a:1", "--content-host=b:2", "--other"};
  EXPECT_EQ(ContentHostArgument(5, argv), "b:2");
  const char* dangling[] = {"orvane", "--content-host"};
  EXPECT_EQ(ContentHostArgument(2, dangling), "");
}

}  // namespace
}  // namespace orvane
