#include "chart/qt/png_encoder.h"

#include "chart/qt/large_buffer.h"

#include <libdeflate.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane {
namespace {

// Row filter type "up": each byte minus the byte above it. Charts are mostly runs of equal
// columns, so this leaves long zero runs; the adaptive choice costs four times as long.
constexpr std::uint8_t kFilterUp = 2;
constexpr std::uint8_t kColorTypeRgb = 2;
constexpr std::uint8_t kColorTypeRgba = 6;
// A PNG chunk holds at most 2^31 - 1 bytes.
constexpr std::size_t kMaxChunkBytes = 0x7FFFFFFFu;

void AppendBigEndian(std::string& out, std::uint32_t v) {
  const char bytes[] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                        static_cast<char>(v >> 8), static_cast<char>(v)};
  out.append(bytes, 4);
}

void AppendChunk(std::string& out, std::string_view type, std::string_view data) {
  AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.append(type);
  out.append(data);
  AppendBigEndian(out, libdeflate_crc32(0, out.data() + start, out.size() - start));
}

struct Bytes {
  LargeBytes data;
  std::size_t size = 0;
};

Bytes NewBytes(std::size_t size) { return {MapLarge(size), size}; }

// Byte-wise a - b of the four bytes of two pixels, without borrows between bytes.
std::uint32_t ByteDifferences(std::uint32_t a, std::uint32_t b) {
  constexpr std::uint32_t kHigh = 0x80808080u;
  return ((a | kHigh) - (b & ~kHigh)) ^ ((a ^ ~b) & kHigh);
}

// One row of a 32-bit picture as PNG wants it before deflating, 8-bit RGB: the filter byte,
// then each byte minus the one above (the row itself for the first). Returns the AND of the
// row's pixels, whose top byte is 0xFF only when every pixel is opaque.
std::uint32_t FilterOpaqueRow(const QRgb* row, const QRgb* above, int width, std::uint8_t* o) {
  std::uint32_t alphas = 0xFF000000u;
  *o++ = kFilterUp;
  for (int x = 0; x < width; ++x, o += 3) {
    alphas &= row[x];
    const std::uint32_t d = above != nullptr ? ByteDifferences(row[x], above[x]) : row[x];
    o[0] = static_cast<std::uint8_t>(d >> 16);
    o[1] = static_cast<std::uint8_t>(d >> 8);
    o[2] = static_cast<std::uint8_t>(d);
  }
  return alphas;
}

std::size_t OpaqueRgbBytes(const QImage& image) {
  return (static_cast<std::size_t>(image.width()) * 3 + 1) *
         static_cast<std::size_t>(image.height());
}

// The rows of a 32-bit picture filtered in one pass over the pixels. Empty when a pixel is not
// opaque (that picture needs its alpha channel).
Bytes FilteredOpaqueRgb(const QImage& argb) {
  Bytes out = NewBytes(OpaqueRgbBytes(argb));
  if (!out.data) return out;
  const std::size_t rowBytes = static_cast<std::size_t>(argb.width()) * 3 + 1;
  std::uint32_t alphas = 0xFF000000u;
  for (int y = 0; y < argb.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    const auto* above = y > 0 ? reinterpret_cast<const QRgb*>(argb.constScanLine(y - 1)) : nullptr;
    alphas &= FilterOpaqueRow(row, above, argb.width(), out.data.get() + rowBytes * y);
  }
  if ((alphas >> 24) != 0xFF) return {};
  return out;
}

bool Readable(const QImage& image) {
  return image.format() == QImage::Format_ARGB32_Premultiplied ||
         image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32;
}

bool EveryPixelOpaque(const QImage& image) {
  const int width = image.width();
  std::uint32_t alphas = 0xFF000000u;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < width; ++x) alphas &= row[x];
  }
  return (alphas >> 24) == 0xFF;
}

