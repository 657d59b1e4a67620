#include "chart/qt/large_buffer.h"

#include <sys/mman.h>

#include <limits>

#include "data/huge_pages.h"

namespace orvane {

void LargeUnmapper::operator()(std::uint8_t* data) const {
  if (data != nullptr) munmap(data, bytes);
}

LargeBytes MapLarge(std::size_t bytes) {
  if (bytes == 0 || bytes > std::numeric_limits<std::size_t>::max() / 2 - kHugePageBytes) {
    return LargeBytes(nullptr, LargeUnmapper{});
  }
  // Whole huge pages on a huge-page boundary: map one more, then trim both ends.
  const std::size_t size = (bytes + kHugePageBytes - 1) / kHugePageBytes * kHugePageBytes;
  void* mapped = mmap(nullptr, size + kHugePageBytes, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return LargeBytes(nullptr, LargeUnmapper{});
  auto* base = static_cast<std::uint8_t*>(mapped);
  const std::size_t lead =
      (kHugePageBytes - reinterpret_cast<std::uintptr_t>(mapped) % kHugePageBytes) % kHugePageBytes;
  std::uint8_t* data = base + lead;
  if (lead > 0) munmap(base, lead);
  if (lead < kHugePageBytes) munmap(data + size, kHugePageBytes - lead);
  AdviseHugePages(data, size);
  return LargeBytes(data, LargeUnmapper{size});
}

QImage LargeImage(QSize size, QImage::Format format) {
  const auto depth = static_cast<int>(QImage::toPixelFormat(format).bitsPerPixel());
  if (size.isEmpty() || depth < 8) return QImage(size, format);
  const auto bytesPerLine = static_cast<std::size_t>(size.width()) * (depth / 8);
  const auto rows = static_cast<std::size_t>(size.height());
  if (bytesPerLine > static_cast<std::size_t>(std::numeric_limits<qsizetype>::max()) ||
      rows > std::numeric_limits<std::size_t>::max() / bytesPerLine) {
    return {};
  }
  LargeBytes memory = MapLarge(bytesPerLine * rows);
  if (!memory) return {};
  auto* owner = new LargeBytes(std::move(memory));
  return QImage(
      owner->get(), size.width(), size.height(), static_cast<qsizetype>(bytesPerLine), format,
      [](void* info) { delete static_cast<LargeBytes*>(info); }, owner);
}

}  // namespace orvane
