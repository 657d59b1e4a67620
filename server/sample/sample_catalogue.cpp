#include "server/sample/sample_catalogue.h"

#include <fmt/format.h>

#include <fstream>

#include "data/text_codec.h"
#include "server/sample/sample_parts.h"

namespace orvane::server {
namespace {

namespace fs = std::filesystem;

bool WriteBytes(const fs::path& path, std::string_view bytes, SampleStats& stats,
                std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    error = fmt::format("cannot write {}", path.string());
    return false;
  }
  stats.bytes += bytes.size();
  return true;
}

bool WriteCp949(const fs::path& path, std::string_view utf8, SampleStats& stats,
                std::string& error) {
  const std::string encoded = EncodeCp949(utf8);
  // The codec writes "?" for what CP949 cannot hold; the round trip shows it.
  if (DecodeCp949(encoded) != utf8) {
    error = fmt::format("text of {} has characters without a CP949 form", path.string());
    return false;
  }
  return WriteBytes(path, encoded, stats, error);
}

}  // namespace

std::optional<SampleStats> MakeSampleCatalogue(const fs::path& dir, std::string& error) {
  const fs::path data = dir / "orvane_data";
  const fs::path images = dir / "orvane_img";
  const fs::path web = dir / "world_Market";
  const fs::path updates = dir / "UpdateFiles";
  std::error_code ec;
  for (const fs::path& p : {data, images, web, updates}) {
    fs::create_directories(p, ec);
    if (ec) {
      error = fmt::format("cannot create {}: {}", p.string(), ec.message());
      return std::nullopt;
    }
  }

  SampleStats stats;
  SeriesBook book;
  const std::vector<MenuList> lists = BuildMenuLists(book);
  for (const MenuList& list : lists) {
    if (!WriteCp949(data / list.name, RenderMenuList(list), stats, error)) return std::nullopt;
    ++stats.menuLists;
  }
  for (const auto& [link, file] : book.files()) {
    if (!WriteCp949(data / (link + ".txt"), RenderSeries(file), stats, error)) return std::nullopt;
    ++stats.seriesFiles;
  }
  if (!WriteBytes(images / "Orvane_Login.bmp", LoginPicture(), stats, error) ||
      !WriteBytes(images / "orvane_bg.bmp", BackgroundMark(), stats, error) ||
      !WriteBytes(web / "0.main.html", WorldMarketsPage(book), stats, error)) {
    return std::nullopt;
  }
  return stats;
}

}  // namespace orvane::server
