// The renderer's EPS target: content operators become lines of the EPS writer, in PDF user
// space.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/output/page_output_vector.h"
#include "engine/syntax/filters.h"
#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

using TLines = std::vector<std::string>;

class EPSPage : public TRendererFixture {
 public:
  // Renders the page as EPS; the body lines (after the prolog, before %%EOF) are kept.
  void RenderEPS(const std::string& content, const std::string& resources = "<< >>",
                 const std::string& pageEntries = "/MediaBox [0 0 100 100]") {
    AddStream(900, "<< >>", content);
    Add(901, resources);
    renderer.PageDictionary = As<TPDFDictionary>(
        Add(902, "<< /Type /Page " + pageEntries + " /Resources 901 0 R /Contents 900 0 R >>"));
    all = RenderPageEPS(renderer)->Lines();
    auto start = std::find(all.begin(), all.end(), "%%KestrelLibrary-End");
    ASSERT_NE(start, all.end());
    ASSERT_EQ(all.back(), "%%EOF");
    // A rotated page's turn comes first, outside the content's q … Q (annotations need it too).
    if (start + 1 != all.end() && (start + 1)->rfind("[ ", 0) == 0) turn = *++start;
    // The page content runs inside one q … Q of its own.
    ASSERT_GE(all.end() - start, 4);
    ASSERT_EQ(*(start + 1), "q");
    body.assign(start + 2, all.end() - 2);
    ASSERT_EQ(*(all.end() - 2), "Q");
  }

  std::size_t CountOf(const std::string& line) const {
    return static_cast<std::size_t>(std::count(body.begin(), body.end(), line));
  }
  bool Contains(const TLines& seq) const {
    return std::search(body.begin(), body.end(), seq.begin(), seq.end()) != body.end();
  }

  TLines all;
  TLines body;
  std::string turn;
};

TEST(RendererEPS, PathsAreWrittenInUserSpaceWithTheirPaintingLines) {
  EPSPage p;
  p.RenderEPS("10 20 m 30.5 40 l 1 2 3 4 5 6 c 7 8 9 10 v 11 12 13 14 y h S");
  EXPECT_EQ(p.body, (TLines{"n", "10 20 m", "30.5 40 l", "1 2 3 4 5 6 c", "5 6 7 8 9 10 c",
                           "11 12 13 14 13 14 c", "h", "0 0 0 setrgbcolor", "s"}));
}

TEST(RendererEPS, RectangleAndFillRules) {
  EPSPage p;
  p.RenderEPS("0 0 1 rg 10 10 20 30 re f* 5 5 m 6 6 l b*");
  EXPECT_EQ(p.body, (TLines{"n", "10 10 m", "30 10 l", "30 40 l", "10 40 l", "h",
                           "0 0 1 setrgbcolor", "f*", "n", "5 5 m", "6 6 l", "h", "q", "f*", "Q",
                           "0 0 0 setrgbcolor", "s"}));
}

TEST(RendererEPS, FillAndStrokeBracketsTheFill) {
  EPSPage p;
  p.RenderEPS("0 0 1 RG 1 0 0 rg 10 10 m 20 20 l B");
  EXPECT_EQ(p.body, (TLines{"n", "10 10 m", "20 20 l", "q", "1 0 0 setrgbcolor", "f", "Q",
                           "0 0 1 setrgbcolor", "s"}));
}

TEST(RendererEPS, SameColourTwiceIsWrittenOnce) {
  EPSPage p;
  p.RenderEPS("1 0 0 rg 0 0 5 5 re f 1 0 0 rg 10 10 5 5 re f 0.5 g 0 0 1 1 re f");
  EXPECT_EQ(p.CountOf("1 0 0 setrgbcolor"), 1u);
  EXPECT_EQ(p.CountOf("0.5 setgray"), 1u);
}

