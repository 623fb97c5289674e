#pragma once
// Windows BMP decoding to 8-bit RGB: uncompressed 1, 4, 8 (palette), 24 and 32 bits a pixel,
// bottom-up or top-down. Stands in for the platform's BMP decoder where the engine draws BMP
// data it wrote itself.
#include "engine/images/dct_image.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// Always 3 components. Pixel data cut short leaves the missing rows black. A header that is
// not understood (compressed or unusual formats) or a size above the limits gives an empty
// image with Error set.
TDecodedImage DecodeBMP(TByteView bmp, const TImageDecodeLimits& limits = {});

}  // namespace kestrel
