#pragma once
// Fax data made by libtiff's encoder from a test bitmap, to check our decoder against.
#include <cstdint>
#include <string>
#include <vector>

namespace oracle {

// A packed 1-bit bitmap, 1 = black, most significant bit first.
struct TFaxBitmap {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Bits;
  std::size_t Stride() const { return (std::size_t(Width) + 7) / 8; }
};

// A page-like bitmap: text-sized blocks, long and short runs, single pixels, full rows.
TFaxBitmap MakeFaxBitmap(int width, int height);

// The encoded strip: `compression` is a TIFF COMPRESSION_CCITT* value, `t4Options` the
// TIFF Group3Options bits and `faxMode` libtiff's FAXMODE_* bits. Empty on failure.
std::string EncodeFax(const TFaxBitmap& bitmap, int compression, int t4Options, int faxMode);

}  // namespace oracle
