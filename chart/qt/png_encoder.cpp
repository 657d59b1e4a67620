#include "chart/qt/png_encoder.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>
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

// Pixels of a 32-bit picture as PNG wants them before deflating, 8-bit RGB, each byte minus the
// one above (the row itself for the first). Returns the AND of the pixels, whose top byte is
// 0xFF only when every pixel is opaque.
std::uint32_t FilterOpaquePixels(const QRgb* row, const QRgb* above, int count, std::uint8_t* o) {
  std::uint32_t alphas = 0xFF000000u;
  for (int x = 0; x < count; ++x, o += 3) {
    alphas &= row[x];
    const std::uint32_t d = above != nullptr ? ByteDifferences(row[x], above[x]) : row[x];
    o[0] = static_cast<std::uint8_t>(d >> 16);
    o[1] = static_cast<std::uint8_t>(d >> 8);
    o[2] = static_cast<std::uint8_t>(d);
  }
  return alphas;
}

#if defined(__x86_64__) || defined(__i386__)
// The same four pixels at a time: one subtraction and one byte shuffle each. A store writes 16
// bytes for 12, reaching 4 bytes into the next two pixels' 6, so the last two or more pixels go
// through the loop above.
__attribute__((target("ssse3"))) std::uint32_t FilterOpaquePixelsSsse3(const QRgb* row,
                                                                       const QRgb* above, int count,
                                                                       std::uint8_t* o) {
  const __m128i bgraToRgb = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  __m128i alphas = _mm_set1_epi32(-1);
  int x = 0;
  for (; x + 6 <= count; x += 4, o += 12) {
    __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
    alphas = _mm_and_si128(alphas, pixels);
    if (above != nullptr) {
      pixels = _mm_sub_epi8(pixels, _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + x)));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_shuffle_epi8(pixels, bgraToRgb));
  }
  std::array<std::uint32_t, 4> lanes{};
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes.data()), alphas);
  return lanes[0] & lanes[1] & lanes[2] & lanes[3] &
         FilterOpaquePixels(row + x, above != nullptr ? above + x : nullptr, count - x, o);
}
#endif

using PixelFilter = std::uint32_t (*)(const QRgb*, const QRgb*, int, std::uint8_t*);

PixelFilter FastestPixelFilter() {
#if defined(__x86_64__) || defined(__i386__)
  if (__builtin_cpu_supports("ssse3")) return FilterOpaquePixelsSsse3;
#endif
  return FilterOpaquePixels;
}

bool Readable(const QImage& image) {
  return image.format() == QImage::Format_ARGB32_Premultiplied ||
         image.format() == QImage::Format_ARGB32 || image.format() == QImage::Format_RGB32;
}

// The same for a picture with transparency, as 8-bit RGBA without premultiplied colours, every
// row after its filter byte.
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

// ISA-L's working memory for each of its levels, 0 to 3 (level 0 needs none). The small size
// makes a chart's file no larger than the default size does, and touches less fresh memory.
constexpr std::array<std::size_t, 4> kLevelBufferBytes{ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_SMALL,
                                                       ISAL_DEF_LVL2_SMALL, ISAL_DEF_LVL3_SMALL};

// The Adler-32 of two pieces of bytes put end to end, from theirs and the second's length.
std::uint32_t CombinedAdler32(std::uint32_t first, std::uint32_t second,
                              std::uint64_t secondBytes) {
  constexpr std::uint64_t kBase = 65521;
  const std::uint64_t n = secondBytes % kBase;
  const std::uint64_t a = ((first & 0xFFFF) + (second & 0xFFFF) + kBase - 1) % kBase;
  const std::uint64_t b =
      (n * (first & 0xFFFF) + (first >> 16) + (second >> 16) + kBase - n) % kBase;
  return static_cast<std::uint32_t>(a | (b << 16));
}

// One horizontal band of a picture's filtered rows as a raw deflate stream that ends on a byte
// boundary, so that bands put end to end make one stream (only the last band's ends it), with
// the Adler-32 and count of the filtered bytes for the zlib trailer.
struct Band {
  std::string deflated;
  std::uint32_t adler = 1;
  std::size_t bytesIn = 0;
  bool failed = false;
  bool opaque = true;
};

class BandDeflater {
 public:
  BandDeflater(Band& band, int level, bool last) : band_(band), last_(last) {
    const std::size_t levelBytes = kLevelBufferBytes[static_cast<std::size_t>(level)];
    levelBuffer_.reset(levelBytes > 0 ? new (std::nothrow) std::uint8_t[levelBytes] : nullptr);
    band_.failed = levelBytes > 0 && !levelBuffer_;
    isal_deflate_init(&stream_);
    stream_.level = static_cast<std::uint32_t>(level);
    stream_.level_buf = levelBuffer_.get();
    stream_.level_buf_size = static_cast<std::uint32_t>(levelBytes);
    stream_.gzip_flag = IGZIP_DEFLATE;
  }

