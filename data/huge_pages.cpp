#include "data/huge_pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace orvane {

void AdviseHugePages(const void* data, std::size_t bytes) {
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  if (data == nullptr || bytes < kHugePageBytes || start > UINTPTR_MAX - bytes) return;
  const std::uintptr_t first = (start + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  const std::uintptr_t end = (start + bytes) / kHugePageBytes * kHugePageBytes;
  if (end <= first) return;
  // madvise changes no byte of the block; it takes a pointer to mutable memory all the same.
  char* const block = static_cast<char*>(const_cast<void*>(data));
  madvise(block + (first - start), end - first, MADV_HUGEPAGE);
}

}  // namespace orvane
