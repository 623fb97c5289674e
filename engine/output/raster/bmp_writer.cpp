#include "engine/output/raster/bmp_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace kestrel {

namespace {

void PutLE16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLE32(std::uint8_t* p, std::uint32_t v) {
  PutLE16(p, v);
  PutLE16(p + 2, v >> 16);
}

std::uint32_t PixelsPerMetre(double dpi) {
  if (!(dpi > 0) || dpi > 1e6) return 0;
  return static_cast<std::uint32_t>(std::lround(dpi * 10000.0 / 254.0));
}

}  // namespace

TBytes EncodeBMP(const TPixelView& pixels, double dpi) {
  if (pixels.Width <= 0 || pixels.Height <= 0 || pixels.Data == nullptr) return {};
  constexpr std::uint64_t kHeaderSize = 14 + 40;
  const std::uint64_t rowBytes = (std::uint64_t(pixels.Width) * 3 + 3) & ~std::uint64_t{3};
  const std::uint64_t imageBytes = rowBytes * std::uint64_t(pixels.Height);
  const std::uint64_t fileBytes = kHeaderSize + imageBytes;
  if (fileBytes > std::numeric_limits<std::uint32_t>::max()) return {};

  TBytes out(fileBytes, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(out.data());
  // BITMAPFILEHEADER
  p[0] = 'B';
  p[1] = 'M';
  PutLE32(p + 2, static_cast<std::uint32_t>(fileBytes));
  PutLE32(p + 10, kHeaderSize);
  // BITMAPINFOHEADER: positive height means bottom-up rows.
  PutLE32(p + 14, 40);
  PutLE32(p + 18, static_cast<std::uint32_t>(pixels.Width));
  PutLE32(p + 22, static_cast<std::uint32_t>(pixels.Height));
  PutLE16(p + 26, 1);
  PutLE16(p + 28, 24);
  PutLE32(p + 30, 0);  // BI_RGB
  PutLE32(p + 34, static_cast<std::uint32_t>(imageBytes));
  const std::uint32_t ppm = PixelsPerMetre(dpi);
  PutLE32(p + 38, ppm);
  PutLE32(p + 42, ppm);

  std::uint8_t* rowOut = p + kHeaderSize;
  for (int y = pixels.Height - 1; y >= 0; --y, rowOut += rowBytes) {
    const std::uint8_t* row = pixels.Row(y);
    for (int x = 0; x < pixels.Width; ++x) {
      std::uint8_t rgb[3];
      pixels.ReadRGB(row, x, rgb);
      std::uint8_t* bgr = rowOut + std::size_t(x) * 3;
      bgr[0] = rgb[2];
      bgr[1] = rgb[1];
      bgr[2] = rgb[0];
    }
  }
  return out;
}

TBytes EncodeBMP(const TRasterImage& image) { return EncodeBMP(image.View(), image.Dpi()); }

TBytes EncodeBMP(const TPagePicture& picture) {
  const TPixelView view = picture.View();
  if (picture.Colour() == TColourMode::kRGB || view.Data == nullptr) return EncodeBMP(view, picture.Dpi());
  const bool mono = picture.Colour() == TColourMode::kMono;
  const std::uint32_t colours = mono ? 2 : 256;
  const std::uint64_t headerSize = 14 + 40 + 4 * colours;
  const std::uint64_t rowBytes = ((std::uint64_t(view.Width) * (mono ? 1 : 8) + 31) / 32) * 4;
  const std::uint64_t imageBytes = rowBytes * std::uint64_t(view.Height);
  const std::uint64_t fileBytes = headerSize + imageBytes;
  if (fileBytes > std::numeric_limits<std::uint32_t>::max()) return {};

  TBytes out(fileBytes, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(out.data());
  p[0] = 'B';
  p[1] = 'M';
  PutLE32(p + 2, static_cast<std::uint32_t>(fileBytes));
  PutLE32(p + 10, static_cast<std::uint32_t>(headerSize));
  PutLE32(p + 14, 40);
  PutLE32(p + 18, static_cast<std::uint32_t>(view.Width));
  PutLE32(p + 22, static_cast<std::uint32_t>(view.Height));
  PutLE16(p + 26, 1);
  PutLE16(p + 28, mono ? 1 : 8);
  PutLE32(p + 34, static_cast<std::uint32_t>(imageBytes));
  const std::uint32_t ppm = PixelsPerMetre(picture.Dpi());
  PutLE32(p + 38, ppm);
  PutLE32(p + 42, ppm);
  PutLE32(p + 46, colours);
  for (std::uint32_t i = 0; i < colours; ++i) {
    const std::uint8_t v = mono ? static_cast<std::uint8_t>(i * 255) : static_cast<std::uint8_t>(i);
    PutLE32(p + 54 + 4 * i, std::uint32_t(v) * 0x010101u);
  }
  std::uint8_t* rowOut = p + headerSize;
  for (int y = view.Height - 1; y >= 0; --y, rowOut += rowBytes) {
    const std::uint8_t* row = view.Row(y);
    if (!mono) {
      std::copy_n(row, view.Width, rowOut);
      continue;
    }
    for (int x = 0; x < view.Width; ++x)
      if (row[x] >= 128) rowOut[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
  }
  return out;
}

}  // namespace kestrel
