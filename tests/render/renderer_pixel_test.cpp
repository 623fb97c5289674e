// Pages the tests write themselves, rendered by Kestrel and by poppler's pdftoppm and compared
// pixel by pixel (tolerance explained in pixel_compare.h), at 72 and 150 dpi.
#include <gtest/gtest.h>

#include <string>

#include "pixel_compare.h"

namespace kestrel::testing {
namespace {

class RendererPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  }
  void Check(const std::string& pdf, const std::string& name, const TPixelTolerance& tol = {}) {
    for (double dpi : {72.0, 150.0}) EXPECT_TRUE(MatchesPdftoppm(pdf, dpi, name, tol));
  }
};

TEST_F(RendererPixels, LinesRectanglesAndCurves) {
  Check(Page("1 0 0 rg 20 20 60 40 re f\n"
             "0 0 1 RG 3 w 10 190 m 190 110 l S\n"
             "0 0.5 0 rg 0 0 0 RG 1 w 100 20 m 180 20 l 140 90 l h B\n"
             "0.2 0.2 0.8 RG 4 w 20 100 m 40 180 80 180 100 100 c S\n"
             "0.8 0.4 0 RG 2 w 110 100 m 130 170 190 170 v S\n"
             "0.5 0 0.5 RG 120 130 m 150 100 180 180 y S\n"
             "0.9 0.9 0 rg 0 0 0 RG 30 70 m 60 90 l 50 60 l s\n"
             "0 g 150 40 m 190 40 l 190 60 l f\n"),
        "paths");
}

TEST_F(RendererPixels, FillRules) {
  // A five-pointed star: its centre is filled under nonzero and empty under even-odd; two
  // rectangles drawn in opposite directions leave a hole under nonzero too.
  const std::string star = "50 190 m 79 100 l 3 156 l 97 156 l 21 100 l h ";
  Check(Page("1 0 0 rg " + star + "f\n"
             "0 0 1 rg q 1 0 0 1 100 0 cm " + star + "f* Q\n"
             "0 0.6 0 rg 10 10 80 70 re 70 20 m 30 20 l 30 60 l 70 60 l h f\n"
             "0.6 0 0.6 rg 110 10 80 70 re 130 20 40 40 re f*\n"
             "0 0 0 RG 2 w 0.8 0.8 1 rg 110 85 m 190 85 l 150 95 l h b*\n"),
        "fill-rules");
}

TEST_F(RendererPixels, DashPatterns) {
  Check(Page("2 w 0 0 0 RG [6 3] 0 d 10 190 m 190 190 l S\n"
             "[6 3] 4 d 10 175 m 190 175 l S\n"
             "[5] 0 d 10 160 m 190 160 l S\n"
             "[2 3 8] 0 d 10 145 m 190 145 l S\n"
             "6 w 1 J [0 12] 0 d 0 0 1 RG 10 125 m 185 125 l S\n"
             "3 w 0 J [10 5] 0 d 1 0 0 RG 20 20 m 100 100 l 180 20 l S\n"
             "[] 0 d 0 g 2 w 0 0.6 0 RG 30 40 140 40 re S\n"
             "[8 4] 2 d 1 w 100 60 m 120 90 150 30 180 70 c S\n"),
        "dashes");
}

TEST_F(RendererPixels, CapsJoinsAndMiterLimit) {
  std::string content = "12 w 0.2 0.2 0.7 RG\n";
  for (int cap = 0; cap < 3; ++cap) {
    const int y = 180 - cap * 25;
    content += std::to_string(cap) + " J 30 " + std::to_string(y) + " m 90 " + std::to_string(y) + " l S\n";
  }
  for (int join = 0; join < 3; ++join) {
    const int x = 20 + join * 60;
    content += "0 J " + std::to_string(join) + " j " + std::to_string(x) + " 20 m " +
               std::to_string(x + 20) + " 90 l " + std::to_string(x + 40) + " 20 l S\n";
  }
  content += "0.8 0.1 0.1 RG 6 w 0 j 1.5 M 120 110 m 150 180 l 180 110 l S\n";
  content += "10 M 120 110 m 180 120 l 120 130 l S\n";
  Check(Page(content), "caps-joins");
}

TEST_F(RendererPixels, ClippingNestedInSaveRestore) {
  Check(Page("q 20 20 160 160 re W n\n"
             "  0.9 0.9 0.2 rg 0 0 200 200 re f\n"
             "  q 100 100 m 180 100 l 100 180 l h W* n\n"
             "    1 0 0 rg 0 0 200 200 re f\n"
             "  Q\n"
             "  0 0 1 rg 0 0 60 60 re f\n"
             "Q\n"
             "0 0.5 0 rg 150 0 50 50 re f\n"
             "q 0 0 100 200 re W n 50 100 m 150 60 l 150 140 l h W n 0.5 g 0 0 200 200 re f Q\n"),
        "clipping");
}

