#include "engine/graphics/raster_image.h"

#include <cstring>

#include "engine/graphics/graphics_limits.h"

namespace kestrel {

namespace {

std::uint32_t LoadWord(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

}  // namespace

void TPixelView::ReadRGB(const std::uint8_t* row, int x, std::uint8_t rgb[3]) const {
  switch (Layout) {
    case TPixelLayout::kXRGB32: {
      const std::uint32_t v = LoadWord(row + std::size_t(x) * 4);
      rgb[0] = static_cast<std::uint8_t>(v >> 16);
      rgb[1] = static_cast<std::uint8_t>(v >> 8);
      rgb[2] = static_cast<std::uint8_t>(v);
      return;
    }
    case TPixelLayout::kRGB24:
      std::memcpy(rgb, row + std::size_t(x) * 3, 3);
      return;
    case TPixelLayout::kGray8:
      rgb[0] = rgb[1] = rgb[2] = row[x];
      return;
  }
}

void RowToRGB(const TPixelView& view, int y, std::uint8_t* out) {
  const std::uint8_t* row = view.Row(y);
  switch (view.Layout) {
    case TPixelLayout::kXRGB32:
      for (int x = 0; x < view.Width; ++x, out += 3) {
        const std::uint32_t v = LoadWord(row + std::size_t(x) * 4);
        out[0] = static_cast<std::uint8_t>(v >> 16);
        out[1] = static_cast<std::uint8_t>(v >> 8);
        out[2] = static_cast<std::uint8_t>(v);
      }
      return;
    case TPixelLayout::kRGB24:
      std::memcpy(out, row, std::size_t(view.Width) * 3);
      return;
    case TPixelLayout::kGray8:
      for (int x = 0; x < view.Width; ++x, out += 3) out[0] = out[1] = out[2] = row[x];
      return;
  }
}

std::string TRasterImage::CheckSize(std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0) {
    return "page bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels is empty";
  }
  if (width > limits::kMaxPageSide || height > limits::kMaxPageSide) {
    return "page bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels exceeds the limit of " + std::to_string(limits::kMaxPageSide) +
           " pixels a side";
  }
  // Both sides are at most 32767 here, so the product cannot overflow.
  if (width * height > limits::kMaxPagePixels) {
    return "page bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
           " pixels exceeds the limit of " + std::to_string(limits::kMaxPagePixels) + " pixels";
  }
  return {};
}

std::optional<TRasterImage> TRasterImage::Create(std::int64_t width, std::int64_t height,
                                                 double dpi, std::uint32_t fill) {
  if (!CheckSize(width, height).empty()) return std::nullopt;
  return TRasterImage(static_cast<int>(width), static_cast<int>(height), dpi, fill);
}

TRasterImage::TRasterImage(int width, int height, double dpi, std::uint32_t fill)
    : Width_(width), Height_(height), Dpi_(dpi) {
  Pixels_.resize(std::size_t(width) * std::size_t(height) * 4);
  Fill(fill);
}

std::uint32_t TRasterImage::Pixel(int x, int y) const {
  return LoadWord(Row(y) + std::size_t(x) * 4) & 0xFFFFFFu;
}

void TRasterImage::SetPixel(int x, int y, std::uint32_t rgb) {
  rgb &= 0xFFFFFFu;
  std::memcpy(Row(y) + std::size_t(x) * 4, &rgb, 4);
}

void TRasterImage::Fill(std::uint32_t rgb) {
  rgb &= 0xFFFFFFu;
  if (rgb == 0xFFFFFFu) {
    // White is every colour byte 0xFF; the unused byte may be anything.
    std::memset(Pixels_.data(), 0xFF, Pixels_.size());
    return;
  }
  for (std::size_t i = 0; i < Pixels_.size(); i += 4) std::memcpy(&Pixels_[i], &rgb, 4);
}

TPixelView TRasterImage::View() const {
  return TPixelView{Pixels_.data(), Width_, Height_, Stride(), TPixelLayout::kXRGB32};
}

}  // namespace kestrel
