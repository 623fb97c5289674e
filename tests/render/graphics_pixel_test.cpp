// Hard graphics on generated pages, compared with pdftoppm at 72 and 150 dpi (tolerance
// explained in pixel_compare.h): blend modes, transparency groups, calibrated and ICC colour,
// and annotations drawn without appearance streams.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "pixel_compare.h"
#include "support/pdf_builder.h"

namespace kestrel::testing {
namespace {

class TransparencyPixels : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PdftoppmAvailable()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
  }
  void Check(const std::string& pdf, const std::string& name, const TPixelTolerance& tol = {}) {
    for (double dpi : {72.0, 150.0}) EXPECT_TRUE(MatchesPdftoppm(pdf, dpi, name, tol));
  }
};

TEST_F(TransparencyPixels, SixteenBlendModes) {
  // A 4 x 4 grid: in each cell a backdrop of two colours and, over its lower part, a square
  // painted in one mode (half of it at opacity 0.6).
  const char* modes[] = {"Normal",    "Multiply",   "Screen",    "Overlay",
                         "Darken",    "Lighten",    "ColorDodge", "ColorBurn",
                         "HardLight", "SoftLight",  "Difference", "Exclusion",
                         "Hue",       "Saturation", "Color",      "Luminosity"};
  std::string content, states;
  for (int i = 0; i < 16; ++i) {
    const int x = (i % 4) * 50, y = (i / 4) * 50;
    const std::string at = std::to_string(x) + " " + std::to_string(y);
    content += "q 1 0 0 1 " + at + " cm 0.2 0.6 0.9 rg 0 0 25 50 re f 0.9 0.5 0.1 rg 25 0 25 50 re f ";
    content += "/M" + std::to_string(i) + " gs 0.8 0.3 0.5 rg 5 5 40 20 re f ";
    content += "/A gs 0.3 0.9 0.2 rg 5 28 40 17 re f Q\n";
    states += "/M" + std::to_string(i) + " << /BM /" + modes[i] + " >> ";
  }
  // Cairo's and poppler's hue, saturation, colour and luminosity modes round differently (up
  // to 65 levels in a few cells); a mode drawn as Normal is off by far more over whole cells.
  Check(Page(content, "/MediaBox [0 0 200 200]",
             "<< /ExtGState << " + states + "/A << /ca 0.6 >> >> >>"),
        "blend-modes", TPixelTolerance{16, 70, 3.0, 64, 0.02});
}

TEST_F(TransparencyPixels, GroupKinds) {
  // Left to right: a group at opacity 0.5 (its two squares overlap without darkening); an
  // isolated knockout group (pdftoppm does not knock out elements of partial opacity, so they
  // are opaque here; BlendsOverEmptyPaperAndKnockoutShapes checks knockout
  // shapes); an isolated group whose Multiply
  // sees only its own elements; a non-isolated one whose Multiply sees the page; a group with
  // a luminosity soft mask and blend mode Screen as a whole.
  const std::string backdrop = "0.9 0.8 0.2 rg 0 0 250 60 re f\n";
  const std::string squares = "1 0 0 rg 10 10 25 25 re f /M gs 0 0 1 rg 20 20 25 25 re f";
  const std::string squaresOpaque = "1 0 0 rg 10 10 25 25 re f 0 0 1 rg 20 20 25 25 re f";
  const std::string group = "/Type /XObject /Subtype /Form /BBox [0 0 50 60] /Resources 20 0 R ";
  Check(Page(backdrop + "/H gs /G0 Do /N gs 1 0 0 1 50 0 cm /G1 Do 1 0 0 1 50 0 cm /G2 Do "
                        "1 0 0 1 50 0 cm /G3 Do 1 0 0 1 50 0 cm /SM gs /S gs /G4 Do",
             "/MediaBox [0 0 250 60]",
             "<< /XObject << /G0 10 0 R /G1 11 0 R /G2 12 0 R /G3 13 0 R /G4 14 0 R >> "
             "/ExtGState 20 0 R >>",
             {{20, "<< /ExtGState << /H << /ca 0.5 >> /N << /ca 1 >> /M << /BM /Multiply >> "
                   "/S << /BM /Screen >> "
                   "/SM << /SMask << /S /Luminosity /G 15 0 R >> >> >> >>"}},
             {{10, {group + "/Group << /S /Transparency >>", squares}},
              {11, {group + "/Group << /S /Transparency /K true /I true >>", squaresOpaque}},
              {12, {group + "/Group << /S /Transparency /I true >>", squares}},
              {13, {group + "/Group << /S /Transparency >>", squares}},
              {14, {group + "/Group << /S /Transparency /I true >>", "0.2 0.4 0.6 rg 5 5 40 50 re f"}},
              {15, {group + "/Group << /S /Transparency /CS /DeviceGray >>",
                    "1 g 5 5 40 25 re f 0.5 g 5 30 40 25 re f"}}}),
        "group-kinds", TPixelTolerance{16, 30, 2.0, 64, 0.012});
}