TEST(RendererEPS, ColourFromBeforeQIsWrittenAgainAfterQ) {
  EPSPage p;
  p.RenderEPS("1 0 0 rg 0 0 5 5 re f q 0 1 0 rg 0 0 5 5 re f Q 0 0 5 5 re f");
  EXPECT_EQ(p.CountOf("1 0 0 setrgbcolor"), 1u);
  // Q restores red in PostScript as well: the last fill needs no colour line.
  const std::size_t q = static_cast<std::size_t>(std::find(p.body.begin(), p.body.end(), "Q") -
                                                 p.body.begin());
  ASSERT_LT(q + 7, p.body.size());
  EXPECT_EQ(p.body[q + 7], "f");
  EXPECT_EQ(p.body[q + 6], "h");

  // A colour changed inside q … Q is written again after Q when it is used.
  EPSPage r;
  r.RenderEPS("q 0 1 0 rg 0 0 5 5 re f Q 0 1 0 rg 0 0 5 5 re f");
  EXPECT_EQ(r.CountOf("0 1 0 setrgbcolor"), 2u);
}

TEST(RendererEPS, StateOperatorsWriteTheirLines) {
  EPSPage p;
  p.RenderEPS("2.5 w 0 w 1 J 2 j 4 M 5 J -1 j 0.5 M 2 0 0 2 10 10 cm 1 1 m 2 2 l S");
  EXPECT_EQ(p.body, (TLines{"2.5 w", "0 w", "1 J", "2 j", "4 M", "[ 2 0 0 2 10 10 ] cm", "n",
                           "1 1 m", "2 2 l", "0 0 0 setrgbcolor", "s"}));
}

TEST(RendererEPS, DashesAreWrittenWithSetdash) {
  EPSPage p;
  p.RenderEPS("[3] 0 d [2 1.5] 0.25 d [] 0 d [0 0] 1 d [1 -2] 0 d");
  EXPECT_EQ(p.body, (TLines{"[3 3] 0 setdash", "[2 1.5] 0.25 setdash", "[] 0 setdash",
                           "[] 0 setdash", "[] 0 setdash"}));
}

TEST(RendererEPS, ExtGStateLineSettingsAreWritten) {
  EPSPage p;
  p.RenderEPS("/G gs /G gs",
              "<< /ExtGState << /G << /LW 3 /LC 1 /LJ 9 /ML 5 /D [[4 2] 1] /CA 0.5 >> >> >>");
  EXPECT_EQ(p.body, (TLines{"3 w", "1 J", "5 M", "[4 2] 1 setdash"}));
}

TEST(RendererEPS, ClipIsWrittenAfterThePath) {
  EPSPage p;
  p.RenderEPS("q 0 0 10 10 re W n 1 0 0 rg 0 0 50 50 re f Q");
  EXPECT_EQ(p.body, (TLines{"q", "n", "0 0 m", "10 0 l", "10 10 l", "0 10 l", "h", "W", "n",
                           "n", "0 0 m", "50 0 l", "50 50 l", "0 50 l", "h",
                           "1 0 0 setrgbcolor", "f", "Q"}));
}

TEST(RendererEPS, ClipWithPaintingPaintsBeforeClipping) {
  EPSPage p;
  p.RenderEPS("0 0 10 10 re W* S");
  EXPECT_EQ(p.body, (TLines{"n", "0 0 m", "10 0 l", "10 10 l", "0 10 l", "h", "q",
                           "0 0 0 setrgbcolor", "s", "Q", "W*", "n"}));
}

TEST(RendererEPS, UnbalancedStatesStayBalancedInTheFile) {
  EPSPage p;
  p.RenderEPS("Q Q q q 1 0 0 rg");
  // Q without q writes nothing; the two open levels are closed at the end.
  EXPECT_EQ(p.body, (TLines{"q", "q", "Q", "Q"}));
}

TEST(RendererEPS, FormMatrixIsACmLineLocalToTheDo) {
  EPSPage p;
  p.AddStream(10, "<< /Type /XObject /Subtype /Form /BBox [0 0 10 10] /Matrix [2 0 0 2 5 5] >>",
              "1 0 0 1 3 3 cm q 0 0 1 rg 0 0 4 4 re f");
  p.RenderEPS("/Fm Do 0 0 1 1 re f", "<< /XObject << /Fm 10 0 R >> >>");
  EXPECT_EQ(p.CountOf("[ 2 0 0 2 5 5 ] cm"), 1u);
  EXPECT_EQ(p.CountOf("[ 1 0 0 1 3 3 ] cm"), 1u);
  EXPECT_EQ(p.CountOf("q"), p.CountOf("Q"));
  // The form's box clips what it draws.
  EXPECT_TRUE(p.Contains({"n", "0 0 m", "10 0 l", "10 10 l", "0 10 l", "h", "W", "n"}));
  // After the Do every q is closed again and the page's black is written anew.
  EXPECT_EQ(p.body.back(), "f");
  EXPECT_EQ(p.body[p.body.size() - 2], "0 0 0 setrgbcolor");
  std::size_t depth = 0, maxDepth = 0, lastDo = 0;
  for (std::size_t i = 0; i < p.body.size(); ++i) {
    if (p.body[i] == "q") maxDepth = std::max(maxDepth, ++depth);
    if (p.body[i] == "Q") {
      ASSERT_GT(depth, 0u);
      if (--depth == 0) lastDo = i;
    }
  }
  EXPECT_EQ(depth, 0u);
  EXPECT_GE(maxDepth, 3u);  // two around the Do, one left open by the form
  EXPECT_LT(lastDo, p.body.size() - 3);
}

