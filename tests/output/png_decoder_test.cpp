#include "support/png_decoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "engine/output/raster/png_writer.h"
#include "output/image_oracle.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

TBytes BE32(std::uint32_t v) { return TBytes{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

TBytes Chunk(const std::string& type, const TBytes& data) {
  const TBytes body = type + data;
  return BE32(std::uint32_t(data.size())) + body + BE32(PNGChunkCRC(body));
}

TBytes Deflate(const TBytes& raw) {
  uLongf size = compressBound(raw.size());
  TBytes out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
           raw.size());
  out.resize(size);
  return out;
}

// A PNG whose image data is `filtered` (filter bytes included), written as given.
TBytes BuildPNG(std::uint32_t w, std::uint32_t h, int depth, int colorType, int interlace,
                const TBytes& filtered, const TBytes& extraChunks = "") {
  const TBytes header =
      BE32(w) + BE32(h) + char(depth) + char(colorType) + char(0) + char(0) + char(interlace);
  return TBytes("\x89PNG\r\n\x1a\n", 8) + Chunk("IHDR", header) + extraChunks +
         Chunk("IDAT", Deflate(filtered)) + Chunk("IEND", "");
}

TEST(PNGDecoder, RoundTripOfOwnWriterWithEveryFilter) {
  const TRasterImage image = oracle::MakeTestRaster(37, 19);
  const auto rgb = oracle::RGBBytes(image);
  for (TPNGFilter filter : {TPNGFilter::kNone, TPNGFilter::kSub, TPNGFilter::kUp,
                            TPNGFilter::kAverage, TPNGFilter::kPaeth, TPNGFilter::kAdaptive}) {
    TPNGWriter writer(image);
    writer.SetCompression(3, filter);
    const TDecodedImage decoded = DecodePNG(writer.WriteTo());
    ASSERT_FALSE(decoded.Empty()) << decoded.Error;
    EXPECT_EQ(decoded.Components, 3);
    EXPECT_FALSE(decoded.HasAlpha);
    EXPECT_EQ(decoded.Pixels, TBytes(rgb.begin(), rgb.end())) << int(filter);
  }
  // With an alpha mask the result is RGBA.
  TPNGWriter withAlpha(image);
  const std::uint8_t mask[] = {10, 250};
  withAlpha.SetAlphaMask(TPixelView{mask, 2, 1, 2, TPixelLayout::kGray8}, false);
  const TDecodedImage rgba = DecodePNG(withAlpha.WriteTo());
  ASSERT_EQ(rgba.Components, 4);
  EXPECT_TRUE(rgba.HasAlpha);
  EXPECT_EQ(std::uint8_t(rgba.Pixels[3]), 10);
  EXPECT_EQ(std::uint8_t(rgba.Pixels[36 * 4 + 3]), 250);
  EXPECT_EQ(std::uint8_t(rgba.Pixels[4]), rgb[3]);
}

TEST(PNGDecoder, LowBitDepthsAndSixteenBits) {
  // Gray 2-bit: samples 0..3 in one byte become 0, 85, 170, 255.
  TDecodedImage image = DecodePNG(BuildPNG(4, 1, 2, 0, 0, TBytes("\0\x1B", 2)));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Components, 1);
  EXPECT_EQ(image.Pixels, TBytes("\x00\x55\xAA\xFF", 4));

  // Gray 1-bit, width 10: two bytes a row, the last 6 bits unused.
  image = DecodePNG(BuildPNG(10, 1, 1, 0, 0, TBytes("\0\xA5\xC0", 3)));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Pixels, TBytes("\xFF\0\xFF\0\0\xFF\0\xFF\xFF\xFF", 10));

  // RGB 16-bit keeps the high bytes.
  image = DecodePNG(BuildPNG(1, 1, 16, 2, 0, TBytes("\0\x12\x34\x56\x78\x9A\xBC", 7)));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Pixels, TBytes("\x12\x56\x9A", 3));

  // Gray-alpha 8-bit becomes RGBA.
  image = DecodePNG(BuildPNG(1, 1, 8, 4, 0, TBytes("\0\x40\x80", 3)));
  ASSERT_EQ(image.Components, 4);
  EXPECT_EQ(image.Pixels, TBytes("\x40\x40\x40\x80", 4));
}

TEST(PNGDecoder, PaletteAndTransparencyKeys) {
  const TBytes palette = Chunk("PLTE", TBytes("\xFF\0\0\0\xFF\0", 6));
  // 4-bit indices 0, 1 and 5 (past the palette: black).
  TDecodedImage image = DecodePNG(BuildPNG(3, 1, 4, 3, 0, TBytes("\0\x01\x50", 3), palette));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Components, 3);
  EXPECT_EQ(image.Pixels, TBytes("\xFF\0\0\0\xFF\0\0\0\0", 9));

  // tRNS with one entry: index 0 transparent, index 1 opaque.
  image = DecodePNG(
      BuildPNG(2, 1, 8, 3, 0, TBytes("\0\0\1", 3), palette + Chunk("tRNS", TBytes("\0", 1))));
  ASSERT_EQ(image.Components, 4);
  EXPECT_EQ(image.Pixels, TBytes("\xFF\0\0\0\0\xFF\0\xFF", 8));

  // Gray colour key 16-bit compares the full sample.
  image = DecodePNG(BuildPNG(2, 1, 16, 0, 0, TBytes("\0\x12\x34\x12\x35", 5),
                             Chunk("tRNS", TBytes("\x12\x34", 2))));
  ASSERT_EQ(image.Components, 4);
  EXPECT_EQ(image.Pixels, TBytes("\x12\x12\x12\0\x12\x12\x12\xFF", 8));

  // RGB colour key.
  image = DecodePNG(BuildPNG(2, 1, 8, 2, 0, TBytes("\0\1\2\3\4\5\6", 7),
                             Chunk("tRNS", TBytes("\0\4\0\5\0\6", 6))));
  ASSERT_EQ(image.Components, 4);
  EXPECT_EQ(image.Pixels, TBytes("\1\2\3\xFF\4\5\6\0", 8));

  // A palette image without a palette is refused.
  EXPECT_TRUE(DecodePNG(BuildPNG(2, 1, 8, 3, 0, TBytes("\0\0\1", 3))).Empty());
}

