#include "images/fax_test_encoder.h"

#include <tiffio.h>

#include <algorithm>

#include "support/temp_dir.h"

namespace oracle {

TFaxBitmap MakeFaxBitmap(int width, int height) {
  TFaxBitmap b{width, height, {}};
  b.Bits.assign(b.Stride() * std::size_t(height), 0);
  auto set = [&](int x, int y) { b.Bits[std::size_t(y) * b.Stride() + x / 8] |= 0x80 >> (x % 8); };
  std::uint32_t seed = 12345;
  auto next = [&](std::uint32_t n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  for (int y = 0; y < height; ++y) {
    const int band = y / 8 % 6;
    if (band == 0 && y % 8 == 3) {
      for (int x = 0; x < width; ++x) set(x, y);  // a full rule
    } else if (band == 1) {
      for (int x = 0; x < width; ++x) if ((x ^ y) % 3 == 0) set(x, y);  // fine texture
    } else if (band == 2) {
      for (int x = 7; x < width - 5; ++x) set(x, y);  // one run past 2560
    } else {
      for (int x = int(next(20)); x < width; x += 2 + int(next(40)))  // glyph-like strokes
        for (int n = 1 + int(next(12)); n-- > 0 && x < width; ++x) set(x, y);
    }
    set((y * 37) % width, y);  // a diagonal of single pixels
  }
  return b;
}

std::string EncodeFax(const TFaxBitmap& bitmap, int compression, int t4Options, int faxMode) {
  testsupport::TempDir dir;
  const std::string path = dir.Path() + "/fax.tif";
  TIFF* out = TIFFOpen(path.c_str(), "w");
  if (!out) return {};
  TIFFSetField(out, TIFFTAG_IMAGEWIDTH, bitmap.Width);
  TIFFSetField(out, TIFFTAG_IMAGELENGTH, bitmap.Height);
  TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, bitmap.Height);
  TIFFSetField(out, TIFFTAG_COMPRESSION, compression);
  if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, t4Options);
  if (faxMode) TIFFSetField(out, TIFFTAG_FAXMODE, faxMode);
  std::vector<std::uint8_t> row(bitmap.Stride());
  bool ok = true;
  for (int y = 0; y < bitmap.Height && ok; ++y) {
    std::copy_n(bitmap.Bits.begin() + std::ptrdiff_t(y * bitmap.Stride()), row.size(), row.begin());
    ok = TIFFWriteScanline(out, row.data(), std::uint32_t(y), 0) == 1;
  }
  TIFFClose(out);
  TIFF* in = ok ? TIFFOpen(path.c_str(), "r") : nullptr;
  if (!in) return {};
  std::string strip(std::size_t(TIFFRawStripSize(in, 0)), '\0');
  const tmsize_t n = TIFFReadRawStrip(in, 0, strip.data(), tmsize_t(strip.size()));
  TIFFClose(in);
  if (n < 0) return {};
  strip.resize(std::size_t(n));
  return strip;
}

}  // namespace oracle
