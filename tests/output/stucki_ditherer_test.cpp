// Monochrome Stucki dithering: threshold, error weights, serpentine rows, grey balance.
#include "engine/output/gif/stucki_ditherer.h"

#include <gtest/gtest.h>

#include <vector>

#include "fuzz/harness/gif.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

std::vector<std::uint8_t> Grey(const std::vector<std::vector<int>>& rows) {
  std::vector<std::uint8_t> rgb;
  for (const auto& row : rows) {
    for (int v : row) rgb.insert(rgb.end(), 3, std::uint8_t(v));
  }
  return rgb;
}

TEST(StuckiDitherer, ThresholdOnLuminance) {
  EXPECT_FALSE(TMonochromeLookup::IsWhite(127, 127, 127));  // 127 × 256 is not above 32512
  EXPECT_TRUE(TMonochromeLookup::IsWhite(128, 128, 128));
  EXPECT_TRUE(TMonochromeLookup::IsWhite(0, 255, 0));    // 38250
  EXPECT_FALSE(TMonochromeLookup::IsWhite(255, 0, 0));   // 19635
  EXPECT_FALSE(TMonochromeLookup::IsWhite(0, 0, 255));   // 7395
  EXPECT_FALSE(TMonochromeLookup::IsWhite(255, 0, 255));  // 27030
  EXPECT_TRUE(TMonochromeLookup::IsWhite(0, 255, 255));   // 45645
}

TEST(StuckiDitherer, SinglePixelsAndUniformPictures) {
  EXPECT_EQ(DitherToMonochrome(1, 1, Grey({{127}})), std::vector<std::uint8_t>{0});
  EXPECT_EQ(DitherToMonochrome(1, 1, Grey({{128}})), std::vector<std::uint8_t>{1});
  const std::vector<std::uint8_t> red = {255, 0, 0};
  EXPECT_EQ(DitherToMonochrome(1, 1, red), std::vector<std::uint8_t>{0});
  std::vector<std::uint8_t> white(40 * 30 * 3, 255), black(40 * 30 * 3, 0);
  EXPECT_EQ(DitherToMonochrome(40, 30, white), std::vector<std::uint8_t>(1200, 1));
  EXPECT_EQ(DitherToMonochrome(40, 30, black), std::vector<std::uint8_t>(1200, 0));
}

TEST(StuckiDitherer, ErrorReachesTheRowsBelow) {
  // A column of 127s: black leaves +127, 8/42 of it lifts the next pixel to 151 (white,
  // error −104); the third gets 4 × 127 − 8 × 104 = −324, i.e. −7 after rounding: black.
  EXPECT_EQ(DitherToMonochrome(1, 3, Grey({{127}, {127}, {127}})),
            (std::vector<std::uint8_t>{0, 1, 0}));
  // Along a row: 8/42 to the next pixel, 4/42 to the one after.
  EXPECT_EQ(DitherToMonochrome(4, 1, Grey({{127, 127, 127, 127}})),
            (std::vector<std::uint8_t>{0, 1, 0, 1}));
}

TEST(StuckiDitherer, RowsAlternateDirection) {
  // Black rows carry no error, so a row of 127s after them starts fresh at its scan start:
  // from the right on the second row, from the left on the third.
  EXPECT_EQ(DitherToMonochrome(4, 2, Grey({{0, 0, 0, 0}, {127, 127, 127, 127}})),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 1, 0, 1, 0}));
  EXPECT_EQ(DitherToMonochrome(4, 3, Grey({{0, 0, 0, 0}, {0, 0, 0, 0}, {127, 127, 127, 127}})),
            (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1}));
  // The row engine reports its direction.
  TStuckiDitherer engine(4);
  std::vector<std::uint8_t> row(4);
  EXPECT_EQ(engine.Direction(), 1);
  engine.DitherRow(Grey({{0, 0, 0, 0}}), row);
  EXPECT_EQ(engine.Direction(), -1);
  engine.DitherRow(Grey({{127, 127, 127, 127}}), row);
  EXPECT_EQ(row, (std::vector<std::uint8_t>{1, 0, 1, 0}));
  EXPECT_EQ(engine.Direction(), 1);
}

TEST(StuckiDitherer, MidGreyIsAnEvenMix) {
  const int w = 64, h = 64;
  const std::vector<std::uint8_t> rgb(w * h * 3, 128);
  const std::vector<std::uint8_t> out = DitherToMonochrome(w, h, rgb);
  ASSERT_EQ(out.size(), std::size_t(w * h));
  int white = 0;
  for (std::uint8_t v : out) {
    ASSERT_LE(v, 1);
    white += v;
  }
  EXPECT_GT(white, w * h * 45 / 100);
  EXPECT_LT(white, w * h * 55 / 100);
  // Balanced locally too: every 8 × 8 block is between a quarter and three quarters white.
  for (int by = 0; by < h; by += 8) {
    for (int bx = 0; bx < w; bx += 8) {
      int n = 0;
      for (int y = by; y < by + 8; ++y) {
        for (int x = bx; x < bx + 8; ++x) n += out[y * w + x];
      }
      EXPECT_GT(n, 16) << bx << "," << by;
      EXPECT_LT(n, 48) << bx << "," << by;
    }
  }
  // A quarter grey gives about a quarter white.
  const std::vector<std::uint8_t> dark(w * h * 3, 64);
  int darkWhite = 0;
  for (std::uint8_t v : DitherToMonochrome(w, h, dark)) darkWhite += v;
  EXPECT_GT(darkWhite, w * h * 20 / 100);
  EXPECT_LT(darkWhite, w * h * 30 / 100);
}

TEST(StuckiDitherer, AgreesWithAPlainWholePictureFormulation) {
  const TRasterImage image = oracle::MakeTestRaster(97, 41);
  std::vector<std::uint8_t> rgb(97 * 41 * 3);
  for (int y = 0; y < 41; ++y) RowToRGB(image.View(), y, rgb.data() + y * 97 * 3);
  const std::vector<std::uint8_t> out = DitherToMonochrome(97, 41, rgb);
  EXPECT_EQ(out, fuzzharness::ReferenceStucki(97, 41, rgb));
  EXPECT_EQ(out, DitherToMonochrome(image.View()));
}

TEST(StuckiDitherer, MismatchedSizesGiveNothing) {
  const std::vector<std::uint8_t> rgb(12, 0);
  EXPECT_TRUE(DitherToMonochrome(2, 3, rgb).empty());
  EXPECT_TRUE(DitherToMonochrome(0, 4, {}).empty());
  EXPECT_TRUE(DitherToMonochrome(-2, -2, rgb).empty());
  EXPECT_EQ(DitherToMonochrome(2, 2, rgb).size(), 4u);
  EXPECT_TRUE(DitherToMonochrome(TPixelView{}).empty());
  // A short row leaves the output row untouched.
  TStuckiDitherer engine(5);
  std::vector<std::uint8_t> out(5, 9);
  engine.DitherRow(rgb, out);
  EXPECT_EQ(out, std::vector<std::uint8_t>(5, 9));
}

}  // namespace
}  // namespace kestrel
