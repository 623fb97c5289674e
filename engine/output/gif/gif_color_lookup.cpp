#include "engine/output/gif/gif_color_lookup.h"

#include <algorithm>
#include <cstdlib>

namespace kestrel {

TFastColorLookup::TFastColorLookup(std::span<const TGIFColor> palette)
    : Palette_(palette.begin(), palette.begin() + std::min<std::size_t>(palette.size(), 256)),
      Inverse_(kCells, -1) {
  for (std::size_t i = 0; i < Palette_.size(); ++i) {
    const TGIFColor& c = Palette_[i];
    std::int16_t& cell = Inverse_[CellOf(c.Red, c.Green, c.Blue)];
    if (cell < 0) cell = static_cast<std::int16_t>(i);
  }
}

std::uint8_t TFastColorLookup::Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  if (Palette_.empty()) return 0;
  std::int16_t& cell = Inverse_[CellOf(red, green, blue)];
  if (cell >= 0) return static_cast<std::uint8_t>(cell);
  int best = 0;
  int bestDistance = 1 << 30;
  for (std::size_t i = 0; i < Palette_.size(); ++i) {
    const TGIFColor& c = Palette_[i];
    const int distance =
        std::abs(c.Red - red) + std::abs(c.Green - green) + std::abs(c.Blue - blue);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = static_cast<int>(i);
    }
  }
  cell = static_cast<std::int16_t>(best);
  return static_cast<std::uint8_t>(best);
}

}  // namespace kestrel
