#include "support/bmp_reader.h"

#include <algorithm>
#include <cstdlib>
#include <new>

namespace kestrel {

namespace {

std::uint32_t LE(TByteView b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | std::uint8_t(b[at + i]);
  return v;
}

TDecodedImage Failure(const char* why) {
  TDecodedImage image;
  image.Error = why;
  return image;
}

}  // namespace

TDecodedImage DecodeBMP(TByteView bmp, const TImageDecodeLimits& limits) {
  if (bmp.size() < 14 + 12 || bmp[0] != 'B' || bmp[1] != 'M') return Failure("not a BMP file");
  const std::uint32_t dataOffset = LE(bmp, 10, 4);
  const std::uint32_t headerSize = LE(bmp, 14, 4);
  if (headerSize < 12 || headerSize > bmp.size() - 14) return Failure("BMP header damaged");

  std::int64_t width, height;
  std::uint32_t bitCount, compression = 0, paletteUsed = 0;
  std::size_t paletteEntrySize = 4;
  if (headerSize == 12) {  // OS/2 core header: 16-bit sizes, 3-byte palette entries
    width = LE(bmp, 18, 2);
    height = static_cast<std::int16_t>(LE(bmp, 20, 2));
    bitCount = LE(bmp, 24, 2);
    paletteEntrySize = 3;
  } else if (headerSize >= 40) {
    width = static_cast<std::int32_t>(LE(bmp, 18, 4));
    height = static_cast<std::int32_t>(LE(bmp, 22, 4));
    bitCount = LE(bmp, 28, 2);
    compression = LE(bmp, 30, 4);
    paletteUsed = LE(bmp, 46, 4);
  } else {
    return Failure("BMP header damaged");
  }
  const bool topDown = height < 0;
  height = std::llabs(height);
  if (width <= 0 || height <= 0) return Failure("BMP size empty");
  // 32-bit files may say BI_BITFIELDS with the usual masks; the byte order is read as BGRX.
  const bool plain = compression == 0 || (compression == 3 && bitCount == 32);
  if (!plain ||
      (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)) {
    return Failure("BMP format not supported");
  }
  if (!DecodedSizeFits(std::uint64_t(width), std::uint64_t(height), 3, limits.MaxBytes)) {
    return Failure("BMP image too large");
  }

  // Palette right after the header (bit fields masks come first for BI_BITFIELDS).
  std::size_t paletteAt =
      14 + std::size_t(headerSize) + (compression == 3 && headerSize == 40 ? 12 : 0);
  std::size_t paletteCount = 0;
  if (bitCount <= 8) {
    paletteCount =
        paletteUsed != 0 && paletteUsed < (1u << bitCount) ? paletteUsed : (1u << bitCount);
    const std::size_t available =
        paletteAt < bmp.size() ? (bmp.size() - paletteAt) / paletteEntrySize : 0;
    paletteCount = std::min(paletteCount, available);
  }

  TDecodedImage image;
  try {
    image.Pixels.resize(std::size_t(width) * std::size_t(height) * 3);
  } catch (const std::bad_alloc&) {
    return Failure("BMP image too large");
  }
  image.Width = static_cast<int>(width);
  image.Height = static_cast<int>(height);
  image.Components = 3;

  const std::uint64_t stride = ((std::uint64_t(width) * bitCount + 31) / 32) * 4;
  auto* out = reinterpret_cast<std::uint8_t*>(image.Pixels.data());
  for (std::int64_t row = 0; row < height; ++row) {
    const std::uint64_t at = std::uint64_t(dataOffset) + stride * std::uint64_t(row);
    if (at >= bmp.size() || stride > bmp.size() - at) break;  // rows cut short stay black
    const auto* src = reinterpret_cast<const std::uint8_t*>(bmp.data() + at);
    const std::int64_t y = topDown ? row : height - 1 - row;
    std::uint8_t* dst = out + std::size_t(y) * std::size_t(width) * 3;
    for (std::int64_t x = 0; x < width; ++x, dst += 3) {
      if (bitCount >= 24) {
        const std::uint8_t* p = src + x * (bitCount / 8);
        dst[0] = p[2];
        dst[1] = p[1];
        dst[2] = p[0];
        continue;
      }
      const std::uint64_t bit = std::uint64_t(x) * bitCount;
      const unsigned index = (src[bit / 8] >> (8 - bitCount - bit % 8)) & ((1u << bitCount) - 1);
      if (index < paletteCount) {
        const std::size_t entry = paletteAt + index * paletteEntrySize;
        dst[0] = std::uint8_t(bmp[entry + 2]);
        dst[1] = std::uint8_t(bmp[entry + 1]);
        dst[2] = std::uint8_t(bmp[entry]);
      }
    }
  }
  return image;
}

}  // namespace kestrel
