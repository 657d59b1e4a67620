#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace orvane::server {

struct SampleStats {
  int menuLists = 0;
  int seriesFiles = 0;
  std::uintmax_t bytes = 0;
};

// Writes a complete data root into dir: every menu list the catalogue can name under
// orvane_data/, a series file for every series row's link, the two pictures under orvane_img/,
// the world-markets page and an empty UpdateFiles/ folder. Text files are CP949 with CR LF.
// The output depends on nothing but this code.
std::optional<SampleStats> MakeSampleCatalogue(const std::filesystem::path& dir,
                                               std::string& error);

}  // namespace orvane::server
