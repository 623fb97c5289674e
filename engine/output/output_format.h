#pragma once
// The output formats by the numbers the facade and the front-ends use.
#include <cstdint>

namespace kestrel {

enum TOutputFormat : int32_t {
  kFormatBMP = 0,
  kFormatJPEG = 1,
  kFormatWMF = 2,
  kFormatEMF = 3,
  kFormatEPS = 4,
  kFormatPNG = 5,
  kFormatGIF = 6,
  kFormatTIFF = 7,
  kFormatEMFPlus = 8,
  kFormatSVG = 9,
  kFormatWebP = 10,
  kFormatPPM = 11,
  kFormatPGM = 12,
  kFormatPBM = 13,
  kFormatPAM = 14,
};

}  // namespace kestrel
