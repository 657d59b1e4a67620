#pragma once

#include <string>

#include <QImage>

namespace orvane {

// PNG file bytes of the image, the same pixels as QImage::save would write: 8-bit RGB when
// every pixel is opaque (a chart always is), RGBA otherwise. Every row is filtered against the
// row above and the whole picture deflated in one stream by ISA-L, which takes a tenth of
// libdeflate's time on a chart for a file 15-30 % larger, at most 1.4 times Qt's writer's.
// Empty for a null image, one too large for a PNG or a level ISA-L does not know.
// ISA-L's levels 1 and 2 take the same time on a chart, 2 making long series' files 1-2 %
// smaller; 3 takes six times as long or more (build/bench/bench_render --benchmark_filter=Png).
inline constexpr int kPngCompressionLevel = 2;
std::string EncodePng(const QImage& image, int compressionLevel = kPngCompressionLevel);
// The same bytes from a picture handed over: an opaque one that nothing else shares is filtered
// in its own memory, which then holds no picture any more; others are encoded as above.
std::string EncodePng(QImage&& image, int compressionLevel = kPngCompressionLevel);

// Writes EncodePng's bytes to the file; false when the image is null or the file cannot be
// written whole.
bool SavePng(const QImage& image, const std::string& path);
bool SavePng(QImage&& image, const std::string& path);

}  // namespace orvane
