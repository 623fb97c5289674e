#pragma once
// Raw image samples (1, 2, 4, 8 or 16 bits, interleaved, rows padded to whole bytes) turned
// into the 8-bit gray or RGB plane of a picture through the image's colour space and Decode.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/images/image_color.h"
#include "engine/images/image_picture.h"

namespace kestrel {

struct TSampleLayout {
  int Width = 0;
  int Height = 0;
  int Components = 0;
  int Bits = 0;  // 1, 2, 4, 8 or 16
  // Row length in bytes; 0 when the layout is unusable or too large for `maxBytes`.
  std::uint64_t RowBytes(std::uint64_t maxBytes) const;
};

// Decode ranges (low, high) for every component; empty for the defaults.
using TDecodeRanges = std::vector<std::array<double, 2>>;

// The colour plane of the samples. Rows the data does not reach stay white. A colour key
// (low, high pairs of raw sample values per component) fills `keyAlpha` with 0 where a pixel
// matches it and 255 elsewhere.
TImagePlane ConvertSamples(TBytes samples, const TSampleLayout& layout, const TDecodeRanges& decode,
                           TImageColorConverter& colors, const std::vector<int>* colorKey,
                           TImagePlane* keyAlpha);

// A one-component plane of opacity: a soft mask's gray values (Decode applied), or for a
// stencil the painted area (255 where a sample is 0, or 1 with an inverted Decode). Rows the
// data does not reach are transparent.
TImagePlane MaskSamples(const TBytes& samples, const TSampleLayout& layout, bool stencil,
                        const TDecodeRanges& decode);

// Reads the next row of raw samples (RowBytes of the layout) into the buffer; false when the
// data ends before it.
using TSampleRows = std::function<bool(std::uint8_t* row)>;

// ConvertSamples and MaskSamples for samples read a row at a time, each plane resized on the
// way to `width` × `height` as ResizePlane would resize it: a large image drawn small is never
// held whole.
TImagePlane ConvertSampleRows(const TSampleRows& next, const TSampleLayout& layout,
                              const TDecodeRanges& decode, TImageColorConverter& colors,
                              const std::vector<int>* colorKey, TImagePlane* keyAlpha, int width,
                              int height);
TImagePlane MaskSampleRows(const TSampleRows& next, const TSampleLayout& layout, bool stencil,
                           const TDecodeRanges& decode, int width, int height);

}  // namespace kestrel
