#pragma once
// JPEG (DCTDecode) decoding through libjpeg-turbo into plain 8-bit samples.
#include "engine/images/dct_image.h"
#include "engine/syntax/bytes.h"

namespace kestrel {

struct TDCTDecodeOptions {
  // Four-component (CMYK, or YCCK that libjpeg turns into CMYK) samples as stored. PDF takes
  // DCT samples as stored (its Decode array handles inversion), so this is the PDF setting.
  // When false the samples are complemented: the convention of Adobe CMYK JPEG files, where
  // 0 is full ink.
  bool KeepCmyk = true;
  TImageDecodeLimits Limits;
  // 1, 2, 4 or 8: the picture is decoded at that fraction of its size (libjpeg's scaled
  // decoding, much faster for pictures drawn far smaller than they are).
  int ScaleDenominator = 1;
};

// Gray JPEGs give 1 component, colour ones 3 (RGB), CMYK and YCCK ones 4 (CMYK, 0 = no ink when
// read with the right convention). Damaged scan data is decoded as far as it goes (libjpeg
// fills the rest); a fatal error or a size above the limits gives an empty image with Error set.
TDecodedImage DecodeDCT(TByteView jpeg, const TDCTDecodeOptions& options = {});

// Whether the stream carries an Adobe APP14 marker (the sign of inverted CMYK from desktop
// applications). False when the header cannot be read.
bool DCTHasAdobeMarker(TByteView jpeg);

}  // namespace kestrel
