#include "data/fresh_memory.h"

#include <sys/mman.h>
#include <unistd.h>

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

}  // namespace orvane