  // Deflates the next bytes of the band; `end` marks its last ones. A failure marks the band.
  void Add(const std::uint8_t* bytes, std::size_t size, bool end) {
    while (!band_.failed) {
      const std::size_t piece = std::min(size, kPiece);
      band_.adler = isal_adler32(band_.adler, bytes, piece);
      band_.bytesIn += piece;
      Deflate(bytes, piece, end && piece == size);
      if (piece == size) break;
      bytes += piece;
      size -= piece;
    }
  }

 private:
  void Deflate(const std::uint8_t* bytes, std::size_t size, bool end) {
    // ISA-L only reads its input.
    stream_.next_in = const_cast<std::uint8_t*>(bytes);
    stream_.avail_in = static_cast<std::uint32_t>(size);
    stream_.end_of_stream = end && last_ ? 1 : 0;
    stream_.flush = end && !last_ ? SYNC_FLUSH : NO_FLUSH;
    // Done once the input is in and, at the band's end, the stream ended or aligned (the
    // alignment is complete when the call left output room).
    constexpr std::size_t kLeastRoom = std::size_t{64} << 10;
    std::string& out = band_.deflated;
    for (;;) {
      if (out.size() - used_ < kLeastRoom) out.resize(std::max(out.size() * 2, used_ + kLeastRoom));
      stream_.next_out = reinterpret_cast<std::uint8_t*>(out.data()) + used_;
      stream_.avail_out =
          static_cast<std::uint32_t>(std::min<std::size_t>(out.size() - used_, kPiece));
      const std::uint32_t readBefore = stream_.avail_in;
      const std::size_t usedBefore = used_;
      if (isal_deflate(&stream_) != COMP_OK) break;
      used_ = static_cast<std::size_t>(reinterpret_cast<char*>(stream_.next_out) - out.data());
      const bool finished = stream_.end_of_stream != 0 ? stream_.internal_state.state == ZSTATE_END
                                                       : stream_.avail_out > 0;
      if (stream_.avail_in == 0 && (!end || finished)) {
        if (end) out.resize(used_);
        return;
      }
      if (stream_.avail_in == readBefore && used_ == usedBefore) break;
    }
    band_.failed = true;
  }

  // ISA-L counts bytes in 32 bits: the bytes go in a gibibyte at a time.
  static constexpr std::size_t kPiece = std::size_t{1} << 30;
  Band& band_;
  bool last_;
  std::unique_ptr<std::uint8_t[]> levelBuffer_;
  isal_zstream stream_{};
  std::size_t used_ = 0;
};

// Rows [first, end) of an opaque 32-bit picture, filtered a few at a time so that the filtered
// bytes reach the deflater while still in the cache and no picture-sized buffer is touched.
// Stops, marking the band not opaque, at the first row with a pixel that is not.
void DeflateOpaqueRows(const QImage& argb, int first, int end, int level, bool last, Band& band) {
  static const PixelFilter filter = FastestPixelFilter();
  constexpr std::size_t kPassBytes = std::size_t{64} << 10;
  const std::size_t rowBytes = static_cast<std::size_t>(argb.width()) * 3 + 1;
  const int passRows = std::clamp(static_cast<int>(kPassBytes / rowBytes), 1, end - first);
  const Bytes pass = NewBytes(rowBytes * static_cast<std::size_t>(passRows));
  BandDeflater deflater(band, level, last);
  if (!pass.data) band.failed = true;
  for (int y = first; y < end && !band.failed; y += passRows) {
    const int rows = std::min(passRows, end - y);
    std::uint32_t alphas = 0xFF000000u;
    for (int r = 0; r < rows; ++r) {
      std::uint8_t* o = pass.data.get() + rowBytes * static_cast<std::size_t>(r);
      *o = kFilterUp;
      const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y + r));
      const auto* above =
          y + r > 0 ? reinterpret_cast<const QRgb*>(argb.constScanLine(y + r - 1)) : nullptr;
      alphas &= filter(row, above, argb.width(), o + 1);
    }
    if ((alphas >> 24) != 0xFF) {
      band.opaque = false;
      return;
    }
    deflater.Add(pass.data.get(), rowBytes * static_cast<std::size_t>(rows), y + rows == end);
  }
}