TEST(RendererEPS, SeparationColourBecomesACustomColourOnce) {
  EPSPage p;
  const std::string res =
      "<< /ColorSpace << /CS0 [/Separation /Gold /DeviceCMYK "
      "<< /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0.1 0.9 0] /N 1 >>] >> >>";
  p.RenderEPS("/CS0 cs 0.5 scn 0 0 5 5 re f 1 scn 0 0 5 5 re f 0.5 scn 0 0 5 5 re f", res);
  EXPECT_EQ(p.CountOf("0 0.1 0.9 0 (Gold) findcmykcustomcolor 0.5 setcustomcolor"), 2u);
  EXPECT_EQ(p.CountOf("0 0.1 0.9 0 (Gold) findcmykcustomcolor 1 setcustomcolor"), 1u);
  const std::size_t end = static_cast<std::size_t>(
      std::find(p.all.begin(), p.all.end(), "%%EndComments") - p.all.begin());
  ASSERT_GE(end, 6u);
  EXPECT_EQ(p.all[end - 3], "%%DocumentProcessColors: (Cyan) (Magenta) (Yellow) (Black)");
  EXPECT_EQ(p.all[end - 2], "%%DocumentCustomColors: (Gold)");
  EXPECT_EQ(p.all[end - 1], "%%CMYKCustomColor: 0 0.1 0.9 0 (Gold)");
}

TEST(RendererEPS, CustomColoursPostScriptCannotRunFallBackToRGB) {
  EPSPage p;
  p.AddStream(20, "<< /FunctionType 4 /Domain [0 1 0 1] /Range [0 1 0 1 0 1 0 1] >>",
              "{ pop pop 0 0 0 1 }");
  const std::string res =
      "<< /ColorSpace << /N2 [/DeviceN [/A /B] /DeviceCMYK 20 0 R] /Odd [/Separation /Br#28ace "
      "/DeviceCMYK << /FunctionType 2 /Domain [0 1] /C0 [0 0 0 0] /C1 [0 0 0 1] /N 1 >>] >> >>";
  // A name with a parenthesis, and two tints for one setcustomcolor, would stop PostScript.
  p.RenderEPS("/Odd cs 1 scn 0 0 5 5 re f /N2 cs 0.5 0.5 scn 0 0 5 5 re f", res);
  std::size_t colours = 0;
  for (const std::string& l : p.body) {
    EXPECT_EQ(l.find("findcmykcustomcolor"), std::string::npos) << l;
    if (l.size() > 12 && l.substr(l.size() - 12) == " setrgbcolor") ++colours;
  }
  // Both are the CMYK black of their transforms, as the raster targets paint it.
  EXPECT_EQ(colours, 1u);
  EXPECT_EQ(p.CountOf("f"), 2u);
  for (const std::string& l : p.all) EXPECT_EQ(l.find("CustomColor"), std::string::npos) << l;
}

TEST(RendererEPS, BoxIsThePageBoxTurnedByRotate) {
  EPSPage p;
  p.RenderEPS("10 10 m 20 20 l S", "<< >>", "/MediaBox [0 0 595.5 842] /Rotate 90");
  EXPECT_EQ(p.all[1], "%%BoundingBox: 0 0 842 596");
  EXPECT_EQ(p.turn, "[ 0 -1 1 0 0 595.5 ] cm");
  EXPECT_EQ(p.body[1], "10 10 m");
  EPSPage q;
  q.RenderEPS("", "<< >>", "/MediaBox [612 792 10.5 20]");
  EXPECT_EQ(q.all[1], "%%BoundingBox: 10 20 612 792");
  EXPECT_EQ(q.turn, "");
  EXPECT_TRUE(q.body.empty());
}

