#pragma once

#include <string>

#include <QImage>

namespace orvane {

// PNG file bytes of the image, the same pixels as QImage::save would write: 8-bit RGB when
// every pixel is opaque (a chart always is), RGBA otherwise. Every row is filtered against the
// row above and the whole picture deflated at once by libdeflate, which is about five times
// faster than Qt's writer on a chart and makes files no larger. Empty for a null image or
// one too large for a PNG.
// libdeflate's levels 1 to 4 took the same time within noise on a chart, 4 making the smallest
// file of them (build/bench/bench_render --benchmark_filter=Png).
inline constexpr int kPngCompressionLevel = 4;
std::string EncodePng(const QImage& image, int compressionLevel = kPngCompressionLevel);
// The same bytes from a picture handed over: an opaque one that nothing else shares is filtered
// in its own memory, which then holds no picture any more; others are encoded as above.
std::string EncodePng(QImage&& image, int compressionLevel = kPngCompressionLevel);

// Writes EncodePng's bytes to the file; false when the image is null or the file cannot be
// written whole.
bool SavePng(const QImage& image, const std::string& path);
bool SavePng(QImage&& image, const std::string& path);

}  // namespace orvane
