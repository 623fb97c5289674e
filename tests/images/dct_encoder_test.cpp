#include "engine/images/dct_encoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/images/dct_decoder.h"
#include "output/image_oracle.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

// Flat 16 x 16 colour blocks and a smooth gradient: content JPEG keeps close at high quality.
TRasterImage SmoothRaster(int width, int height, double dpi = 96) {
  TRasterImage image = *TRasterImage::Create(width, height, dpi);
  static const std::uint32_t kColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000,
                                           0xFFFFFF, 0x808080, 0x2080C0, 0xF0E010};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t rgb = y < height / 2 ? kColours[(x / 16 + y / 16) % 8]
                                               : (std::uint32_t(x * 255 / width) << 16) |
                                                     (std::uint32_t(y * 255 / height) << 8) | 0x40;
      image.SetPixel(x, y, rgb);
    }
  }
  return image;
}

struct TDifference {
  int Max = 0;
  double Mean = 0;
};

TDifference Compare(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  TDifference d;
  if (a.size() != b.size() || a.empty()) return {1000, 1000};
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const int diff = std::abs(int(a[i]) - int(b[i]));
    d.Max = std::max(d.Max, diff);
    sum += diff;
  }
  d.Mean = sum / double(a.size());
  return d;
}

TEST(DCTEncoder, IndependentDecoderSeesThePage) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  const TRasterImage image = SmoothRaster(160, 96, 96);
  const TBytes jpeg = EncodeJPEG(image, 95);
  ASSERT_FALSE(jpeg.empty());
  const auto decoded = oracle::DecodeWithOracle(jpeg, "RGB");
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->Info.at("format"), "JPEG");
  EXPECT_EQ(decoded->Info.at("layers"), "3");
  EXPECT_EQ(decoded->Info.at("progressive"), "0");
  EXPECT_EQ(decoded->Info.at("dpi"), "96,96");
  EXPECT_EQ(decoded->Width, 160);
  EXPECT_EQ(decoded->Height, 96);
  // 4:2:0 chroma smears saturated colour edges by a pixel or two (errors up to 160 there);
  // on average the picture stays within a few levels.
  const TDifference d = Compare(decoded->Pixels, oracle::RGBBytes(image));
  EXPECT_LT(d.Mean, 4.0);
  // A pixel well inside a flat block is nearly exact.
  const std::size_t at = (8 * 160 + 8) * 3;  // inside the red block
  EXPECT_NEAR(decoded->Pixels[at], 255, 3);
  EXPECT_NEAR(decoded->Pixels[at + 1], 0, 3);
  EXPECT_NEAR(decoded->Pixels[at + 2], 0, 3);
}

TEST(DCTEncoder, BaselineFileWithCompleteTables) {
  const TRasterImage image = SmoothRaster(64, 32);
  const TBytes jpeg = EncodeJPEG(image, 75);
  ASSERT_GT(jpeg.size(), 4u);
  EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
  EXPECT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9");
  EXPECT_NE(jpeg.find("JFIF"), TBytes::npos);
  EXPECT_NE(jpeg.find("\xFF\xC0"), TBytes::npos);  // baseline frame
  EXPECT_EQ(jpeg.find("\xFF\xC2"), TBytes::npos);  // not progressive
  EXPECT_NE(jpeg.find("\xFF\xDB"), TBytes::npos);  // quantisation tables
  EXPECT_NE(jpeg.find("\xFF\xC4"), TBytes::npos);  // Huffman tables
  // Our own decoder reads it back as three components.
  const TDecodedImage back = DecodeDCT(jpeg);
  ASSERT_FALSE(back.Empty()) << back.Error;
  EXPECT_EQ(back.Components, 3);
  EXPECT_EQ(back.Width, 64);
  EXPECT_EQ(back.Height, 32);
  std::vector<std::uint8_t> pixels(back.Pixels.begin(), back.Pixels.end());
  EXPECT_LT(Compare(pixels, oracle::RGBBytes(image)).Mean, 6.0);
}

TEST(DCTEncoder, QualityIsClampedAndChangesSize) {
  const TRasterImage image = oracle::MakeTestRaster(96, 64);
  const TBytes low = EncodeJPEG(image, 10);
  const TBytes mid = EncodeJPEG(image, 75);
  const TBytes high = EncodeJPEG(image, 100);
  EXPECT_LT(low.size(), mid.size());
  EXPECT_LT(mid.size(), high.size());
  EXPECT_EQ(EncodeJPEG(image, 0), EncodeJPEG(image, 1));
  EXPECT_EQ(EncodeJPEG(image, 250), high);
  EXPECT_EQ(EncodeJPEG(image), mid);  // 75 is the page default
}

TEST(DCTEncoder, OtherLayoutsAndRefusals) {
  const std::uint8_t gray[] = {0, 255, 255, 0};
  const TBytes fromGray = EncodeJPEG(TPixelView{gray, 2, 2, 2, TPixelLayout::kGray8}, 90);
  const TDecodedImage g = DecodeDCT(fromGray);
  ASSERT_FALSE(g.Empty());
  ASSERT_EQ(g.Components, 1);  // gray samples make a one-component JPEG
  EXPECT_NEAR(static_cast<std::uint8_t>(g.Pixels[0]), 0, 24);
  EXPECT_NEAR(static_cast<std::uint8_t>(g.Pixels[1]), 255, 24);

  const std::uint8_t rgb[] = {255, 0, 0, 0, 0, 255};
  EXPECT_FALSE(EncodeJPEG(TPixelView{rgb, 2, 1, 6, TPixelLayout::kRGB24}, 90).empty());

  // JPEG cannot hold a side above 65500 pixels.
  std::vector<std::uint8_t> wide(70000 * 3, 0x80);
  EXPECT_TRUE(
      EncodeJPEG(TPixelView{wide.data(), 70000, 1, 70000 * 3, TPixelLayout::kRGB24}, 75).empty());
  EXPECT_TRUE(EncodeJPEG(TPixelView{}, 75).empty());
}

}  // namespace
}  // namespace kestrel
