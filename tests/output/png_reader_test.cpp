#include "support/png_reader.h"

#include <gtest/gtest.h>

#include "engine/output/raster/png_writer.h"

namespace kestrel {
namespace {

TBytes BE32(std::uint32_t v) { return TBytes{char(v >> 24), char(v >> 16), char(v >> 8), char(v)}; }

TBytes Chunk(const std::string& type, const TBytes& data) {
  const TBytes body = type + data;
  return BE32(std::uint32_t(data.size())) + body + BE32(PNGChunkCRC(body));
}

const TBytes kSignature("\x89PNG\r\n\x1a\n", 8);

TBytes Header(std::uint32_t w, std::uint32_t h, int depth, int colorType) {
  return Chunk("IHDR", BE32(w) + BE32(h) + char(depth) + char(colorType) + TBytes(3, '\0'));
}

TEST(PNGReader, PaletteTransparencyAndDataOffsets) {
  const TBytes palette("\x00\x00\x00\xFF\xFF\xFF", 6);
  const TBytes png = kSignature + Header(8, 2, 1, 3) + Chunk("PLTE", palette) +
                     Chunk("tRNS", TBytes("\xFF\x00", 2)) + Chunk("IDAT", "abc") +
                     Chunk("IDAT", "de") + Chunk("IEND", "");
  TPNGReader reader;
  reader.Scan(png);
  EXPECT_TRUE(reader.Usable());
  EXPECT_EQ(reader.Width, 8u);
  EXPECT_EQ(reader.Height, 2u);
  EXPECT_EQ(reader.BitDepth, 1);
  EXPECT_EQ(reader.ColorType, 3);
  EXPECT_EQ(reader.Palette, palette);
  EXPECT_EQ(reader.PaletteCount, 2u);
  ASSERT_NE(reader.PaletteOffset, TPNGReader::kNoOffset);
  EXPECT_EQ(png.substr(reader.PaletteOffset, 6), palette);
  ASSERT_NE(reader.TransparencyOffset, TPNGReader::kNoOffset);
  EXPECT_EQ(png.substr(reader.TransparencyOffset, 8), BE32(2) + "tRNS");
  EXPECT_EQ(reader.Transparency, TBytes("\xFF\x00", 2));
  ASSERT_NE(reader.FirstIDATOffset, TPNGReader::kNoOffset);
  EXPECT_EQ(png.substr(reader.FirstIDATOffset, 8), BE32(3) + "IDAT");
  EXPECT_EQ(reader.ImageData, "abcde");
  EXPECT_EQ(reader.DpiX, 96);
  EXPECT_EQ(reader.DpiY, 96);

  TPNGReader scanOnly;
  scanOnly.Scan(png, true);
  EXPECT_TRUE(scanOnly.Usable());
  EXPECT_TRUE(scanOnly.ImageData.empty());
  EXPECT_EQ(scanOnly.FirstIDATOffset, reader.FirstIDATOffset);
}

TEST(PNGReader, PhysicalResolution) {
  auto dpiOf = [](std::uint32_t x, std::uint32_t y, int unit) {
    TPNGReader reader;
    reader.Scan(kSignature + Header(1, 1, 8, 0) + Chunk("pHYs", BE32(x) + BE32(y) + char(unit)) +
                Chunk("IDAT", "x") + Chunk("IEND", ""));
    return std::pair{reader.DpiX, reader.DpiY};
  };
  EXPECT_EQ(dpiOf(2835, 2835, 1), (std::pair{72, 72}));
  EXPECT_EQ(dpiOf(3780, 11812, 1), (std::pair{96, 300}));
  EXPECT_EQ(dpiOf(0, 2835, 1), (std::pair{96, 96}));
  EXPECT_EQ(dpiOf(2, 4, 0), (std::pair{96, 192}));  // aspect ratio only
  EXPECT_EQ(dpiOf(1, 0xFFFFFFFF, 0).first, 96);     // no overflow on extreme ratios
}

TEST(PNGReader, StopsAtIENDAndRejectsBadStarts) {
  TPNGReader reader;
  reader.Scan(kSignature + Header(3, 3, 8, 2) + Chunk("IDAT", "one") + Chunk("IEND", "") +
              Chunk("IDAT", "two"));
  EXPECT_EQ(reader.ImageData, "one");

  reader.Scan(TBytes("\x89PNX\r\n\x1a\n", 8) + Header(3, 3, 8, 2) + Chunk("IDAT", "one"));
  EXPECT_EQ(reader.Width, 0u);
  EXPECT_FALSE(reader.Usable());

  // The first chunk must be IHDR.
  reader.Scan(kSignature + Chunk("IDAT", "one") + Header(3, 3, 8, 2));
  EXPECT_EQ(reader.Width, 0u);
  EXPECT_TRUE(reader.ImageData.empty());

  // Bad methods make the image unusable.
  TBytes header = BE32(3) + BE32(3) + char(8) + char(2) + char(1) + char(0) + char(0);
  reader.Scan(kSignature + Chunk("IHDR", header) + Chunk("IDAT", "z"));
  EXPECT_EQ(reader.Width, 3u);
  EXPECT_FALSE(reader.Usable());

  // No image data.
  reader.Scan(kSignature + Header(3, 3, 8, 2) + Chunk("IEND", ""));
  EXPECT_FALSE(reader.Usable());
}

TEST(PNGReader, TruncatedAndOversizedChunks) {
  const TBytes full =
      kSignature + Header(4, 4, 8, 2) + Chunk("IDAT", "0123456789") + Chunk("IEND", "");
  // Every prefix is scanned without reading past its end.
  for (std::size_t n = 0; n <= full.size(); ++n) {
    TPNGReader reader;
    reader.Scan(TByteView(full).substr(0, n));
    EXPECT_LE(reader.ImageData.size(), 10u);
  }
  // A chunk claiming more data than the file holds ends the scan.
  TPNGReader reader;
  reader.Scan(kSignature + Header(4, 4, 8, 2) + BE32(0x7FFFFFFF) + "IDATxyz");
  EXPECT_EQ(reader.Width, 4u);
  EXPECT_TRUE(reader.ImageData.empty());
  // So does a short IHDR.
  reader.Scan(kSignature + Chunk("IHDR", "short") + Chunk("IDAT", "x"));
  EXPECT_EQ(reader.Width, 0u);
  EXPECT_FALSE(reader.Usable());
}

}  // namespace
}  // namespace kestrel
