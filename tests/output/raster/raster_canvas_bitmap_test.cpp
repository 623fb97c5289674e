// Pictures drawn into parallelograms by the raster canvas.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/output/raster/raster_canvas_image.h"
#include "output/raster/raster_canvas_test_support.h"

namespace kestrel {
namespace {

using namespace testing;

constexpr std::uint32_t kYellow = 0xFFFF00;

// Red, green / blue, yellow: the picture's pixels in 0xAARRGGBB.
TCanvasBitmap FourColours() {
  return {2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u}, std::nullopt};
}

TEST(RasterCanvasBitmapTest, FillsAnAxisAlignedRectangle) {
  auto f = MakeCanvas(40, 40);
  f.canvas->DrawBitmap(FourColours(), 10, 10, 30, 10, 10, 30, TImageSampling::Default);
  EXPECT_EQ(f.At(15, 15), kRed);
  EXPECT_EQ(f.At(25, 15), kGreen);
  EXPECT_EQ(f.At(15, 25), kBlue);
  EXPECT_EQ(f.At(25, 25), kYellow);
  EXPECT_EQ(f.At(9, 15), kWhite);
  EXPECT_EQ(f.At(30, 15), kWhite);
  EXPECT_EQ(CountColour(f, kWhite), 40 * 40 - 20 * 20);
}

TEST(RasterCanvasBitmapTest, RotatedParallelogramTurnsThePicture) {
  // Upper-left at (60, 10); the picture's x axis points down and its y axis to the left.
  auto f = MakeCanvas(80, 60);
  f.canvas->DrawBitmap(FourColours(), 60, 10, 60, 50, 20, 10, TImageSampling::Default);
  EXPECT_EQ(f.At(50, 20), kRed);
  EXPECT_EQ(f.At(50, 40), kGreen);
  EXPECT_EQ(f.At(30, 20), kBlue);
  EXPECT_EQ(f.At(30, 40), kYellow);
  EXPECT_EQ(f.At(10, 20), kWhite);
  EXPECT_EQ(f.At(70, 20), kWhite);
}

TEST(RasterCanvasBitmapTest, RotatedByFortyFiveDegreesStaysInsideItsDiamond) {
  auto f = MakeCanvas(100, 100);
  // A 40 x 40 square turned 45 degrees around (50, 50).
  const double h = 40 / std::sqrt(2.0);
  TCanvasBitmap red{1, 1, {0xFFFF0000u}, std::nullopt};
  f.canvas->DrawBitmap(red, 50, 50 - h, 50 + h, 50, 50 - h, 50, TImageSampling::Default);
  EXPECT_EQ(f.At(50, 50), kRed);
  EXPECT_EQ(f.At(50, 22), kRed);
  EXPECT_EQ(f.At(25, 25), kWhite);  // corner of the bounding box, outside the diamond
  EXPECT_NEAR(CountColour(f, kRed), 40 * 40, 60);
}

TEST(RasterCanvasBitmapTest, MirroredParallelogramFlipsThePicture) {
  auto f = MakeCanvas(40, 40);
  // Upper-left on the right: the picture is mirrored left to right.
  f.canvas->DrawBitmap(FourColours(), 30, 10, 10, 10, 30, 30, TImageSampling::Default);
  EXPECT_EQ(f.At(25, 15), kRed);
  EXPECT_EQ(f.At(15, 15), kGreen);
}

TEST(RasterCanvasBitmapTest, NearestSamplingKeepsHardSteps) {
  auto f = MakeCanvas(100, 10);
  TCanvasBitmap steps{2, 1, {0xFF000000u, 0xFFFFFFFFu}, std::nullopt};
  f.canvas->DrawBitmap(steps, 0, 0, 100, 0, 0, 10, TImageSampling::Nearest);
  EXPECT_EQ(f.At(49, 5), kBlack);
  EXPECT_EQ(f.At(50, 5), kWhite);
  EXPECT_EQ(Colours(f).size(), 2u);
}

TEST(RasterCanvasBitmapTest, SmoothSamplingInterpolates) {
  auto f = MakeCanvas(100, 10);
  TCanvasBitmap steps{2, 1, {0xFF000000u, 0xFFFFFFFFu}, std::nullopt};
  f.canvas->DrawBitmap(steps, 0, 0, 100, 0, 0, 10, TImageSampling::Smooth);
  EXPECT_EQ(f.At(10, 5), kBlack);  // before the first sample centre: clamped
  EXPECT_EQ(f.At(90, 5), kWhite);
  const int mid = Channel(f.At(50, 5), 16);
  EXPECT_NEAR(mid, 128, 3);
  // The ramp rises steadily between the two sample centres at x = 25 and 75.
  for (int x = 26; x < 75; ++x) {
    EXPECT_LE(Channel(f.At(x - 1, 5), 8), Channel(f.At(x, 5), 8)) << x;
  }
  EXPECT_GT(Colours(f).size(), 40u);
}

TEST(RasterCanvasBitmapTest, DefaultSamplingFollowsTheSmoothImagesSetting) {
  TCanvasBitmap steps{2, 1, {0xFF000000u, 0xFFFFFFFFu}, std::nullopt};
  auto plain = MakeCanvas(100, 10, true, false);
  plain.canvas->DrawBitmap(steps, 0, 0, 100, 0, 0, 10, TImageSampling::Default);
  EXPECT_EQ(Colours(plain).size(), 2u);
  auto smooth = MakeCanvas(100, 10, true, true);
  smooth.canvas->DrawBitmap(steps, 0, 0, 100, 0, 0, 10, TImageSampling::Default);
  EXPECT_GT(Colours(smooth).size(), 40u);
}

TEST(RasterCanvasBitmapTest, ColourKeyMakesMatchingPixelsTransparent) {
  auto f = MakeCanvas(40, 20);
  FillRect(*f.canvas, 0, 0, 40, 20, kPackedGreen);
  // Nearly red on the left, blue on the right; the key covers the reds only.
  TCanvasBitmap b{2, 1, {0xFFF00A05u, 0xFF0000FFu}, TCanvasColorKey{{200, 0, 0}, {255, 20, 20}}};
  f.canvas->DrawBitmap(b, 0, 0, 40, 0, 0, 20, TImageSampling::Default);
  EXPECT_EQ(f.At(10, 10), kGreen);
  EXPECT_EQ(f.At(30, 10), kBlue);
  // One channel outside the range: drawn.
  b.Pixels[0] = 0xFFF01505u;
  f.canvas->DrawBitmap(b, 0, 0, 40, 0, 0, 20, TImageSampling::Default);
  EXPECT_EQ(f.At(10, 10), 0xF01505u);
}

TEST(RasterCanvasBitmapTest, PictureAlphaBlends) {
  auto f = MakeCanvas(20, 20);
  TCanvasBitmap b{1, 1, {0x80000000u}, std::nullopt};  // black at alpha 128
  f.canvas->DrawBitmap(b, 0, 0, 20, 0, 0, 20, TImageSampling::Default);
  EXPECT_NEAR(Channel(f.At(10, 10), 16), 127, 1);
}

TEST(RasterCanvasBitmapTest, UnusableInputDrawsNothing) {
  auto f = MakeCanvas(20, 20);
  TCanvasBitmap shortPixels{4, 4, {0xFF000000u}, std::nullopt};
  f.canvas->DrawBitmap(shortPixels, 0, 0, 20, 0, 0, 20, TImageSampling::Default);
  TCanvasBitmap empty{0, 5, {}, std::nullopt};
  f.canvas->DrawBitmap(empty, 0, 0, 20, 0, 0, 20, TImageSampling::Default);
  TCanvasBitmap black{1, 1, {0xFF000000u}, std::nullopt};
  f.canvas->DrawBitmap(black, 0, 0, 20, 0, 40, 0, TImageSampling::Default);  // degenerate
  f.canvas->DrawBitmap(black, NAN, 0, 20, 0, 0, 20, TImageSampling::Default);
  f.canvas->DrawBitmap(black, 0, 0, INFINITY, 0, 0, 20, TImageSampling::Smooth);
  EXPECT_EQ(CountColour(f, kWhite), 400);
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
}

TEST(RasterCanvasBitmapTest, HugeParallelogramsDrawTheirVisiblePart) {
  auto f = MakeCanvas(20, 20);
  f.canvas->DrawBitmap(FourColours(), -3e30, -3e30, 1e30, -3e30, -3e30, 1e30,
                       TImageSampling::Nearest);
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
  // The picture's centre lies far up and left: the page shows the lower-right (yellow) pixel.
  EXPECT_EQ(CountColour(f, kYellow), 400);
  // A one-pixel picture stretched over a million pixels.
  auto g = MakeCanvas(20, 20);
  TCanvasBitmap red{1, 1, {0xFFFF0000u}, std::nullopt};
  g.canvas->DrawBitmap(red, -5e5, -5e5, 5e5, -5e5, -5e5, 5e5, TImageSampling::Smooth);
  EXPECT_EQ(CountColour(g, kRed), 400);
}

TEST(RasterCanvasBitmapTest, PlainModeDrawsNoPictures) {
  std::optional<TRasterImage> raster = TRasterImage::Create(20, 20, 96, kWhite);
  ASSERT_TRUE(raster);
  TPDFPicasso c;
  ASSERT_TRUE(c.AttachGDI(*raster));
  TCanvasBitmap black{1, 1, {0xFF000000u}, std::nullopt};
  c.DrawBitmap(black, 0, 0, 20, 0, 0, 20, TImageSampling::Default);
  EXPECT_EQ(raster->Pixel(10, 10) & 0xFFFFFF, kWhite);
}

TEST(ResampleBitmapTest, InverseMappingPlacesSampleCentres) {
  const auto m = BitmapInverseMapping(4, 2, {10, 10}, {50, 10}, {10, 30});
  ASSERT_TRUE(m);
  const TPDFPoint p = TransformPoint(*m, 15, 15);  // the centre of bitmap pixel (0, 0)
  EXPECT_DOUBLE_EQ(p.x, 0.5);
  EXPECT_DOUBLE_EQ(p.y, 0.5);
  EXPECT_FALSE(BitmapInverseMapping(4, 2, {10, 10}, {50, 10}, {90, 10}));
}

TEST(ResampleBitmapTest, ProducesPremultipliedPixels) {
  TCanvasBitmap b{1, 1, {0x80FF0000u}, std::nullopt};
  const auto m = BitmapInverseMapping(1, 1, {0, 0}, {2, 0}, {0, 2});
  ASSERT_TRUE(m);
  std::uint32_t out[4] = {};
  ResampleBitmap(b, *m, false, 0, 0, 2, 2, out, 2);
  for (std::uint32_t p : out) EXPECT_EQ(p, 0x80800000u);
}

}  // namespace
}  // namespace kestrel
