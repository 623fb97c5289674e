#include "support/bmp_reader.h"

#include <gtest/gtest.h>

#include "engine/output/raster/bmp_writer.h"
#include "output/image_oracle.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

TBytes LE32(std::uint32_t v) { return TBytes{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; }
TBytes LE16(std::uint32_t v) { return TBytes{char(v), char(v >> 8)}; }

// A BMP with a 40-byte header; `pixels` are the stored rows, `palette` the BGRX entries.
TBytes BuildBMP(std::int32_t w, std::int32_t h, int bits, const TBytes& palette,
                const TBytes& pixels, std::uint32_t compression = 0) {
  const std::uint32_t offset = 54 + std::uint32_t(palette.size());
  return TBytes("BM") + LE32(offset + std::uint32_t(pixels.size())) + LE32(0) + LE32(offset) +
         LE32(40) + LE32(std::uint32_t(w)) + LE32(std::uint32_t(h)) + LE16(1) + LE16(bits) +
         LE32(compression) + LE32(std::uint32_t(pixels.size())) + LE32(0) + LE32(0) +
         LE32(std::uint32_t(palette.size() / 4)) + LE32(0) + palette + pixels;
}

TEST(BMPReader, RoundTripOfOwnWriter) {
  for (int width : {1, 2, 3, 4, 5, 33}) {
    const TRasterImage image = oracle::MakeTestRaster(width, 6);
    const TDecodedImage decoded = DecodeBMP(EncodeBMP(image));
    ASSERT_FALSE(decoded.Empty()) << decoded.Error;
    EXPECT_EQ(decoded.Width, width);
    EXPECT_EQ(decoded.Height, 6);
    EXPECT_EQ(decoded.Components, 3);
    const auto rgb = oracle::RGBBytes(image);
    EXPECT_EQ(decoded.Pixels, TBytes(rgb.begin(), rgb.end())) << width;
  }
}

TEST(BMPReader, PaletteDepthsAndTopDownRows) {
  const TBytes palette = TBytes("\0\0\xFF\0", 4) + TBytes("\xFF\0\0\0", 4);  // red, blue
  // 1-bit, 3 x 2, bottom-up: stored first row is the bottom one.
  TDecodedImage image = DecodeBMP(BuildBMP(3, 2, 1, palette, TBytes("\xA0\0\0\0\x40\0\0\0", 8)));
  ASSERT_FALSE(image.Empty()) << image.Error;
  // Top row 010 (red blue red), bottom row 101 (blue red blue).
  EXPECT_EQ(image.Pixels,
            TBytes("\xFF\0\0\0\0\xFF\xFF\0\0", 9) + TBytes("\0\0\xFF\xFF\0\0\0\0\xFF", 9));

  // 4-bit top-down (negative height): indices 1, 0, and 7 past the palette (black).
  image = DecodeBMP(BuildBMP(3, -1, 4, palette, TBytes("\x10\x70\0\0", 4)));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Pixels, TBytes("\0\0\xFF\xFF\0\0\0\0\0", 9));

  // 32-bit BGRX, top-down.
  image = DecodeBMP(BuildBMP(2, -1, 32, "", TBytes("\x01\x02\x03\x00\x04\x05\x06\x00", 8)));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Pixels, TBytes("\x03\x02\x01\x06\x05\x04", 6));
}

TEST(BMPReader, FilesFromAnotherEncoder) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  const TRasterImage image = oracle::MakeTestRaster(21, 9);
  const auto rgb = oracle::RGBBytes(image);
  for (const char* mode : {"RGB", "P", "L", "1"}) {
    const auto file = oracle::EncodeWithOracle(rgb, 21, 9, "RGB", "BMP", "", mode);
    ASSERT_TRUE(file.has_value()) << mode;
    const auto expected = oracle::DecodeWithOracle(*file, "RGB");
    ASSERT_TRUE(expected.has_value());
    const TDecodedImage ours = DecodeBMP(*file);
    ASSERT_FALSE(ours.Empty()) << mode << ": " << ours.Error;
    EXPECT_EQ(ours.Pixels, TBytes(expected->Pixels.begin(), expected->Pixels.end())) << mode;
  }
}

TEST(BMPReader, DamagedInput) {
  EXPECT_TRUE(DecodeBMP("").Empty());
  EXPECT_TRUE(DecodeBMP("BM").Empty());
  EXPECT_TRUE(DecodeBMP(TBytes(60, 'x')).Empty());
  // Run-length compression is not read.
  EXPECT_EQ(DecodeBMP(BuildBMP(2, 2, 8, TBytes(8, '\0'), TBytes(8, '\0'), 1)).Error,
            "BMP format not supported");
  // A size beyond the limits is refused before allocating.
  EXPECT_EQ(DecodeBMP(BuildBMP(0x7FFFFFFF, 0x7FFFFFFF, 24, "", "")).Error, "BMP image too large");
  // Pixel rows cut short stay black.
  const TRasterImage image = oracle::MakeTestRaster(4, 4);
  const TBytes full = EncodeBMP(image);
  const TDecodedImage cut = DecodeBMP(TByteView(full).substr(0, full.size() - 12));
  ASSERT_FALSE(cut.Empty());
  EXPECT_EQ(cut.Pixels.substr(0, 12), TBytes(12, '\0'));  // the top row was stored last
  for (std::size_t n = 0; n <= full.size(); ++n) DecodeBMP(TByteView(full).substr(0, n));
}

}  // namespace
}  // namespace kestrel