TEST_F(TransparencyPixels, BlendsOverEmptyPaperAndKnockoutShapes) {
  // A white bar and a dark dot on the paper; then a non-isolated knockout group whose first
  // element is an orange group drawn in Color mode (over empty paper it shows as it is, over
  // the white bar it stays white) and whose second is a card at opacity 0 that knocks the
  // orange out down to the dot and the paper. Right: a non-isolated group multiplied as a
  // whole onto a blue square.
  const std::string group = "/Type /XObject /Subtype /Form /BBox [0 0 200 80] ";
  Check(Page("1 g 20 50 80 10 re f 0.2 g 40 20 10 10 re f /K Do "
             "0.3 0.6 0.9 rg 140 10 50 40 re f /MUL gs /R Do",
             "/MediaBox [0 0 200 80]",
             "<< /XObject << /K 10 0 R /R 13 0 R >> /ExtGState 20 0 R >>",
             {{20, "<< /C << /BM /Color >> /Z << /ca 0 >> /MUL << /BM /Multiply >> >>"}},
             {{10, {group + "/Group << /S /Transparency /K true >> "
                            "/Resources << /XObject << /O 11 0 R /Card 12 0 R >> /ExtGState 20 0 R >>",
                    "/C gs /O Do /Z gs /Card Do"}},
              {11, {group + "/Group << /S /Transparency >>", "0.95 0.7 0.1 rg 0 0 130 80 re f"}},
              {12, {group + "/Group << /S /Transparency >>", "1 0 1 rg 30 10 40 30 re f"}},
              {13, {group + "/Group << /S /Transparency >>", "0.9 0.3 0.2 rg 160 0 40 40 re f"}}}),
        "blend-paper-knockout", TPixelTolerance{16, 30, 2.0, 64, 0.012});
}

TEST_F(TransparencyPixels, MaskBackdropAndAlphaIsShape) {
  // Left: a blue square under a luminosity mask whose backdrop 0.5 is read in the group's
  // CalRGB space at gamma 1 (light, unlike DeviceRGB 0.5); the group paints only part of its
  // box. Right: a knockout group whose second square has opacity 0.5 as shape (AIS): where it
  // overlaps the red one it keeps half of it instead of knocking it out.
  const std::string cal = "[/CalRGB << /WhitePoint [0.9505 1 1.089] /Gamma [1 1 1] /Matrix "
                          "[0.4124 0.2126 0.0193 0.3576 0.7152 0.1192 0.1805 0.0722 0.9505] >>]";
  Check(Page("0.9 0.9 0.2 rg 0 0 200 100 re f /BC gs 0 0 1 rg 0 0 100 100 re f /None gs /K Do",
             "/MediaBox [0 0 200 100]",
             "<< /XObject << /K 11 0 R >> /ExtGState 20 0 R >>",
             {{20, "<< /None << /SMask /None >> /BC << /SMask << /S /Luminosity /BC [0.5 0.5 0.5] "
                   "/G 10 0 R >> >> /S << /ca 0.5 /AIS true >> >>"}},
             {{10, {"/Type /XObject /Subtype /Form /BBox [0 0 60 100] /Group << /S /Transparency "
                    "/CS " + cal + " >>", "1 1 1 rg 0 0 60 50 re f"}},
              {11, {"/Type /XObject /Subtype /Form /BBox [100 0 200 100] /Group << /S /Transparency "
                    "/K true /I true >> /Resources << /ExtGState 20 0 R >>",
                    "1 0 0 rg 110 10 50 50 re f /S gs 0 0 1 rg 135 35 50 50 re f"}}}),
        "mask-backdrop-ais", TPixelTolerance{16, 30, 2.0, 64, 0.012});
}

