// EPS pages read back by Ghostscript: what it paints from our PostScript must be the picture
// our own raster renderer paints from the same PDF.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <string>

#include "engine/output/eps/eps_export.h"
#include "interop_support.h"
#include "support/pdf_builder.h"
#include "support/temp_dir.h"

namespace kestrel::interop {
namespace {

using testing::ComparePixels;
using testing::RenderWithKestrel;
using testing::TPixelTolerance;

// Ghostscript's picture of an EPS file at 72 dpi, cropped to its bounding box.
std::optional<TRgbImage> Ghostscript(const testsupport::TempDir& dir, const TBytes& eps,
                                     const std::string& name) {
  const std::string in = dir.Write(name + ".eps", eps);
  const std::string out = dir.Path() + "/" + name + ".png";
  const int rc = RunProgram({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-dEPSCrop",
                             "-sDEVICE=png16m", "-r72", "-dTextAlphaBits=4",
                             "-dGraphicsAlphaBits=4", "-o", out, in});
  if (rc != 0) return std::nullopt;
  return LoadPng(out);
}

std::string OnePage(const std::string& content, const std::string& resources = "<< >>",
                    const std::string& box = "[0 0 200 150]",
                    const std::map<int, std::pair<std::string, std::string>>& streams = {}) {
  testpdf::PdfBuilder b;
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox " + box + " /Resources " + resources +
                  " /Contents 4 0 R >>");
  b.Stream(4, "", content);
  for (const auto& [num, s] : streams) b.Stream(num, s.first, s.second);
  b.TrailerEntries("/Root 1 0 R");
  return b.Build();
}

// Tolerance: Ghostscript anti-aliases with 4 × 4 samples a pixel (16 coverage levels) where
// Cairo computes exact area coverage, so edge pixels differ by up to one sixteenth of the
// contrast plus rounding, and a hairline's half-covered pixels by more; flat areas must agree
// to a couple of levels (both draw the same RGB values). The defaults of ComparePixels (edge
// pixels judged only by the mean and the far-off count, flat pixels within 12 levels, mean
// below 2, under 1 % of pixels off by more than 64) allow exactly that; a missing dash, a wrong
// join, a lost clip or a misplaced form moves whole areas and fails them.
::testing::AssertionResult SameAsRaster(const std::string& pdf, const std::string& name,
                                        const TPixelTolerance& tolerance = {}) {
  testsupport::TempDir dir;
  std::string problem;
  const TBytes eps = ConvertFirstPage(pdf, 4, 72, &problem);
  if (eps.empty()) return ::testing::AssertionFailure() << "no EPS: " << problem;
  if (!problem.empty()) return ::testing::AssertionFailure() << "problem: " << problem;
  const std::optional<TRgbImage> theirs = Ghostscript(dir, eps, name);
  if (!theirs) return ::testing::AssertionFailure() << "Ghostscript failed on:\n" << eps;
  const std::optional<TRgbImage> ours = RenderWithKestrel(pdf, 72);
  if (!ours) return ::testing::AssertionFailure() << "no raster picture";
  const auto result = ComparePixels(*ours, *theirs, tolerance);
  if (result.Passed) return ::testing::AssertionSuccess();
  const char* keep = std::getenv("PLOVER_KEEP_INTEROP");
  const std::string where = keep ? keep : dir.Path();
  if (keep) {
    testing::WritePng(*ours, where + "/" + name + "-ours.png");
    testing::WritePng(*theirs, where + "/" + name + "-gs.png");
    testing::WritePng(result.Diff, where + "/" + name + "-diff.png");
  }
  return ::testing::AssertionFailure() << name << ": " << result.Summary();
}

class EPSInterop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveProgram("gs")) GTEST_SKIP() << "Ghostscript (gs) is not installed";
  }
};

TEST_F(EPSInterop, PathsCurvesAndFillRules) {
  EXPECT_TRUE(SameAsRaster(
      OnePage("0.9 0.2 0.1 rg 10 10 m 90 10 l 50 80 l h f "
              "0 0.5 0 rg 110 10 m 190 70 l 110 70 l 190 10 l h f* "
              "0 0 1 rg 20 100 m 20 140 60 140 60 100 c 60 90 v 80 95 y f "
              "0.5 g 100 90 40 40 re 110 100 20 20 re f "
              "0.2 0.2 0.2 rg 150 90 40 40 re 160 100 20 20 re f*"),
      "paths"));
}