TEST_F(RendererPixels, RotatedPages) {
  // An asymmetric drawing shows any wrong turn.
  const std::string content =
      "1 0 0 rg 10 10 60 30 re f 0 0 1 rg 150 150 m 190 190 l 190 150 l h f "
      "0 0.6 0 RG 4 w 10 190 m 100 100 l S";
  for (int rotate : {0, 90, 180, 270, -90, 450}) {
    Check(Page(content, "/MediaBox [0 0 200 150] /Rotate " + std::to_string(rotate)),
          "rotate" + std::to_string(rotate));
  }
}

TEST_F(RendererPixels, OddPageBoxes) {
  const std::string content =
      "1 0 0 rg 110 210 40 40 re f 0 0 1 rg 200 300 m 250 360 l 150 360 l h f "
      "0 g 2 w 100 200 m 300 400 l S";
  Check(Page(content, "/MediaBox [100 200 300 400]"), "media-offset");
  Check(Page(content, "/MediaBox [0 0 400 500] /CropBox [120 220 280 380]"), "crop-offset");
  Check(Page(content, "/MediaBox [300 400 100 200]"), "media-reversed");
  Check(Page(content, "/MediaBox [0 0 400 500] /CropBox [120 220 280 380] /Rotate 90"),
        "crop-rotated");
  Check(Page("0 0 1 rg -50 -40 40 30 re f 1 0 0 RG -60 -50 m 40 40 l S",
             "/MediaBox [-60 -50 40 40]"),
        "negative-origin");
}

TEST_F(RendererPixels, TransformsAndLineWidths) {
  Check(Page("q 1 0 0 1 100 100 cm 0.866 0.5 -0.5 0.866 0 0 cm 1 0 0 rg -40 -20 80 40 re f Q\n"
             "q 2 0 0 2 10 10 cm 0 0 1 RG 1 w 0 0 m 40 20 l S Q\n"
             "0 w 0 g 10 150 m 190 150 l S\n"
             "0.3 w 10 140 m 190 140 l S\n"
             "q 0.5 0 0 0.5 0 0 cm 8 w 0 0.5 0 RG 20 240 m 380 240 l S Q\n"),
        "transforms");
}

TEST_F(RendererPixels, DeviceAndCmykColours) {
  std::string content;
  const char* fills[] = {"0 0 0 1 k", "1 0 0 0 k", "0 1 0 0 k", "0 0 1 0 k", "0.3 0.5 0.2 0.1 k",
                         "0.25 g",    "0.8 g",     "0.2 0.7 0.4 rg", "1 1 0 0 k"};
  for (int i = 0; i < 9; ++i) {
    const int x = 10 + (i % 3) * 62, y = 10 + (i / 3) * 62;
    content += std::string(fills[i]) + " " + std::to_string(x) + " " + std::to_string(y) +
               " 56 56 re f\n";
  }
  Check(Page(content), "device-colours");
}

TEST_F(RendererPixels, SpecialColourSpaces) {
  const std::string resources =
      "<< /ColorSpace << /Sep1 [/Separation /Spot /DeviceCMYK 10 0 R] "
      "/Sep2 [/Separation /Red /DeviceRGB 11 0 R] "
      "/DN [/DeviceN [/Cyan /Magenta] /DeviceCMYK 12 0 R] "
      "/Pal [/Indexed /DeviceRGB 2 <FF0000 00FF00 2040C0>] "
      "/LabSp [/Lab << /WhitePoint [0.9505 1 1.089] /Range [-100 100 -100 100] >>] "
      "/LabD50 [/Lab << /WhitePoint [0.9642 1 0.8249] /Range [-128 127 -128 127] >>] "
      "/Icc [/ICCBased 13 0 R] "
      // Calibrated spaces as producers write them: close to sRGB.
      "/CalR [/CalRGB << /WhitePoint [0.9505 1 1.089] /Gamma [2.2 2.2 2.2] "
      "/Matrix [0.4124 0.2126 0.0193 0.3576 0.7152 0.1192 0.1805 0.0722 0.9505] >>] "
      "/CalG [/CalGray << /WhitePoint [0.9505 1 1.089] /Gamma 2.2 >>] >> >>";
  const std::map<int, std::string> objects = {
      {10, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0.3 1 0] /N 1 >>"},
      {12, "<< /FunctionType 2 /Domain [0 1 0 1] /Range [0 1 0 1 0 1 0 1] /C0 [0 0 0 0] /C1 [1 1 0 0] /N 1 >>"}};
  // DeviceN needs two inputs: a calculator function maps (c, m) to CMYK (c, m, 0, 0).
  const std::map<int, std::pair<std::string, std::string>> streams = {
      {11, {"/FunctionType 4 /Domain [0 1] /Range [0 1 0 1 0 1]", "{ dup 0.5 mul exch 0 }"}},
      {12, {"/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1 0 1]", "{ 0 0 }"}},
      {13, {"/N 3 /Alternate /DeviceRGB", "not a real profile"}}};
  const std::string content =
      "/Sep1 cs 1 sc 10 10 56 56 re f 0.4 scn 72 10 56 56 re f\n"
      "/Sep2 cs 0.8 sc 134 10 56 56 re f\n"
      "/DN cs 0.7 0.2 scn 10 72 56 56 re f\n"
      "/Pal cs 0 sc 72 72 28 56 re f 2 sc 100 72 28 56 re f 1 sc 134 72 56 56 re f\n"
      "/LabSp cs 60 40 -30 sc 10 134 28 56 re f /LabD50 cs 80 -50 60 sc 38 134 28 56 re f\n"
      "/Icc cs 0.1 0.6 0.9 sc 72 134 56 56 re f\n"
      "/CalR cs 0.9 0.5 0.1 sc 134 134 28 56 re f /CalG cs 0.4 sc 162 134 28 56 re f\n";
  Check(Page(content, "/MediaBox [0 0 200 200]", resources, objects, streams), "special-colours");
}