TEST_F(TransparencyPixels, NonIsolatedGroupWithBlendingElementsBlendedAsAWhole) {
  // A non-isolated group put down in Screen mode over two backdrop colours: inside it a square
  // multiplies with the backdrop and with the square before it, and a third is at opacity 0.6.
  // The backdrop must count once: for the Multiply inside, not again in the group's Screen.
  Check(Page("0.2 0.6 0.9 rg 0 0 100 100 re f 0.9 0.5 0.1 rg 100 0 100 100 re f /S gs /G Do",
             "/MediaBox [0 0 200 100]",
             "<< /XObject << /G 10 0 R >> /ExtGState << /S << /BM /Screen >> >> >>", {},
             {{10, {"/Type /XObject /Subtype /Form /BBox [0 0 200 100] /Group << /S /Transparency >> "
                    "/Resources << /ExtGState << /M << /BM /Multiply >> /H << /ca 0.6 >> >> >>",
                    "0.8 0.3 0.5 rg 20 20 120 30 re f /M gs 0.3 0.9 0.2 rg 60 40 120 40 re f "
                    "/H gs 0.1 0.1 0.6 rg 10 60 50 30 re f"}}}),
        "non-isolated-blend", TPixelTolerance{16, 30, 2.0, 64, 0.012});
}

// An RGB profile unlike sRGB (gamma 1.8, wide primaries), as ICC bytes.
std::string WideRgbProfile() {
  const cmsCIExyY white{0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1}, {0.21, 0.71, 1}, {0.15, 0.06, 1}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::string bytes(size, '\0');
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  cmsFreeToneCurve(gamma);
  return bytes;
}

TEST_F(TransparencyPixels, CalibratedLabAndIccColours) {
  // Rows of swatches: CalGray at gamma 1 and 2.2; CalRGB with a gamma and a matrix; Lab under
  // D50 and D65; an ICC RGB profile, for fills and for a 2 x 2 image.
  std::string content;
  const char* rows[] = {"/CG1 cs", "/CG2 cs", "/CR cs", "/L50 cs", "/L65 cs", "/ICC cs"};
  const char* values[][4] = {{"0.2", "0.5", "0.8", "1"},
                             {"0.2", "0.5", "0.8", "1"},
                             {"0.8 0.2 0.1", "0.2 0.7 0.3", "0.5 0.5 0.5", "0.1 0.3 0.9"},
                             {"50 60 40", "70 -40 30", "30 20 -60", "90 0 0"},
                             {"50 60 40", "70 -40 30", "30 20 -60", "90 0 0"},
                             {"0.8 0.2 0.1", "0.2 0.7 0.3", "0.5 0.5 0.5", "0.1 0.3 0.9"}};
  for (int row = 0; row < 6; ++row)
    for (int i = 0; i < 4; ++i)
      content += std::string(rows[row]) + " " + values[row][i] + " sc " + std::to_string(10 + 45 * i) +
                 " " + std::to_string(170 - 28 * row) + " 40 24 re f\n";
  content += "q 60 0 0 20 10 2 cm /Im Do Q";
  Check(Page(content, "/MediaBox [0 0 200 200]",
             "<< /ColorSpace << /CG1 [/CalGray << /WhitePoint [0.9642 1 0.8249] >>] "
             "/CG2 [/CalGray << /WhitePoint [0.9642 1 0.8249] /Gamma 2.2 >>] "
             "/CR [/CalRGB << /WhitePoint [0.9505 1 1.089] /Gamma [1.8 1.8 1.8] "
             "/Matrix [0.4497 0.2446 0.0252 0.3163 0.6720 0.1412 0.1845 0.0833 0.9227] >>] "
             "/L50 [/Lab << /WhitePoint [0.9642 1 0.8249] /Range [-100 100 -100 100] >>] "
             "/L65 [/Lab << /WhitePoint [0.9505 1 1.089] /Range [-100 100 -100 100] >>] "
             "/ICC [/ICCBased 10 0 R] >> /XObject << /Im 11 0 R >> >>",
             {}, {{10, {"/N 3", WideRgbProfile()}},
                  {11, {"/Type /XObject /Subtype /Image /Width 2 /Height 2 /BitsPerComponent 8 "
                        "/ColorSpace [/ICCBased 10 0 R]",
                        std::string("\xCC\x33\x1A\x33\xB3\x4D\x80\x80\x80\x1A\x4D\xE6", 12)}}}),
        "cie-colours", TPixelTolerance{16, 26, 2.0, 64, 0.01});
}

