#include "engine/output/raster/page_picture.h"

#include <algorithm>
#include <utility>

namespace kestrel {

namespace {

// Opacity and colour from the same pixel drawn on white (w) and on black (k). Over a
// background b a pixel of colour c and opacity a shows a*c + (1 - a)*b, so w - k = 1 - a on
// each channel and k = a*c. Fully transparent pixels are given white.
void Unblend(TRasterImage& onWhite, const TRasterImage& onBlack, std::vector<std::uint8_t>& alpha) {
  alpha.resize(std::size_t(onWhite.Width()) * std::size_t(onWhite.Height()));
  std::size_t i = 0;
  for (int y = 0; y < onWhite.Height(); ++y) {
    for (int x = 0; x < onWhite.Width(); ++x, ++i) {
      const TRgbPixel w = onWhite.Pixel(x, y);
      const TRgbPixel k = onBlack.Pixel(x, y);
      int through = 0;
      for (int shift = 0; shift <= 16; shift += 8)
        through += std::max(0, int((w >> shift) & 0xFF) - int((k >> shift) & 0xFF));
      const int a = 255 - (through + 1) / 3;
      alpha[i] = static_cast<std::uint8_t>(a);
      if (a == 255) continue;
      TRgbPixel c = 0xFFFFFF;
      if (a > 0) {
        c = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
          const int v = std::min(255, (int((k >> shift) & 0xFF) * 255 + a / 2) / a);
          c |= TRgbPixel(v) << shift;
        }
      }
      onWhite.SetPixel(x, y, c);
    }
  }
}

// Floyd-Steinberg error diffusion of gray samples to 0 and 255, rows left to right.
void DiffuseToMono(std::vector<std::uint8_t>& gray, int width, int height) {
  std::vector<int> here(std::size_t(width) + 2, 0), next(std::size_t(width) + 2, 0);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = gray.data() + std::size_t(y) * width;
    std::fill(next.begin(), next.end(), 0);
    for (int x = 0; x < width; ++x) {
      const int want = row[x] + here[x + 1] / 16;
      const int got = want < 128 ? 0 : 255;
      const int error = want - got;
      row[x] = static_cast<std::uint8_t>(got);
      here[x + 2] += error * 7;
      next[x] += error * 3;
      next[x + 1] += error * 5;
      next[x + 2] += error;
    }
    here.swap(next);
  }
}

}  // namespace

TPagePicture::TPagePicture(TRasterImage onWhite, const TRasterImage* onBlack, TColourMode colour)
    : Width_(onWhite.Width()), Height_(onWhite.Height()), Dpi_(onWhite.Dpi()), Mode_(colour) {
  if (onBlack && onBlack->Width() == Width_ && onBlack->Height() == Height_)
    Unblend(onWhite, *onBlack, Alpha_);
  if (Mode_ == TColourMode::kRGB) {
    Colour_ = std::move(onWhite);
    return;
  }
  // Gray and mono pages keep only their samples.
  Gray_.resize(std::size_t(Width_) * std::size_t(Height_));
  const TPixelView view = onWhite.View();
  for (int y = 0; y < Height_; ++y) {
    const std::uint8_t* row = view.Row(y);
    std::uint8_t* out = Gray_.data() + std::size_t(y) * Width_;
    for (int x = 0; x < Width_; ++x) {
      std::uint8_t rgb[3];
      view.ReadRGB(row, x, rgb);
      out[x] = GrayOf(rgb[0], rgb[1], rgb[2]);
    }
  }
  if (Mode_ == TColourMode::kMono) DiffuseToMono(Gray_, Width_, Height_);
}

TPixelView TPagePicture::View() const {
  if (Colour_) return Colour_->View();
  return {Gray_.data(), Width_, Height_, Width_, TPixelLayout::kGray8};
}

TPixelView TPagePicture::AlphaView() const {
  if (Alpha_.empty()) return {nullptr, Width_, Height_, Width_, TPixelLayout::kGray8};
  return {Alpha_.data(), Width_, Height_, Width_, TPixelLayout::kGray8};
}

void TPagePicture::RowToGray(int y, std::uint8_t* out) const {
  if (!Colour_) {
    std::copy_n(Gray_.data() + std::size_t(y) * Width_, Width_, out);
    return;
  }
  const TPixelView view = Colour_->View();
  const std::uint8_t* row = view.Row(y);
  for (int x = 0; x < Width_; ++x) {
    std::uint8_t rgb[3];
    view.ReadRGB(row, x, rgb);
    out[x] = GrayOf(rgb[0], rgb[1], rgb[2]);
  }
}

}  // namespace kestrel