// Filters an opaque picture that nothing else shares into its own pixel memory, so that a
// picture's worth of fresh pages is never touched for the filtered rows: a row's filtered bytes
// (3 per pixel and 1) never reach past its own pixels (4 per pixel), so writing row y can only
// overwrite rows y and above, and those are read from two saved rows. False, with the picture
// unchanged, when it is shared, in another format or not opaque.
bool FilterOpaqueRgbInPlace(QImage& image) {
  if (!image.isDetached() || !Readable(image) || !EveryPixelOpaque(image)) return false;
  const auto width = static_cast<std::size_t>(image.width());
  std::vector<QRgb> rows(width * 2);
  QRgb* row = rows.data();
  QRgb* above = rows.data() + width;
  std::uint8_t* const bits = image.bits();
  const std::size_t rowBytes = width * 3 + 1;
  for (int y = 0; y < image.height(); ++y) {
    std::memcpy(row, image.constScanLine(y), width * sizeof(QRgb));
    FilterOpaqueRow(row, y > 0 ? above : nullptr, image.width(), bits + rowBytes * y);
    std::swap(row, above);
  }
  return true;
}

// The same for a picture with transparency, as 8-bit RGBA without premultiplied colours.
Bytes FilteredRgba(const QImage& image) {
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
  const std::size_t rowBytes = static_cast<std::size_t>(rgba.width()) * 4;
  Bytes out = NewBytes((rowBytes + 1) * static_cast<std::size_t>(rgba.height()));
  if (!out.data || rgba.isNull()) return {};
  std::uint8_t* o = out.data.get();
  for (int y = 0; y < rgba.height(); ++y) {
    const std::uint8_t* row = rgba.constScanLine(y);
    const std::uint8_t* above = y > 0 ? rgba.constScanLine(y - 1) : nullptr;
    *o++ = kFilterUp;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      o[i] = static_cast<std::uint8_t>(above != nullptr ? row[i] - above[i] : row[i]);
    }
    o += rowBytes;
  }
  return out;
}

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// The PNG file of filtered rows: signature, header, the rows deflated at once, end.
std::string PngOfFilteredRows(const std::uint8_t* rows, std::size_t bytes, const QImage& image,
                              bool opaque, int compressionLevel) {
  std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(compressionLevel));
  if (!compressor) return {};
  const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), bytes);
  if (bound > kMaxChunkBytes) return {};
  // Room for the worst case, of which a chart fills a few per cent: plain pages, touched as used.
  const std::unique_ptr<std::uint8_t[]> data(new (std::nothrow) std::uint8_t[bound]);
  if (!data) return {};
  std::string png;

  png.append("\x89PNG\r\n\x1A\n", 8);

  std::string header;
  AppendBigEndian(header, static_cast<std::uint32_t>(image.width()));
  AppendBigEndian(header, static_cast<std::uint32_t>(image.height()));
  // Bit depth 8, colour type, deflate, adaptive filtering, no interlace.
  header += static_cast<char>(8);
  header += static_cast<char>(opaque ? kColorTypeRgb : kColorTypeRgba);
  header.append(3, '\0');
  AppendChunk(png, "IHDR", header);

  const std::size_t size =
      libdeflate_zlib_compress(compressor.get(), rows, bytes, data.get(), bound);
  if (size == 0) return {};
  AppendChunk(png, "IDAT", {reinterpret_cast<const char*>(data.get()), size});
  AppendChunk(png, "IEND", {});
  return png;
}

bool WriteWhole(const std::string& bytes, const std::string& path) {
  if (bytes.empty()) return false;
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  return std::fclose(file.release()) == 0 && written;
}

}  // namespace

std::string EncodePng(const QImage& image, int compressionLevel) {
  if (image.isNull()) return {};
  // Premultiplied pixels equal plain ones where alpha is 255, so opaque charts need no convert.
  const QImage argb = Readable(image) ? image : image.convertToFormat(QImage::Format_ARGB32);
  if (argb.isNull()) return {};
  Bytes filtered = FilteredOpaqueRgb(argb);
  const bool opaque = filtered.data != nullptr;
  if (!opaque) filtered = FilteredRgba(argb);
  if (!filtered.data) return {};
  return PngOfFilteredRows(filtered.data.get(), filtered.size, argb, opaque, compressionLevel);
}

std::string EncodePng(QImage&& image, int compressionLevel) {
  if (image.isNull() || !FilterOpaqueRgbInPlace(image)) {
    return EncodePng(std::as_const(image), compressionLevel);
  }
  std::string png =
      PngOfFilteredRows(image.constBits(), OpaqueRgbBytes(image), image, true, compressionLevel);
  image = QImage();
  return png;
}

bool SavePng(const QImage& image, const std::string& path) {
  return WriteWhole(EncodePng(image), path);
}

bool SavePng(QImage&& image, const std::string& path) {
  return WriteWhole(EncodePng(std::move(image)), path);
}

}  // namespace orvane
