#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "server/sample/series.h"

namespace orvane::server {

// Every series file of the sample catalogue, by link.
class SeriesBook {
 public:
  // The next free link of a family: family digit, then a four-digit count ("10001").
  std::string NextLink(int family);
  int Next(int key);  // 1, 2, 3 ... per key
  const SeriesFile& Add(SeriesFile file);
  const SeriesFile* Find(const std::string& link) const;
  const std::map<std::string, SeriesFile>& files() const { return files_; }

  // Market series (name, link) in the order the world-markets page shows them.
  std::vector<std::pair<std::string, std::string>> markets;

 private:
  std::map<std::string, SeriesFile> files_;
  std::map<int, int> counters_;
};

using GridRow = std::array<std::string, 10>;

// One menu list: the rows of the grid, from row 0 (the tabs) down.
struct MenuList {
  std::string name;    // "1010018.txt"
  std::string source;  // shown in the preamble
  std::vector<GridRow> rows;

  GridRow& Row(std::size_t r);
  void Set(std::size_t r, std::size_t c, std::string text) { Row(r)[c] = std::move(text); }
};

// Builds every menu list the catalogue names and the series they link to.
std::vector<MenuList> BuildMenuLists(SeriesBook& book);

// Text of a menu list file: five preamble lines ("링크" in line 2) and one line per row.
std::string RenderMenuList(const MenuList& list);

// The two pictures, as BMP file bytes.
std::string LoginPicture();
std::string BackgroundMark();
inline constexpr int kLoginPictureWidth = 500;
inline constexpr int kLoginPictureHeight = 590;
inline constexpr int kMarkSize = 350;

// The self-contained world-markets page (UTF-8), drawn from the market series in the book.
std::string WorldMarketsPage(const SeriesBook& book);

}  // namespace orvane::server
