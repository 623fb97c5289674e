// The renderer's EPS target: content operators become lines of the EPS writer, in PDF user
// space.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/output/page_output_vector.h"
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
    renderer.TargetKind = TRenderTargetKind::EPS;
    ASSERT_TRUE(renderer.RenderPage());
    ASSERT_NE(renderer.EPSWriter(), nullptr);
    all = renderer.EPSWriter()->Lines();
    auto start = std::find(all.begin(), all.end(), "%%KestrelLibrary-End");
    ASSERT_NE(start, all.end());
    ASSERT_EQ(all.back(), "%%EOF");
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

TEST(RendererEPS, BoxIsThePageBoxAndRotationIsNotApplied) {
  EPSPage p;
  p.RenderEPS("10 10 m 20 20 l S", "<< >>", "/MediaBox [0 0 595.5 842] /Rotate 90");
  EXPECT_EQ(p.all[1], "%%BoundingBox: 0 0 596 842");
  EXPECT_EQ(p.body[1], "10 10 m");
  EPSPage q;
  q.RenderEPS("", "<< >>", "/MediaBox [612 792 10.5 20]");
  EXPECT_EQ(q.all[1], "%%BoundingBox: 10 20 612 792");
  EXPECT_TRUE(q.body.empty());
}

TEST(RendererEPS, ShadingsAndInvisibleContentWriteNothing) {
  EPSPage p;
  p.RenderEPS(
      "/Sh sh /OC /Off BDC 0 0 5 5 re f EMC",
      "<< /Shading << /Sh << /ShadingType 2 /ColorSpace /DeviceRGB /Coords [0 0 100 0] "
      "/Function << /FunctionType 2 /Domain [0 1] /C0 [1 0 0] /C1 [0 0 1] /N 1 >> >> >> "
      "/Properties << /Off << /Type /OCG /Usage << /View << /ViewState /OFF >> >> >> >> >>");
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
  EXPECT_EQ(f.renderer.Bitmap(), nullptr);
}

}  // namespace
}  // namespace kestrel::testing
