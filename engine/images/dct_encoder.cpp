#include "engine/images/dct_encoder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "engine/images/dct_libjpeg.h"

namespace kestrel {

namespace {

struct TEncodeState {
  jpeg_compress_struct Info;
  dct::TErrorManager Error;
  dct::TByteDestination Destination;
  const TPixelView* Pixels = nullptr;
  std::uint8_t* RowBuffer = nullptr;  // Width × 3 bytes when rows need converting to RGB
  TBytes* Out = nullptr;
  int Quality = 75;
  double Dpi = 0;
};

// The 32-bit page layout in memory order: B,G,R,X on little-endian machines.
constexpr J_COLOR_SPACE kXRGBInput =
    std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;

bool Compress(TEncodeState* s) {
  if (setjmp(s->Error.Jump)) return false;
  jpeg_create_compress(&s->Info);
  dct::UseByteDestination(&s->Info, s->Destination, *s->Out);
  const TPixelView& px = *s->Pixels;
  s->Info.image_width = static_cast<JDIMENSION>(px.Width);
  s->Info.image_height = static_cast<JDIMENSION>(px.Height);
  // Page bitmaps and gray samples go in as they are; other layouts are converted row by row.
  const bool gray = px.Layout == TPixelLayout::kGray8;
  const bool direct = gray || px.Layout == TPixelLayout::kXRGB32;
  s->Info.input_components = gray ? 1 : direct ? 4 : 3;
  s->Info.in_color_space = gray ? JCS_GRAYSCALE : direct ? kXRGBInput : JCS_RGB;
  jpeg_set_defaults(&s->Info);
  jpeg_set_quality(&s->Info, s->Quality, TRUE);  // baseline-compatible tables
  const double dpi = s->Dpi;
  if (dpi >= 1 && dpi < 65536 && dpi == std::floor(dpi)) {
    s->Info.density_unit = 1;  // dots per inch
    s->Info.X_density = static_cast<UINT16>(dpi);
    s->Info.Y_density = static_cast<UINT16>(dpi);
  }
  jpeg_start_compress(&s->Info, TRUE);
  while (s->Info.next_scanline < s->Info.image_height) {
    const int y = static_cast<int>(s->Info.next_scanline);
    JSAMPROW row;
    if (direct) {
      row = const_cast<JSAMPROW>(px.Row(y));  // libjpeg only reads input rows
    } else {
      RowToRGB(px, y, s->RowBuffer);
      row = s->RowBuffer;
    }
    jpeg_write_scanlines(&s->Info, &row, 1);
  }
  jpeg_finish_compress(&s->Info);
  return true;
}

struct TCompressDestroyer {
  jpeg_compress_struct* Info;
  ~TCompressDestroyer() { jpeg_destroy_compress(Info); }
};

}  // namespace

TBytes EncodeJPEG(const TPixelView& pixels, int quality, double dpi) {
  if (pixels.Data == nullptr || pixels.Width <= 0 || pixels.Height <= 0) return {};
  if (pixels.Width > JPEG_MAX_DIMENSION || pixels.Height > JPEG_MAX_DIMENSION) return {};
  TBytes out;
  std::vector<std::uint8_t> rowBuffer;
  try {
    if (pixels.Layout != TPixelLayout::kXRGB32 && pixels.Layout != TPixelLayout::kGray8)
      rowBuffer.resize(std::size_t(pixels.Width) * 3);
  } catch (const std::bad_alloc&) {
    return {};
  }
  auto s = std::make_unique<TEncodeState>();
  std::memset(&s->Info, 0, sizeof s->Info);
  s->Info.err = dct::InstallErrorManager(s->Error);
  s->Pixels = &pixels;
  s->RowBuffer = rowBuffer.data();
  s->Out = &out;
  s->Quality = std::clamp(quality, 1, 100);
  s->Dpi = dpi;
  TCompressDestroyer destroyer{&s->Info};
  if (!Compress(s.get())) return {};
  return out;
}

TBytes EncodeJPEG(const TRasterImage& image, int quality) {
  return EncodeJPEG(image.View(), quality, image.Dpi());
}

}  // namespace kestrel