TEST_F(TransparencyPixels, DefaultSpacesStandInForDeviceSpaces) {
  // DefaultRGB (a CalRGB with gamma 1.8 and wide primaries) and DefaultGray (CalGray, gamma
  // 2.2) of the page's resources draw rg, g, a DeviceRGB named in the resources and an image.
  const std::string content =
      "1 0 0 rg 10 60 30 30 re f 0 1 0 rg 50 60 30 30 re f 0.5 0.5 0.5 rg 90 60 30 30 re f "
      "/CS0 cs 0.2 0.3 0.9 sc 130 60 30 30 re f 0.5 g 10 10 30 30 re f 0.2 g 50 10 30 30 re f "
      "q 60 0 0 30 90 10 cm /Im Do Q";
  Check(Page(content, "/MediaBox [0 0 170 100]",
             "<< /ColorSpace << /CS0 /DeviceRGB "
             "/DefaultRGB [/CalRGB << /WhitePoint [0.9505 1 1.089] /Gamma [1.8 1.8 1.8] "
             "/Matrix [0.4497 0.2446 0.0252 0.3163 0.6720 0.1412 0.1845 0.0833 0.9227] >>] "
             "/DefaultGray [/CalGray << /WhitePoint [0.9505 1 1.089] /Gamma 2.2 >>] >> "
             "/XObject << /Im 10 0 R >> >>",
             {}, {{10, {"/Type /XObject /Subtype /Image /Width 2 /Height 1 /BitsPerComponent 8 "
                        "/ColorSpace /DeviceRGB",
                        std::string("\xCC\x33\x1A\x1A\x4D\xE6", 6)}}}),
        "default-spaces", TPixelTolerance{16, 12, 2.0, 64, 0.01});
}

TEST(OutputIntent, CmykProfileOfTheIntentDrawsDeviceCmyk) {
  // DeviceCMYK under a CMYK output intent looks as the same ink through [/ICCBased] of that
  // profile does, and unlike DeviceCMYK without the intent.
  const char* path = "/usr/share/color/icc/ghostscript/default_cmyk.icc";
  std::ifstream file(path, std::ios::binary);
  if (!file) GTEST_SKIP() << path << " is not installed (Debian libgs-common)";
  const std::string profile((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  auto render = [&](bool intent) {
    testpdf::PdfBuilder b;
    b.Object(1, std::string("<< /Type /Catalog /Pages 2 0 R ") +
                    (intent ? "/OutputIntents [<< /Type /OutputIntent /S /GTS_PDFX "
                              "/OutputConditionIdentifier (x) /DestOutputProfile 10 0 R >>] >>"
                            : ">>"));
    b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 40 20] /Contents 4 0 R "
                "/Resources << /ColorSpace << /P [/ICCBased 10 0 R] >> >> >>");
    b.Stream(4, "", "0.8 0.1 0.3 0.1 k 0 0 20 20 re f /P cs 0.8 0.1 0.3 0.1 sc 20 0 20 20 re f");
    b.Stream(10, "/N 4", profile);
    b.TrailerEntries("/Root 1 0 R");
    return RenderWithKestrel(b.Build(), 72);
  };
  const auto with = render(true), without = render(false);
  ASSERT_TRUE(with && without);
  auto same = [](const std::uint8_t* a, const std::uint8_t* b) {
    return std::abs(a[0] - b[0]) <= 1 && std::abs(a[1] - b[1]) <= 1 && std::abs(a[2] - b[2]) <= 1;
  };
  EXPECT_TRUE(same(with->At(10, 10), with->At(30, 10)));
  EXPECT_TRUE(same(without->At(30, 10), with->At(30, 10)));
  EXPECT_FALSE(same(without->At(10, 10), with->At(10, 10)));
}

