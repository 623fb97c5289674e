#include "engine/output/raster/tiff_writer.h"

#include <gtest/gtest.h>

#include "output/image_oracle.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

TEST(TIFFWriter, DeflateWithPredictorDecodesExactly) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  const TRasterImage image = oracle::MakeTestRaster(123, 77, 150);
  const TBytes tiff = EncodeTIFF(image);
  ASSERT_FALSE(tiff.empty());
  EXPECT_TRUE(tiff.substr(0, 4) == TBytes("II*\0", 4) || tiff.substr(0, 4) == TBytes("MM\0*", 4));
  const auto decoded = oracle::DecodeWithOracle(tiff, "RGB");
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->Info.at("format"), "TIFF");
  EXPECT_EQ(decoded->Info.at("mode"), "RGB");
  EXPECT_EQ(decoded->Info.at("compression"), "tiff_adobe_deflate");
  EXPECT_EQ(decoded->Info.at("predictor"), "2");
  EXPECT_EQ(decoded->Info.at("dpi"), "150,150");
  EXPECT_EQ(decoded->Info.at("xresolution"), "150.0");
  EXPECT_EQ(decoded->Width, 123);
  EXPECT_EQ(decoded->Height, 77);
  EXPECT_EQ(decoded->Pixels, oracle::RGBBytes(image));
}

TEST(TIFFWriter, OtherCompressionsDecodeExactly) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  // Tall enough for several strips.
  const TRasterImage image = oracle::MakeTestRaster(700, 300, 96);
  for (auto [compression, name] : {std::pair{TTIFFCompression::kLZW, "tiff_lzw"},
                                   {TTIFFCompression::kNone, "raw"},
                                   {TTIFFCompression::kDeflate, "tiff_adobe_deflate"}}) {
    TTIFFOptions options;
    options.Compression = compression;
    const auto decoded = oracle::DecodeWithOracle(EncodeTIFF(image, options), "RGB");
    ASSERT_TRUE(decoded.has_value()) << name;
    EXPECT_EQ(decoded->Info.at("compression"), name);
    EXPECT_EQ(decoded->Pixels, oracle::RGBBytes(image)) << name;
  }
}

TEST(TIFFWriter, GrayViewAndEmptyInput) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  const std::uint8_t gray[] = {0, 50, 100, 150, 200, 250};
  const auto decoded =
      oracle::DecodeWithOracle(EncodeTIFF(TPixelView{gray, 3, 2, 3, TPixelLayout::kGray8}, 0), "L");
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->Pixels, std::vector<std::uint8_t>(gray, gray + 6));
  EXPECT_EQ(decoded->Info.at("xresolution"), "none");
  EXPECT_TRUE(EncodeTIFF(TPixelView{}, 96).empty());
}

}  // namespace
}  // namespace kestrel
