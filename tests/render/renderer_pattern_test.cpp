// Shadings (sh) and pattern fills as canvas calls.
#include <gtest/gtest.h>

#include "engine/render/shading/shading.h"
#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

using Lines = std::vector<std::string>;

const char* kAxial =
    "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] "
    "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >>";

TEST(RendererShadings, ShFillsTheClipWithABitmap) {
  TRendererFixture f(false);
  f.renderer.TargetWidth = 100;  // as RenderPage sets it
  f.Render("q 10 20 30 40 re W n /S sh Q", std::string("<< /Shading << /S ") + kAxial + " >> >>");
  // The bitmap covers the clip's box (device y from 40 to 80), one pixel a pixel.
  EXPECT_TRUE(f.Has("DrawBitmap 30x40 10 40 40 40 10 80 nearest")) << f.canvas.Text();
}

TEST(RendererShadings, AxialColoursFollowTheAxis) {
  TRendererFixture f;
  TPDFRenderer& r = f.renderer;
  auto shading = TPDFShading::Load(f.pool.ParseObject(kAxial), r);
  ASSERT_NE(shading, nullptr);
  TCanvasBitmap bitmap;
  // Shading space is device space here: pixel centres at x = 0.5 ... 99.5.
  RasterizeShading(*shading, r.ColorSpaces(), TPDFMatrix{}, 0, 0, 100, 1, 1.0, bitmap);
  ASSERT_EQ(bitmap.Pixels.size(), 100u);
  EXPECT_EQ(bitmap.Pixels[0], 0xFFFE0001u);   // almost all red, opaque
  EXPECT_EQ(bitmap.Pixels[99], 0xFF0100FEu);  // almost all blue
  // Without Extend nothing is painted beyond the ends.
  RasterizeShading(*shading, r.ColorSpaces(), TPDFMatrix{1, 0, 0, 1, 50, 0}, 0, 0, 100, 1, 1.0,
                   bitmap);
  EXPECT_EQ(bitmap.Pixels[10], 0u);
  EXPECT_NE(bitmap.Pixels[60], 0u);
}

TEST(RendererShadings, RadialFillsItsCircles) {
  TRendererFixture f;
  auto shading = TPDFShading::Load(
      f.pool.ParseObject("<< /ShadingType 3 /ColorSpace /DeviceGray /Coords [50 50 0 50 50 40] "
                         "/Function << /FunctionType 2 /Domain [0 1] /C0 [0] /C1 [1] >> >>"),
      f.renderer);
  ASSERT_NE(shading, nullptr);
  TCanvasBitmap bitmap;
  RasterizeShading(*shading, f.renderer.ColorSpaces(), TPDFMatrix{}, 0, 0, 100, 100, 0.5, bitmap);
  const auto at = [&](int x, int y) { return bitmap.Pixels[static_cast<std::size_t>(y) * 100 + x]; };
  EXPECT_EQ(at(50, 50) >> 24, 128u);           // half alpha
  EXPECT_LT(at(50, 50) & 0xFF, 10u);           // dark at the centre
  EXPECT_GT(at(85, 50) & 0xFF, 200u);          // light near the rim
  EXPECT_EQ(at(95, 95), 0u);                   // outside the last circle
}

TEST(RendererShadings, UnusableShadingsDrawNothing) {
  TRendererFixture f(false);
  f.Render("/A sh /B sh /C sh /Missing sh",
           "<< /Shading << /A << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 1] >> "
           "/B << /ShadingType 4 /ColorSpace /DeviceRGB >> /C 5 >> >>");
  EXPECT_TRUE(f.Lines().empty());
}

TEST(RendererShadings, FunctionFaultEndsThePage) {
  TRendererFixture f(false);
  f.AddStream(30, "<< /FunctionType 4 /Domain [0 1] /Range [0 1] >>", "{ 0 div }");
  f.Render("/S sh 0 0 m 1 1 l S",
           "<< /Shading << /S << /ShadingType 2 /ColorSpace /DeviceGray /Coords [0 0 10 0] "
           "/Function 30 0 R >> >> >>");
  EXPECT_EQ(f.renderer.ErrorText().rfind("Rendering exception: ", 0), 0u);
  EXPECT_EQ(f.Count("StrokePath"), 0u);
}

