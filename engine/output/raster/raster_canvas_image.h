#pragma once
// Resampling of a canvas bitmap into a block of device pixels, done in doubles so that any
// parallelogram (however large, small or skewed) maps without fixed-point limits.
#include <cstdint>
#include <optional>

#include "engine/graphics/canvas.h"
#include "engine/graphics/matrix.h"

namespace kestrel {

// Device-to-bitmap mapping of the parallelogram p1 (upper-left), p2 (upper-right), p3
// (lower-left): bitmap pixel units, (0, 0) at p1. Nothing when it is degenerate.
std::optional<TPDFMatrix> BitmapInverseMapping(int width, int height, TPDFPoint p1, TPDFPoint p2,
                                               TPDFPoint p3);

// A straight-alpha 0xAARRGGBB pixel with its colour multiplied by its alpha.
std::uint32_t Premultiply(std::uint32_t argb);

// True when the bitmap's size and pixel count are usable.
bool IsUsableBitmap(const TCanvasBitmap& bitmap);

// Fills `out` (rows of `outStride` uint32 values) with the device pixels x0..x0+w-1,
// y0..y0+h-1 sampled at their centres, as premultiplied 0xAARRGGBB. Samples outside the
// bitmap take the nearest edge pixel; colour-keyed pixels are transparent. `smooth` selects
// bilinear filtering, otherwise nearest neighbour.
void ResampleBitmap(const TCanvasBitmap& bitmap, const TPDFMatrix& deviceToBitmap, bool smooth,
                    int x0, int y0, int w, int h, std::uint32_t* out, int outStride);

}  // namespace kestrel
