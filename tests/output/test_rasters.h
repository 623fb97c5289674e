#pragma once
// Page bitmaps with content that exercises encoders: flat areas, gradients, noise, edges.
#include <cstdint>
#include <vector>

#include "engine/graphics/raster_image.h"

namespace kestrel::oracle {

// Deterministic pseudo-random bytes (xorshift), so failures reproduce.
inline std::uint32_t NextRandom(std::uint32_t& state) {
  state ^= state << 13;
  state ^= state >> 17;
  state ^= state << 5;
  return state;
}

// Left third flat colour blocks, middle third gradients, right third noise.
inline TRasterImage MakeTestRaster(int width, int height, double dpi = 96) {
  TRasterImage image = *TRasterImage::Create(width, height, dpi);
  std::uint32_t seed = 0x12345678u ^ std::uint32_t(width * 31 + height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t rgb;
      if (x < width / 3) {
        static const std::uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000,
                                                 0xFFFFFF, 0x808080, 0x12ABEF, 0xFEDC01};
        rgb = kColours[((x / 5) + (y / 7)) % 8];
      } else if (x < 2 * width / 3) {
        rgb = (std::uint32_t(x * 255 / width) << 16) | (std::uint32_t(y * 255 / height) << 8) |
              std::uint32_t((x + y) & 0xFF);
      } else {
        rgb = NextRandom(seed) & 0xFFFFFF;
      }
      image.SetPixel(x, y, rgb);
    }
  }
  return image;
}

// The red, green and blue bytes of a bitmap, row by row: what a decoder should give back.
inline std::vector<std::uint8_t> RGBBytes(const TRasterImage& image) {
  std::vector<std::uint8_t> out;
  out.reserve(std::size_t(image.Width()) * image.Height() * 3);
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const std::uint32_t p = image.Pixel(x, y);
      out.push_back(std::uint8_t(p >> 16));
      out.push_back(std::uint8_t(p >> 8));
      out.push_back(std::uint8_t(p));
    }
  }
  return out;
}

}  // namespace kestrel::oracle
