// The GIF file: layout bytes, the palette, the quantised indices and their LZW data.
#include "engine/output/gif/gif_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/output/page_output.h"
#include "engine/output/raster/raster_encoder.h"
#include "fuzz/harness/gif.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

TRasterImage Filled(int w, int h, std::uint32_t rgb) {
  return *TRasterImage::Create(w, h, 96, rgb);
}

TEST(GIFWriter, OnePixelFileBytes) {
  const TBytes file = EncodeGIF(Filled(1, 1, 0x123456));
  std::string expected("GIF87a\x01\x00\x01\x00\x70\x00\x00", 13);
  expected += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x87", 10);
  expected += std::string("\x12\x34\x56", 3);
  expected += std::string(255 * 3, '\0');  // unused entries are black
  // Clear (256), index 0 and end (257) in 9 bits each: 27 bits, 4 bytes in one sub-block.
  expected += std::string("\x08\x04\x00\x01\x04\x04\x00\x3B", 8);
  EXPECT_EQ(file.size(), 799u);
  EXPECT_EQ(file, expected);
}

TEST(GIFWriter, SingleColourPage) {
  TPDFGIFWriter writer;
  writer.SetFrom(Filled(300, 200, 0xF0E0D0));
  ASSERT_FALSE(writer.Empty());
  EXPECT_EQ(writer.ColorCount(), 1);
  EXPECT_EQ(writer.Palette()[0], (TGIFColor{0xF0, 0xE0, 0xD0}));
  for (int i = 1; i < 256; ++i) EXPECT_EQ(writer.Palette()[i], TGIFColor{}) << i;
  ASSERT_EQ(writer.Indices().size(), 60000u);
  for (std::uint8_t v : writer.Indices()) ASSERT_EQ(v, 0);
  const fuzzharness::TParsedGIF gif = fuzzharness::ParseGIF(writer.WriteTo());
  ASSERT_TRUE(gif.Ok) << gif.Error;
  EXPECT_EQ(gif.Decoded.Codes.front(), 256);
  EXPECT_EQ(gif.Decoded.Indices, writer.Indices());
  EXPECT_EQ(gif.Decoded.ClearCodes, 1);
}

TEST(GIFWriter, LayoutOfALargerPicture) {
  const TRasterImage image = oracle::MakeTestRaster(320, 90);
  TPDFGIFWriter writer;
  writer.SetFrom(image);
  const TBytes file = writer.WriteTo();
  const fuzzharness::TParsedGIF gif = fuzzharness::ParseGIF(file);
  ASSERT_TRUE(gif.Ok) << gif.Error;
  EXPECT_EQ(gif.ScreenWidth, 320);
  EXPECT_EQ(gif.ScreenHeight, 90);
  EXPECT_EQ(gif.ScreenFlags, 0x70);
  EXPECT_EQ(gif.Background, 0);
  EXPECT_EQ(gif.Aspect, 0);
  EXPECT_EQ(gif.Left, 0);
  EXPECT_EQ(gif.Top, 0);
  EXPECT_EQ(gif.Width, 320);
  EXPECT_EQ(gif.Height, 90);
  EXPECT_EQ(gif.ImageFlags, 0x87);
  EXPECT_EQ(gif.MinCodeSize, 8);
  ASSERT_EQ(gif.Palette.size(), 256u);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(gif.Palette[i], writer.Palette()[i]);
  ASSERT_GE(gif.SubBlockSizes.size(), 2u);
  for (std::size_t i = 0; i + 1 < gif.SubBlockSizes.size(); ++i) {
    EXPECT_EQ(gif.SubBlockSizes[i], 255);
  }
  EXPECT_EQ(gif.Decoded.Indices, writer.Indices());
  // The noise third of the picture has far more than 256 colours; a fold may drop several
  // leaves at once, so the palette ends a little under 256.
  EXPECT_LE(writer.ColorCount(), 256);
  EXPECT_GT(writer.ColorCount(), 200);
  // Dispatch by format number gives the same file.
  EXPECT_EQ(EncodeRaster(image, kFormatGIF), file);
  EXPECT_TRUE(IsRasterFormat(kFormatGIF));
}

