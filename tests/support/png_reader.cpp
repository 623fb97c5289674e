#include "support/png_reader.h"

#include <algorithm>
#include <cstring>

namespace kestrel {

namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";

std::uint32_t ReadBE32(TByteView data, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at);
  return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
         std::uint32_t(p[3]);
}

}  // namespace

void TPNGReader::Scan(TByteView png, bool scanOnly) {
  *this = TPNGReader{};
  ScanOnly = scanOnly;
  if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return;

  std::size_t pos = 8;
  bool first = true;
  while (png.size() - pos >= 8) {
    const std::size_t chunkAt = pos;
    const std::size_t length = ReadBE32(png, pos);
    const TByteView type = png.substr(pos + 4, 4);
    pos += 8;
    if (first && type != "IHDR") return;
    first = false;
    if (type == "IEND") return;
    // Everything below needs the whole chunk data; a chunk running past the end stops here.
    if (length > png.size() - pos) return;
    const TByteView data = png.substr(pos, length);

    if (type == "IHDR") {
      if (length < 13) return;
      Width = ReadBE32(data, 0);
      Height = ReadBE32(data, 4);
      BitDepth = static_cast<std::uint8_t>(data[8]);
      ColorType = static_cast<std::uint8_t>(data[9]);
      CompressionMethod = static_cast<std::uint8_t>(data[10]);
      FilterMethod = static_cast<std::uint8_t>(data[11]);
      InterlaceMethod = static_cast<std::uint8_t>(data[12]);
      SawHeader = true;
    } else if (type == "PLTE") {
      Palette.assign(data);
      PaletteCount = length / 3;
      PaletteOffset = pos;
    } else if (type == "tRNS") {
      Transparency.assign(data);
      TransparencyOffset = chunkAt;
    } else if (type == "IDAT") {
      if (FirstIDATOffset == kNoOffset) FirstIDATOffset = chunkAt;
      if (!ScanOnly) ImageData.append(data);
    } else if (type == "pHYs" && length >= 9) {
      const std::uint32_t x = ReadBE32(data, 0);
      const std::uint32_t y = ReadBE32(data, 4);
      const unsigned unit = static_cast<unsigned char>(data[8]);
      if (x == 0 || y == 0) {
        DpiX = DpiY = 96;
      } else if (unit == 1) {
        DpiX = static_cast<int>(std::uint64_t(x) * 254 / 10000);
        DpiY = static_cast<int>(std::uint64_t(y) * 254 / 10000);
      } else if (unit == 0) {
        DpiX = 96;
        DpiY = static_cast<int>(std::min<std::uint64_t>(std::uint64_t(y) * 96 / x, INT32_MAX));
      }
    }
    pos += length;
    // The CRC is not checked; a file cut inside it still counts as read.
    pos += std::min<std::size_t>(4, png.size() - pos);
  }
}

bool TPNGReader::Usable() const {
  return SawHeader && CompressionMethod == 0 && FilterMethod == 0 && Width != 0 && Height != 0 &&
         (ScanOnly || !ImageData.empty());
}

}  // namespace kestrel
