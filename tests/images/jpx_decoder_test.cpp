#include "engine/images/jpx_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "images/jpx_test_encoder.h"

namespace kestrel {
namespace {

using oracle::TJpxComponent;
using oracle::TJpxSpec;
using oracle::WriteTestJpx;

TJpxComponent Plane(int width, int height, int dx, int dy, std::int32_t (*value)(int, int),
                    int precision = 8, bool isSigned = false) {
  TJpxComponent c;
  c.Dx = dx;
  c.Dy = dy;
  c.Precision = precision;
  c.Signed = isSigned;
  for (int y = 0; y < (height + dy - 1) / dy; ++y)
    for (int x = 0; x < (width + dx - 1) / dx; ++x) c.Samples.push_back(value(x, y));
  return c;
}

std::uint8_t At(const TDecodedImage& image, int x, int y, int channel) {
  return std::uint8_t(
      image.Pixels[(std::size_t(y) * image.Width + x) * image.Components + channel]);
}

TJpxSpec RGBSpec(bool fileFormat) {
  TJpxSpec spec;
  spec.Width = 20;
  spec.Height = 12;
  spec.FileFormat = fileFormat;
  spec.ColorSpace = OPJ_CLRSPC_SRGB;
  spec.Components = {Plane(20, 12, 1, 1, [](int x, int y) { return (x * 13 + y) & 255; }),
                     Plane(20, 12, 1, 1, [](int, int y) { return (y * 21) & 255; }),
                     Plane(20, 12, 1, 1, [](int x, int y) { return (x ^ y) * 9 & 255; })};
  return spec;
}

TEST(JPXDecoder, CodestreamAndFileFormatDecodeExactly) {
  for (bool fileFormat : {false, true}) {
    const TBytes jpx = WriteTestJpx(RGBSpec(fileFormat));
    ASSERT_FALSE(jpx.empty());
    EXPECT_EQ(jpx.substr(0, fileFormat ? 8 : 4),
              fileFormat ? TBytes("\0\0\0\x0CjP  ", 8) : TBytes("\xFF\x4F\xFF\x51", 4));
    const TDecodedImage image = DecodeJPX(jpx);
    ASSERT_FALSE(image.Empty()) << image.Error;
    EXPECT_EQ(image.Width, 20);
    EXPECT_EQ(image.Height, 12);
    EXPECT_EQ(image.Components, 3);
    EXPECT_FALSE(image.HasAlpha);
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 20; ++x) {
        ASSERT_EQ(At(image, x, y, 0), (x * 13 + y) & 255) << x << "," << y;
        ASSERT_EQ(At(image, x, y, 1), (y * 21) & 255);
        ASSERT_EQ(At(image, x, y, 2), (x ^ y) * 9 & 255);
      }
    }
  }
}

TEST(JPXDecoder, PrecisionAndSignScaling) {
  TJpxSpec deep;
  deep.Width = 4;
  deep.Height = 1;
  deep.Components = {Plane(
      4, 1, 1, 1,
      [](int x, int) {
        constexpr std::int32_t v[] = {0, 4095, 2048, 1};
        return v[x];
      },
      12)};
  TDecodedImage image = DecodeJPX(WriteTestJpx(deep));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Components, 1);
  EXPECT_EQ(At(image, 0, 0, 0), 0);
  EXPECT_EQ(At(image, 1, 0, 0), 255);  // 4095 maps to 255
  EXPECT_EQ(At(image, 2, 0, 0), 127);  // 2048 × 255 / 4095
  EXPECT_EQ(At(image, 3, 0, 0), 0);

  TJpxSpec shallow = deep;
  shallow.Components = {Plane(
      4, 1, 1, 1, [](int x, int) { return std::int32_t(x); }, 2)};
  image = DecodeJPX(WriteTestJpx(shallow));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Pixels, TBytes("\x00\x55\xAA\xFF", 4));

  TJpxSpec signedSpec = deep;
  signedSpec.Components = {Plane(
      4, 1, 1, 1,
      [](int x, int) {
        constexpr std::int32_t v[] = {-128, -1, 0, 127};
        return v[x];
      },
      8, true)};
  image = DecodeJPX(WriteTestJpx(signedSpec));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Pixels, TBytes("\x00\x7F\x80\xFF", 4));
}

