#pragma once
// Monochrome error diffusion (Stucki's pattern, serpentine scan): turns a colour picture into
// one byte per pixel, 0 for black and 1 for white. Used for image masks in EPS output.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/graphics/raster_image.h"

namespace kestrel {

// Black or white by luminance: white when 77 R + 150 G + 29 B exceeds 127 × 256.
class TMonochromeLookup {
 public:
  static bool IsWhite(int red, int green, int blue) {
    return 77 * red + 150 * green + 29 * blue > 32512;
  }
};

// Row-by-row error diffusion over a picture of fixed width; rows alternate direction.
class TDitherEngine {
 public:
  explicit TDitherEngine(int width) : Width_(width < 0 ? 0 : width) {}
  virtual ~TDitherEngine() = default;

  // Dithers the next row: `rgb` holds Width red-green-blue triples, `out` receives Width
  // values of 0 (black) or 1 (white). Rows shorter than that are ignored.
  virtual void DitherRow(std::span<const std::uint8_t> rgb, std::span<std::uint8_t> out) = 0;

  int Width() const { return Width_; }
  // +1 while a row runs left to right, −1 right to left.
  int Direction() const { return Direction_; }

 protected:
  int Width_;
  int Direction_ = 1;
  int Column_ = 0;
};

// Error diffusion over a 5 × 3 neighbourhood: the current row and two rows below, each row
// with 2 cells of margin on both sides.
class T5by3Ditherer : public TDitherEngine {
 public:
  void DitherRow(std::span<const std::uint8_t> rgb, std::span<std::uint8_t> out) override;

 protected:
  // Weights of the two pixels ahead in the current row, and of the five pixels (two behind to
  // two ahead) in each of the next two rows; all divided by `divisor`.
  struct TPattern {
    int Divisor;
    std::array<int, 2> Ahead;
    std::array<int, 5> Next;
    std::array<int, 5> After;
  };
  T5by3Ditherer(int width, const TPattern& pattern);

 private:
  void Spread(int channel, int error);
  void NextRow();

  TPattern Pattern_;
  // [channel][row 0 = current, 1 = next, 2 = after] each Width + 4 cells.
  std::array<std::array<std::vector<int>, 3>, 3> Errors_;
};

class TStuckiDitherer : public T5by3Ditherer {
 public:
  explicit TStuckiDitherer(int width);
};

// Dithers a whole picture: `rgb` holds width × height red-green-blue triples, rows top to
// bottom. Returns width × height values, 0 black and 1 white; empty when the sizes do not
// match or are not positive.
std::vector<std::uint8_t> DitherToMonochrome(int width, int height,
                                             std::span<const std::uint8_t> rgb);
// The same for a picture in any pixel layout.
std::vector<std::uint8_t> DitherToMonochrome(const TPixelView& view);

}  // namespace kestrel
