#pragma once

#include <cstddef>
#include <vector>

namespace orvane {

// The size of a transparent huge page on x86-64 and most arm64 kernels.
inline constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;

// Asks the kernel to back the whole huge pages inside [data, data + bytes) with transparent huge
// pages when they are first touched. A long series' working list, source rows and points are tens
// of megabytes, and touching them 4 KiB at a time costs about 25,000 page faults at 100,000
// months: a third of a whole orvane-chart run. Only a hint: where the kernel offers no huge
// pages, or for blocks under one, nothing changes.
void AdviseHugePages(const void* data, std::size_t bytes);

// The same for the room a vector has reserved.
template <typename T>
void AdviseHugePages(const std::vector<T>& v) {
  AdviseHugePages(v.data(), v.capacity() * sizeof(T));
}

}  // namespace orvane