TEST_F(EPSInterop, StrokesDashesCapsAndJoins) {
  EXPECT_TRUE(SameAsRaster(
      OnePage("1 0 0 RG 8 w 0 J 0 j 20 20 m 60 60 l 100 20 l S "
              "1 J 1 j 0 0 1 RG 20 80 m 60 120 l 100 80 l S "
              "2 J 2 j 0 0.6 0 RG 120 20 m 160 60 l 190 20 l S "
              "3 w 0 J [12 6] 0 d 0 G 110 90 m 190 90 l S "
              "[9] 4 d 110 110 m 190 110 l S "
              "[] 0 d 1 w 0.5 0 0.5 RG 110 130 m 190 140 l S "
              "/GS1 gs 0 0 0 RG 20 140 m 90 140 l S",
              "<< /ExtGState << /GS1 << /LW 4 /D [[2 4] 0] >> >> >>"),
      "strokes"));
}

TEST_F(EPSInterop, NestedClipsInsideSavedStates) {
  EXPECT_TRUE(SameAsRaster(
      OnePage("q 20 20 160 110 re W n "
              "q 0 0 100 150 re W n 1 0 0 rg 0 0 200 150 re f Q "
              "0 0 1 rg 100 0 100 150 re f "
              "q 60 40 m 140 40 l 100 120 l h W* n 0 1 0 rg 0 0 200 150 re f Q Q "
              "0 g 0 0 200 10 re f "
              "q 150 130 40 10 re W 1 0 1 RG 4 w S Q"),
      "clips"));
}

TEST_F(EPSInterop, FormsWithMatrices) {
  EXPECT_TRUE(SameAsRaster(
      OnePage("1 0 0 1 10 10 cm /F1 Do 0 0 1 rg 0 0 10 10 re f "
              "q 1 0 0 1 100 20 cm /F1 Do Q 0 0.5 0 rg 150 100 20 20 re f",
              "<< /XObject << /F1 10 0 R >> >>", "[0 0 200 150]",
              {{10, {"/Type /XObject /Subtype /Form /BBox [0 0 40 40] /Matrix [2 0 0 1.5 5 5] "
                     "/Resources << >>",
                     "1 0 0 rg 0 0 30 30 re f 0 0 0 RG 2 w 0 0 m 50 50 l S"}}}),
      "forms"));
}

TEST_F(EPSInterop, ProcessAndCustomColours) {
  const std::string res =
      "<< /ColorSpace << /Gold [/Separation /Gold /DeviceCMYK "
      "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0.1 0.9 0] /N 1 >>] >> >>";
  const std::string pdf = OnePage(
      "0 0 0 1 k 10 10 50 50 re f 1 0 0 0 k 70 10 50 50 re f 0 0 0 0.4 K 6 w 130 30 m 190 30 l S "
      "/Gold cs 1 scn 10 80 50 50 re f 0.5 scn 70 80 50 50 re f",
      res);
  // CMYK reaches RGB differently: Ghostscript through its default ICC profile, we through a
  // fixed polynomial fitted to a press profile. The two agree to within about 20 levels on
  // these colours; every area must still have its colour, in its place.
  TPixelTolerance colour;
  colour.FlatMax = 40;
  colour.MaxMean = 8;
  EXPECT_TRUE(SameAsRaster(pdf, "colours", colour));

  std::string problem;
  const TBytes eps = ConvertFirstPage(pdf, 4, 72, &problem);
  EXPECT_NE(eps.find("\r\n%%DocumentCustomColors: (Gold)\r\n%%CMYKCustomColor: 0 0.1 0.9 0 "
                     "(Gold)\r\n%%EndComments\r\n"),
            std::string::npos);
  EXPECT_NE(eps.find("\r\n0 0.1 0.9 0 (Gold) findcmykcustomcolor 0.5 setcustomcolor\r\n"),
            std::string::npos);
  EXPECT_NE(eps.find("\r\n0 0 0 1 setcmykcolor\r\n"), std::string::npos);
}

TEST_F(EPSInterop, FileStructure) {
  std::string problem;
  const TBytes eps = ConvertFirstPage(OnePage("0 0 1 rg 0 0 10 10 re f", "<< >>", "[0 0 100.5 50]"),
                                      4, 72, &problem);
  EXPECT_EQ(problem, "");
  EXPECT_EQ(eps.rfind("%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 0 0 100 50\r\n"
                      "%%Creator: (Kestrel Library DVer)\r\n"
                      "%%DocumentProcessColors: (Cyan) (Magenta) (Yellow) (Black)\r\n"
                      "%%EndComments\r\n%%KestrelLibrary-Start\r\n/c { curveto } def\r\n",
                      0),
            0u);
  EXPECT_NE(eps.find("\r\n/W* { eoclip } def\r\n%%KestrelLibrary-End\r\n"), std::string::npos);
  ASSERT_GT(eps.size(), 7u);
  EXPECT_EQ(eps.substr(eps.size() - 7), "%%EOF\r\n");
  EXPECT_EQ(std::count(eps.begin(), eps.end(), '\n'), std::count(eps.begin(), eps.end(), '\r'));
  // Ghostscript takes the box as the page: 100 × 50 pixels at 72 dpi.
  testsupport::TempDir dir;
  const auto img = Ghostscript(dir, eps, "box");
  ASSERT_TRUE(img);
  EXPECT_EQ(img->Width, 100);
  EXPECT_EQ(img->Height, 50);
  EXPECT_EQ(img->At(5, 45)[2], 255);
  EXPECT_EQ(img->At(5, 45)[0], 0);
  EXPECT_EQ(img->At(50, 10)[0], 255);
}

