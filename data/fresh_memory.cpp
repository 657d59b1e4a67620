#include "data/fresh_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>

#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23  // Linux 5.14
#endif

namespace orvane {

void MapForWriting(void* begin, std::size_t bytes) {
  static const auto kPage = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  constexpr std::size_t kLeastPages = 16;
  // madvise wants whole pages: the range shrinks to the pages it covers entirely.
  const std::size_t head = (kPage - reinterpret_cast<std::uintptr_t>(begin) % kPage) % kPage;
  if (bytes < head + kLeastPages * kPage) return;
  const std::size_t length = (bytes - head) / kPage * kPage;
  // Fails harmlessly (EINVAL) on kernels without the call; the pages then fault one by one.
  madvise(static_cast<char*>(begin) + head, length, MADV_POPULATE_WRITE);
}

namespace {
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

LargeBlock MapLargeBlock(std::size_t bytes) {
  if (bytes == 0 || bytes > SIZE_MAX - 2 * kHugePage) return {};
  const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  // Mapped with a huge page of slack, then trimmed to the aligned part.
  void* mapped =
      mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return {};
  auto* const start = static_cast<char*>(mapped);
  const std::size_t head =
      (kHugePage - reinterpret_cast<std::uintptr_t>(start) % kHugePage) % kHugePage;
  if (head > 0) munmap(start, head);
  munmap(start + head + length, kHugePage - head);
  char* const data = start + head;
  madvise(data, length, MADV_HUGEPAGE);  // a hint: refused where huge pages are off
  MapForWriting(data, length);
  return {data, length};
}

void UnmapLargeBlock(const LargeBlock& block) {
  if (block.data != nullptr) munmap(block.data, block.bytes);
}

}  // namespace orvane