TEST(RendererEPS, InvisibleContentWritesNothing) {
  EPSPage p;
  p.Add(10, "<< /Type /OCG /Name (Off) >>");
  p.UseOptionalContent("<< /OCProperties << /OCGs [10 0 R] /D << /OFF [10 0 R] >> >> >>");
  p.RenderEPS(
      "/OC /Off BDC /Sh sh 0 0 5 5 re f EMC",
      "<< /Shading << /Sh << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] "
      "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >> >> "
      "/Properties << /Off 10 0 R >> >>");
  EXPECT_TRUE(p.body.empty());
}

TEST(RendererEPS, ContentErrorKeepsWhatWasWritten) {
  EPSPage p;
  p.renderer.TokenBudget = 12;
  p.RenderEPS("0 0 5 5 re f 1 1 m 2 2 l 3 3 l 4 4 l S");
  EXPECT_FALSE(p.renderer.ErrorText().empty());
  EXPECT_EQ(p.body.back(), "f");
}

TEST(RendererEPS, PageOutputWritesTheFileAndReportsContentErrors) {
  TRendererFixture f;
  f.AddStream(900, "<< >>", "1 0 0 rg 0 0 5 5 re f");
  f.Add(901, "<< >>");
  f.renderer.PageDictionary = As<TPDFDictionary>(
      f.Add(902, "<< /Type /Page /MediaBox [0 0 50 40] /Resources 901 0 R /Contents 900 0 R >>"));
  TBytes out;
  std::string problem = "stale";
  ASSERT_TRUE(RenderEPSPage(f.renderer, out, problem));
  EXPECT_EQ(problem, "");
  EXPECT_EQ(f.renderer.TargetKind, TRenderTargetKind::EPS);
  EXPECT_EQ(out.rfind("%!PS-Adobe-3.0 EPSF-3.0\r\n%%BoundingBox: 0 0 50 40\r\n", 0), 0u);
  EXPECT_NE(out.find("\r\n1 0 0 setrgbcolor\r\nf\r\n"), std::string::npos);
  EXPECT_EQ(out.substr(out.size() - 7), "%%EOF\r\n");
}


// ---- shadings as embedded pictures ----

const char* const kAxialRedToBlue =
    "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] /Extend [true true] "
    "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >>";
// Red to blue over x 0 … 10, nothing outside.
const char* const kShortAxial =
    "<< /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 10 0] "
    "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >>";

std::string ShadingResources(const std::string& sh) { return "<< /Shading << /Sh " + sh + " >> >>"; }
std::string PatternResources(const std::string& pattern) {
  return "<< /Pattern << /P " + pattern + " >> >>";
}

// The bytes of the data line that follows the `nth` "/ReusableStreamDecode filter" line.
TBytes EmbeddedData(const TLines& lines, int nth) {
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    if (lines[i] == "/ReusableStreamDecode filter" && nth-- == 0)
      return InflateBytes(DecodeASCII85(lines[i + 1]));
  }
  return {};
}

// Red of pixel (x, y) of an RGB picture `width` pixels wide; -1 outside the data.
int RedAt(const TBytes& rgb, int width, int x, int y) {
  const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
  return i < rgb.size() ? static_cast<unsigned char>(rgb[i]) : -1;
}

// Red of the axial red-to-blue shading at parameter t.
int ExpectedRed(double t) { return static_cast<int>(std::lround(255 * (1 - std::clamp(t, 0.0, 1.0)))); }

