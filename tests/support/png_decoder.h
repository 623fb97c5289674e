#pragma once
// PNG decoding to 8-bit samples: every colour type and bit depth, Adam7 interlacing and tRNS
// transparency. Stands in for the platform's PNG decoder where the engine draws PNG data.
#include "engine/images/dct_image.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// Gray PNGs give 1 component, RGB and palette ones 3; any transparency (alpha channel or tRNS)
// gives 4, red, green, blue and alpha, with HasAlpha set. 16-bit samples keep their high byte.
// Image data that ends early leaves the remaining rows zero (transparent black); a header
// that cannot be used, no decodable data, or a size above the limits gives an empty image.
TDecodedImage DecodePNG(TByteView png, const TImageDecodeLimits& limits = {});

}  // namespace kestrel
