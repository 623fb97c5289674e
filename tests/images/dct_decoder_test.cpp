#include "engine/images/dct_decoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "images/dct_test_jpeg.h"
#include "output/image_oracle.h"

namespace kestrel {
namespace {

using oracle::TTestJpeg;
using oracle::WriteTestJpeg;

// Flat 8 x 8 blocks of distinct values per component, which JPEG at quality 100 keeps within
// rounding.
std::vector<std::uint8_t> Blocks(int width, int height, int components) {
  std::vector<std::uint8_t> samples;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < components; ++c)
        samples.push_back(std::uint8_t((x / 8) * 70 + (y / 8) * 40 + c * 50 + 10));
  return samples;
}

int MaxDifference(const TBytes& decoded, const std::vector<std::uint8_t>& expected) {
  if (decoded.size() != expected.size()) return 1000;
  int worst = 0;
  for (std::size_t i = 0; i < expected.size(); ++i)
    worst = std::max(worst, std::abs(int(std::uint8_t(decoded[i])) - int(expected[i])));
  return worst;
}

TEST(DCTDecoder, GrayAndColour) {
  const auto gray = Blocks(24, 16, 1);
  TTestJpeg graySpec{24, 16, 1, JCS_GRAYSCALE, JCS_GRAYSCALE};
  const TDecodedImage g = DecodeDCT(WriteTestJpeg(gray, graySpec));
  ASSERT_FALSE(g.Empty()) << g.Error;
  EXPECT_EQ(g.Width, 24);
  EXPECT_EQ(g.Height, 16);
  EXPECT_EQ(g.Components, 1);
  EXPECT_EQ(g.BitsPerComponent, 8);
  EXPECT_TRUE(g.Error.empty());
  EXPECT_LE(MaxDifference(g.Pixels, gray), 1);

  const auto rgb = Blocks(16, 24, 3);
  const TDecodedImage c = DecodeDCT(WriteTestJpeg(rgb, TTestJpeg{16, 24, 3}));
  ASSERT_FALSE(c.Empty()) << c.Error;
  EXPECT_EQ(c.Components, 3);
  EXPECT_LE(MaxDifference(c.Pixels, rgb), 3);

  // Stored as RGB without a colour transform.
  TTestJpeg plain{16, 24, 3, JCS_RGB, JCS_RGB};
  const TDecodedImage p = DecodeDCT(WriteTestJpeg(rgb, plain));
  ASSERT_FALSE(p.Empty()) << p.Error;
  EXPECT_LE(MaxDifference(p.Pixels, rgb), 1);
}

TEST(DCTDecoder, CMYKAsStoredOrInverted) {
  auto cmyk = Blocks(16, 16, 4);
  // The first block is all zero: no ink, which the colour manager makes white.
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      for (int c = 0; c < 4; ++c) cmyk[(y * 16 + x) * 4 + c] = 0;
  TTestJpeg spec{16, 16, 4, JCS_CMYK, JCS_CMYK};
  const TBytes jpeg = WriteTestJpeg(cmyk, spec);
  EXPECT_TRUE(DCTHasAdobeMarker(jpeg));

  const TDecodedImage stored = DecodeDCT(jpeg);  // PDF default: values as stored
  ASSERT_FALSE(stored.Empty()) << stored.Error;
  EXPECT_EQ(stored.Components, 4);
  EXPECT_LE(MaxDifference(stored.Pixels, cmyk), 1);
  for (int c = 0; c < 4; ++c) EXPECT_LE(std::uint8_t(stored.Pixels[c]), 1);

  TDCTDecodeOptions inverted;
  inverted.KeepCmyk = false;
  const TDecodedImage flipped = DecodeDCT(jpeg, inverted);
  ASSERT_FALSE(flipped.Empty());
  std::vector<std::uint8_t> complement(cmyk.size());
  for (std::size_t i = 0; i < cmyk.size(); ++i) complement[i] = 255 - cmyk[i];
  EXPECT_LE(MaxDifference(flipped.Pixels, complement), 1);

  spec.AdobeMarker = false;
  const TBytes bare = WriteTestJpeg(cmyk, spec);
  EXPECT_FALSE(DCTHasAdobeMarker(bare));
  EXPECT_LE(MaxDifference(DecodeDCT(bare).Pixels, cmyk), 1);
}

TEST(DCTDecoder, YCCKBecomesCMYK) {
  const auto cmyk = Blocks(16, 16, 4);
  const TDecodedImage image =
      DecodeDCT(WriteTestJpeg(cmyk, TTestJpeg{16, 16, 4, JCS_CMYK, JCS_YCCK}));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Components, 4);
  EXPECT_LE(MaxDifference(image.Pixels, cmyk), 3);
}

