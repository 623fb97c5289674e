#include "python/page_array.h"

#include <bit>
#include <cstdint>
#include <memory>

namespace py = pybind11;

namespace plover::python {

namespace {

// ITU-R BT.601 weights in integers, as the encoders write gray pages: white stays 255.
void ToGrayInPlace(kestrel::TRasterImage& bitmap) {
  const kestrel::TPixelView view = bitmap.View();
  std::uint8_t* out = bitmap.Data();
  std::uint8_t rgb[3];
  // Gray byte i is written at or before the pixel it comes from is read, never after.
  for (int y = 0; y < view.Height; ++y) {
    const std::uint8_t* row = view.Row(y);
    for (int x = 0; x < view.Width; ++x) {
      view.ReadRGB(row, x, rgb);
      *out++ = static_cast<std::uint8_t>((77 * rgb[0] + 150 * rgb[1] + 29 * rgb[2] + 128) >> 8);
    }
  }
}

}  // namespace

py::array PageArray(kestrel::TRasterImage&& bitmap, bool gray) {
  if (gray) ToGrayInPlace(bitmap);
  auto owned = std::make_unique<kestrel::TRasterImage>(std::move(bitmap));
  kestrel::TRasterImage& image = *owned;
  // The capsule frees the bitmap when the last array that views it goes.
  py::capsule owner(owned.get(), [](void* p) { delete static_cast<kestrel::TRasterImage*>(p); });
  owned.release();
  const py::ssize_t h = image.Height(), w = image.Width();
  if (gray) return py::array(py::dtype::of<std::uint8_t>(), {h, w}, {w, py::ssize_t{1}}, image.Data(), owner);
  // Pixels are 0x00RRGGBB words: in memory B, G, R, X on a little-endian machine.
  constexpr bool little = std::endian::native == std::endian::little;
  constexpr py::ssize_t redOffset = little ? 2 : 1, channelStep = little ? -1 : 1;
  return py::array(py::dtype::of<std::uint8_t>(), {h, w, py::ssize_t{3}},
                   {py::ssize_t{image.Stride()}, py::ssize_t{4}, channelStep}, image.Data() + redOffset, owner);
}

}  // namespace plover::python
