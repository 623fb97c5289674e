// JPEG 2000 decoding of arbitrary bytes: an image of the size it claims, or an empty one with a
// reason. Decoded sizes are capped low so each input stays fast.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/images/jpx_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kestrel::TByteView bytes(reinterpret_cast<const char*>(data), size);
  kestrel::TImageDecodeLimits limits;
  limits.MaxBytes = 1u << 20;
  const kestrel::TDecodedImage image = kestrel::DecodeJPX(bytes, limits);
  if (image.Empty()) {
    if (image.Error.empty()) std::abort();
  } else if (image.Pixels.size() != image.RowBytes() * std::size_t(image.Height) ||
             (image.Components != 1 && image.Components != 3 && image.Components != 4)) {
    std::abort();
  }
  return 0;
}
