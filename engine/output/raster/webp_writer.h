#pragma once
// WebP output through libwebp: lossless by default, lossy at a quality; RGBA when the page has
// alpha. Gray and mono pages are written as their gray values (WebP has no gray mode).
#include "engine/output/raster/page_picture.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// `quality` below 0 writes lossless, 0 to 100 lossy at that quality. Empty when libwebp
// refuses the picture (a side above 16383 pixels).
TBytes EncodeWebP(const TPagePicture& picture, int quality);

}  // namespace kestrel
