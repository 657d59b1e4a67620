#include "tests/views/sample_root.h"

#include <fstream>
#include <optional>
#include <sstream>

namespace orvane::views::testing {

ListFetcher SampleFetcher::Fetcher() {
  return [this](const std::string& url) -> std::optional<std::string> {
    asked.push_back(url);
    const std::string base = kTestBaseUrl;
    if (!url.starts_with(base)) return std::nullopt;
    std::ifstream in(SampleRoot() / "orvane_data" / url.substr(base.size() + 1), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
  };
}

}  // namespace orvane::views::testing
