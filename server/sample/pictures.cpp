#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "server/sample/sample_parts.h"

namespace orvane::server {
namespace {

struct Rgba {
  std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

class Canvas {
 public:
  Canvas(int width, int height)
      : w_(width),
        h_(height),
        px_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {}

  int width() const { return w_; }
  int height() const { return h_; }
  Rgba& At(int x, int y) {
    return px_[static_cast<std::size_t>(y) * static_cast<std::size_t>(w_) +
               static_cast<std::size_t>(x)];
  }

  // Paints colour over the pixel with the given opacity (0 to 1), "over" compositing.
  void Blend(int x, int y, Rgba c, double opacity) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    Rgba& p = At(x, y);
    const double sa = std::clamp(opacity, 0.0, 1.0);
    const double da = p.a / 255.0;
    const double oa = sa + da * (1.0 - sa);
    if (oa <= 0.0) return;
    auto mix = [&](std::uint8_t s, std::uint8_t d) {
      return static_cast<std::uint8_t>(std::lround((s * sa + d * da * (1.0 - sa)) / oa));
    };
    p = {mix(c.r, p.r), mix(c.g, p.g), mix(c.b, p.b),
         static_cast<std::uint8_t>(std::lround(oa * 255))};
  }

  void FillRect(int x0, int y0, int x1, int y1, Rgba c, double opacity) {
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) Blend(x, y, c, opacity);
    }
  }

  void Disc(double cx, double cy, double radius, Rgba c, double opacity) {
    const int r = static_cast<int>(std::ceil(radius)) + 1;
    for (int y = static_cast<int>(cy) - r; y <= static_cast<int>(cy) + r; ++y) {
      for (int x = static_cast<int>(cx) - r; x <= static_cast<int>(cx) + r; ++x) {
        const double d = std::hypot(x - cx, y - cy);
        // One pixel of soft edge.
        const double cover = std::clamp(radius + 0.5 - d, 0.0, 1.0);
        if (cover > 0.0) Blend(x, y, c, opacity * cover);
      }
    }
  }

  void Line(double x0, double y0, double x1, double y1, double width, Rgba c, double opacity) {
    const double radius = width / 2.0;
    const int pad = static_cast<int>(std::ceil(radius)) + 1;
    const int left = std::max(0, static_cast<int>(std::min(x0, x1)) - pad);
    const int top = std::max(0, static_cast<int>(std::min(y0, y1)) - pad);
    const int right = std::min(w_ - 1, static_cast<int>(std::max(x0, x1)) + pad);
    const int bottom = std::min(h_ - 1, static_cast<int>(std::max(y0, y1)) + pad);
    if (left > right || top > bottom) return;
    // Coverage is the distance to the segment, so overlapping parts never darken twice.
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    const double length2 = dx * dx + dy * dy;
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) {
        const double t =
            length2 > 0 ? std::clamp(((x - x0) * dx + (y - y0) * dy) / length2, 0.0, 1.0) : 0.0;
        const double d = std::hypot(x - (x0 + t * dx), y - (y0 + t * dy));
        const double cover = std::clamp(radius + 0.5 - d, 0.0, 1.0);
        if (cover > 0.0) Blend(x, y, c, opacity * cover);
      }
    }
  }

  void Text(int x, int y, int scale, std::string_view text, Rgba c, double opacity);

 private:
  int w_, h_;
  std::vector<Rgba> px_;
};

struct Glyph {
  char ch;
  const char* rows[7];
};

