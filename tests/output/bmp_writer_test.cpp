#include "engine/output/raster/bmp_writer.h"

#include <gtest/gtest.h>

#include "output/image_oracle.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

std::uint32_t LE32(const TBytes& b, std::size_t at) {
  return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
         std::uint32_t(std::uint8_t(b[at + 2])) << 16 |
         std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

TEST(BMPWriter, HeaderAndPaddedBottomUpRows) {
  auto image = TRasterImage::Create(3, 2, 96);
  image->SetPixel(0, 0, 0x010203);  // top-left
  image->SetPixel(2, 1, 0xA0B0C0);  // bottom-right
  const TBytes bmp = EncodeBMP(*image);
  // Rows of 3 pixels take 9 bytes plus 3 of fill.
  ASSERT_EQ(bmp.size(), 54u + 2 * 12);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(LE32(bmp, 2), bmp.size());
  EXPECT_EQ(LE32(bmp, 10), 54u);
  EXPECT_EQ(LE32(bmp, 14), 40u);
  EXPECT_EQ(LE32(bmp, 18), 3u);
  EXPECT_EQ(LE32(bmp, 22), 2u);  // positive: bottom-up
  EXPECT_EQ(std::uint8_t(bmp[28]), 24);
  EXPECT_EQ(LE32(bmp, 30), 0u);
  EXPECT_EQ(LE32(bmp, 34), 24u);
  EXPECT_EQ(LE32(bmp, 38), 3780u);  // 96 dpi in pixels per metre
  EXPECT_EQ(LE32(bmp, 42), 3780u);
  // First stored row is the bottom row: its last pixel is C0 B0 A0 (blue, green, red).
  EXPECT_EQ(std::uint8_t(bmp[54 + 6]), 0xC0);
  EXPECT_EQ(std::uint8_t(bmp[54 + 7]), 0xB0);
  EXPECT_EQ(std::uint8_t(bmp[54 + 8]), 0xA0);
  EXPECT_EQ(bmp.substr(54 + 9, 3), std::string(3, '\0'));
  // Second stored row is the top row.
  EXPECT_EQ(std::uint8_t(bmp[66]), 0x03);
  EXPECT_EQ(std::uint8_t(bmp[67]), 0x02);
  EXPECT_EQ(std::uint8_t(bmp[68]), 0x01);
}

TEST(BMPWriter, ResolutionFieldsFollowDpi) {
  auto image = TRasterImage::Create(4, 4, 300);
  EXPECT_EQ(LE32(EncodeBMP(*image), 38), 11811u);  // 300 / 0.0254 = 11811.02
  image->SetDpi(0);
  EXPECT_EQ(LE32(EncodeBMP(*image), 38), 0u);
}

TEST(BMPWriter, IndependentDecoderReadsSamePixels) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  for (int width : {1, 2, 3, 4, 5, 97}) {
    const TRasterImage image = oracle::MakeTestRaster(width, 13);
    const auto decoded = oracle::DecodeWithOracle(EncodeBMP(image), "RGB");
    ASSERT_TRUE(decoded.has_value()) << width;
    EXPECT_EQ(decoded->Info.at("format"), "BMP");
    EXPECT_EQ(decoded->Width, width);
    EXPECT_EQ(decoded->Height, 13);
    EXPECT_EQ(decoded->Pixels, oracle::RGBBytes(image)) << width;
  }
}

TEST(BMPWriter, OtherLayoutsAndEmptyInput) {
  const std::uint8_t gray[] = {0, 128, 255, 7};
  const TBytes bmp = EncodeBMP(TPixelView{gray, 2, 2, 2, TPixelLayout::kGray8}, 72);
  ASSERT_EQ(bmp.size(), 54u + 2 * 8);
  // Bottom row first: gray 255 then 7.
  EXPECT_EQ(bmp.substr(54, 6), std::string("\xFF\xFF\xFF\x07\x07\x07", 6));
  EXPECT_TRUE(EncodeBMP(TPixelView{}, 96).empty());
}

}  // namespace
}  // namespace kestrel
