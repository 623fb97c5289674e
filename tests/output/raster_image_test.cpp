#include "engine/graphics/raster_image.h"

#include <gtest/gtest.h>

#include <bit>

#include "engine/graphics/graphics_limits.h"

namespace kestrel {
namespace {

TEST(RasterImage, LayoutIsCairoRGB24) {
  auto image = TRasterImage::Create(3, 2, 150);
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->Width(), 3);
  EXPECT_EQ(image->Height(), 2);
  EXPECT_EQ(image->Stride(), 12);
  EXPECT_EQ(image->SizeBytes(), 24u);
  EXPECT_EQ(image->Dpi(), 150);
  // New bitmaps are white.
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(image->Pixel(x, y), 0xFFFFFFu);

  image->SetPixel(1, 1, 0x112233);
  const std::uint8_t* p = image->Row(1) + 4;
  if constexpr (std::endian::native == std::endian::little) {
    EXPECT_EQ(p[0], 0x33);  // blue first in memory
    EXPECT_EQ(p[1], 0x22);
    EXPECT_EQ(p[2], 0x11);
  }
  EXPECT_EQ(image->Pixel(1, 1), 0x112233u);
  EXPECT_EQ(image->Pixel(0, 1), 0xFFFFFFu);
  EXPECT_EQ(image->Row(1) - image->Row(0), 12);

  image->Fill(0x00AA00);
  EXPECT_EQ(image->Pixel(2, 0), 0x00AA00u);
  EXPECT_EQ(image->Pixel(1, 1), 0x00AA00u);
}

TEST(RasterImage, ViewReadsEveryLayout) {
  auto image = TRasterImage::Create(2, 1, 96);
  image->SetPixel(0, 0, 0xFF8001);
  image->SetPixel(1, 0, 0x010203);
  std::uint8_t rgb[6];
  RowToRGB(image->View(), 0, rgb);
  EXPECT_EQ(std::vector<std::uint8_t>(rgb, rgb + 6),
            (std::vector<std::uint8_t>{0xFF, 0x80, 0x01, 0x01, 0x02, 0x03}));

  const std::uint8_t packed[] = {9, 8, 7, 6, 5, 4};
  TPixelView rgbView{packed, 2, 1, 6, TPixelLayout::kRGB24};
  RowToRGB(rgbView, 0, rgb);
  EXPECT_EQ(std::vector<std::uint8_t>(rgb, rgb + 6), (std::vector<std::uint8_t>{9, 8, 7, 6, 5, 4}));

  const std::uint8_t gray[] = {17, 200};
  TPixelView grayView{gray, 2, 1, 2, TPixelLayout::kGray8};
  RowToRGB(grayView, 0, rgb);
  EXPECT_EQ(std::vector<std::uint8_t>(rgb, rgb + 6),
            (std::vector<std::uint8_t>{17, 17, 17, 200, 200, 200}));
}

TEST(RasterImage, RefusesAbsurdSizesBeforeAllocating) {
  // A 200-inch page at 480 dpi: 96000 pixels a side.
  EXPECT_FALSE(TRasterImage::Create(96000, 96000, 480).has_value());
  EXPECT_NE(TRasterImage::CheckSize(96000, 96000).find("limit"), std::string::npos);
  // Within the side limit but above the pixel limit.
  EXPECT_FALSE(TRasterImage::Create(20000, 20000, 480).has_value());
  EXPECT_NE(TRasterImage::CheckSize(20000, 20000).find("100000000"), std::string::npos);
  // Products that would overflow 64 bits are refused by the side check.
  EXPECT_FALSE(TRasterImage::Create(INT64_MAX, INT64_MAX, 96).has_value());
  EXPECT_FALSE(TRasterImage::Create(0, 10, 96).has_value());
  EXPECT_FALSE(TRasterImage::Create(10, -1, 96).has_value());
  EXPECT_FALSE(TRasterImage::CheckSize(-5, 5).empty());
  // Exactly at the limits is accepted (checked without allocating).
  EXPECT_TRUE(TRasterImage::CheckSize(limits::kMaxPageSide, 3000).empty());
  EXPECT_FALSE(TRasterImage::CheckSize(limits::kMaxPageSide + 1, 1).empty());
  EXPECT_TRUE(TRasterImage::CheckSize(10000, 10000).empty());
  EXPECT_FALSE(TRasterImage::CheckSize(10000, 10001).empty());
  // A4 at 96 dpi.
  EXPECT_TRUE(TRasterImage::Create(794, 1123, 96).has_value());
}

}  // namespace
}  // namespace kestrel
