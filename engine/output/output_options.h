#pragma once
// How a page is written beyond its format: the colours of its pixels, a transparent
// background, and the encoder choices of the formats that have them.
#include <cstdint>

namespace kestrel {

enum class TColourMode : std::uint8_t {
  kRGB,   // 8 bits each of red, green and blue
  kGray,  // 8-bit gray
  kMono,  // 1 bit a pixel, black or white (Floyd-Steinberg error diffusion)
};

enum class TTIFFCompression : std::uint8_t { kNone, kLZW, kDeflate, kPackBits, kG4 };

struct TOutputOptions {
  TColourMode Colour = TColourMode::kRGB;
  // Where nothing is drawn the page stays transparent (formats with alpha: PNG, TIFF, WebP,
  // PAM and SVG); the others are written on white as usual.
  bool Transparent = false;
  // G4 needs one bit a pixel: with it, the page is made mono.
  TTIFFCompression TIFFCompression = TTIFFCompression::kDeflate;
  // WebP: below 0 lossless, 0 to 100 lossy at that quality.
  int WebPQuality = -1;
};

}  // namespace kestrel
