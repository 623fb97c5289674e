#pragma once
// JPEG output through libjpeg-turbo: baseline JFIF, three components (YCbCr), complete tables.
#include "engine/graphics/raster_image.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// Quality 1-100 (values outside are clamped). The JFIF density fields carry `dpi` when it is a
// positive whole number of dots per inch below 65536. Empty on failure, for example a side
// longer than the 65500 pixels JPEG allows.
TBytes EncodeJPEG(const TPixelView& pixels, int quality, double dpi = 0);
TBytes EncodeJPEG(const TRasterImage& image, int quality = 75);

}  // namespace kestrel
