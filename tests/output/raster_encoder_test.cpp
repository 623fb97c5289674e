#include "engine/output/raster/raster_encoder.h"

#include <gtest/gtest.h>

#include "engine/images/dct_encoder.h"
#include "engine/output/raster/bmp_writer.h"
#include "engine/output/gif/gif_writer.h"
#include "engine/output/raster/png_writer.h"
#include "engine/output/raster/tiff_writer.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

TEST(RasterEncoder, DispatchesByFormatNumber) {
  const TRasterImage image = oracle::MakeTestRaster(30, 20, 96);
  EXPECT_EQ(EncodeRaster(image, kFormatBMP, 75), EncodeBMP(image));
  EXPECT_EQ(EncodeRaster(image, kFormatJPEG, 75), EncodeJPEG(image, 75));
  EXPECT_EQ(EncodeRaster(image, kFormatPNG, 75), EncodePNG(image));
  EXPECT_EQ(EncodeRaster(image, kFormatGIF, 75), EncodeGIF(image));
  EXPECT_EQ(EncodeRaster(image, kFormatTIFF, 75), EncodeTIFF(image));
  EXPECT_EQ(EncodeRaster(image, kFormatBMP, 75).substr(0, 2), "BM");
  EXPECT_EQ(EncodeRaster(image, kFormatJPEG, 75).substr(0, 3), "\xFF\xD8\xFF");
  EXPECT_EQ(EncodeRaster(image, kFormatPNG, 75).substr(1, 3), "PNG");
  EXPECT_EQ(EncodeRaster(image, kFormatGIF, 75).substr(0, 6), "GIF87a");
  // Quality reaches the JPEG encoder.
  EXPECT_NE(EncodeRaster(image, kFormatJPEG, 20), EncodeRaster(image, kFormatJPEG, 90));
  EXPECT_LT(EncodeRaster(image, kFormatJPEG, 20).size(), EncodeRaster(image, kFormatJPEG, 90).size());
}

TEST(RasterEncoder, NonRasterFormatsWriteNothing) {
  const TRasterImage image = oracle::MakeTestRaster(8, 8);
  for (int format : {2, 3, 4, 8, 9, -1, 1000}) {
    EXPECT_TRUE(EncodeRaster(image, TOutputFormat(format), 75).empty()) << format;
    EXPECT_FALSE(IsRasterFormat(TOutputFormat(format))) << format;
  }
  for (int format : {0, 1, 5, 6, 7}) EXPECT_TRUE(IsRasterFormat(TOutputFormat(format))) << format;
}

}  // namespace
}  // namespace kestrel
