#pragma once
// Encoding of the page bitmap by output format.
#include "engine/graphics/raster_image.h"
#include "engine/output/output_format.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// Whether `format` is produced from the page bitmap by EncodeRaster.
bool IsRasterFormat(TOutputFormat format);

// The file bytes of `image` in BMP (0), JPEG (1, at jpegQuality), PNG (5, at the bitmap's
// resolution rounded half to even), GIF (6) or TIFF (7). Empty for every other format and
// when the encoder fails (for example a JPEG side above 65500 pixels); a real file is never
// empty.
TBytes EncodeRaster(const TRasterImage& image, TOutputFormat format, int jpegQuality = 75);

}  // namespace kestrel
