#pragma once
// Writes JPEG files for the decoder tests with libjpeg's compressor, so each test controls the
// stored colour space, markers and scan layout.
#include <cstdint>
#include <vector>

#include <cstdio>
#include <jpeglib.h>

#include "engine/syntax/bytes.h"

namespace kestrel::oracle {

struct TTestJpeg {
  int Width = 16;
  int Height = 16;
  int Components = 3;                // of the input samples
  J_COLOR_SPACE Input = JCS_RGB;     // JCS_GRAYSCALE, JCS_RGB or JCS_CMYK
  J_COLOR_SPACE Stored = JCS_YCbCr;  // colour space written into the file
  int Quality = 100;
  bool Progressive = false;
  bool AdobeMarker = true;  // only used for CMYK and YCCK
  bool FullChroma = true;   // 1x1 sampling for every component
};

// Empty when libjpeg refuses the parameters.
TBytes WriteTestJpeg(const std::vector<std::uint8_t>& samples, const TTestJpeg& spec);

}  // namespace kestrel::oracle