std::size_t IndexOf(const TLines& lines, const std::string& line) {
  return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

TEST(RendererEPSShading, ShInsideAClipIsAPicturePlacedOnTheClipBox) {
  EPSPage p;
  p.RenderEPS("q 10 20 30 40 re W n /Sh sh Q", ShadingResources(kAxialRedToBlue));
  // Clip, then the picture in q … Q with the unit square mapped onto the clip's box.
  EXPECT_TRUE(p.Contains({"h", "W", "n", "q", "[ 30 0 0 40 10 20 ] cm"}));
  EXPECT_TRUE(p.Contains({"q", "/DeviceRGB setcolorspace", "datastreamforKestrelShading1 resetfile",
                          "ImageDataDictionaryforKestrelShading1 image", "Q", "Q", "Q"}));
  EXPECT_EQ(p.CountOf("/Width 30 def"), 1u);
  EXPECT_EQ(p.CountOf("/Height 40 def"), 1u);
  // The shading covers the whole clip: no mask.
  EXPECT_EQ(p.CountOf("/ImageType 3 def"), 0u);
  EXPECT_EQ(p.CountOf("q"), p.CountOf("Q"));
  // Pixel centres lie at x + 0.5 from the clip's left edge; every row is the same.
  const TBytes rgb = EmbeddedData(p.body, 0);
  ASSERT_EQ(rgb.size(), 30u * 40u * 3u);
  for (const int x : {0, 10, 29}) {
    for (const int y : {0, 39}) {
      EXPECT_NEAR(RedAt(rgb, 30, x, y), ExpectedRed((10 + x + 0.5) / 100), 2) << x << "," << y;
    }
  }
}

TEST(RendererEPSShading, ShUnderCmIsPaintedInUserSpaceAndMaskedWhereItEnds) {
  EPSPage p;
  // User x 0 … 10 is page x 10 … 30; the area is the page box (no clip).
  p.RenderEPS("2 0 0 2 10 10 cm /Sh sh", ShadingResources(kShortAxial));
  // The page box [0 0 100 100] through the inverse of the cm in force.
  EXPECT_EQ(p.CountOf("[ 50 0 0 50 -5 -5 ] cm"), 1u);
  EXPECT_EQ(p.CountOf("MaskedImageDictionaryforKestrelShading1 image"), 1u);
  const TBytes mask = EmbeddedData(p.body, 0);
  const TBytes rgb = EmbeddedData(p.body, 1);
  ASSERT_EQ(rgb.size(), 100u * 100u * 3u);
  ASSERT_EQ(mask.size(), 13u * 100u);
  auto shown = [&mask](int x, int y) {
    return (static_cast<unsigned char>(mask[static_cast<std::size_t>(y) * 13 + x / 8]) &
            (0x80u >> (x % 8))) != 0;
  };
  for (const int y : {0, 50, 99}) {
    EXPECT_FALSE(shown(5, y));
    EXPECT_TRUE(shown(10, y));
    EXPECT_TRUE(shown(29, y));
    EXPECT_FALSE(shown(30, y));
    EXPECT_FALSE(shown(80, y));
  }
  EXPECT_NEAR(RedAt(rgb, 100, 20, 50), ExpectedRed((20.5 - 10) / 20), 2);
}

TEST(RendererEPSShading, ClipUnderCmBoundsThePicture) {
  EPSPage p;
  p.renderer.Resolution = 144;
  // The clip is page [0 0 20 20]; at 144 dpi the picture has 40 × 40 pixels.
  p.RenderEPS("2 0 0 2 0 0 cm 0 0 10 10 re W n /Sh sh", ShadingResources(kAxialRedToBlue));
  EXPECT_EQ(p.CountOf("[ 10 0 0 10 0 0 ] cm"), 1u);
  EXPECT_EQ(p.CountOf("/Width 40 def"), 1u);
  EXPECT_EQ(p.CountOf("/Height 40 def"), 1u);
  // Shading space is the user space: t = user x / 100, user x = (pixel + 0.5) / 4.
  const TBytes rgb = EmbeddedData(p.body, 0);
  EXPECT_NEAR(RedAt(rgb, 40, 39, 0), ExpectedRed(39.5 / 4 / 100), 2);

  // Below 72 dpi the picture keeps one pixel a point.
  EPSPage low;
  low.renderer.Resolution = 10;
  low.RenderEPS("0 0 20 30 re W n /Sh sh", ShadingResources(kAxialRedToBlue));
  EXPECT_EQ(low.CountOf("/Width 20 def"), 1u);
  EXPECT_EQ(low.CountOf("/Height 30 def"), 1u);
}

TEST(RendererEPSShading, EveryPaintingIsAPictureOfItsOwn) {
  EPSPage p;
  p.RenderEPS("/Sh sh 0 0 10 10 re W n /Sh sh", ShadingResources(kAxialRedToBlue));
  EXPECT_EQ(p.CountOf("/ImageDataDictionaryforKestrelShading1 8 dict def"), 1u);
  EXPECT_EQ(p.CountOf("/ImageDataDictionaryforKestrelShading2 8 dict def"), 1u);
  EXPECT_EQ(p.CountOf("ImageDataDictionaryforKestrelShading1 image"), 1u);
  EXPECT_EQ(p.CountOf("ImageDataDictionaryforKestrelShading2 image"), 1u);
}

TEST(RendererEPSShading, ShadingThatReachesNothingWritesNothing) {
  EPSPage p;
  // The short shading ends at x 10; the clip starts at 50. A shading box outside the page too.
  p.RenderEPS("q 50 0 10 10 re W n /Sh sh Q /B sh",
              "<< /Shading << /Sh " + std::string(kShortAxial) +
                  " /B << /ShadingType 2 /ColorSpace /DeviceGray /BBox [200 200 300 300] "
                  "/Coords [0 0 1 0] /Extend [true true] /Function << /FunctionType 2 "
                  "/Domain [0 1] /C0 [0] /C1 [1] /N 1 >> >> >> >>");
  for (const std::string& line : p.body) EXPECT_EQ(line.find("KestrelShading"), std::string::npos);
  EXPECT_EQ(p.body, (TLines{"q", "n", "50 0 m", "60 0 l", "60 10 l", "50 10 l", "h", "W", "n", "Q"}));
}

TEST(RendererEPSShading, ShadingPatternFillIsClippedByThePath) {
  EPSPage p;
  p.RenderEPS("/Pattern cs /P scn 10 10 50 50 re f",
              PatternResources("<< /PatternType 2 /Shading " + std::string(kAxialRedToBlue) + " >>"));
  EXPECT_TRUE(p.Contains({"n", "10 10 m", "60 10 l", "60 60 l", "10 60 l", "h", "q", "W", "n",
                          "[ 50 0 0 50 10 10 ] cm"}));
  // The picture replaces the fill; the path is dropped after it.
  EXPECT_EQ(p.CountOf("f"), 0u);
  ASSERT_GE(p.body.size(), 4u);
  EXPECT_EQ(p.body[p.body.size() - 4], "ImageDataDictionaryforKestrelShading1 image");
  EXPECT_EQ((TLines{p.body.end() - 3, p.body.end()}), (TLines{"Q", "Q", "n"}));
  const TBytes rgb = EmbeddedData(p.body, 0);
  EXPECT_NEAR(RedAt(rgb, 50, 49, 3), ExpectedRed(59.5 / 100), 2);

  // Even-odd fills clip with W*.
  EPSPage e;
  e.RenderEPS("/Pattern cs /P scn 10 10 50 50 re f*",
              PatternResources("<< /PatternType 2 /Shading " + std::string(kAxialRedToBlue) + " >>"));
  EXPECT_TRUE(e.Contains({"h", "q", "W*", "n", "[ 50 0 0 50 10 10 ] cm"}));
}

TEST(RendererEPSShading, PatternFillWithStrokeOrClipKeepsThePath) {
  const std::string res =
      PatternResources("<< /PatternType 2 /Shading " + std::string(kAxialRedToBlue) + " >>");
  EPSPage p;
  p.RenderEPS("/Pattern cs /P scn 0 0 1 RG 10 10 50 50 re B", res);
  const std::size_t image = IndexOf(p.body, "ImageDataDictionaryforKestrelShading1 image");
  ASSERT_LT(image + 4, p.body.size());
  EXPECT_EQ((TLines{p.body.begin() + image + 1, p.body.end()}),
            (TLines{"Q", "Q", "0 0 1 setrgbcolor", "s"}));

  EPSPage c;
  c.RenderEPS("/Pattern cs /P scn 10 10 50 50 re W f 0 0 5 5 re f", res);
  const std::size_t at = IndexOf(c.body, "ImageDataDictionaryforKestrelShading1 image");
  ASSERT_LT(at + 6, c.body.size());
  // The painting in q … Q, then the clip from the same path.
  EXPECT_EQ((TLines{c.body.begin() + at + 1, c.body.begin() + at + 6}),
            (TLines{"Q", "Q", "Q", "W", "n"}));
  EXPECT_TRUE(c.Contains({"h", "q", "q", "W", "n", "[ 50 0 0 50 10 10 ] cm"}));
}

TEST(RendererEPSShading, PatternSpaceIsTheSpaceTheContentStartedIn) {
  const std::string pattern = "<< /PatternType 2 /Matrix [1 0 0 1 5 0] /Shading " +
                              std::string(kAxialRedToBlue) + " >>";
  EPSPage p;
  // The cm does not move the pattern: pattern x = page x - 5.
  p.RenderEPS("2 0 0 2 0 0 cm /Pattern cs /P scn 0 0 10 10 re f", PatternResources(pattern));
  EXPECT_EQ(p.CountOf("[ 10 0 0 10 0 0 ] cm"), 1u);
  const TBytes rgb = EmbeddedData(p.body, 0);
  ASSERT_EQ(rgb.size(), 20u * 20u * 3u);
  EXPECT_EQ(RedAt(rgb, 20, 0, 0), 255);
  EXPECT_NEAR(RedAt(rgb, 20, 15, 0), ExpectedRed((15.5 - 5) / 100), 2);

  // Inside a form the pattern's space is the form's: page x = 2 × pattern x.
  EPSPage f;
  f.AddStream(10,
              "<< /Type /XObject /Subtype /Form /BBox [0 0 50 50] /Matrix [2 0 0 2 0 0] "
              "/Resources " + PatternResources("<< /PatternType 2 /Shading " +
                                               std::string(kAxialRedToBlue) + " >>") + " >>",
              "/Pattern cs /P scn 0 0 10 10 re f");
  f.RenderEPS("/Fm Do", "<< /XObject << /Fm 10 0 R >> >>");
  const TBytes frgb = EmbeddedData(f.body, 0);
  ASSERT_EQ(frgb.size(), 20u * 20u * 3u);
  EXPECT_NEAR(RedAt(frgb, 20, 10, 0), ExpectedRed(10.5 / 200), 2);
  EXPECT_EQ(f.CountOf("q"), f.CountOf("Q"));
}

TEST(RendererEPSShading, DegenerateUserSpaceAndExtremeResolutionsStayBounded) {
  // The cm is written as zeros: PostScript's user space has no inverse, nothing can show.
  EPSPage p;
  p.RenderEPS("0.00001 0 0 0.00001 0 0 cm /Sh sh", ShadingResources(kAxialRedToBlue));
  EXPECT_EQ(p.body, (TLines{"[ 0 0 0 0 0 0 ] cm"}));

  // Past 4800 dpi the picture keeps 4800 dpi: a 1 × 1 clip gets 67 × 67 pixels.
  EPSPage high;
  high.renderer.Resolution = 1e12;
  high.RenderEPS("0 0 1 1 re W n /Sh sh", ShadingResources(kAxialRedToBlue));
  EXPECT_EQ(high.CountOf("/Width 67 def"), 1u);
  // Whole pixels from the clip's top left corner: 67 / (4800 / 72) points a side.
  EXPECT_EQ(high.CountOf("[ 1.005 0 0 1.005 0 -0.005 ] cm"), 1u);

  // A huge page box is painted at fewer pixels a point than asked for.
  EPSPage huge;
  huge.renderer.Resolution = 72;
  huge.RenderEPS("/Sh sh", ShadingResources(kAxialRedToBlue), "/MediaBox [0 0 200000 10]");
  const std::size_t at = IndexOf(huge.body, "/Width 65536 def");
  EXPECT_LT(at, huge.body.size());
  // 65536 / 200000 pixels a point: the 10 points of height need 4 pixels, 12.207… points.
  EXPECT_EQ(huge.CountOf("/Height 4 def"), 1u);
  EXPECT_EQ(huge.CountOf("[ 200000 0 0 12.20703125 0 -2.20703125 ] cm"), 1u);
}

TEST(RendererEPSShading, TilingPatternsAndUnusableShadingsStillFillWithAColour) {
  EPSPage p;
  p.RenderEPS("/Pattern cs /P scn 0 0 10 10 re f",
              PatternResources("<< /PatternType 2 /Shading << /ShadingType 99 >> >>"));
  EXPECT_EQ(p.CountOf("f"), 1u);
  for (const std::string& line : p.body) EXPECT_EQ(line.find("KestrelShading"), std::string::npos);
}

}  // namespace
}  // namespace kestrel::testing
