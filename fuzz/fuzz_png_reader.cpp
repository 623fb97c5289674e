// PNG chunk scan and PNG decoding on arbitrary bytes: every recorded offset and length must lie
// inside the input, and a decoded image must have the size it claims.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "support/png_decoder.h"
#include "support/png_reader.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void Verify(const kestrel::TPNGReader& r, std::size_t size) {
  using kestrel::TPNGReader;
  if (r.PaletteOffset != TPNGReader::kNoOffset) {
    Check(r.PaletteOffset <= size && r.Palette.size() <= size - r.PaletteOffset);
    Check(r.PaletteCount == r.Palette.size() / 3);
  }
  if (r.TransparencyOffset != TPNGReader::kNoOffset) Check(r.TransparencyOffset + 8 <= size);
  if (r.FirstIDATOffset != TPNGReader::kNoOffset) Check(r.FirstIDATOffset + 8 <= size);
  Check(r.ImageData.size() <= size);
  Check(r.DpiX >= 0 && r.DpiY >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kestrel::TByteView bytes(reinterpret_cast<const char*>(data), size);
  kestrel::TPNGReader reader;
  reader.Scan(bytes);
  Verify(reader, size);
  reader.Usable();
  kestrel::TPNGReader scanOnly;
  scanOnly.Scan(bytes, true);
  Verify(scanOnly, size);
  Check(scanOnly.ImageData.empty());

  kestrel::TImageDecodeLimits limits;
  limits.MaxBytes = 4u << 20;  // keeps each input fast
  const kestrel::TDecodedImage image = kestrel::DecodePNG(bytes, limits);
  if (image.Empty()) {
    Check(!image.Error.empty());
  } else {
    Check(image.Pixels.size() == image.RowBytes() * std::size_t(image.Height));
    Check(image.Components == 1 || image.Components == 3 || image.Components == 4);
  }
  return 0;
}