TEST_F(EPSInterop, RotatedPagesAsPdftoppmRendersThem) {
  if (!HaveProgram("pdftoppm")) GTEST_SKIP() << "pdftoppm is not installed";
  for (int rotate : {90, 180, 270, -90}) {
    SCOPED_TRACE(rotate);
    // A box away from the origin with a mark in one corner shows any wrong turn or shift.
    const std::string pdf = OnePage("0.9 0.2 0.1 rg 20 30 60 40 re f 0 0 1 rg 150 120 m 200 160 l 150 160 l h f",
                                    "<< >>", "[10 20 210 170] /Rotate " + std::to_string(rotate));
    testsupport::TempDir dir;
    const TBytes eps = ConvertFirstPage(pdf, 4, 72);
    const std::optional<TRgbImage> theirs = Ghostscript(dir, eps, "rotated");
    ASSERT_TRUE(theirs);
    const std::string file = dir.Write("rotated.pdf", pdf);
    ASSERT_EQ(RunProgram({"pdftoppm", "-r", "72", "-png", "-singlefile", file, dir.Path() + "/poppler"}), 0);
    const std::optional<TRgbImage> poppler = LoadPng(dir.Path() + "/poppler.png");
    ASSERT_TRUE(poppler);
    const bool turned = rotate % 180 != 0;
    EXPECT_EQ(theirs->Width, turned ? 150 : 200);
    EXPECT_EQ(theirs->Height, turned ? 200 : 150);
    const auto result = ComparePixels(*poppler, *theirs, TPixelTolerance{});
    EXPECT_TRUE(result.Passed) << result.Summary();
  }
}

TEST_F(EPSInterop, ShadingsAsPictures) {
  // An axial shading painted by sh inside a triangle clip under a cm, and a radial shading
  // pattern filling a circle over a grey square: the radial shading stops short of the
  // circle's edge, so the ring between shows the square (and the page) through the picture's
  // mask.
  const std::string res =
      "<< /Shading << /Ax << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] "
      "/Extend [true true] /Function << /FunctionType 2 /Domain [0 1] /C0 [1 0.9 0] "
      "/C1 [0 0.2 0.8] /N 1 >> >> >> "
      "/Pattern << /R << /PatternType 2 /Matrix [1 0 0 1 150 75] /Shading << /ShadingType 3 "
      "/ColorSpace /DeviceRGB /Coords [-10 5 0 0 0 40] /Function << /FunctionType 2 "
      "/Domain [0 1] /C0 [1 1 1] /C1 [0.8 0 0.2] /N 1 >> >> >> >> >>";
  const std::string pdf = OnePage(
      "q 10 20 m 100 20 l 55 140 l h W n 0.9 0 0 1.2 10 0 cm /Ax sh Q "
      "0.6 g 100 25 50 50 re f "
      "/Pattern cs /R scn 200 75 m 200 102.6 177.6 125 150 125 c 122.4 125 100 102.6 100 75 c "
      "100 47.4 122.4 25 150 25 c 177.6 25 200 47.4 200 75 c f",
      res);
  // Both pictures are painted by the same shading code at the same 72 dpi on pixel-aligned
  // areas, so inside them the colours agree to rounding (FlatMax 12 is ample; a picture
  // misplaced by one pixel shifts the gradient by a few levels only, but the clip's and the
  // mask's edges then land on flat pixels of the other picture and fail FlatMax). Edges differ:
  // Ghostscript anti-aliases the clip paths with 16 levels and masks whole picture pixels,
  // where Cairo covers exact areas. Those pixels count in the mean and the far-off fraction,
  // which the defaults bound; a missing or misplaced shading moves whole areas.
  EXPECT_TRUE(SameAsRaster(pdf, "shadings"));

  std::string problem;
  const TBytes eps = ConvertFirstPage(pdf, 4, 72, &problem);
  EXPECT_EQ(problem, "");
  EXPECT_NE(eps.find("ImageDataDictionaryforKestrelShading1 image"), std::string::npos);
  EXPECT_NE(eps.find("MaskedImageDictionaryforKestrelShading2 image"), std::string::npos);
}

