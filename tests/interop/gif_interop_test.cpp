// GIF files we write, read back by PIL and ImageMagick: they must see exactly the palette and
// the pixel indices we quantised, in the file layout we meant to write.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/output/gif/gif_writer.h"
#include "engine/output/page_output.h"
#include "fuzz/harness/gif.h"
#include "interop_support.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel::interop {
namespace {

constexpr const char* kPython = "/usr/bin/python3";

// PIL's view of a GIF: mode, size, the palette and the raw index bytes.
constexpr const char* kPilDump = R"(import sys
from PIL import Image
im = Image.open(sys.argv[1])
im.load()
print(im.format, im.mode, im.size[0], im.size[1])
print(bytes(im.getpalette() or []).hex())
print(im.tobytes().hex())
)";

bool HavePil() {
  return HaveProgram(kPython) && RunProgram({kPython, "-c", "import PIL.Image"}) == 0;
}

struct TPilImage {
  std::string Header;
  std::string Palette;
  std::string Indices;
};

std::optional<TPilImage> ReadWithPil(const std::string& path) {
  std::string out;
  if (RunProgram({kPython, "-c", kPilDump, path}, &out) != 0) return std::nullopt;
  std::istringstream lines(out);
  TPilImage r;
  if (!std::getline(lines, r.Header) || !std::getline(lines, r.Palette) ||
      !std::getline(lines, r.Indices)) {
    return std::nullopt;
  }
  return r;
}

std::string Hex(const std::uint8_t* data, std::size_t n) {
  static const char* kDigits = "0123456789abcdef";
  std::string s;
  s.reserve(n * 2);
  for (std::size_t i = 0; i < n; ++i) {
    s.push_back(kDigits[data[i] >> 4]);
    s.push_back(kDigits[data[i] & 15]);
  }
  return s;
}

std::string PaletteHex(const TPDFGIFWriter& writer) {
  std::vector<std::uint8_t> bytes;
  for (const TGIFColor& c : writer.Palette()) bytes.insert(bytes.end(), {c.Red, c.Green, c.Blue});
  return Hex(bytes.data(), bytes.size());
}

// Checks one written file against both readers and against our own parse of its layout.
void CheckFile(const TPDFGIFWriter& writer, const std::string& name) {
  SCOPED_TRACE(name);
  const TBytes file = writer.WriteTo();
  ASSERT_FALSE(file.empty());
  const fuzzharness::TParsedGIF gif = fuzzharness::ParseGIF(file);
  ASSERT_TRUE(gif.Ok) << gif.Error;
  EXPECT_EQ(file.substr(0, 6), "GIF87a");
  EXPECT_EQ(gif.ScreenWidth, writer.Width());
  EXPECT_EQ(gif.ScreenHeight, writer.Height());
  EXPECT_EQ(gif.ScreenFlags, 0x70);
  EXPECT_EQ(gif.Background, 0);
  EXPECT_EQ(gif.Aspect, 0);
  EXPECT_EQ(static_cast<std::uint8_t>(file[13]), 0x2C);
  EXPECT_EQ(gif.Left, 0);
  EXPECT_EQ(gif.Top, 0);
  EXPECT_EQ(gif.Width, writer.Width());
  EXPECT_EQ(gif.Height, writer.Height());
  EXPECT_EQ(gif.ImageFlags, 0x87);
  EXPECT_EQ(static_cast<std::uint8_t>(file[23 + 768]), 8);  // minimum code size
  for (std::size_t i = 0; i + 1 < gif.SubBlockSizes.size(); ++i) {
    ASSERT_EQ(gif.SubBlockSizes[i], 255) << i;
  }
  EXPECT_EQ(file.back(), '\x3B');
  EXPECT_EQ(file[file.size() - 2], '\0');  // block terminator before the trailer
  EXPECT_EQ(gif.Decoded.Indices, writer.Indices());

  testsupport::TempDir dir;
  const std::string path = dir.Write(name + ".gif", file);
  bool checked = false;
  if (HavePil()) {
    const std::optional<TPilImage> pil = ReadWithPil(path);
    ASSERT_TRUE(pil) << "PIL could not read the file";
    EXPECT_EQ(pil->Header, "GIF P " + std::to_string(writer.Width()) + " " +
                               std::to_string(writer.Height()));
    EXPECT_EQ(pil->Palette, PaletteHex(writer));
    // Compared as one string: gtest would print megabytes for a mismatch, so report the first
    // differing pixel instead.
    const std::string ours = Hex(writer.Indices().data(), writer.Indices().size());
    if (pil->Indices != ours) {
      std::size_t i = 0;
      while (i < ours.size() && i < pil->Indices.size() && ours[i] == pil->Indices[i]) ++i;
      ADD_FAILURE() << "PIL indices differ from pixel " << i / 2 << " of " << ours.size() / 2
                    << " (PIL gave " << pil->Indices.size() / 2 << ")";
    }
    checked = true;
  }
  if (HaveProgram("convert")) {
    const std::optional<TRgbImage> magick = LoadWithImageMagick(path);
    ASSERT_TRUE(magick) << "ImageMagick could not read the file";
    ASSERT_EQ(magick->Width, writer.Width());
    ASSERT_EQ(magick->Height, writer.Height());
    std::size_t wrong = 0, first = 0;
    for (std::size_t i = 0; i < writer.Indices().size(); ++i) {
      const TGIFColor& c = writer.Palette()[writer.Indices()[i]];
      const std::uint8_t* p = magick->Rgb.data() + i * 3;
      if (p[0] != c.Red || p[1] != c.Green || p[2] != c.Blue) {
        if (wrong++ == 0) first = i;
      }
    }
    EXPECT_EQ(wrong, 0u) << "first at pixel " << first;
    checked = true;
  }
  if (!checked) GTEST_SKIP() << "neither PIL nor ImageMagick is installed";
}

