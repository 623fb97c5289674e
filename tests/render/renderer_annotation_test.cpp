// The annotation pass: normal appearances fitted into their rectangles.
#include <gtest/gtest.h>

#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

using Lines = std::vector<std::string>;

// A page with one annotation (object 20) whose dictionary entries are `annot`; appearance
// stream 21 draws a line from its BBox's lower-left to its upper-right corner.
void RenderAnnotated(TRendererFixture& f, const std::string& annot, const std::string& apDict,
                     const std::string& content = "") {
  f.AddStream(21, apDict, "0 0 m 50 25 l S");
  f.Add(20, "<< /Type /Annot /Subtype /Square " + annot + " >>");
  f.Render(content, "<< >>", "/MediaBox [0 0 300 300] /Annots [20 0 R 22 0 R]");
}

TEST(RendererAnnotations, AppearanceIsFittedIntoTheRectangleAndClipped) {
  TRendererFixture f(false);
  RenderAnnotated(f, "/Rect [100 100 200 150] /AP << /N 21 0 R >>", "<< /BBox [0 0 50 25] >>");
  // The BBox corner (0, 0) lands on the rectangle's lower-left, (50, 25) on its upper-right:
  // twice as large.
  // The page's own clip is saved first (to be restored before the annotations).
  EXPECT_EQ(f.Lines(), (Lines{"SaveClip -> 1", "SaveClip -> 1", "BeginPath", "MoveTo 100 200", "LineTo 100 150",
                               "LineTo 200 150", "LineTo 200 200", "ClosePath", "SetClip 2",
                               "EndPath", "BeginPath", "MoveTo 100 200", "LineTo 200 150",
                               "StrokePath", "RestoreClip 1"}));
}

TEST(RendererAnnotations, BoxOriginMapsToTheRectangleCorner) {
  TRendererFixture f(false);
  RenderAnnotated(f, "/Rect [100 100 200 150] /AP << /N 21 0 R >>", "<< /BBox [10 10 60 35] >>");
  // (10, 10) is the box origin: the line's start (0, 0) lies 20 units left and below.
  EXPECT_TRUE(f.Has("MoveTo 80 220"));
}

TEST(RendererAnnotations, AppearanceMatrixIsHonoured) {
  TRendererFixture f(false);
  // Turned a quarter: the 50 x 25 box stands up as 25 x 50 and fills the 50 x 100 rectangle.
  RenderAnnotated(f, "/Rect [100 100 150 200] /AP << /N 21 0 R >>",
                  "<< /BBox [0 0 50 25] /Matrix [0 1 -1 0 0 0] >>");
  EXPECT_TRUE(f.Has("MoveTo 150 200"));
  EXPECT_TRUE(f.Has("LineTo 100 100"));
}

TEST(RendererAnnotations, AnnotationWrittenIntoTheArrayIsDrawn) {
  TRendererFixture f(false);
  f.AddStream(21, "<< /BBox [0 0 50 25] >>", "0 0 m 50 25 l S");
  f.Render("", "<< >>",
           "/MediaBox [0 0 300 300] /Annots [<< /Rect [100 100 200 150] /AP << /N 21 0 R >> >>]");
  EXPECT_TRUE(f.Has("MoveTo 100 200"));
}

TEST(RendererAnnotations, StatesHiddenAndBrokenAnnotations) {
  for (const char* annot : {"/F 2 /Rect [0 0 10 10] /AP << /N 21 0 R >>",
                            "/F 32 /Rect [0 0 10 10] /AP << /N 21 0 R >>",
                            "/Rect [0 0 10] /AP << /N 21 0 R >>",
                            "/Rect [0 0 10 10] /AP << /N << /On 21 0 R >> >>",
                            "/Rect [0 0 10 10] /AP << /N << /On 21 0 R >> /AS /Off >>",
                            "/Rect [0 0 10 10]"}) {
    TRendererFixture f(false);
    RenderAnnotated(f, annot, "<< /BBox [0 0 50 25] >>");
    EXPECT_EQ(f.Lines(), Lines{"SaveClip -> 1"}) << annot;
  }
  TRendererFixture f(false);
  RenderAnnotated(f, "/Rect [0 0 10 10] /F 4 /AP << /N << /On 21 0 R /Off 23 0 R >> >> /AS /On",
                  "<< /BBox [0 0 50 25] >>");
  EXPECT_EQ(f.Count("StrokePath"), 1u);
}

TEST(RendererAnnotations, AClipThePageLeftOpenDoesNotReachThem) {
  TRendererFixture f;
  f.AddStream(21, "<< /BBox [0 0 10 10] >>", "0 0 10 10 re f");
  f.Add(20, "<< /Rect [20 0 30 10] /AP << /N 21 0 R >> >>");
  f.AddStream(5, "<< >>", "0 0 10 10 re W n");
  f.renderer.PageDictionary = As<TPDFDictionary>(
      f.Add(6, "<< /MediaBox [0 0 40 20] /Contents 5 0 R /Annots [20 0 R] >>"));
  ASSERT_TRUE(f.RenderPage());
  EXPECT_EQ(f.Bitmap()->Pixel(25, 15), 0x000000u);
}

TEST(RendererAnnotations, PageWithAContentErrorGetsNone) {
  TRendererFixture f(false);
  f.AddStream(30, "<< /FunctionType 4 /Domain [0 1] /Range [0 1] >>", "{ 0 div }");
  f.AddStream(21, "<< /BBox [0 0 50 25] >>", "0 0 m 50 25 l S");
  f.Add(20, "<< /Rect [0 0 10 10] /AP << /N 21 0 R >> >>");
  f.Render("/S cs", "<< /ColorSpace << /S [/Separation /X /DeviceGray 30 0 R] >> >>",
           "/MediaBox [0 0 300 300] /Annots [20 0 R]");
  EXPECT_FALSE(f.renderer.ErrorText().empty());
  EXPECT_EQ(f.Count("StrokePath"), 0u);
}

}  // namespace
}  // namespace kestrel::testing
