#pragma once
// Writes JPEG 2000 files for the decoder tests with OpenJPEG's encoder (lossless 5/3 wavelet),
// so each test controls precision, signedness, subsampling, channel kinds and colour space.
#include <openjpeg.h>

#include <cstdint>
#include <vector>

#include "engine/syntax/bytes.h"

namespace kestrel::oracle {

struct TJpxComponent {
  int Dx = 1;
  int Dy = 1;
  int Precision = 8;
  bool Signed = false;
  bool Alpha = false;
  std::vector<std::int32_t> Samples;  // ceil(width / Dx) × ceil(height / Dy), row by row
};

struct TJpxSpec {
  int Width = 16;
  int Height = 16;
  int OriginX = 0;
  int OriginY = 0;
  bool FileFormat = false;  // true: JP2 file, false: raw codestream
  OPJ_COLOR_SPACE ColorSpace = OPJ_CLRSPC_UNSPECIFIED;
  std::vector<TJpxComponent> Components;
};

// Empty when OpenJPEG refuses the parameters.
TBytes WriteTestJpx(const TJpxSpec& spec);

}  // namespace kestrel::oracle
