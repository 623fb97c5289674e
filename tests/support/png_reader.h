#pragma once
// PNG chunk scan: header fields, palette, transparency and image data of a PNG held in memory,
// with the offsets the image decoder needs to patch the palette in place.
#include <cstddef>
#include <cstdint>

#include "engine/syntax/bytes.h"

namespace kestrel {

class TPNGReader {
 public:
  static constexpr std::size_t kNoOffset = static_cast<std::size_t>(-1);

  // Walks the chunks of `png` up to IEND or the first damaged chunk. Never throws; a bad or
  // truncated file leaves the fields found so far. With `scanOnly` the image data is not
  // collected (only its offset is recorded).
  void Scan(TByteView png, bool scanOnly = false);

  // Compression and filter method 0, a non-empty size and, unless scan-only, image data.
  bool Usable() const;

  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::uint8_t BitDepth = 0;
  std::uint8_t ColorType = 0;
  std::uint8_t CompressionMethod = 0;
  std::uint8_t FilterMethod = 0;
  std::uint8_t InterlaceMethod = 0;
  TBytes Palette;                // PLTE data
  std::size_t PaletteCount = 0;  // PLTE length / 3
  TBytes Transparency;           // tRNS data
  TBytes ImageData;              // all IDAT data, concatenated
  int DpiX = 96;
  int DpiY = 96;
  std::size_t PaletteOffset = kNoOffset;       // first byte of PLTE data
  std::size_t TransparencyOffset = kNoOffset;  // length field of tRNS
  std::size_t FirstIDATOffset = kNoOffset;     // length field of the first IDAT
  bool ScanOnly = false;
  bool SawHeader = false;
};

}  // namespace kestrel
