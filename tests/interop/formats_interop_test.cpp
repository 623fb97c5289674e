// One generated page written in each raster format, colour mode and background, read back by
// another program (ImageMagick, dwebp, rsvg-convert) and compared with the PNG of the same
// page: gray pages with its gray, mono pages block by block (they are dithered), transparent
// pages composed over white, and their opacity where nothing, something half-transparent and
// something opaque is drawn.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/output/output_format.h"
#include "engine/output/raster/page_picture.h"
#include "interop_support.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel::interop {
namespace {

using testing::ComparePixels;
using testing::TPixelTolerance;

// 200 × 240 points at 72 dpi: opaque red, half-transparent blue over it, a green curve, text
// and a 2 × 2 picture. The top-left corner stays empty.
std::string TestPage() {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 240] /Contents 4 0 R "
              "/Resources << /ExtGState << /H << /ca 0.5 >> >> /XObject << /I 5 0 R >> "
              "/Font << /F 6 0 R >> >> >>");
  b.Stream(4, "",
           "1 0 0 rg 10 10 80 60 re f "
           "q /H gs 0 0 1 rg 50 40 80 60 re f Q "
           "0 0.6 0 RG 4 w 20 120 m 80 180 140 60 190 150 c S "
           "BT /F 28 Tf 20 196 Td (Plover) Tj ET "
           "q 50 0 0 40 140 110 cm /I Do Q");
  b.Stream(5, "/Type /XObject /Subtype /Image /Width 2 /Height 2 /ColorSpace /DeviceRGB "
              "/BitsPerComponent 8",
           std::string("\xFF\xFF\x00\x00\xFF\xFF\xFF\x00\xFF\x20\x20\x20", 12));
  b.Object(6, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

enum class TReader { kImageMagick, kDwebp, kRsvg };

struct TCase {
  const char* Name;
  TOutputFormat Format;
  TOutputOptions Options;
  TReader Reader = TReader::kImageMagick;
  // How far the picture may be from the PNG page; none: not at all.
  std::optional<TPixelTolerance> Tolerance;
  bool Blocks = false;  // compared as 8 × 8 block averages (dithered pages)
};

TOutputOptions Colour(TColourMode mode) {
  TOutputOptions o;
  o.Colour = mode;
  return o;
}

TOutputOptions Transparent() {
  TOutputOptions o;
  o.Transparent = true;
  return o;
}

TOutputOptions Tiff(TColourMode mode, TTIFFCompression compression) {
  TOutputOptions o = Colour(mode);
  o.TIFFCompression = compression;
  return o;
}

// Drawing back the transparency rounds each colour by up to a level or two at soft edges.
constexpr TPixelTolerance kUnblended{16, 3, 0.5, 24, 0.002};
// Dithered pages, as block averages.
constexpr TPixelTolerance kMonoBlocks{255, 40, 10, 96, 0.02};
// Another renderer's anti-aliasing and text; the picture is smoothed by librsvg.
constexpr TPixelTolerance kOtherRenderer{32, 24, 4, 96, 0.04};

std::vector<TCase> Cases() {
  TOutputOptions lossy;
  lossy.WebPQuality = 90;
  return {
      {"ppm", kFormatPPM, {}},
      {"pgm", kFormatPGM, {}},
      {"pbm", kFormatPBM, {}, TReader::kImageMagick, kMonoBlocks, true},
      {"pam-gray", kFormatPAM, Colour(TColourMode::kGray)},
      {"pam-alpha", kFormatPAM, Transparent(), TReader::kImageMagick, kUnblended},
      {"webp", kFormatWebP, {}, TReader::kDwebp},
      {"webp-lossy", kFormatWebP, lossy, TReader::kDwebp, TPixelTolerance{48, 24, 3, 96, 0.03}},
      {"webp-alpha", kFormatWebP, Transparent(), TReader::kDwebp, kUnblended},
      {"png-gray", kFormatPNG, Colour(TColourMode::kGray)},
      {"png-mono", kFormatPNG, Colour(TColourMode::kMono), TReader::kImageMagick, kMonoBlocks, true},
      {"png-alpha", kFormatPNG, Transparent(), TReader::kImageMagick, kUnblended},
      {"tiff-gray-lzw", kFormatTIFF, Tiff(TColourMode::kGray, TTIFFCompression::kLZW)},
      {"tiff-packbits", kFormatTIFF, Tiff(TColourMode::kRGB, TTIFFCompression::kPackBits)},
      {"tiff-g4", kFormatTIFF, Tiff(TColourMode::kRGB, TTIFFCompression::kG4),
       TReader::kImageMagick, kMonoBlocks, true},
      {"tiff-alpha", kFormatTIFF, Transparent(), TReader::kImageMagick, kUnblended},
      {"bmp-gray", kFormatBMP, Colour(TColourMode::kGray)},
      {"bmp-mono", kFormatBMP, Colour(TColourMode::kMono), TReader::kImageMagick, kMonoBlocks, true},
      {"svg", kFormatSVG, {}, TReader::kRsvg, kOtherRenderer},
      {"svg-alpha", kFormatSVG, Transparent(), TReader::kRsvg, kOtherRenderer},
  };
}

// Reads `path` as RGB over white; with `alpha`, the opacity as gray instead.
std::optional<TRgbImage> Read(const std::string& path, TReader reader, bool alpha) {
  testsupport::TempDir dir;
  std::string source = path;
  if (reader == TReader::kDwebp) {
    source = dir.Path() + "/dwebp.png";
    if (RunProgram({"dwebp", path, "-o", source}) != 0) return std::nullopt;
  } else if (reader == TReader::kRsvg) {
    source = dir.Path() + "/rsvg.png";
    if (RunProgram({"rsvg-convert", "-d", "72", "-p", "72", "-o", source, path}) != 0) return std::nullopt;
  }
  if (!alpha) return LoadWithImageMagick(source);
  const std::string out = dir.Path() + "/alpha.png";
  if (RunProgram({"convert", source, "-alpha", "extract", "PNG24:" + out}) != 0) return std::nullopt;
  return LoadPng(out);
}

TRgbImage Gray(const TRgbImage& image) {
  TRgbImage out = image;
  for (std::size_t i = 0; i + 2 < out.Rgb.size(); i += 3)
    out.Rgb[i] = out.Rgb[i + 1] = out.Rgb[i + 2] = GrayOf(image.Rgb[i], image.Rgb[i + 1], image.Rgb[i + 2]);
  return out;
}

TEST(FormatsInterop, EachFormatReadsBackAsThePngPage) {
  for (const char* program : {"convert", "dwebp", "rsvg-convert"})
    if (!HaveProgram(program)) GTEST_SKIP() << program << " is not installed";
  const std::string pdf = TestPage();
  testsupport::TempDir dir;
  const auto png = LoadPng(dir.Write("page.png", ConvertFirstPage(pdf, kFormatPNG, 72)));
  ASSERT_TRUE(png);
  for (const TCase& c : Cases()) {
    SCOPED_TRACE(c.Name);
    const TBytes bytes = ConvertFirstPage(pdf, c.Format, 72, nullptr, c.Options);
    ASSERT_FALSE(bytes.empty());
    const std::string path = dir.Write(std::string(c.Name) + ".file", bytes);
    const auto read = Read(path, c.Reader, false);
    ASSERT_TRUE(read);
    const bool gray = c.Options.Colour != TColourMode::kRGB || c.Format == kFormatPGM ||
                      c.Format == kFormatPBM || c.Options.TIFFCompression == TTIFFCompression::kG4;
    TRgbImage expected = gray ? Gray(*png) : *png;
    TRgbImage got = *read;
    if (c.Blocks) {
      expected = Resample(expected, png->Width / 8, png->Height / 8);
      got = Resample(got, read->Width / 8, read->Height / 8);
    }
    if (c.Tolerance) {
      const auto comparison = ComparePixels(got, expected, *c.Tolerance);
      EXPECT_TRUE(comparison.Passed) << comparison.Summary();
    } else {
      EXPECT_EQ(got.Width, expected.Width);
      EXPECT_EQ(got.Height, expected.Height);
      EXPECT_TRUE(got.Rgb == expected.Rgb);
    }

    if (!c.Options.Transparent) continue;
    const auto alpha = Read(path, c.Reader, true);
    ASSERT_TRUE(alpha);
    EXPECT_EQ(alpha->At(2, 2)[0], 0);           // nothing drawn
    EXPECT_EQ(alpha->At(20, 215)[0], 255);      // opaque red
    EXPECT_NEAR(alpha->At(120, 150)[0], 128, 2);  // half-transparent blue only
  }
}

}  // namespace
}  // namespace kestrel::interop
