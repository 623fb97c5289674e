#pragma once
// The plain result of the JPEG and JPEG 2000 decoders: 8-bit samples, no colour management.
#include <cstdint>

#include "engine/syntax/bytes.h"
#include "engine/images/image_limits.h"

namespace kestrel {

struct TDecodedImage {
  int Width = 0;
  int Height = 0;
  int Components = 0;  // 1 gray, 3 RGB, 4 CMYK (or RGB plus alpha, see HasAlpha)
  int BitsPerComponent = 8;
  bool HasAlpha = false;  // JPEG 2000: the fourth component is an opacity channel
  TBytes Pixels;          // Height rows of Width × Components bytes, top row first
  TBytes Error;           // why nothing was decoded; empty on success

  bool Empty() const { return Pixels.empty(); }
  std::size_t RowBytes() const { return std::size_t(Width) * std::size_t(Components); }
};

// Bounds a decoder checks from the header, before it allocates or decodes anything.
struct TImageDecodeLimits {
  std::uint64_t MaxBytes = limits::kMaxDecodedImageBytes;  // Width × Height × Components
  int MaxJpegScans = limits::kMaxJpegScans;
};

// Width × Height × components when all are positive and the product stays within maxBytes.
inline bool DecodedSizeFits(std::uint64_t width, std::uint64_t height, std::uint64_t components,
                            std::uint64_t maxBytes) {
  if (width == 0 || height == 0 || components == 0) return false;
  std::uint64_t pixels = 0;
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(width, height, &pixels)) return false;
  if (__builtin_mul_overflow(pixels, components, &bytes)) return false;
  return bytes <= maxBytes;
}

}  // namespace kestrel