TEST(JPXDecoder, SubsampledComponentsAreReplicated) {
  TJpxSpec spec;
  spec.Width = 15;  // odd: the last chroma column covers one pixel
  spec.Height = 9;
  spec.Components = {Plane(15, 9, 1, 1, [](int x, int y) { return x * 10 + y; }),
                     Plane(15, 9, 2, 2, [](int x, int y) { return 100 + x * 3 + y; }),
                     Plane(15, 9, 2, 2, [](int x, int y) { return 200 - x - y * 5; })};
  const TDecodedImage image = DecodeJPX(WriteTestJpx(spec));
  ASSERT_FALSE(image.Empty()) << image.Error;
  ASSERT_EQ(image.Components, 3);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 15; ++x) {
      ASSERT_EQ(At(image, x, y, 0), x * 10 + y);
      ASSERT_EQ(At(image, x, y, 1), 100 + (x / 2) * 3 + y / 2) << x << "," << y;
      ASSERT_EQ(At(image, x, y, 2), 200 - x / 2 - (y / 2) * 5);
    }
  }
}

TEST(JPXDecoder, OddOriginKeepsSamplesAligned) {
  // Image area starts at x = 3: the chroma grid starts at ceil(3 / 2) = 2, covering absolute
  // columns 4 and 5 with its first sample. Absolute column 3 has no sample of its own and takes
  // the nearest one, the first.
  TJpxSpec spec;
  spec.Width = 8;
  spec.Height = 4;
  spec.OriginX = 3;
  spec.OriginY = 1;
  auto chroma = [](int x, int y) { return 50 + x * 10 + y; };
  TJpxComponent luma;
  for (int i = 0; i < 32; ++i) luma.Samples.push_back(i);
  TJpxComponent c1;
  c1.Dx = c1.Dy = 2;
  // Grid columns 2..5 (4 samples), rows 1..2 (2 samples).
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) c1.Samples.push_back(chroma(x, y));
  TJpxComponent c2 = c1;
  spec.Components = {luma, c1, c2};
  const TBytes jpx = WriteTestJpx(spec);
  ASSERT_FALSE(jpx.empty());
  const TDecodedImage image = DecodeJPX(jpx);
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Width, 8);
  EXPECT_EQ(image.Height, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int sx = std::max(0, (3 + x) / 2 - 2);
      const int sy = std::max(0, (1 + y) / 2 - 1);
      ASSERT_EQ(At(image, x, y, 0), y * 8 + x);
      ASSERT_EQ(At(image, x, y, 1), chroma(sx, sy)) << x << "," << y;
    }
  }
}

TEST(JPXDecoder, SYCCBecomesRGB) {
  TJpxSpec spec;
  spec.Width = 2;
  spec.Height = 1;
  spec.FileFormat = true;  // the colour space travels in the JP2 header
  spec.ColorSpace = OPJ_CLRSPC_SYCC;
  spec.Components = {Plane(2, 1, 1, 1, [](int x, int) { return x ? 100 : 128; }),
                     Plane(2, 1, 1, 1, [](int x, int) { return x ? 150 : 128; }),
                     Plane(2, 1, 1, 1, [](int x, int) { return x ? 90 : 128; })};
  const TDecodedImage image = DecodeJPX(WriteTestJpx(spec));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(At(image, 0, 0, 0), 128);
  EXPECT_EQ(At(image, 0, 0, 1), 128);
  EXPECT_EQ(At(image, 0, 0, 2), 128);
  const double y = 100, cb = 150 - 128.0, cr = 90 - 128.0;
  EXPECT_EQ(At(image, 1, 0, 0), std::lround(y + 1.402 * cr));
  EXPECT_EQ(At(image, 1, 0, 1), std::lround(y - 0.34414 * cb - 0.71414 * cr));
  EXPECT_EQ(At(image, 1, 0, 2), std::lround(y + 1.772 * cb));
}