// Annotations and form fields without appearance streams get appearances made as pdftoppm makes
// them; scored as the corpus is (ink shape and colour at 150 dpi).
TEST_F(TransparencyPixels, MarkupAnnotationKinds) {
  // Every markup kind, line endings, both note icons, link borders (one over an empty
  // appearance), a half-transparent square, and a hidden and a no-view square that stay away.
  const std::string text = "BT /F 11 Tf 12 60 Td (Highlighted words here) Tj 0 -16 Td (Underlined and struck out) Tj "
                           "0 -16 Td (Squiggly line of text) Tj ET";
  const std::string annots =
      "[<< /Subtype /Square /Rect [10 250 60 290] /C [1 0 0] /IC [1 1 0] /Border [0 0 3] >> "
      "<< /Subtype /Circle /Rect [70 250 120 290] /C [0 0 1] /BS << /W 2 >> >> "
      "<< /Subtype /Line /Rect [130 250 190 290] /L [135 255 185 285] /C [0 0.5 0] /LE [/OpenArrow /ClosedArrow] /IC [0 1 0] >> "
      "<< /Subtype /Line /Rect [200 250 290 290] /L [205 270 285 270] /C [0 0 0] /BS << /W 2 >> /LE [/Circle /Square] >> "
      "<< /Subtype /Polygon /Rect [10 190 60 240] /Vertices [12 192 58 192 35 238] /C [0.5 0 0.5] /IC [0.8 0.8 1] >> "
      "<< /Subtype /PolyLine /Rect [70 190 120 240] /Vertices [72 192 90 238 100 192 118 238] /C [0 0 0] /LE [/Diamond /Butt] >> "
      "<< /Subtype /Ink /Rect [130 190 190 240] /InkList [[132 200 150 230 170 200 188 230]] /C [1 0 0] /BS << /W 3 >> >> "
      "<< /Subtype /Text /Rect [200 215 210 225] >> "
      "<< /Subtype /Text /Rect [230 215 240 225] /C [1 0.8 0] /Name /Comment >> "
      "<< /Subtype /Square /Rect [260 200 290 230] /C [0 0 0] /IC [0 0 1] /CA 0.5 >> "
      "<< /Subtype /FreeText /Rect [10 120 140 180] /Contents (Free text that wraps onto a second line) "
      "/DA (/Helv 10 Tf 0 0 1 rg) >> "
      "<< /Subtype /Link /Rect [150 150 200 170] /C [1 0 0] /Border [0 0 1] >> "
      "<< /Subtype /Link /Rect [210 150 260 170] /BS << /W 2 /S /U >> /C [0 0 1] /AP << /N 10 0 R >> >> "
      "<< /Subtype /Square /Rect [150 120 200 140] /C [0 0 0] /F 2 >> "
      "<< /Subtype /Square /Rect [210 120 260 140] /C [0 0 0] /F 32 >> "
      "<< /Subtype /Highlight /Rect [10 56 140 72] /QuadPoints [10 72 140 72 10 56 140 56] /C [1 1 0] >> "
      "<< /Subtype /Underline /Rect [10 40 70 56] /QuadPoints [10 56 70 56 10 40 70 40] /C [0 0 1] >> "
      "<< /Subtype /StrikeOut /Rect [95 40 150 56] /QuadPoints [95 56 150 56 95 40 150 40] /C [1 0 0] >> "
      "<< /Subtype /Squiggly /Rect [10 24 120 40] /QuadPoints [10 40 120 40 10 24 120 24] /C [0 0.6 0] >>]";
  const std::string pdf = Page(text, "/MediaBox [0 0 300 300] /Annots " + annots,
                               "<< /Font << /F << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> >> >>", {},
                               {{10, {"/Type /XObject /Subtype /Form /BBox [0 0 10 10]", ""}}});
  EXPECT_TRUE(ScoresLikePdftoppm(pdf, 150, "markup-annotations", 0.98));
}