TEST_F(RendererPixels, Alpha) {
  const std::string resources =
      "<< /ExtGState << /Half << /Type /ExtGState /ca 0.5 /CA 0.5 >> "
      "/Light << /ca 0.25 >> /Thick << /LW 8 /LC 1 /LJ 1 >> >> >>";
  Check(Page("1 0 0 rg 20 20 100 100 re f\n"
             "/Half gs 0 0 1 rg 60 60 100 100 re f\n"
             "0 0.6 0 RG /Thick gs 20 180 m 180 20 l S\n"
             "/Light gs 0 g 100 10 90 60 re f\n",
             "/MediaBox [0 0 200 200]", resources),
        "alpha");
}

TEST_F(RendererPixels, FormXObjects) {
  const std::string resources = "<< /XObject << /Fm1 10 0 R /Fm2 11 0 R >> >>";
  const std::map<int, std::pair<std::string, std::string>> streams = {
      {10, {"/Type /XObject /Subtype /Form /BBox [0 0 50 50] /Matrix [2 0 0 2 10 10]",
            "1 0 0 rg 0 0 50 50 re f 0 0 1 rg 25 25 50 50 re f"}},
      {11, {"/Subtype /Form /BBox [-10 -10 30 30] /Resources << /XObject << /In 10 0 R >> >>",
            "0 0.6 0 rg -10 -10 40 40 re f 0.5 0 0 0.5 0 0 cm /In Do"}}};
  Check(Page("/Fm1 Do 0.5 g 120 120 60 60 re f q 1 0 0 1 140 20 cm /Fm2 Do Q",
             "/MediaBox [0 0 200 200]", resources, {}, streams),
        "forms");
}

TEST_F(RendererPixels, Shadings) {
  const std::string resources =
      "<< /Shading << /Ax << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [20 0 80 0] "
      "/Function 10 0 R /Extend [true true] >> "
      "/AxNoExt << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 40 40] /Function 10 0 R >> "
      "/Rad << /ShadingType 3 /ColorSpace /DeviceRGB /Coords [30 30 0 30 30 25] /Function 10 0 R "
      "/Extend [false true] >> "
      "/Fn << /ShadingType 1 /ColorSpace /DeviceRGB /Domain [0 1 0 1] /Matrix [60 0 0 60 0 0] "
      "/Function 11 0 R >> >> "
      "/Pattern << /P << /PatternType 2 /Matrix [1 0 0 1 100 100] /Shading << /ShadingType 3 "
      "/ColorSpace /DeviceCMYK /Coords [40 40 5 50 50 45] /Function 12 0 R >> >> >> >>";
  const std::map<int, std::string> objects = {
      {10, "<< /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >>"},
      {12, "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 1 0] /C1 [1 0 0 0.2] /N 1.5 >>"}};
  const std::map<int, std::pair<std::string, std::string>> streams = {
      {11, {"/FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1]", "{ 2 copy mul 3 1 roll }"}}};
  Check(Page("q 10 110 80 80 re W n /Ax sh Q\n"
             "q 110 110 80 80 re W n 1 0 0 1 110 110 cm /AxNoExt sh Q\n"
             "q 10 10 80 80 re W n 1 0 0 1 10 10 cm /Rad sh Q\n"
             "/Pattern cs /P scn 100 100 m 190 100 l 150 190 l h f\n"
             "q 1 0 0 1 120 20 cm 0 0 60 60 re W n /Fn sh Q\n",
             "/MediaBox [0 0 200 200]", resources, objects, streams),
        "shadings");
}

