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

// The BITMAPFILEHEADER and BITMAPINFOHEADER of a file of bottom-up rows with `colours` palette
// entries after them (written by the caller); empty when the file would pass 4 GiB. `rowBytes`
// receives the padded row size.
TBytes BMPHeader(int width, int height, int bitsPerPixel, std::uint32_t colours, double dpi, std::uint64_t& rowBytes) {
  const std::uint64_t headerSize = 14 + 40 + 4 * std::uint64_t{colours};
  rowBytes = ((std::uint64_t(width) * bitsPerPixel + 31) / 32) * 4;
  const std::uint64_t imageBytes = rowBytes * std::uint64_t(height);
  const std::uint64_t fileBytes = headerSize + imageBytes;
  if (fileBytes > std::numeric_limits<std::uint32_t>::max()) return {};
  TBytes out(14 + 40, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(out.data());
  // BITMAPFILEHEADER
  p[0] = 'B';
  p[1] = 'M';
  PutLE32(p + 2, static_cast<std::uint32_t>(fileBytes));
  PutLE32(p + 10, static_cast<std::uint32_t>(headerSize));
  // BITMAPINFOHEADER: positive height means bottom-up rows; compression 0 is BI_RGB.
  PutLE32(p + 14, 40);
  PutLE32(p + 18, static_cast<std::uint32_t>(width));
  PutLE32(p + 22, static_cast<std::uint32_t>(height));
  PutLE16(p + 26, 1);
  PutLE16(p + 28, static_cast<std::uint32_t>(bitsPerPixel));
  PutLE32(p + 34, static_cast<std::uint32_t>(imageBytes));
  const std::uint32_t ppm = PixelsPerMetre(dpi);
  PutLE32(p + 38, ppm);
  PutLE32(p + 42, ppm);
  PutLE32(p + 46, colours);
  return out;
}

// Writes the header, then the rows from the bottom up, each made by `fill` into a zeroed row.
template <typename TFill>
bool WriteBMP(int width, int height, int bitsPerPixel, std::uint32_t colours, double dpi, TFill fill,
              TByteSink& out) {
  std::uint64_t rowBytes = 0;
  TBytes header = BMPHeader(width, height, bitsPerPixel, colours, dpi, rowBytes);
  if (header.empty()) return false;
  out.Expect(header.size() + 4 * std::uint64_t{colours} + rowBytes * std::uint64_t(height));
  // The gray palette: entry i is gray level i (or black and white), written B, G, R, 0.
  const bool mono = colours == 2;
  for (std::uint32_t i = 0; i < colours; ++i) {
    const auto v = static_cast<char>(mono ? i * 255 : i);
    header.append({v, v, v, '\0'});
  }
  if (!out.Write(header)) return false;
  std::vector<std::uint8_t> row(rowBytes);
  for (int y = height - 1; y >= 0; --y) {
    std::fill(row.begin(), row.end(), 0);
    fill(y, row.data());
    if (!out.Write({reinterpret_cast<const char*>(row.data()), row.size()})) return false;
  }
  return true;
}

}  // namespace

bool EncodeBMP(const TPixelView& pixels, double dpi, TByteSink& out) {
  if (pixels.Width <= 0 || pixels.Height <= 0 || pixels.Data == nullptr) return false;
  return WriteBMP(
      pixels.Width, pixels.Height, 24, 0, dpi,
      [&pixels](int y, std::uint8_t* rowOut) {
        const std::uint8_t* row = pixels.Row(y);
        for (int x = 0; x < pixels.Width; ++x) {
          std::uint8_t rgb[3];
          pixels.ReadRGB(row, x, rgb);
          std::uint8_t* bgr = rowOut + std::size_t(x) * 3;
          bgr[0] = rgb[2];
          bgr[1] = rgb[1];
          bgr[2] = rgb[0];
        }
      },
      out);
}

bool EncodeBMP(const TPagePicture& picture, TByteSink& out) {
  const TPixelView view = picture.View();
  if (picture.Colour() == TColourMode::kRGB || view.Data == nullptr) return EncodeBMP(view, picture.Dpi(), out);
  const bool mono = picture.Colour() == TColourMode::kMono;
  return WriteBMP(
      view.Width, view.Height, mono ? 1 : 8, mono ? 2 : 256, picture.Dpi(),
      [&view, mono](int y, std::uint8_t* rowOut) {
        const std::uint8_t* row = view.Row(y);
        if (!mono) {
          std::copy_n(row, view.Width, rowOut);
          return;
        }
        for (int x = 0; x < view.Width; ++x)
          if (row[x] >= 128) rowOut[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      },
      out);
}

TBytes EncodeBMP(const TPixelView& pixels, double dpi) {
  TBytes bytes;
  TBytesSink sink(bytes);
  if (!EncodeBMP(pixels, dpi, sink)) return {};
  return bytes;
}

TBytes EncodeBMP(const TRasterImage& image) { return EncodeBMP(image.View(), image.Dpi()); }

TBytes EncodeBMP(const TPagePicture& picture) {
  TBytes bytes;
  TBytesSink sink(bytes);
  if (!EncodeBMP(picture, sink)) return {};
  return bytes;
}

}  // namespace kestrel