// A picture's rows are cut into bands of at least this many filtered bytes, at most two,
// deflated side by side. The cut depends on the picture alone, so a picture's file is the same
// on every machine.
constexpr std::size_t kLeastBandBytes = std::size_t{1} << 20;
constexpr std::size_t kMostBands = 2;

// The bands of an opaque picture, or none when a pixel is not opaque.
std::vector<Band> DeflateOpaque(const QImage& argb, int level) {
  const std::size_t rowBytes = static_cast<std::size_t>(argb.width()) * 3 + 1;
  const std::size_t bytes = rowBytes * static_cast<std::size_t>(argb.height());
  const auto count = static_cast<int>(std::clamp<std::size_t>(
      std::min(bytes / kLeastBandBytes, static_cast<std::size_t>(argb.height())), 1, kMostBands));
  std::vector<Band> bands(static_cast<std::size_t>(count));
  auto rowOf = [&](int band) {
    return static_cast<int>(static_cast<std::int64_t>(argb.height()) * band / count);
  };
  {
    std::vector<std::jthread> helpers;
    for (int b = 1; b < count; ++b) {
      auto job = [&, b] {
        DeflateOpaqueRows(argb, rowOf(b), rowOf(b + 1), level, b + 1 == count,
                          bands[static_cast<std::size_t>(b)]);
      };
      try {
        helpers.emplace_back(job);
      } catch (const std::system_error&) {
        job();  // no thread to be had: this one does the band
      }
    }
    DeflateOpaqueRows(argb, 0, rowOf(1), level, count == 1, bands.front());
  }
  for (const Band& band : bands) {
    if (!band.opaque) return {};
  }
  return bands;
}

// The PNG file of deflated bands of filtered rows: signature, header, one zlib stream (header,
// the bands, the Adler-32 of all they hold), end. Empty when a band failed or is too large.
std::string PngOfBands(const std::vector<Band>& bands, const QImage& image, bool opaque) {
  // Deflate with a 32 KiB window, fastest compression: 0x78 0x01.
  constexpr std::string_view kZlibHeader("\x78\x01", 2);
  std::size_t streamBytes = kZlibHeader.size() + 4;
  for (const Band& band : bands) {
    if (band.failed) return {};
    streamBytes += band.deflated.size();
  }
  if (streamBytes > kMaxChunkBytes) return {};
  std::string header;
  AppendBigEndian(header, static_cast<std::uint32_t>(image.width()));
  AppendBigEndian(header, static_cast<std::uint32_t>(image.height()));
  // Bit depth 8, colour type, deflate, adaptive filtering, no interlace.
  header += static_cast<char>(8);
  header += static_cast<char>(opaque ? kColorTypeRgb : kColorTypeRgba);
  header.append(3, '\0');

  std::string png("\x89PNG\r\n\x1A\n", 8);
  // Each of the three chunks adds its length, type and checksum: 12 bytes.
  constexpr std::size_t kChunkFrameBytes = 12;
  png.reserve(png.size() + 3 * kChunkFrameBytes + header.size() + streamBytes);
  AppendChunk(png, "IHDR", header);
  AppendBigEndian(png, static_cast<std::uint32_t>(streamBytes));
  const std::size_t typeAt = png.size();
  png.append("IDAT");
  png.append(kZlibHeader);
  std::uint32_t adler = 1;
  for (const Band& band : bands) {
    png.append(band.deflated);
    adler = CombinedAdler32(adler, band.adler, band.bytesIn);
  }
  AppendBigEndian(png, adler);
  AppendBigEndian(png, Crc32(png.data() + typeAt, png.size() - typeAt));
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
  if (image.isNull() || compressionLevel < 0 ||
      compressionLevel >= static_cast<int>(kLevelBufferBytes.size())) {
    return {};
  }
  // Premultiplied pixels equal plain ones where alpha is 255, so opaque charts need no convert.
  const QImage argb = Readable(image) ? image : image.convertToFormat(QImage::Format_ARGB32);
  if (argb.isNull()) return {};
  if (std::vector<Band> bands = DeflateOpaque(argb, compressionLevel); !bands.empty()) {
    return PngOfBands(bands, argb, true);
  }
  const Bytes filtered = FilteredRgba(argb);
  if (!filtered.data) return {};
  std::vector<Band> band(1);
  BandDeflater(band.front(), compressionLevel, true).Add(filtered.data.get(), filtered.size, true);
  return PngOfBands(band, argb, false);
}

bool SavePng(const QImage& image, const std::string& path) {
  return WriteWhole(EncodePng(image), path);
}

}  // namespace orvane
