#pragma once

#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "views/menu_grid.h"

namespace orvane::views::testing {

// The reference service's sample catalogue, and the service itself serving it.
using orvane::test::SampleRoot;
using orvane::test::ServerProcess;

inline constexpr char kTestBaseUrl[] = "http://content.test/orvane_data";

// Serves menu lists straight from the sample root for URLs under kTestBaseUrl and records every
// URL asked for.
struct SampleFetcher {
  std::vector<std::string> asked;
  ListFetcher Fetcher();
};

}  // namespace orvane::views::testing
