// JPEG decoding of arbitrary bytes: an image of the size it claims, or an empty one with a
// reason. Decoded sizes are capped low so each input stays fast.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/images/dct_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kestrel::TByteView bytes(reinterpret_cast<const char*>(data), size);
  kestrel::TDCTDecodeOptions options;
  options.Limits.MaxBytes = 4u << 20;
  options.Limits.MaxJpegScans = 100;
  options.KeepCmyk = size % 2 == 0;
  const kestrel::TDecodedImage image = kestrel::DecodeDCT(bytes, options);
  if (image.Empty()) {
    if (image.Error.empty()) std::abort();
  } else if (image.Pixels.size() != image.RowBytes() * std::size_t(image.Height) ||
             (image.Components != 1 && image.Components != 3 && image.Components != 4)) {
    std::abort();
  }
  kestrel::DCTHasAdobeMarker(bytes);
  return 0;
}