TEST(RendererShadings, MeshDataIsReadToItsLastCompleteElement) {
  using namespace std::string_literals;
  TRendererFixture f;
  const std::string dict =
      "<< /ShadingType 4 /ColorSpace /DeviceGray /BitsPerCoordinate 8 /BitsPerComponent 8 "
      "/BitsPerFlag 8 /Decode [0 255 0 255 0 1] >>";
  // A triangle, a flag-2 vertex making a second, a flag-1 vertex before any triangle would be
  // refused, and a truncated vertex at the end.
  TPDFStream* s = f.AddStream(50, dict, "\x00\x00\x00\x00" "\x00\x10\x00\x80" "\x00\x00\x10\xff"
                                        "\x02\x20\x20\x40" "\x00\x05"s);
  auto shading = TPDFShading::Load(s, f.renderer);
  ASSERT_NE(shading, nullptr);
  ASSERT_EQ(shading->Triangles.size(), 2u);
  // Flag 2 keeps the first and third vertices of the previous triangle.
  EXPECT_EQ(shading->Triangles[1].V[0].P, (TPDFPoint{0, 0}));
  EXPECT_EQ(shading->Triangles[1].V[1].P, (TPDFPoint{0, 16}));
  EXPECT_EQ(shading->Triangles[1].V[2].P, (TPDFPoint{32, 32}));
  EXPECT_NEAR(shading->Triangles[1].V[2].V[0], 64 / 255.0, 1e-12);

  // A lattice of 3 x 2 vertices is 4 triangles.
  TPDFStream* lattice = f.AddStream(
      51, "<< /ShadingType 5 /ColorSpace /DeviceGray /BitsPerCoordinate 8 /BitsPerComponent 8 "
          "/VerticesPerRow 3 /Decode [0 255 0 255 0 1] >>",
      "\x00\x00\x00" "\x10\x00\x40" "\x20\x00\x80" "\x00\x10\x20" "\x10\x10\x60" "\x20\x10\xff"s);
  shading = TPDFShading::Load(lattice, f.renderer);
  ASSERT_NE(shading, nullptr);
  EXPECT_EQ(shading->Triangles.size(), 4u);

  // Unusable formats.
  for (const char* bad : {"/BitsPerCoordinate 40 /BitsPerComponent 8 /BitsPerFlag 8",
                          "/BitsPerCoordinate 8 /BitsPerComponent 0 /BitsPerFlag 8",
                          "/BitsPerCoordinate 8 /BitsPerComponent 8 /BitsPerFlag 0"}) {
    TPDFStream* b = f.AddStream(52, std::string("<< /ShadingType 6 /ColorSpace /DeviceGray ") +
                                        bad + " /Decode [0 1 0 1 0 1] >>",
                                "\x00\x00\x00");
    EXPECT_EQ(TPDFShading::Load(b, f.renderer), nullptr) << bad;
  }
  TPDFStream* shortDecode = f.AddStream(
      53, "<< /ShadingType 4 /ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 8 "
          "/BitsPerFlag 8 /Decode [0 1 0 1 0 1] >>", "");
  EXPECT_EQ(TPDFShading::Load(shortDecode, f.renderer), nullptr);
}

TEST(RendererShadings, PatchesFollowTheirSharedEdges) {
  using namespace std::string_literals;
  TRendererFixture f;
  // A square Coons patch over (0,0)-(30,30) and one sharing its top edge (flag 1).
  const std::string first = "\x00" "\x00\x00" "\x00\x0a" "\x00\x14" "\x00\x1e" "\x0a\x1e" "\x14\x1e"
                            "\x1e\x1e" "\x1e\x14" "\x1e\x0a" "\x1e\x00" "\x14\x00" "\x0a\x00"
                            "\x00\x40\x80\xff"s;
  const std::string second = "\x01" "\x0a\x3c" "\x14\x3c" "\x1e\x3c" "\x1e\x32" "\x1e\x28"
                             "\x1e\x1e" "\x14\x1e" "\x0a\x1e" "\x10\x20"s;
  TPDFStream* s = f.AddStream(
      54, "<< /ShadingType 6 /ColorSpace /DeviceGray /BitsPerCoordinate 8 /BitsPerComponent 8 "
          "/BitsPerFlag 8 /Decode [0 255 0 255 0 1] >>",
      first + second);
  auto shading = TPDFShading::Load(s, f.renderer);
  ASSERT_NE(shading, nullptr);
  ASSERT_EQ(shading->Patches.size(), 2u);
  const TMeshPatch& b = shading->Patches[1];
  // The previous top edge (v = 1) is the new left edge, its colours the new left corners.
  EXPECT_EQ(b.P[0][0], (TPDFPoint{0, 30}));
  EXPECT_EQ(b.P[0][3], (TPDFPoint{30, 30}));
  EXPECT_NEAR(b.C[0][0][0], 64 / 255.0, 1e-12);
  EXPECT_NEAR(b.C[0][1][0], 128 / 255.0, 1e-12);
  EXPECT_NEAR(b.C[1][1][0], 16 / 255.0, 1e-12);
  // Coons inner points of a flat square sit at the thirds.
  EXPECT_NEAR(shading->Patches[0].P[1][1].x, 10, 1e-9);
  EXPECT_NEAR(shading->Patches[0].P[2][2].y, 20, 1e-9);
}