constexpr Glyph kGlyphs[] = {
    {'O', {"01110", "10001", "10001", "10001", "10001", "10001", "01110"}},
    {'R', {"11110", "10001", "10001", "11110", "10100", "10010", "10001"}},
    {'V', {"10001", "10001", "10001", "10001", "10001", "01010", "00100"}},
    {'A', {"01110", "10001", "10001", "11111", "10001", "10001", "10001"}},
    {'N', {"10001", "11001", "10101", "10011", "10001", "10001", "10001"}},
    {'E', {"11111", "10000", "10000", "11110", "10000", "10000", "11111"}},
    {'H', {"10001", "10001", "10001", "11111", "10001", "10001", "10001"}},
    {'U', {"10001", "10001", "10001", "10001", "10001", "10001", "01110"}},
    {'S', {"01111", "10000", "10000", "01110", "00001", "00001", "11110"}},
    {'I', {"01110", "00100", "00100", "00100", "00100", "00100", "01110"}},
    {'G', {"01110", "10001", "10000", "10111", "10001", "10001", "01111"}},
    {'D', {"11110", "10001", "10001", "10001", "10001", "10001", "11110"}},
    {'X', {"10001", "10001", "01010", "00100", "01010", "10001", "10001"}},
};

void Canvas::Text(int x, int y, int scale, std::string_view text, Rgba c, double opacity) {
  for (char ch : text) {
    for (const Glyph& g : kGlyphs) {
      if (g.ch != ch) continue;
      for (int row = 0; row < 7; ++row) {
        for (int col = 0; col < 5; ++col) {
          if (g.rows[row][col] == '1') {
            FillRect(x + col * scale, y + row * scale, x + (col + 1) * scale - (scale > 3 ? 1 : 0),
                     y + (row + 1) * scale - (scale > 3 ? 1 : 0), c, opacity);
          }
        }
      }
    }
    x += 6 * scale;
  }
}

void PutLe(std::string& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A bottom-up BMP: 24 bits per pixel, or 32 with an alpha channel (version 5 header with masks).
std::string EncodeBmp(Canvas& canvas, bool alpha) {
  const int w = canvas.width();
  const int h = canvas.height();
  const int bpp = alpha ? 4 : 3;
  const int stride = (w * bpp + 3) & ~3;
  const std::uint32_t headerSize = alpha ? 124 : 40;
  const std::uint32_t offset = 14 + headerSize;
  const std::uint32_t imageSize = static_cast<std::uint32_t>(stride * h);
  std::string out;
  out.reserve(offset + imageSize);
  out += "BM";
  PutLe(out, offset + imageSize, 4);
  PutLe(out, 0, 4);
  PutLe(out, offset, 4);
  PutLe(out, headerSize, 4);
  PutLe(out, static_cast<std::uint32_t>(w), 4);
  PutLe(out, static_cast<std::uint32_t>(h), 4);
  PutLe(out, 1, 2);
  PutLe(out, static_cast<std::uint32_t>(bpp * 8), 2);
  PutLe(out, alpha ? 3 : 0, 4);  // BI_BITFIELDS or BI_RGB
  PutLe(out, imageSize, 4);
  PutLe(out, 3780, 4);  // 96 DPI
  PutLe(out, 3780, 4);
  PutLe(out, 0, 4);
  PutLe(out, 0, 4);
  if (alpha) {
    PutLe(out, 0x00FF0000, 4);
    PutLe(out, 0x0000FF00, 4);
    PutLe(out, 0x000000FF, 4);
    PutLe(out, 0xFF000000, 4);
    PutLe(out, 0x73524742, 4);  // 'sRGB'
    out.append(36 + 12, '\0');  // endpoints and gammas, unused for sRGB
    PutLe(out, 4, 4);           // LCS_GM_IMAGES
    out.append(12, '\0');       // profile data, size, reserved
  }
  for (int y = h - 1; y >= 0; --y) {
    std::size_t written = 0;
    for (int x = 0; x < w; ++x) {
      const Rgba& p = canvas.At(x, y);
      out.push_back(static_cast<char>(p.b));
      out.push_back(static_cast<char>(p.g));
      out.push_back(static_cast<char>(p.r));
      if (alpha) out.push_back(static_cast<char>(p.a));
      written += static_cast<std::size_t>(bpp);
    }
    out.append(static_cast<std::size_t>(stride) - written, '\0');
  }
  return out;
}

// Maps the long-run housing curve onto a box, for the pictures' chart line.
std::vector<std::pair<double, double>> HousingCurve(double x0, double x1, double yTop,
                                                    double yBottom) {
  const std::vector<double> path =
      MonthlyPath(CurveParams{.wander = 0.0, .noise = 0.0}, Month(1986, 1), kLastMonth);
  const auto [lo, hi] = std::minmax_element(path.begin(), path.end());
  std::vector<std::pair<double, double>> points;
  for (std::size_t i = 0; i < path.size(); i += 3) {
    const double x = x0 + (x1 - x0) * static_cast<double>(i) / static_cast<double>(path.size() - 1);
    const double y = yBottom - (yBottom - yTop) * (path[i] - *lo) / (*hi - *lo);
    points.emplace_back(x, y);
  }
  return points;
}

}  // namespace

