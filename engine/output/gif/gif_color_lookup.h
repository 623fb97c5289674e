#pragma once
// Nearest palette colour with an inverse table cached per 15-bit colour cell.
#include <cstdint>
#include <span>
#include <vector>

#include "engine/output/gif/gif_quantizer.h"

namespace kestrel {

class TFastColorLookup {
 public:
  static constexpr int kCells = 32 * 32 * 32;

  // Only these entries (at most 256) are ever answered; palette slots beyond them are not
  // searched. Each cell starts with the first entry that falls in it.
  explicit TFastColorLookup(std::span<const TGIFColor> palette);

  // Palette index of a colour: the cell's cached entry when it has one, else the first entry
  // with the smallest |Δred| + |Δgreen| + |Δblue|, which is then cached for the whole cell.
  // 0 when the palette is empty.
  std::uint8_t Lookup(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

  static int CellOf(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return (blue / 8) * 1024 + (green / 8) * 32 + red / 8;
  }
  int Count() const { return static_cast<int>(Palette_.size()); }

 private:
  std::vector<TGIFColor> Palette_;
  std::vector<std::int16_t> Inverse_;  // -1 = not known yet
};

}  // namespace kestrel
