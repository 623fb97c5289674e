#include "engine/output/raster/png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/png_decoder.h"
#include "support/png_reader.h"
#include "output/image_oracle.h"
#include "output/test_rasters.h"

namespace kestrel {
namespace {

std::uint32_t BE32(TByteView b, std::size_t at) {
  return std::uint32_t(std::uint8_t(b[at])) << 24 | std::uint32_t(std::uint8_t(b[at + 1])) << 16 |
         std::uint32_t(std::uint8_t(b[at + 2])) << 8 | std::uint32_t(std::uint8_t(b[at + 3]));
}

struct TChunk {
  std::string Type;
  TBytes Data;
  bool CrcOk;
};

// Splits a PNG into its chunks, checking each CRC with zlib.
std::vector<TChunk> Chunks(const TBytes& png) {
  std::vector<TChunk> chunks;
  std::size_t pos = 8;
  while (pos + 12 <= png.size()) {
    const std::uint32_t length = BE32(png, pos);
    TChunk c;
    c.Type = png.substr(pos + 4, 4);
    c.Data = png.substr(pos + 8, length);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + pos + 4), length + 4);
    c.CrcOk = crc == BE32(png, pos + 8 + length);
    chunks.push_back(c);
    pos += 12 + length;
  }
  return chunks;
}

TBytes Inflate(const TBytes& data) {
  TBytes out(1 << 20, '\0');
  uLongf size = out.size();
  if (uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                 reinterpret_cast<const Bytef*>(data.data()), data.size()) != Z_OK) {
    return {};
  }
  out.resize(size);
  return out;
}

TEST(PNGWriter, TwoPixelRedBlueFileLayout) {
  auto image = TRasterImage::Create(2, 1, 96);
  image->SetPixel(0, 0, 0xFF0000);
  image->SetPixel(1, 0, 0x0000FF);
  TPNGWriter writer(*image);
  writer.SetResolution(96);
  writer.SetCompression(6, TPNGFilter::kNone);
  const TBytes png = writer.WriteTo();
  ASSERT_EQ(png.substr(0, 8), TBytes("\x89PNG\r\n\x1a\n", 8));
  const auto chunks = Chunks(png);
  ASSERT_EQ(chunks.size(), 4u);
  for (const auto& c : chunks) EXPECT_TRUE(c.CrcOk) << c.Type;
  EXPECT_EQ(chunks[0].Type, "IHDR");
  EXPECT_EQ(chunks[0].Data, TBytes("\0\0\0\x02\0\0\0\x01\x08\x02\0\0\0", 13));
  EXPECT_EQ(chunks[1].Type, "pHYs");
  EXPECT_EQ(BE32(chunks[1].Data, 0), 3780u);
  EXPECT_EQ(BE32(chunks[1].Data, 4), 3780u);
  EXPECT_EQ(chunks[1].Data[8], 1);
  EXPECT_EQ(chunks[2].Type, "IDAT");
  EXPECT_EQ(Inflate(chunks[2].Data), TBytes("\0\xFF\0\0\0\0\xFF", 7));
  EXPECT_EQ(chunks[3].Type, "IEND");
  EXPECT_TRUE(chunks[3].Data.empty());
}

TEST(PNGWriter, ResolutionField) {
  auto image = TRasterImage::Create(1, 1, 96);
  for (auto [dpi, expected] : {std::pair{300, 11812u}, {96, 3780u}, {0, 1u}, {72, 2835u}}) {
    TPNGWriter writer(*image);
    writer.SetResolution(dpi);
    EXPECT_EQ(BE32(Chunks(writer.WriteTo())[1].Data, 0), expected) << dpi;
  }
  // Page output rounds the resolution half to even: 96.5 -> 96, 97.5 -> 98.
  image->SetDpi(96.5);
  EXPECT_EQ(BE32(Chunks(EncodePNG(*image))[1].Data, 0), 3780u);
  image->SetDpi(97.5);
  EXPECT_EQ(BE32(Chunks(EncodePNG(*image))[1].Data, 0), 98u * 10000 / 254 + 1);
}

TEST(PNGWriter, EveryFilterDecodesExactly) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  const TRasterImage image = oracle::MakeTestRaster(61, 23);
  const auto expected = oracle::RGBBytes(image);
  for (TPNGFilter filter : {TPNGFilter::kNone, TPNGFilter::kSub, TPNGFilter::kUp,
                            TPNGFilter::kAverage, TPNGFilter::kPaeth, TPNGFilter::kAdaptive}) {
    TPNGWriter writer(image);
    writer.SetCompression(filter == TPNGFilter::kNone ? 0 : 2, filter);
    const auto decoded = oracle::DecodeWithOracle(writer.WriteTo(), "RGB");
    ASSERT_TRUE(decoded.has_value()) << int(filter);
    EXPECT_EQ(decoded->Info.at("format"), "PNG");
    EXPECT_EQ(decoded->Info.at("mode"), "RGB");
    EXPECT_EQ(decoded->Pixels, expected) << "filter " << int(filter);
  }
}