std::string LoginPicture() {
  const int w = kLoginPictureWidth;
  const int h = kLoginPictureHeight;
  Canvas c(w, h);
  for (int y = 0; y < h; ++y) {
    const double t = static_cast<double>(y) / h;
    const Rgba sky{static_cast<std::uint8_t>(18 + 30 * t), static_cast<std::uint8_t>(36 + 90 * t),
                   static_cast<std::uint8_t>(82 + 70 * t), 255};
    for (int x = 0; x < w; ++x) c.At(x, y) = sky;
  }
  // A skyline of apartment blocks with lit windows.
  SampleRandom random(2024);
  for (int x = 0; x < w;) {
    const int bw = 28 + random.Below(34);
    const int top = 250 + random.Below(110);
    c.FillRect(x, top, x + bw - 4, 410, {14, 30, 58, 255}, 0.9);
    for (int wy = top + 8; wy < 400; wy += 12) {
      for (int wx = x + 5; wx < x + bw - 10; wx += 9) {
        if (random.Uniform() < 0.45) c.FillRect(wx, wy, wx + 4, wy + 6, {255, 214, 120, 255}, 0.8);
      }
    }
    x += bw;
  }
  // The long-run price line over the skyline.
  const auto curve = HousingCurve(30, w - 30, 170, 330);
  for (std::size_t i = 1; i < curve.size(); ++i) {
    c.Line(curve[i - 1].first, curve[i - 1].second, curve[i].first, curve[i].second, 4,
           {255, 153, 205, 255}, 0.95);
  }
  c.Text(70, 50, 10, "ORVANE", {255, 255, 255, 255}, 1.0);
  c.Text(140, 135, 3, "HOUSING INDEX", {200, 225, 255, 255}, 0.9);
  // The light panel behind the check box, the edits and the buttons.
  c.FillRect(60, 415, w - 20, h - 12, {246, 246, 240, 255}, 0.92);
  c.FillRect(60, 415, w - 20, 418, {255, 153, 205, 255}, 1.0);
  return EncodeBmp(c, false);
}

std::string BackgroundMark() {
  const int n = kMarkSize;
  Canvas c(n, n);
  const Rgba ink{0, 90, 160, 255};
  const double o = 0.16;
  // A ring, a house and rising bars, all faint: the chart shows through.
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const double d = std::hypot(x - n / 2.0, y - n / 2.0);
      const double ring = std::clamp(1.0 - std::fabs(d - 160.0) / 6.0, 0.0, 1.0);
      if (ring > 0) c.Blend(x, y, ink, o * ring);
    }
  }
  c.Line(85, 170, 175, 85, 10, ink, o);
  c.Line(175, 85, 265, 170, 10, ink, o);
  c.FillRect(105, 170, 245, 265, ink, o);
  const int bars[] = {30, 45, 38, 60, 75};
  for (int i = 0; i < 5; ++i) {
    c.FillRect(120 + i * 24, 250 - bars[i], 136 + i * 24, 250, {255, 153, 205, 255}, 0.25);
  }
  c.Text(110, 285, 4, "ORVANE", ink, 0.22);
  return EncodeBmp(c, true);
}

}  // namespace orvane::server
