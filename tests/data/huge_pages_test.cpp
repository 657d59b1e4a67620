#include "data/huge_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace orvane {
namespace {

// AnonHugePages of the mapping that holds `address`, in KiB, from /proc/self/smaps.
long HugeKibAt(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  std::ifstream smaps("/proc/self/smaps");
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    std::uintptr_t from = 0, to = 0;
    char dash = 0;
    std::istringstream head(line);
    if (head >> std::hex >> from >> dash >> to && dash == '-') {
      inside = from <= at && at < to;
    } else if (inside && line.starts_with("AnonHugePages:")) {
      return std::stol(line.substr(14));
    }
  }
  return -1;
}

TEST(HugePages, AnAdvisedBlockIsBackedByHugePagesWhereTheKernelOffersThem) {
  std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
  std::string modes;
  std::getline(setting, modes);
  if (modes.empty() || modes.find("[never]") != std::string::npos) GTEST_SKIP() << modes;

  constexpr std::size_t kBytes = 8 * kHugePageBytes;
  std::vector<char> block;
  block.reserve(kBytes);
  AdviseHugePages(block);
  block.resize(kBytes, 'x');
  // Every whole huge page inside the block, so at least all but the two partial ends.
  EXPECT_GE(HugeKibAt(block.data() + kBytes / 2), static_cast<long>(6 * kHugePageBytes / 1024));
}

}  // namespace
}  // namespace orvane