TEST(DCTDecoder, AdobeInvertedCMYKFromAnotherEncoder) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  // Pillow writes CMYK JPEGs the way desktop applications do: inverted, with an Adobe marker.
  const auto cmyk = Blocks(16, 16, 4);
  const auto jpeg = oracle::EncodeWithOracle(cmyk, 16, 16, "CMYK", "JPEG", "quality=100");
  ASSERT_TRUE(jpeg.has_value());
  EXPECT_TRUE(DCTHasAdobeMarker(*jpeg));
  TDCTDecodeOptions options;
  options.KeepCmyk = false;
  const TDecodedImage image = DecodeDCT(*jpeg, options);
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_LE(MaxDifference(image.Pixels, cmyk), 2);
}

TEST(DCTDecoder, ProgressiveAndScanLimit) {
  const auto rgb = Blocks(32, 32, 3);
  TTestJpeg spec{32, 32, 3};
  spec.Progressive = true;
  const TBytes jpeg = WriteTestJpeg(rgb, spec);
  const TDecodedImage image = DecodeDCT(jpeg);
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_LE(MaxDifference(image.Pixels, rgb), 3);

  TDCTDecodeOptions limited;
  limited.Limits.MaxJpegScans = 2;  // libjpeg's simple progression writes 10 scans
  const TDecodedImage refused = DecodeDCT(jpeg, limited);
  EXPECT_TRUE(refused.Empty());
  EXPECT_FALSE(refused.Error.empty());
}

TEST(DCTDecoder, TruncatedScanStillGivesWholeImage) {
  const auto gray = Blocks(64, 64, 1);
  const TBytes jpeg = WriteTestJpeg(gray, TTestJpeg{64, 64, 1, JCS_GRAYSCALE, JCS_GRAYSCALE});
  const TDecodedImage cut = DecodeDCT(TByteView(jpeg).substr(0, jpeg.size() * 3 / 4));
  ASSERT_FALSE(cut.Empty()) << cut.Error;
  EXPECT_EQ(cut.Width, 64);
  EXPECT_EQ(cut.Height, 64);
  // The first rows arrived intact.
  EXPECT_LE(MaxDifference(cut.Pixels.substr(0, 64 * 8),
                          std::vector<std::uint8_t>(gray.begin(), gray.begin() + 64 * 8)),
            1);
  // Every prefix is handled without a crash; those cut inside the header give nothing.
  for (std::size_t n = 0; n < jpeg.size(); n += 7) {
    const TDecodedImage part = DecodeDCT(TByteView(jpeg).substr(0, n));
    if (part.Empty()) {
      EXPECT_FALSE(part.Error.empty());
    } else {
      EXPECT_EQ(part.Pixels.size(), 64u * 64);
    }
  }
}

TEST(DCTDecoder, BadInputGivesEmptyImage) {
  for (const TBytes& bad : {TBytes{}, TBytes("\xFF\xD8", 2), TBytes("\xFF\xD8\xFF\xD9", 4),
                            TBytes("not a jpeg at all"), TBytes(1000, '\xFF')}) {
    const TDecodedImage image = DecodeDCT(bad);
    EXPECT_TRUE(image.Empty());
    EXPECT_EQ(image.Width, 0);
    EXPECT_FALSE(image.Error.empty());
    EXPECT_FALSE(DCTHasAdobeMarker(bad));
  }
}

TEST(DCTDecoder, SizeLimitCheckedBeforeDecoding) {
  const auto gray = Blocks(16, 16, 1);
  TBytes jpeg = WriteTestJpeg(gray, TTestJpeg{16, 16, 1, JCS_GRAYSCALE, JCS_GRAYSCALE});
  TDCTDecodeOptions small;
  small.Limits.MaxBytes = 255;
  EXPECT_EQ(DecodeDCT(jpeg, small).Error, "JPEG image too large");
  small.Limits.MaxBytes = 256;
  EXPECT_FALSE(DecodeDCT(jpeg, small).Empty());

  // A frame header claiming 65000 x 65000 is refused without trying to allocate 4 GB.
  const std::size_t sof = jpeg.find("\xFF\xC0");
  ASSERT_NE(sof, TBytes::npos);
  jpeg[sof + 5] = jpeg[sof + 7] = char(0xFD);
  jpeg[sof + 6] = jpeg[sof + 8] = char(0xE8);
  const TDecodedImage huge = DecodeDCT(jpeg);
  EXPECT_TRUE(huge.Empty());
  EXPECT_EQ(huge.Error, "JPEG image too large");
}

}  // namespace
}  // namespace kestrel
