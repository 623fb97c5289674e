#pragma once
// Windows BMP output: 24 bits a pixel (8 with a gray palette, 1 for mono pages),
// uncompressed, rows bottom-up padded to 4 bytes.
#include "engine/graphics/raster_image.h"
#include "engine/output/byte_sink.h"
#include "engine/output/raster/page_picture.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// The resolution fields carry `dpi` in pixels per metre (0 when dpi is not positive).
// Empty when the file would pass the 4 GiB the format's size fields can describe.
TBytes EncodeBMP(const TPixelView& pixels, double dpi);
TBytes EncodeBMP(const TRasterImage& image);
// Colour pages at 24 bits, gray ones at 8 with a 256-gray palette, mono ones at 1 (0 black,
// 1 white). BMP readers do not agree on alpha: a transparent page is written on white.
TBytes EncodeBMP(const TPagePicture& picture);
// The same written to `out` row by row as the rows are read; false when nothing usable was
// written (the sink may hold part of a file then).
bool EncodeBMP(const TPixelView& pixels, double dpi, TByteSink& out);
bool EncodeBMP(const TPagePicture& picture, TByteSink& out);

}  // namespace kestrel
