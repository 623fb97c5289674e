#pragma once
// JPEG 2000 (JPXDecode) decoding through OpenJPEG into plain 8-bit samples.
#include "engine/images/dct_image.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

// Accepts a JP2 file (signature box 00 00 00 0C 6A 50 20 20) or a raw codestream (FF 4F FF 51).
// Three components give RGB, four give four channels (HasAlpha when the fourth is opacity),
// any other count gives the first component as gray. Colour channels come first in colour
// order, opacity last. Samples of other precisions are scaled to 8 bits, signed ones shifted
// up, subsampled ones replicated, sYCC converted to RGB.
// Failure gives an empty image whose Error is "Unknown JPEG 2000 file type",
// "JPEG 2000 image decoding failed" or "JPEG 2000 image too large".
TDecodedImage DecodeJPX(TByteView data, const TImageDecodeLimits& limits = {});

}  // namespace kestrel