TEST(JPXDecoder, ComponentCounts) {
  // Two components (gray and opacity): only the first is shown.
  TJpxSpec two;
  two.Width = 3;
  two.Height = 2;
  two.Components = {Plane(3, 2, 1, 1, [](int x, int y) { return x + 3 * y; }),
                    Plane(3, 2, 1, 1, [](int, int) { return 200; })};
  TDecodedImage image = DecodeJPX(WriteTestJpx(two));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Components, 1);
  EXPECT_EQ(image.Pixels, TBytes("\0\1\2\3\4\5", 6));

  // Four colour components (CMYK) keep their order.
  TJpxSpec four = two;
  four.Components.clear();
  for (int c = 0; c < 4; ++c) {
    TJpxComponent comp;
    for (int i = 0; i < 6; ++i) comp.Samples.push_back(c * 60 + i);
    four.Components.push_back(comp);
  }
  image = DecodeJPX(WriteTestJpx(four));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Components, 4);
  EXPECT_FALSE(image.HasAlpha);
  EXPECT_EQ(At(image, 2, 1, 0), 5);
  EXPECT_EQ(At(image, 2, 1, 3), 185);

  // An opacity channel stored last in a JP2 file is flagged.
  TJpxSpec rgba = four;
  rgba.FileFormat = true;
  rgba.ColorSpace = OPJ_CLRSPC_SRGB;
  rgba.Components[3].Alpha = true;
  TBytes file = WriteTestJpx(rgba);
  image = DecodeJPX(file);
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Components, 4);
  EXPECT_TRUE(image.HasAlpha);
  EXPECT_EQ(At(image, 1, 0, 0), 1);
  EXPECT_EQ(At(image, 1, 0, 3), 181);

  // Channel definitions that make the first channel the opacity one, with the others not
  // associated with a colour (OpenJPEG leaves such channels where they are): opacity moves
  // behind the colours.
  const std::size_t cdef = file.find("cdef");
  ASSERT_NE(cdef, TBytes::npos);
  const TBytes entries = {0, 4,                                // four definitions
                          0, 0, 0, 1, 0,          0,           // channel 0: opacity, whole image
                          0, 1, 0, 0, char(0xFF), char(0xFF),  // channels 1-3: colour, unassociated
                          0, 2, 0, 0, char(0xFF), char(0xFF), 0, 3, 0, 0, char(0xFF), char(0xFF)};
  file.replace(cdef + 4, entries.size(), entries);
  image = DecodeJPX(file);
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_TRUE(image.HasAlpha);
  EXPECT_EQ(At(image, 1, 0, 0), 61);
  EXPECT_EQ(At(image, 1, 0, 2), 181);
  EXPECT_EQ(At(image, 1, 0, 3), 1);

  // Five components: the first alone.
  TJpxSpec five = four;
  five.Components.push_back(four.Components[3]);
  image = DecodeJPX(WriteTestJpx(five));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Components, 1);
  EXPECT_EQ(image.Pixels, TBytes("\0\1\2\3\4\5", 6));
}

TEST(JPXDecoder, BadInput) {
  EXPECT_EQ(DecodeJPX(TBytes("\xFF\x4F\xFF\x51\0\0\0", 7)).Error, "Unknown JPEG 2000 file type");
  EXPECT_EQ(DecodeJPX("").Error, "Unknown JPEG 2000 file type");
  EXPECT_EQ(DecodeJPX("GIF89a-not-jpx").Error, "Unknown JPEG 2000 file type");
  const TDecodedImage garbage = DecodeJPX(TBytes("\0\0\0\x0CjP  ", 8) + TBytes(100, 'x'));
  EXPECT_TRUE(garbage.Empty());
  EXPECT_EQ(garbage.Error, "JPEG 2000 image decoding failed");

  // Every truncation either decodes to the full size or fails cleanly.
  for (bool fileFormat : {false, true}) {
    const TBytes jpx = WriteTestJpx(RGBSpec(fileFormat));
    for (std::size_t n = 0; n < jpx.size(); n += 5) {
      const TDecodedImage part = DecodeJPX(TByteView(jpx).substr(0, n));
      if (part.Empty()) {
        EXPECT_FALSE(part.Error.empty());
      } else {
        EXPECT_EQ(part.Pixels.size(), 20u * 12 * 3);
      }
    }
  }
}

TEST(JPXDecoder, SizeLimitCheckedBeforeDecoding) {
  TBytes jpx = WriteTestJpx(RGBSpec(false));
  TImageDecodeLimits small;
  small.MaxBytes = 20 * 12 * 3 - 1;
  EXPECT_EQ(DecodeJPX(jpx, small).Error, "JPEG 2000 image too large");
  small.MaxBytes = 20 * 12 * 3 * 2;  // room for OpenJPEG's 32-bit samples too
  EXPECT_FALSE(DecodeJPX(jpx, small).Empty());

  // Image and tile size 60000 x 60000 in the SIZ marker: refused from the header.
  const TBytes big("\x00\x00\xEA\x60", 4);
  jpx.replace(8, 4, big);
  jpx.replace(12, 4, big);
  jpx.replace(24, 4, big);
  jpx.replace(28, 4, big);
  const TDecodedImage huge = DecodeJPX(jpx);
  EXPECT_TRUE(huge.Empty());
  EXPECT_EQ(huge.Error, "JPEG 2000 image too large");
}

}  // namespace
}  // namespace kestrel