TEST_F(TransparencyPixels, FormFieldKinds) {
  // Check boxes (auto-sized check, a caption mark, off), radio buttons (the chosen one and one
  // whose field is elsewhere), a push button, text fields (left, centred and auto-sized,
  // right in the form's Times font, multiline, auto-sized multiline, turned by /MK /R, comb,
  // password), a combo box showing the text of its export value, a list box, and a text field
  // with an appearance of its own that NeedAppearances makes anew.
  const char* fields[] = {
      "/FT /Btn /Rect [10 170 20 180] /AS /Yes /V /Yes /MK << /BC [0 0 0.4] /BG [0.9 0.9 0.9] >> /BS << /W 1 >> /DA (/ZaDb 0 Tf 0 0 0.4 rg)",
      "/FT /Btn /Rect [30 160 50 180] /AS /Yes /V /Yes /Border [0 0 1] /MK << /BC [1 0 0] >> /DA (/ZaDb 0 Tf 0 g)",
      "/FT /Btn /Rect [60 160 100 180] /AS /Yes /V /Yes /MK << /BC [0 0 0] /CA (8) >> /DA (/ZaDb 12 Tf 1 0 0 rg)",
      "/FT /Btn /Rect [60 140 80 155] /AS /Off /V /Off /BS << /W 1 >> /MK << /BC [0 0 0] /BG [1 1 1] >> /DA (/ZaDb 0 Tf 0 g)",
      "/FT /Btn /Ff 49152 /Rect [110 160 130 180] /AS /A /V /A /BS << /W 1 >> /MK << /BC [0 0 0] /BG [1 1 0.8] >> /DA (/ZaDb 0 Tf 0 g)",
      "/FT /Btn /Ff 49152 /Rect [110 140 130 155] /AS /A /V /B /BS << /W 1 >> /MK << /BC [0 0 0] >> /DA (/ZaDb 0 Tf 0 g)",
      "/FT /Btn /Ff 65536 /Rect [140 160 195 185] /MK << /BC [0 0 1] /BG [0.8 0.8 0.8] /CA (Push me) >> /BS << /W 1 >> /DA (/Helv 10 Tf 0 g)",
      "/FT /Tx /Rect [10 120 100 138] /V (Left text) /DA (/Helv 10 Tf 0 g) /BS << /W 1 >> /MK << /BC [0 0 0] >>",
      "/FT /Tx /Rect [110 120 195 138] /Q 1 /V (Centred) /DA (/Helv 0 Tf 0 0 1 rg) /MK << /BG [0.9 1 0.9] >>",
      "/FT /Tx /Rect [10 75 100 115] /Ff 4096 /V (A multiline value that wraps over a few lines of the box) /DA (/Helv 8 Tf 0 g)",
      "/FT /Tx /Rect [110 95 195 115] /Ff 16777216 /MaxLen 6 /V (123456) /DA (/Helv 12 Tf 0 g) /BS << /W 1 >> /MK << /BC [0 0 0] >>",
      "/FT /Tx /Rect [110 75 195 90] /Ff 8192 /V (secret) /DA (/Helv 10 Tf 0 g)",
      "/FT /Ch /Ff 131072 /Rect [110 50 195 70] /V (c) /Opt [(One) [(c) (Combo)]] /DA (/Helv 10 Tf 0 g)",
      "/FT /Tx /Rect [100 140 108 190] /V (Turned) /DA (/Helv 6 Tf 0 g) /MK << /R 90 >>",
      "/FT /Tx /Rect [170 115 198 155] /Ff 4096 /V (Auto sized lines) /DA (/Helv 0 Tf 0 g)",
      "/FT /Ch /Rect [10 5 100 65] /V (Two) /Opt [(One) (Two) (Three) [(4) (Four)] (Five)] /DA (/Helv 10 Tf 0 g) /BS << /W 1 >> /MK << /BC [0 0 0] >>",
      "/FT /Tx /Rect [110 25 195 45] /Q 2 /V (Right) /DA (/Tiro 11 Tf 0 g)",
      "/FT /Tx /Rect [110 2 195 22] /V (Made anew) /DA (/Helv 9 Tf 0 g) /AP << /N 30 0 R >>"};
  testpdf::PdfBuilder b;
  std::string refs;
  for (int i = 0; i < static_cast<int>(std::size(fields)); ++i) {
    b.Object(40 + i, std::string("<< /Type /Annot /Subtype /Widget /T (f") + std::to_string(i) + ") " + fields[i] + " >>");
    refs += std::to_string(40 + i) + " 0 R ";
  }
  b.Object(1, "<< /Type /Catalog /Pages 2 0 R /AcroForm << /NeedAppearances true /Fields [" + refs +
                  "] /DR << /Font << /Helv 20 0 R /ZaDb 21 0 R /Tiro 22 0 R >> >> /DA (/Helv 0 Tf 0 g) >> >>");
  b.Object(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  b.Object(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] /Annots [" + refs + "] /Contents 4 0 R >>");
  b.Stream(4, "", "");
  b.Object(20, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  b.Object(21, "<< /Type /Font /Subtype /Type1 /BaseFont /ZapfDingbats >>");
  b.Object(22, "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /WinAnsiEncoding >>");
  b.Stream(30, "/Type /XObject /Subtype /Form /BBox [0 0 85 20]", "1 0 0 rg 0 0 85 20 re f");
  b.TrailerEntries("/Root 1 0 R");
  const std::string pdf = b.Build();
  EXPECT_TRUE(ScoresLikePdftoppm(pdf, 150, "form-fields", 0.98));
}

}  // namespace
}  // namespace kestrel::testing
