#pragma once

namespace orvane {

// A window rectangle in pixels: position of the top-left corner and size.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  int Right() const { return x + width; }    // exclusive
  int Bottom() const { return y + height; }  // exclusive
  bool operator==(const PixelRect&) const = default;
};

}  // namespace orvane