TEST(GIFWriter, GradientIsMappedToNearbyColours) {
  TRasterImage image = *TRasterImage::Create(256, 256, 96);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) image.SetPixel(x, y, (x << 16) | (y << 8) | ((x + y) / 2));
  }
  TPDFGIFWriter writer;
  writer.SetFrom(image);
  EXPECT_LE(writer.ColorCount(), 256);
  EXPECT_GT(writer.ColorCount(), 100);
  long total = 0;
  int worst = 0;
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      const std::uint8_t index = writer.Indices()[y * 256 + x];
      ASSERT_LT(index, writer.ColorCount());
      const TGIFColor& c = writer.Palette()[index];
      const int d = std::abs(c.Red - x) + std::abs(c.Green - y) + std::abs(c.Blue - (x + y) / 2);
      total += d;
      worst = std::max(worst, d);
    }
  }
  // 65536 colours in 256 entries: cubes of 16 levels a side at worst.
  EXPECT_LT(total / 65536.0, 24.0);
  EXPECT_LT(worst, 96);
}

TEST(GIFWriter, FewColoursAreKeptExactly) {
  TRasterImage image = *TRasterImage::Create(64, 64, 96);
  const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000, 0xFFFFFF, 0x808080};
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) image.SetPixel(x, y, colours[(x / 8 + y / 8) % 6]);
  }
  TPDFGIFWriter writer;
  writer.SetFrom(image);
  ASSERT_EQ(writer.ColorCount(), 6);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 64; ++x) {
      const TGIFColor& c = writer.Palette()[writer.Indices()[y * 64 + x]];
      ASSERT_EQ((std::uint32_t(c.Red) << 16) | (c.Green << 8) | c.Blue, image.Pixel(x, y));
    }
  }
}

TEST(GIFWriter, EmptyAndOversizedSourcesWriteNothing) {
  TPDFGIFWriter writer;
  EXPECT_TRUE(writer.Empty());
  EXPECT_TRUE(writer.WriteTo().empty());
  TPixelView view;
  writer.SetFrom(view);
  EXPECT_TRUE(writer.WriteTo().empty());
  // A view wider than a GIF can describe.
  std::vector<std::uint8_t> row(70000);
  view.Data = row.data();
  view.Width = 70000;
  view.Height = 1;
  view.Stride = 70000;
  view.Layout = TPixelLayout::kGray8;
  writer.SetFrom(view);
  EXPECT_TRUE(writer.Empty());
  // A grey view of a legal size is read through its layout.
  view.Width = 2;
  row[0] = 10;
  row[1] = 250;
  writer.SetFrom(view);
  ASSERT_EQ(writer.ColorCount(), 2);
  EXPECT_EQ(writer.Palette()[writer.Indices()[0]], (TGIFColor{10, 10, 10}));
  EXPECT_EQ(writer.Palette()[writer.Indices()[1]], (TGIFColor{250, 250, 250}));
}

TEST(GIFWriter, WideNoisyPageUsesClearCodes) {
  TRasterImage image = *TRasterImage::Create(2000, 40, 96);
  std::uint32_t seed = 77;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 2000; ++x) image.SetPixel(x, y, oracle::NextRandom(seed) & 0xFFFFFF);
  }
  TPDFGIFWriter writer;
  writer.SetFrom(image);
  const fuzzharness::TParsedGIF gif = fuzzharness::ParseGIF(writer.WriteTo());
  ASSERT_TRUE(gif.Ok) << gif.Error;
  EXPECT_GE(gif.Decoded.ClearCodes, 5);
  EXPECT_EQ(gif.Decoded.Indices, writer.Indices());
}

}  // namespace
}  // namespace kestrel
