#pragma once
// GIF output: the page bitmap quantised to at most 256 colours and written as a single-image
// GIF87a file with a 256-entry local colour table.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/output/gif/gif_quantizer.h"
#include "engine/graphics/raster_image.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

class TPDFGIFWriter {
 public:
  static constexpr int kPaletteSize = 256;

  // Quantises `source` (any layout) and maps every pixel to the palette. Sides above 65535
  // (beyond what a GIF can hold) or an empty view leave the writer empty.
  void SetFrom(const TPixelView& source);
  void SetFrom(const TRasterImage& source) { SetFrom(source.View()); }

  bool Empty() const { return Width_ <= 0 || Height_ <= 0; }
  int Width() const { return Width_; }
  int Height() const { return Height_; }
  // The quantised picture: Width × Height palette indices, rows top to bottom.
  const std::vector<std::uint8_t>& Indices() const { return Indices_; }
  // All 256 entries; those from ColorCount() on are black and never used by a pixel.
  const std::array<TGIFColor, kPaletteSize>& Palette() const { return Palette_; }
  int ColorCount() const { return ColorCount_; }

  // The whole GIF file; empty when the writer is empty.
  TBytes WriteTo() const;

 private:
  int Width_ = 0;
  int Height_ = 0;
  int ColorCount_ = 0;
  std::vector<std::uint8_t> Indices_;
  std::array<TGIFColor, kPaletteSize> Palette_{};
};

// The GIF file of a page bitmap; empty when it cannot be written.
TBytes EncodeGIF(const TRasterImage& image);

}  // namespace kestrel
