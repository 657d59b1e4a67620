#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvane {

// Anonymous memory for a large picture or its encoding, on transparent huge pages where the
// kernel offers them: the first touch of a 1900 x 980 picture then costs a few page faults
// instead of about 1,800, which is a tenth of a whole orvane-chart run.
struct LargeUnmapper {
  std::size_t bytes = 0;
  void operator()(std::uint8_t* data) const;
};
using LargeBytes = std::unique_ptr<std::uint8_t[], LargeUnmapper>;

// Zero-filled memory of `bytes`; null when it cannot be had.
LargeBytes MapLarge(std::size_t bytes);

// A picture of the size and format in such memory, not yet painted; null when it cannot be had.
QImage LargeImage(QSize size, QImage::Format format);

}  // namespace orvane
