#include "engine/output/gif/stucki_ditherer.h"

#include <algorithm>
#include <cstdint>

#include "engine/graphics/graphics_limits.h"

namespace kestrel {
namespace {

constexpr int kMargin = 2;

}  // namespace

T5by3Ditherer::T5by3Ditherer(int width, const TPattern& pattern)
    : TDitherEngine(width), Pattern_(pattern) {
  for (auto& channel : Errors_) {
    for (auto& row : channel) row.assign(static_cast<std::size_t>(Width_) + 2 * kMargin, 0);
  }
}

void T5by3Ditherer::Spread(int channel, int error) {
  auto& rows = Errors_[channel];
  const int at = Column_ + kMargin;
  const int d = Direction_;
  rows[0][at + d] += error * Pattern_.Ahead[0];
  rows[0][at + 2 * d] += error * Pattern_.Ahead[1];
  for (int k = -2; k <= 2; ++k) {
    rows[1][at + k * d] += error * Pattern_.Next[k + 2];
    rows[2][at + k * d] += error * Pattern_.After[k + 2];
  }
}

void T5by3Ditherer::NextRow() {
  for (auto& rows : Errors_) {
    std::rotate(rows.begin(), rows.begin() + 1, rows.end());
    std::fill(rows[2].begin(), rows[2].end(), 0);
  }
  Direction_ = -Direction_;
}

void T5by3Ditherer::DitherRow(std::span<const std::uint8_t> rgb, std::span<std::uint8_t> out) {
  const std::size_t width = static_cast<std::size_t>(Width_);
  if (rgb.size() / 3 < width || out.size() < width) return;
  const int divisor = Pattern_.Divisor;
  const int half = divisor / 2;
  for (int step = 0; step < Width_; ++step) {
    Column_ = Direction_ > 0 ? step : Width_ - 1 - step;
    const std::size_t x = static_cast<std::size_t>(Column_);
    int value[3];
    for (int c = 0; c < 3; ++c) {
      // Integer division truncates toward zero, so negative errors round up by half a step.
      const int error = (Errors_[c][0][x + kMargin] + half) / divisor;
      value[c] = std::clamp(rgb[3 * x + c] + error, 0, 255);
    }
    const bool white = TMonochromeLookup::IsWhite(value[0], value[1], value[2]);
    const int level = white ? 255 : 0;
    out[x] = white ? 1 : 0;
    for (int c = 0; c < 3; ++c) Spread(c, value[c] - level);
  }
  NextRow();
}

TStuckiDitherer::TStuckiDitherer(int width)
    : T5by3Ditherer(width, TPattern{42, {8, 4}, {2, 4, 8, 4, 2}, {1, 2, 4, 2, 1}}) {}

std::vector<std::uint8_t> DitherToMonochrome(int width, int height,
                                             std::span<const std::uint8_t> rgb) {
  if (width <= 0 || height <= 0) return {};
  const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
  if (pixels > std::uint64_t(limits::kMaxPagePixels) || rgb.size() / 3 != pixels ||
      rgb.size() % 3 != 0) {
    return {};
  }
  std::vector<std::uint8_t> out(pixels);
  TStuckiDitherer ditherer(width);
  const std::size_t w = static_cast<std::size_t>(width);
  for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
    ditherer.DitherRow(rgb.subspan(y * w * 3, w * 3), std::span(out).subspan(y * w, w));
  }
  return out;
}

std::vector<std::uint8_t> DitherToMonochrome(const TPixelView& view) {
  if (!view.Data || view.Width <= 0 || view.Height <= 0 ||
      std::int64_t{view.Width} * view.Height > limits::kMaxPagePixels) {
    return {};
  }
  const std::size_t w = static_cast<std::size_t>(view.Width);
  std::vector<std::uint8_t> out(w * static_cast<std::size_t>(view.Height));
  std::vector<std::uint8_t> row(w * 3);
  TStuckiDitherer ditherer(view.Width);
  for (int y = 0; y < view.Height; ++y) {
    RowToRGB(view, y, row.data());
    ditherer.DitherRow(row, std::span(out).subspan(std::size_t(y) * w, w));
  }
  return out;
}

}  // namespace kestrel