TPDFGIFWriter WriterFor(const TRasterImage& image) {
  TPDFGIFWriter writer;
  writer.SetFrom(image);
  return writer;
}

TEST(GIFInterop, SingleColour) {
  const TPDFGIFWriter writer = WriterFor(*TRasterImage::Create(37, 23, 96, 0x3366CC));
  ASSERT_EQ(writer.ColorCount(), 1);
  CheckFile(writer, "single");
}

TEST(GIFInterop, OnePixel) {
  const TPDFGIFWriter writer = WriterFor(*TRasterImage::Create(1, 1, 96, 0xFEDCBA));
  EXPECT_EQ(writer.WriteTo().size(), 799u);
  CheckFile(writer, "one");
}

TEST(GIFInterop, GradientsWithMoreThan256Colours) {
  TRasterImage image = *TRasterImage::Create(300, 256, 96);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 300; ++x) {
      const std::uint32_t r = std::uint32_t(x * 255 / 299), g = std::uint32_t(y);
      const std::uint32_t b = std::uint32_t((x * 3 + y) % 256);
      image.SetPixel(x, y, (r << 16) | (g << 8) | b);
    }
  }
  const TPDFGIFWriter writer = WriterFor(image);
  EXPECT_GT(writer.ColorCount(), 128);
  CheckFile(writer, "gradient");
}

TEST(GIFInterop, WidePictureForcesClearCodes) {
  // Noise over a few hundred colours: almost every pixel starts a new string, so the
  // dictionary fills and is cleared many times.
  TRasterImage image = *TRasterImage::Create(3000, 120, 96);
  std::uint32_t seed = 0xC0FFEE;
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 3000; ++x) {
      seed ^= seed << 13;
      seed ^= seed >> 17;
      seed ^= seed << 5;
      image.SetPixel(x, y, (x < 1500 ? seed & 0xE0E0C0 : seed & 0xFFFFFF));
    }
  }
  const TPDFGIFWriter writer = WriterFor(image);
  const fuzzharness::TParsedGIF gif = fuzzharness::ParseGIF(writer.WriteTo());
  ASSERT_TRUE(gif.Ok);
  EXPECT_GE(gif.Decoded.ClearCodes, 20);
  CheckFile(writer, "wide");
}

TEST(GIFInterop, RenderedPage) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3,
           "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 120] /Contents 4 0 R "
           "/Resources << /Font << /F1 5 0 R >> >> >>");
  b.Stream(4, "",
           "1 0 0 rg 10 10 60 40 re f 0 0.5 0 rg 80 10 60 40 re f "
           "0.2 0.3 0.9 RG 4 w 20 100 m 100 60 150 110 180 70 c S "
           "BT /F1 18 Tf 0.1 0.1 0.1 rg 20 70 Td (Plover GIF) Tj ET");
  b.Object(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  b.TrailerEntries("/Root 1 0 R");
  const std::string pdf = b.Build();
  std::string problem;
  const TBytes file = ConvertFirstPage(pdf, kFormatGIF, 144, &problem);
  ASSERT_FALSE(file.empty()) << problem;
  const fuzzharness::TParsedGIF gif = fuzzharness::ParseGIF(file);
  ASSERT_TRUE(gif.Ok) << gif.Error;
  EXPECT_EQ(gif.Width, 400);
  EXPECT_EQ(gif.Height, 240);
  // The page written through the conversion is the quantised render of the same page.
  const std::optional<TRgbImage> render = testing::RenderWithKestrel(pdf, 144);
  ASSERT_TRUE(render);
  ASSERT_EQ(render->Width, 400);
  TRasterImage image = *TRasterImage::Create(render->Width, render->Height, 144);
  for (int y = 0; y < render->Height; ++y) {
    for (int x = 0; x < render->Width; ++x) {
      const std::uint8_t* p = render->At(x, y);
      image.SetPixel(x, y, (std::uint32_t(p[0]) << 16) | (p[1] << 8) | p[2]);
    }
  }
  const TPDFGIFWriter writer = WriterFor(image);
  EXPECT_EQ(writer.WriteTo(), file);
  // Paper and box centres keep their colours closely; the boxes are red and dark green.
  for (const auto& [x, y] : {std::pair{2, 2}, std::pair{80, 180}, std::pair{220, 180}}) {
    const TGIFColor& c = writer.Palette()[writer.Indices()[y * 400 + x]];
    const std::uint8_t* p = render->At(x, y);
    EXPECT_NEAR(c.Red, p[0], 8) << x << "," << y;
    EXPECT_NEAR(c.Green, p[1], 8) << x << "," << y;
    EXPECT_NEAR(c.Blue, p[2], 8) << x << "," << y;
  }
  EXPECT_GT(render->At(80, 180)[0], 200);
  EXPECT_LT(render->At(80, 180)[1], 50);
  EXPECT_GT(render->At(220, 180)[1], 100);
  EXPECT_LT(render->At(220, 180)[0], 50);
  CheckFile(writer, "page");
}

}  // namespace
}  // namespace kestrel::interop
