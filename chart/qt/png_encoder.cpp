#include "chart/qt/png_encoder.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <array>
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

std::uint32_t Crc32(const char* bytes, std::size_t size) {
  return crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(bytes), size);
}

void AppendChunk(std::string& out, std::string_view type, std::string_view data) {
  AppendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.append(type);
  out.append(data);
  AppendBigEndian(out, Crc32(out.data() + start, out.size() - start));
}

struct Bytes {
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t size = 0;
};

// Not zeroed: every byte is written before it is read, and pages are touched only as they are.
Bytes NewBytes(std::size_t size) {
  return {std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]), size};
}

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

// ISA-L's working memory for each of its levels, 0 to 3 (level 0 needs none).
constexpr std::array<std::size_t, 4> kLevelBufferBytes{
    ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT, ISAL_DEF_LVL2_DEFAULT, ISAL_DEF_LVL3_DEFAULT};

void PutBigEndian(std::string& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

// The PNG file of filtered rows: signature, header, the rows deflated into one zlib stream,
// end. The stream is written straight into the file's bytes, which grow only when a picture
// compresses worse than one sixteenth (a chart takes a few per cent).
std::string PngOfFilteredRows(const std::uint8_t* rows, std::size_t bytes, const QImage& image,
                              bool opaque, int compressionLevel) {
  if (compressionLevel < 0 || compressionLevel >= static_cast<int>(kLevelBufferBytes.size())) {
    return {};
  }
  const std::size_t levelBytes = kLevelBufferBytes[static_cast<std::size_t>(compressionLevel)];
  const std::unique_ptr<std::uint8_t[]> levelBuffer(
      levelBytes > 0 ? new (std::nothrow) std::uint8_t[levelBytes] : nullptr);
  if (levelBytes > 0 && !levelBuffer) return {};
  isal_zstream stream{};  // isal_deflate_init leaves the input and output fields as they are
  isal_deflate_init(&stream);
  stream.level = static_cast<std::uint32_t>(compressionLevel);
  stream.level_buf = levelBuffer.get();
  stream.level_buf_size = static_cast<std::uint32_t>(levelBytes);
  stream.gzip_flag = IGZIP_ZLIB;
  stream.flush = NO_FLUSH;

  std::string png("\x89PNG\r\n\x1A\n", 8);
  std::string header;
  AppendBigEndian(header, static_cast<std::uint32_t>(image.width()));
  AppendBigEndian(header, static_cast<std::uint32_t>(image.height()));
  // Bit depth 8, colour type, deflate, adaptive filtering, no interlace.
  header += static_cast<char>(8);
  header += static_cast<char>(opaque ? kColorTypeRgb : kColorTypeRgba);
  header.append(3, '\0');
  AppendChunk(png, "IHDR", header);

  const std::size_t chunk = png.size();
  png.append(4, '\0');
  png.append("IDAT");
  const std::size_t data = png.size();
  std::size_t used = data;
  png.resize(data + bytes / 16 + 65536);
  // ISA-L counts bytes in 32 bits: the rows go in a gibibyte at a time.
  constexpr std::size_t kPiece = std::size_t{1} << 30;
  const std::uint8_t* next = rows;
  std::size_t left = bytes;
  for (;;) {
    if (stream.avail_in == 0 && left > 0) {
      const std::size_t piece = std::min(left, kPiece);
      // ISA-L only reads its input.
      stream.next_in = const_cast<std::uint8_t*>(next);
      stream.avail_in = static_cast<std::uint32_t>(piece);
      next += piece;
      left -= piece;
    }
    stream.end_of_stream = left == 0 ? 1 : 0;
    stream.next_out = reinterpret_cast<std::uint8_t*>(png.data()) + used;
    stream.avail_out = static_cast<std::uint32_t>(std::min(png.size() - used, kPiece));
    const std::uint32_t readBefore = stream.total_in;
    const std::uint32_t writtenBefore = stream.total_out;
    if (isal_deflate(&stream) != COMP_OK) return {};
    used = static_cast<std::size_t>(reinterpret_cast<char*>(stream.next_out) - png.data());
    if (used - data > kMaxChunkBytes) return {};
    if (stream.internal_state.state == ZSTATE_END) break;
    if (stream.total_in == readBefore && stream.total_out == writtenBefore) return {};
    if (stream.avail_out == 0) png.resize(png.size() * 2);
  }
  png.resize(used);
  PutBigEndian(png, chunk, static_cast<std::uint32_t>(used - data));
  AppendBigEndian(png, Crc32(png.data() + chunk + 4, used - chunk - 4));
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
