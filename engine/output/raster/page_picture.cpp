#include "engine/output/raster/page_picture.h"

#include <algorithm>
#include <utility>

namespace kestrel {

void GrayRow(const TPixelView& view, int y, std::uint8_t* out) {
  const std::uint8_t* row = view.Row(y);
  for (int x = 0; x < view.Width; ++x) {
    std::uint8_t rgb[3];
    view.ReadRGB(row, x, rgb);
    out[x] = GrayOf(rgb[0], rgb[1], rgb[2]);
  }
}

// Over a background b a pixel of colour c and opacity a shows a*c + (1 - a)*b, so w - k = 1 - a
// on each channel and k = a*c. Fully transparent pixels are given white.
void UnblendRow(TRasterImage& onWhite, const TRasterImage& onBlack, int y, std::uint8_t* alpha) {
  for (int x = 0; x < onWhite.Width(); ++x) {
    const TRgbPixel w = onWhite.Pixel(x, y);
    const TRgbPixel k = onBlack.Pixel(x, y);
    int through = 0;
    for (int shift = 0; shift <= 16; shift += 8)
      through += std::max(0, int((w >> shift) & 0xFF) - int((k >> shift) & 0xFF));
    const int a = 255 - (through + 1) / 3;
    alpha[x] = static_cast<std::uint8_t>(a);
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

void TMonoDiffuser::Diffuse(std::uint8_t* row) {
  const int width = static_cast<int>(here_.size()) - 2;
  std::fill(next_.begin(), next_.end(), 0);
  for (int x = 0; x < width; ++x) {
    const int want = row[x] + here_[x + 1] / 16;
    const int got = want < 128 ? 0 : 255;
    const int error = want - got;
    row[x] = static_cast<std::uint8_t>(got);
    here_[x + 2] += error * 7;
    next_[x] += error * 3;
    next_[x + 1] += error * 5;
    next_[x + 2] += error;
  }
  here_.swap(next_);
}

TPagePicture::TPagePicture(TRasterImage onWhite, const TRasterImage* onBlack, TColourMode colour)
    : Width_(onWhite.Width()), Height_(onWhite.Height()), Dpi_(onWhite.Dpi()), Mode_(colour) {
  if (onBlack && onBlack->Width() == Width_ && onBlack->Height() == Height_) {
    Alpha_.resize(std::size_t(Width_) * std::size_t(Height_));
    for (int y = 0; y < Height_; ++y) UnblendRow(onWhite, *onBlack, y, Alpha_.data() + std::size_t(y) * Width_);
  }
  if (Mode_ == TColourMode::kRGB) {
    Colour_ = std::move(onWhite);
    return;
  }
  // Gray and mono pages keep only their samples.
  Gray_.resize(std::size_t(Width_) * std::size_t(Height_));
  TMonoDiffuser mono(Width_);
  for (int y = 0; y < Height_; ++y) {
    std::uint8_t* out = Gray_.data() + std::size_t(y) * Width_;
    GrayRow(onWhite.View(), y, out);
    if (Mode_ == TColourMode::kMono) mono.Diffuse(out);
  }
}

TPagePicture::TPagePicture(const TPixelView& rows, const TPixelView& alpha, double dpi, TColourMode colour)
    : Width_(rows.Width), Height_(rows.Height), Dpi_(dpi), Mode_(colour), Rows_(rows), AlphaRows_(alpha) {}

TPixelView TPagePicture::View() const {
  if (Rows_.Data) return Rows_;
  if (Colour_) return Colour_->View();
  return {Gray_.data(), Width_, Height_, Width_, TPixelLayout::kGray8};
}

TPixelView TPagePicture::AlphaView() const {
  if (Rows_.Data) return AlphaRows_;
  if (Alpha_.empty()) return {nullptr, Width_, Height_, Width_, TPixelLayout::kGray8};
  return {Alpha_.data(), Width_, Height_, Width_, TPixelLayout::kGray8};
}

void TPagePicture::RowToGray(int y, std::uint8_t* out) const {
  const TPixelView view = View();
  if (view.Layout == TPixelLayout::kGray8) std::copy_n(view.Row(y), Width_, out);
  else GrayRow(view, y, out);
}

}  // namespace kestrel
