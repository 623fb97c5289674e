#pragma once
// Windows BMP output: 24 bits a pixel, uncompressed, rows bottom-up padded to 4 bytes.
#include "engine/graphics/raster_image.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// The resolution fields carry `dpi` in pixels per metre (0 when dpi is not positive).
// Empty when the file would pass the 4 GiB the format's size fields can describe.
TBytes EncodeBMP(const TPixelView& pixels, double dpi);
TBytes EncodeBMP(const TRasterImage& image);

}  // namespace kestrel