TEST(PNGWriter, EveryLevelDecodesExactly) {
  // Checked with our own decoder, which the tests above hold to the independent one.
  const TRasterImage image = oracle::MakeTestRaster(61, 23);
  const auto rgb = oracle::RGBBytes(image);
  const TBytes expected(rgb.begin(), rgb.end());
  std::size_t stored = 0;
  for (int level = -1; level <= 9; ++level) {
    for (TPNGFilter filter : {TPNGFilter::kSub, TPNGFilter::kPaeth, TPNGFilter::kAdaptive}) {
      TPNGWriter writer(image);
      writer.SetCompression(level, filter);
      const TBytes png = writer.WriteTo();
      EXPECT_EQ(DecodePNG(png).Pixels, expected) << level << " " << int(filter);
      if (level == 0) stored = std::max(stored, png.size());
      if (level == 9) {
        EXPECT_LT(png.size(), stored);
      }
    }
  }
}

TEST(PNGWriter, DefaultPageOutputDecodesExactlyWithDpi) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  const TRasterImage image = oracle::MakeTestRaster(200, 150, 144);
  const auto decoded = oracle::DecodeWithOracle(EncodePNG(image), "RGB");
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->Width, 200);
  EXPECT_EQ(decoded->Height, 150);
  EXPECT_EQ(decoded->Pixels, oracle::RGBBytes(image));
  // 144 dpi is stored as 5670 pixels per metre, which reads back as 144.018.
  EXPECT_EQ(decoded->Info.at("dpi").substr(0, 3), "144");
}

TEST(PNGWriter, AlphaMaskScaledByIndex) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  const TRasterImage image = oracle::MakeTestRaster(4, 4);
  const auto rgb = oracle::RGBBytes(image);

  // A 1 x 1 mask gives every pixel its one value.
  const std::uint8_t one[] = {77};
  TPNGWriter single(image);
  single.SetAlphaMask(TPixelView{one, 1, 1, 1, TPixelLayout::kGray8}, false);
  auto decoded = oracle::DecodeWithOracle(single.WriteTo(), "RGBA");
  ASSERT_TRUE(decoded.has_value());
  EXPECT_EQ(decoded->Info.at("mode"), "RGBA");
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(decoded->Pixels[i * 4 + 3], 77);
    EXPECT_EQ(decoded->Pixels[i * 4], rgb[i * 3]);
    EXPECT_EQ(decoded->Pixels[i * 4 + 2], rgb[i * 3 + 2]);
  }

  // A 2 x 2 mask over 4 x 4 pixels: index x * (2 - 1) / (4 - 1), so only the last column and
  // row take the second mask column and row. Blue is the alpha source; inverted here.
  auto mask = TRasterImage::Create(2, 2, 96);
  mask->SetPixel(0, 0, 0x000010);
  mask->SetPixel(1, 0, 0xFFFF20);
  mask->SetPixel(0, 1, 0x000030);
  mask->SetPixel(1, 1, 0x000040);
  TPNGWriter scaled(image);
  scaled.SetAlphaMask(mask->View(), true);
  decoded = oracle::DecodeWithOracle(scaled.WriteTo(), "RGBA");
  ASSERT_TRUE(decoded.has_value());
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      const int mx = x == 3 ? 1 : 0;
      const int my = y == 3 ? 1 : 0;
      const int blue = 0x10 + 0x10 * (my * 2 + mx);
      EXPECT_EQ(decoded->Pixels[(y * 4 + x) * 4 + 3], 255 - blue) << x << "," << y;
    }
  }
}

TEST(PNGWriter, ICCProfileRoundTrip) {
  if (!oracle::OracleAvailable()) GTEST_SKIP() << "python3-pil not installed";
  const TRasterImage image = oracle::MakeTestRaster(5, 5);
  TBytes profile;
  for (int i = 0; i < 600; ++i) profile += static_cast<char>(i * 7);
  TPNGWriter writer(image);
  writer.SetICCProfile(profile);
  const TBytes png = writer.WriteTo();
  const auto chunks = Chunks(png);
  ASSERT_EQ(chunks[2].Type, "iCCP");
  EXPECT_EQ(chunks[2].Data.substr(0, 12), TBytes("KesProfile\0\0", 12));
  const auto decoded = oracle::DecodeWithOracle(png, "RGB");
  ASSERT_TRUE(decoded.has_value());
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : profile) {
    hex += kHex[c >> 4];
    hex += kHex[c & 15];
  }
  EXPECT_EQ(decoded->Info.at("icc"), hex);
  EXPECT_EQ(decoded->Pixels, oracle::RGBBytes(image));
}

TEST(PNGWriter, OwnReaderFindsWhatWasWritten) {
  const TRasterImage image = oracle::MakeTestRaster(40, 30, 300);
  const TBytes png = EncodePNG(image);
  TPNGReader reader;
  reader.Scan(png);
  ASSERT_TRUE(reader.Usable());
  EXPECT_EQ(reader.Width, 40u);
  EXPECT_EQ(reader.Height, 30u);
  EXPECT_EQ(reader.BitDepth, 8);
  EXPECT_EQ(reader.ColorType, 2);
  EXPECT_EQ(reader.DpiX, 300);
  EXPECT_EQ(reader.DpiY, 300);
  // Inflated data: 30 rows of a filter byte and 120 sample bytes.
  EXPECT_EQ(Inflate(reader.ImageData).size(), 30u * 121);
}

TEST(PNGWriter, NothingToWrite) {
  TPNGWriter writer(TPixelView{});
  EXPECT_TRUE(writer.WriteTo().empty());
}

}  // namespace
}  // namespace kestrel
