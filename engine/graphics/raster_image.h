#pragma once
// The page bitmap: what the raster canvas draws into and the output encoders read.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/graphics/canvas.h"

namespace kestrel {

// How the pixels of a row are laid out in memory.
enum class TPixelLayout {
  kXRGB32,  // TRgbPixel words (Cairo RGB24): bytes B,G,R,X on x86
  kRGB24,   // 3 bytes a pixel: red, green, blue
  kGray8,   // 1 byte a pixel
};

// Rows made on demand, for a picture too large to hold at once (a page drawn in bands). The
// row a call returns stays valid until the next call.
class TRowSource {
 public:
  virtual ~TRowSource() = default;
  virtual const std::uint8_t* Row(int y) = 0;
};

// A borrowed, read-only picture: rows top-down, `Stride` bytes apart, or made by `Rows` when it
// is set (readers then take the rows one at a time, in order).
struct TPixelView {
  const std::uint8_t* Data = nullptr;
  int Width = 0;
  int Height = 0;
  std::ptrdiff_t Stride = 0;
  TPixelLayout Layout = TPixelLayout::kXRGB32;
  TRowSource* Rows = nullptr;

  const std::uint8_t* Row(int y) const { return Rows ? Rows->Row(y) : Data + Stride * y; }
  // Red, green and blue of pixel x of a row, whatever the layout.
  void ReadRGB(const std::uint8_t* row, int x, std::uint8_t rgb[3]) const;
};

// Converts one row of a view to packed red-green-blue bytes (3 × Width bytes at `out`).
void RowToRGB(const TPixelView& view, int y, std::uint8_t* out);

// 32-bit XRGB bitmap, the layout Cairo's CAIRO_FORMAT_RGB24 surfaces use, so the canvas can
// draw straight into it. Stride is Width × 4 (already a multiple of Cairo's 4-byte alignment).
class TRasterImage {
 public:
  // Empty when the size is not positive or passes limits::kMaxPagePixels or
  // limits::kMaxPageSide; nothing is allocated then. Pixels start as `fill` (0x00RRGGBB).
  static std::optional<TRasterImage> Create(std::int64_t width, std::int64_t height, double dpi,
                                            TRgbPixel fill = 0xFFFFFF);
  // Why Create would refuse this size: empty when it is acceptable.
  static std::string CheckSize(std::int64_t width, std::int64_t height);

  int Width() const { return Width_; }
  int Height() const { return Height_; }
  int Stride() const { return Width_ * 4; }
  double Dpi() const { return Dpi_; }
  void SetDpi(double dpi) { Dpi_ = dpi; }

  std::uint8_t* Data() { return Pixels_.data(); }
  const std::uint8_t* Data() const { return Pixels_.data(); }
  std::size_t SizeBytes() const { return Pixels_.size(); }
  std::uint8_t* Row(int y) { return Pixels_.data() + static_cast<std::size_t>(y) * Stride(); }
  const std::uint8_t* Row(int y) const {
    return Pixels_.data() + static_cast<std::size_t>(y) * Stride();
  }

  // 0x00RRGGBB; coordinates must be inside the bitmap.
  TRgbPixel Pixel(int x, int y) const;
  void SetPixel(int x, int y, TRgbPixel rgb);
  void Fill(TRgbPixel rgb);

  TPixelView View() const;

 private:
  TRasterImage(int width, int height, double dpi, TRgbPixel fill);

  int Width_ = 0;
  int Height_ = 0;
  double Dpi_ = 96.0;
  std::vector<std::uint8_t> Pixels_;
};

}  // namespace kestrel
