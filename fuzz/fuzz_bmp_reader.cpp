// BMP decoding of arbitrary bytes: an image of the size it claims, or an empty one with a reason.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "support/bmp_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kestrel::TByteView bytes(reinterpret_cast<const char*>(data), size);
  kestrel::TImageDecodeLimits limits;
  limits.MaxBytes = 4u << 20;  // keeps each input fast
  const kestrel::TDecodedImage image = kestrel::DecodeBMP(bytes, limits);
  if (image.Empty()) {
    if (image.Error.empty()) std::abort();
  } else if (image.Components != 3 ||
             image.Pixels.size() != std::size_t(image.Width) * std::size_t(image.Height) * 3) {
    std::abort();
  }
  return 0;
}
