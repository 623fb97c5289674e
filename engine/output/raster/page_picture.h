#pragma once
// The page's pixels as the encoders take them: the page bitmap in colour, or gray or mono
// samples made from it, and the opacity of each pixel when the background is transparent.
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/graphics/raster_image.h"
#include "engine/output/output_options.h"

namespace kestrel {

class TPagePicture {
 public:
  // `onWhite` is the page drawn on white. `onBlack`, when given, is the same page drawn on
  // black: where the two differ the page lets its background through, which gives each pixel's
  // opacity, and the colour is taken back out of the drawing on black.
  TPagePicture(TRasterImage onWhite, const TRasterImage* onBlack, TColourMode colour);
  // A picture whose rows are made as they are read (a page drawn in bands): `rows` in colour
  // (kXRGB32) or gray samples (kGray8, mono ones 0 or 255), `alpha` the opacities or a view
  // without data. The encoders read each row once, in order.
  TPagePicture(const TPixelView& rows, const TPixelView& alpha, double dpi, TColourMode colour);

  int Width() const { return Width_; }
  int Height() const { return Height_; }
  double Dpi() const { return Dpi_; }
  TColourMode Colour() const { return Mode_; }
  bool HasAlpha() const { return !Alpha_.empty() || AlphaRows_.Data != nullptr; }

  // Colour pages: the bitmap (kXRGB32). Gray and mono pages: kGray8 samples; mono ones are
  // 0 or 255 only.
  TPixelView View() const;
  // The opacities, one byte a pixel (kGray8, 255 opaque), straight (not premultiplied).
  // Empty data when the page is opaque.
  TPixelView AlphaView() const;
  // One row as gray bytes (Width bytes at `out`), whatever the mode.
  void RowToGray(int y, std::uint8_t* out) const;

 private:
  int Width_ = 0;
  int Height_ = 0;
  double Dpi_ = 96;
  TColourMode Mode_;
  std::optional<TRasterImage> Colour_;  // colour pages only
  std::vector<std::uint8_t> Gray_;
  std::vector<std::uint8_t> Alpha_;
  TPixelView Rows_;  // a picture made as it is read
  TPixelView AlphaRows_;
};

// The gray samples (GrayOf) of row y of a colour view, Width bytes at `out`.
void GrayRow(const TPixelView& view, int y, std::uint8_t* out);

// Row y of the page drawn on white and on black made into colour and opacity (0-255): the
// colour replaces the row in `onWhite`, the opacities go to `alpha` (Width bytes).
void UnblendRow(TRasterImage& onWhite, const TRasterImage& onBlack, int y, std::uint8_t* alpha);

// Floyd-Steinberg error diffusion of gray samples to 0 and 255, row after row from the top,
// each row left to right; the error passed down is kept between rows.
class TMonoDiffuser {
 public:
  explicit TMonoDiffuser(int width) : here_(std::size_t(width) + 2, 0), next_(std::size_t(width) + 2, 0) {}
  void Diffuse(std::uint8_t* row);

 private:
  std::vector<int> here_, next_;
};

// Gray of a red-green-blue triple (ITU-R BT.601 weights), as the gray pages use.
constexpr std::uint8_t GrayOf(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<std::uint8_t>((77 * r + 150 * g + 29 * b + 128) >> 8);
}

}  // namespace kestrel