TEST(RendererPatterns, ShadingPatternPaintsThroughThePath) {
  TRendererFixture f(false);
  f.renderer.TargetWidth = f.renderer.TargetHeight = 100;
  f.Render("/Pattern cs /P scn 10 10 20 20 re f",
           std::string("<< /Pattern << /P << /PatternType 2 /Shading ") + kAxial + " >> >> >>");
  EXPECT_EQ(f.Lines(), (Lines{"SaveClip -> 1", "BeginPath", "MoveTo 10 90", "LineTo 30 90",
                               "LineTo 30 70", "LineTo 10 70", "ClosePath", "SetClip 1", "EndPath",
                               "DrawBitmap 20x20 10 70 30 70 10 90 nearest", "RestoreClip 1",
                               "EndPath"}));
}

TEST(RendererPatterns, TilingCellsCoverTheArea) {
  TRendererFixture f(false);
  f.renderer.TargetWidth = f.renderer.TargetHeight = 100;
  f.AddStream(40, "<< /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 10 10] /XStep 10 "
                  "/YStep 10 /Resources << >> >>",
              "0 0 m 5 5 l S");
  f.Render("/Pattern cs /P scn 0 0 30 20 re f", "<< /Pattern << /P 40 0 R >> >>");
  // The area 30 x 20 needs 3 x 2 cells; neighbours reaching in at the edges are drawn too.
  const std::size_t strokes = f.Count("StrokePath");
  EXPECT_GE(strokes, 6u);
  EXPECT_LE(strokes, 20u);
  EXPECT_TRUE(f.Has("MoveTo 20 90"));  // the cell at (20, 10)
}

TEST(RendererPatterns, UncolouredTilingTakesTheColourOfScn) {
  TRendererFixture f;
  f.renderer.TargetWidth = f.renderer.TargetHeight = 100;
  f.AddStream(40, "<< /PatternType 1 /PaintType 2 /TilingType 1 /BBox [0 0 50 50] /XStep 50 "
                  "/YStep 50 /Resources << >> >>",
              "1 0 0 rg 0 0 10 10 re f");
  f.Render("/PS cs 0 0 1 /P scn 0 0 50 50 re f",
           "<< /Pattern << /P 40 0 R >> /ColorSpace << /PS [/Pattern /DeviceRGB] >> >>");
  // The cell's own red is ignored: it fills in blue.
  const auto colours = f.Starting("SetFillColor");
  ASSERT_FALSE(colours.empty());
  for (const std::string& c : colours) EXPECT_EQ(c, "SetFillColor 0xFF0000");
}

TEST(RendererPatterns, TooFineATilingIsNotDrawn) {
  TRendererFixture f(false);
  f.renderer.TargetWidth = f.renderer.TargetHeight = 100;
  f.AddStream(40, "<< /PatternType 1 /PaintType 1 /BBox [0 0 0.01 0.01] /XStep 0.01 "
                  "/YStep 0.01 >>",
              "0 0 m 1 1 l S");
  f.AddStream(41, "<< /PatternType 1 /PaintType 1 /BBox [0 0 10 10] /XStep 10 /YStep 10 "
                  "/Resources << /Pattern << /Q 41 0 R >> >> >>",
              "/Pattern cs /Q scn 0 0 10 10 re f");
  f.Render("/Pattern cs /P scn 0 0 100 100 re f /R scn 0 0 100 100 re f",
           "<< /Pattern << /P 40 0 R /R 41 0 R >> >>");
  EXPECT_EQ(f.Count("StrokePath"), 0u);
  // A cell that fills with its own pattern does not recurse.
  EXPECT_LE(f.renderer.FormInvocations, 200u);
}

}  // namespace
}  // namespace kestrel::testing