TEST(PNGDecoder, Adam7MatchesNonInterlaced) {
  // 10 x 9 gray picture: pass by pass, rows of the sub-image with filter None.
  const int w = 10, h = 9;
  auto value = [](int x, int y) { return char(x * 20 + y * 3); };
  TBytes plain, interlaced;
  for (int y = 0; y < h; ++y) {
    plain += '\0';
    for (int x = 0; x < w; ++x) plain += value(x, y);
  }
  const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                            {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  for (const auto& p : passes) {
    for (int y = p[1]; y < h; y += p[3]) {
      if (p[0] >= w) break;
      interlaced += '\0';
      for (int x = p[0]; x < w; x += p[2]) interlaced += value(x, y);
    }
  }
  const TDecodedImage a = DecodePNG(BuildPNG(w, h, 8, 0, 0, plain));
  const TDecodedImage b = DecodePNG(BuildPNG(w, h, 8, 0, 1, interlaced));
  ASSERT_FALSE(a.Empty()) << a.Error;
  ASSERT_FALSE(b.Empty()) << b.Error;
  EXPECT_EQ(a.Pixels, b.Pixels);
  EXPECT_EQ(std::uint8_t(b.Pixels[8 * w + 3]), std::uint8_t(value(3, 8)));
}

TEST(PNGDecoder, FilesFromAnotherEncoder) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  std::vector<std::uint8_t> rgba;
  for (int i = 0; i < 13 * 7; ++i) {
    rgba.insert(rgba.end(), {std::uint8_t(i * 3), std::uint8_t(255 - i), std::uint8_t(i * 7),
                             std::uint8_t(i % 3 == 0 ? 0 : 200 + i % 50)});
  }
  const std::pair<std::string, std::string> cases[] = {
      {"RGBA", ""}, {"RGB", ""},       {"LA", ""},
      {"L", ""},    {"P", ""},         {"P", "transparency=3"},
      {"1", ""},    {"RGB", "bits=4"}, {"L", "bits=2"}};
  for (const auto& [mode, options] : cases) {
    const auto file = oracle::EncodeWithOracle(rgba, 13, 7, "RGBA", "PNG", options, mode);
    ASSERT_TRUE(file.has_value()) << mode;
    const auto expected = oracle::DecodeWithOracle(*file, "RGBA");
    ASSERT_TRUE(expected.has_value());
    const TDecodedImage ours = DecodePNG(*file);
    ASSERT_FALSE(ours.Empty()) << mode << ": " << ours.Error;
    // Ours expanded to RGBA for the comparison.
    std::vector<std::uint8_t> expanded;
    for (int i = 0; i < 13 * 7; ++i) {
      const auto* p =
          reinterpret_cast<const std::uint8_t*>(ours.Pixels.data()) + i * ours.Components;
      if (ours.Components == 1)
        expanded.insert(expanded.end(), {p[0], p[0], p[0], 255});
      else if (ours.Components == 3)
        expanded.insert(expanded.end(), {p[0], p[1], p[2], 255});
      else
        expanded.insert(expanded.end(), {p[0], p[1], p[2], p[3]});
    }
    EXPECT_EQ(expanded, expected->Pixels) << mode << " " << options;
  }
}

TEST(PNGDecoder, DamagedInput) {
  EXPECT_FALSE(DecodePNG("").Error.empty());
  EXPECT_TRUE(DecodePNG("\x89PNG\r\n\x1a\n").Empty());
  // Bit depth 3 does not exist.
  EXPECT_TRUE(DecodePNG(BuildPNG(2, 2, 3, 0, 0, TBytes(6, '\0'))).Empty());
  // Data that is not zlib.
  TBytes bad = BuildPNG(2, 2, 8, 0, 0, TBytes(6, '\0'));
  const std::size_t idat = bad.find("IDAT");
  bad[idat + 4] = 'Q';
  bad[idat + 5] = 'Q';
  EXPECT_TRUE(DecodePNG(bad).Empty());
  // Data cut short: the first row is there, the rest stays zero.
  TDecodedImage image =
      DecodePNG(BuildPNG(2, 2, 8, 0, 0, TBytes("\0\x11\x22", 3) + TBytes("\0\x33\x44", 3)));
  EXPECT_EQ(image.Pixels, TBytes("\x11\x22\x33\x44", 4));
  image = DecodePNG(BuildPNG(2, 2, 8, 0, 0, TBytes("\0\x11\x22", 3)));
  ASSERT_FALSE(image.Empty()) << image.Error;
  EXPECT_EQ(image.Pixels, TBytes("\x11\x22\0\0", 4));
  // A header claiming 2^31 - 1 square is refused before allocating.
  image = DecodePNG(BuildPNG(0x7FFFFFFF, 0x7FFFFFFF, 8, 6, 0, "x"));
  EXPECT_TRUE(image.Empty());
  EXPECT_EQ(image.Error, "PNG image too large");
  // Every prefix of a real file is handled.
  const TBytes real = EncodePNG(oracle::MakeTestRaster(20, 10));
  for (std::size_t n = 0; n < real.size(); n += 3) DecodePNG(TByteView(real).substr(0, n));
}

}  // namespace
}  // namespace kestrel
