#pragma once

#include <string>

#include <QImage>

namespace orvane {

// PNG file bytes of the image, the same pixels as QImage::save would write: 8-bit RGB when
// every pixel is opaque (a chart always is), RGBA otherwise. Every row is filtered against the
// row above and deflated by ISA-L, which takes a tenth of libdeflate's time on a chart for a
// file 15-30 % larger, at most 1.4 times Qt's writer's. An opaque picture's rows are filtered
// a few at a time on their way into the deflater; a large one's upper and lower halves are
// deflated side by side, on two threads, into one zlib stream.
// Empty for a null image, one too large for a PNG or a level ISA-L does not know.
// ISA-L's levels 1 and 2 take the same time on a chart, 2 making long series' files 1-2 %
// smaller; 3 takes six times as long or more (build/bench/bench_render --benchmark_filter=Png).
inline constexpr int kPngCompressionLevel = 2;
std::string EncodePng(const QImage& image, int compressionLevel = kPngCompressionLevel);

// Writes EncodePng's bytes to the file; false when the image is null or the file cannot be
// written whole.
bool SavePng(const QImage& image, const std::string& path);

}  // namespace orvane
