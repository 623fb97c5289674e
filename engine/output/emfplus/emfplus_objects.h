#pragma once
// The bytes of the EMF+ objects the canvas defines (paths, pens, images, image attributes) and
// of the drawing records that refer to them.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/graphics/canvas_path.h"
#include "engine/syntax/bytes.h"

namespace kestrel::emfplus {

// Path coordinates are single-precision floats; anything is kept within ±kMaxCoord (where a
// float still holds whole pixels exactly) and never written as NaN or infinity.
inline constexpr double kMaxCoord = 16'000'000;
// Points one path object may hold; a longer path is not written.
inline constexpr std::size_t kMaxPathPoints = 2'000'000;

// ARGB as EMF+ stores colours: alpha = Round(alpha × 255) on top, then red, green, blue from
// the packed 0x00BBGGRR colour. A NaN alpha counts as opaque.
std::uint32_t ToArgb(std::uint32_t packed, double alpha);

float ClampCoord(double v);

// Path object data: float points with their point types (start, line, Bézier, close flag).
// A subpath that is only a move is left out. Empty when the path has no segment or more than
// kMaxPathPoints points. The layout has no fill-rule field: readers fill paths alternate.
std::optional<TBytes> PathObject(const std::vector<TPathOp>& ops);

struct TPenStyle {
  std::uint32_t Argb = 0xFF000000;
  float Width = 1;          // world units (pixels)
  int Cap = 0;              // 0 butt, 1 round, 2 square (the canvas numbers)
  int Join = 0;             // 0 miter, 1 round, 2 bevel
  float MiterLimit = 10;
  std::vector<float> Dashes;  // in line widths; empty: solid
  float DashOffset = 0;       // in line widths
  bool operator==(const TPenStyle&) const = default;
};

TBytes PenObject(const TPenStyle& pen);

// Image object: a bitmap declared 32bpp ARGB whose pixels are carried as a PNG file (the
// "compressed" bitmap kind; readers such as LibreOffice draw no other kind). `argb` holds
// width × height pixels as 0xAARRGGBB, straight alpha, rows top-down; the PNG has an alpha
// channel only when some pixel is not opaque.
TBytes BitmapObject(int width, int height, std::span<const std::uint32_t> argb);

// Image attributes that draw the picture once, with edge pixels repeated (tile flip) so the
// borders of a scaled picture do not fade.
TBytes ImageAttributesObject();

inline constexpr std::uint16_t kObjectImageAttributes = 8;

}  // namespace kestrel::emfplus