TEST_F(RendererPixels, MeshShadings) {
  using namespace std::string_literals;
  // Free-form triangles: flag, x, y (0..255 over 0..200) and r, g, b; the fourth vertex
  // (flag 1) makes a second triangle with the last two.
  const std::string triangles =
      "\x00\x10\x10\xff\x00\x00" "\x00\x70\x10\x00\xff\x00" "\x00\x40\x70\x00\x00\xff"
      "\x01\x90\x60\xff\xff\x00"s;
  // One Coons patch with its 12 boundary points and 4 values of t for a function, then a
  // second patch sharing the first one's right edge (flag 2).
  const std::string patches =
      "\x00" "\x90\x90" "\x90\xa8" "\x88\xc0" "\x90\xf0" "\xa8\xf8" "\xc0\xe8" "\xf0\xf0"
      "\xe8\xc0" "\xf0\xa8" "\xf0\x90" "\xc0\x98" "\xa8\x88" "\x00\x55\xff\xaa"
      "\x02" "\xf8\x70" "\xf8\x50" "\xf8\x30" "\xf8\x10" "\xd0\x10" "\xa0\x10" "\x90\x20"
      "\x98\x50" "\x30\x80"s;
  const std::map<int, std::pair<std::string, std::string>> streams = {
      {10, {"/ShadingType 4 /ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 8 "
            "/BitsPerFlag 8 /Decode [0 200 0 200 0 1 0 1 0 1]", triangles}},
      {11, {"/ShadingType 6 /ColorSpace /DeviceRGB /BitsPerCoordinate 8 /BitsPerComponent 8 "
            "/BitsPerFlag 8 /Decode [0 200 0 200 0 1] "
            "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 1 0] /C1 [0 0.5 1] /N 1 >>", patches}}};
  // Mesh outlines are painted without anti-aliasing (poppler smooths them): the outline
  // pixels of these large shapes on a small page allow a little more edge difference.
  TPixelTolerance outlines;
  outlines.MaxMean = 3;
  outlines.MaxFarOffFraction = 0.02;
  Check(Page("/T sh /P sh", "/MediaBox [0 0 200 200]",
             "<< /Shading << /T 10 0 R /P 11 0 R >> >>", {}, streams),
        "meshes", outlines);
}

TEST_F(RendererPixels, InlineImageDataIsSkipped) {
  // The image is not drawn yet, but the drawing after it must be, whatever its data holds.
  Check(Page("0 0 1 rg 10 10 50 50 re f\n"
             // Placed off the page: images are not drawn yet, and pdftoppm draws them.
             "q 1 0 0 1 -50 -50 cm BI /W 4 /H 1 /BPC 8 /CS /G ID \x30 0 0 re f EI Q\n"
             "1 0 0 rg 100 100 50 50 re f\n"),
        "inline-image", TPixelTolerance{});
}

TEST_F(RendererPixels, SoftMasks) {
  // A luminosity mask of three grey bands (black backdrop) over a red band and text, an
  // opacity mask from half-transparent shapes, and text after the masks end. (Objects under
  // one mask do not overlap: the layer puts them down together, where each object on its own
  // would show the one below through the mask.)
  const std::string content =
      "q /L gs 1 0 0 rg 10 150 180 40 re f BT /F1 28 Tf 0 0 1 rg 20 115 Td (Masked) Tj ET Q\n"
      "q /A gs 0 0.6 0 rg 10 10 180 90 re f Q\n"
      "BT /F1 14 Tf 0 g 20 60 Td (plain) Tj ET\n";
  Check(Page(content, "/MediaBox [0 0 200 200]",
             "<< /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> "
             "/ExtGState << /L << /SMask << /S /Luminosity /G 10 0 R >> >> "
             "/A << /SMask << /S /Alpha /G 11 0 R >> >> >> >>",
             {},
             {{10, {"/Type /XObject /Subtype /Form /BBox [0 0 200 200] /Group << /S /Transparency >>",
                    "0.25 g 0 100 60 100 re f 0.6 g 60 100 60 100 re f 1 g 120 100 80 100 re f"}},
              {11, {"/Type /XObject /Subtype /Form /BBox [0 0 200 200] /Group << /S /Transparency >> "
                    "/Resources << /ExtGState << /H << /ca 0.5 >> >> >>",
                    "/H gs 30 20 m 170 20 l 100 95 l h f 20 30 40 40 re f"}}}),
        "soft-masks");
}

}  // namespace
}  // namespace kestrel::testing