TEST_F(EPSInterop, TransparentPageAsItsPicture) {
  // Opacity, a Multiply group over stripes and a luminosity soft mask: PostScript has none of
  // them, so the page goes down as its raster picture and Ghostscript must show what we render.
  std::string stripes;
  for (int i = 0; i < 10; ++i)
    stripes += (i % 2 ? "1 0 0 rg " : "0 0 1 rg ") + std::to_string(i * 20) + " 0 20 150 re f ";
  const std::string form = "/Type /XObject /Subtype /Form /BBox [0 0 200 150] ";
  const std::string pdf = OnePage(
      stripes + "/M gs /G Do /N gs 0 1 0 rg 10 100 60 40 re f /S gs 0 0 0 rg 120 20 70 110 re f",
      "<< /XObject << /G 10 0 R >> /ExtGState << /M << /BM /Multiply >> "
      "/N << /BM /Normal /ca 0.5 >> /S << /ca 1 /SMask << /S /Luminosity /G 11 0 R >> >> >> >>",
      "[0 0 200 150]",
      {{10, {form + "/Group << /S /Transparency >>", "0.9 0.8 0.2 rg 20 20 80 70 re f"}},
       {11, {form + "/Group << /S /Transparency /CS /DeviceGray >>",
             "1 g 120 20 35 110 re f 0.5 g 155 20 35 110 re f"}}});
  EXPECT_TRUE(SameAsRaster(pdf, "transparency"));
}

// ---- pictures drawn straight into the writer ----

TCanvasBitmap Picture(int w, int h, std::uint32_t (*pixel)(int, int)) {
  TCanvasBitmap b;
  b.Width = w;
  b.Height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.Pixels.push_back(pixel(x, y));
  return b;
}

std::uint32_t Checker(int x, int y) {
  // Four colours by quadrant of a 4 × 2 picture: red, green / blue, yellow, then black.
  static const std::uint32_t colours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};
  return x < 2 ? colours[y * 2] : x < 3 ? colours[y * 2 + 1] : 0xFF000000u;
}

bool Near(const std::uint8_t* p, int r, int g, int b) {
  return std::abs(p[0] - r) <= 2 && std::abs(p[1] - g) <= 2 && std::abs(p[2] - b) <= 2;
}

TEST_F(EPSInterop, ImagesWithAndWithoutMaskDrawnTwice) {
  TPDFEPSExport eps;
  eps.StartDocument(0, 0, 160, 40);
  const TCanvasBitmap img = Picture(4, 2, Checker);
  // Hides the right half of the top row and the left half of the bottom row.
  const TCanvasBitmap mask = Picture(4, 2, [](int x, int y) -> std::uint32_t {
    return (x < 2) == (y == 0) ? 0xFFFFFFFFu : 0xFF000000u;
  });
  for (int i = 0; i < 2; ++i) {
    eps.SaveState();
    eps.AddLine(EPSLine({40, 0, 0, 20, 40.0 * i, 0}, "] cm").insert(0, "[ "));
    eps.DrawImage(img, nullptr, "plain");
    eps.RestoreState();
    eps.SaveState();
    eps.AddLine(EPSLine({40, 0, 0, 20, 80.0 + 40 * i, 20}, "] cm").insert(0, "[ "));
    eps.DrawImage(img, &mask, "masked");
    eps.RestoreState();
  }
  eps.FinishDocument();
  TBytes bytes;
  eps.WriteTo(bytes);
  testsupport::TempDir dir;
  const auto out = Ghostscript(dir, bytes, "images");
  ASSERT_TRUE(out) << bytes;
  ASSERT_EQ(out->Width, 160);
  ASSERT_EQ(out->Height, 40);
  // Every image pixel covers 10 × 10 points; look at their centres. Unmasked copies at the
  // bottom (device rows 20..39), both complete.
  for (int copy = 0; copy < 2; ++copy) {
    const int x0 = copy * 40, y0 = 20;
    EXPECT_TRUE(Near(out->At(x0 + 5, y0 + 5), 255, 0, 0)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 25, y0 + 5), 0, 255, 0)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 5, y0 + 15), 0, 0, 255)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 25, y0 + 15), 255, 255, 0)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 35, y0 + 15), 0, 0, 0)) << copy;
  }
  // Masked copies at the top: shown where the mask is white, page white where it is black.
  for (int copy = 0; copy < 2; ++copy) {
    const int x0 = 80 + copy * 40, y0 = 0;
    EXPECT_TRUE(Near(out->At(x0 + 5, y0 + 5), 255, 0, 0)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 15, y0 + 5), 255, 0, 0)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 25, y0 + 5), 255, 255, 255)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 35, y0 + 5), 255, 255, 255)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 5, y0 + 15), 255, 255, 255)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 25, y0 + 15), 255, 255, 0)) << copy;
    EXPECT_TRUE(Near(out->At(x0 + 35, y0 + 15), 0, 0, 0)) << copy;
  }
}

}  // namespace
}  // namespace kestrel::interop
