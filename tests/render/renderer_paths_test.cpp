// Path, painting, clipping and line-state operators as canvas calls in device coordinates.
#include <gtest/gtest.h>

#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(RendererPaths, SegmentsMapThroughThePageMatrix) {
  TRendererFixture f(false);
  f.Render("10 20 m 30 40 l 1 2 3 4 5 6 c 7 8 9 10 v 11 12 13 14 y h S");
  EXPECT_EQ(f.Lines(), (Lines{"BeginPath", "MoveTo 10 80", "LineTo 30 60",
                               "CurveTo 1 98 3 96 5 94",
                               "CurveTo 5 94 7 92 9 90",    // v starts at the current point
                               "CurveTo 11 88 13 86 13 86",  // y ends at its second point
                               "ClosePath", "StrokePath"}));
}

TEST(RendererPaths, RectangleFollowsPdfCornerOrder) {
  TRendererFixture f(false);
  f.Render("10 20 30 40 re f");
  // Counter-clockwise in user space (x y, x+w y, x+w y+h, x y+h), so the winding counts.
  EXPECT_EQ(f.Lines(), (Lines{"BeginPath", "MoveTo 10 80", "LineTo 40 80", "LineTo 40 40",
                               "LineTo 10 40", "ClosePath", "FillPath"}));
}

TEST(RendererPaths, PaintingOperatorsAndFillRules) {
  TRendererFixture f;
  f.Render("0 0 m 1 1 l f 0 0 m 1 1 l F 0 0 m 1 1 l f* 0 0 m 1 1 l B 0 0 m 1 1 l B* "
           "0 0 m 1 1 l b 0 0 m 1 1 l b* 0 0 m 1 1 l s 0 0 m 1 1 l n");
  EXPECT_EQ(f.Starting("SetFillRule"),
            (Lines{"SetFillRule 1", "SetFillRule 1", "SetFillRule 2", "SetFillRule 1",
                   "SetFillRule 2", "SetFillRule 1", "SetFillRule 2"}));
  Lines paints;
  for (const std::string& l : f.Lines())
    if (l.find("Path") != std::string::npos && l != "BeginPath") paints.push_back(l);
  EXPECT_EQ(paints, (Lines{"FillPath", "FillPath", "FillPath", "FillStrokePath", "FillStrokePath",
                           "ClosePath", "FillStrokePath", "ClosePath", "FillStrokePath",
                           "ClosePath", "StrokePath", "EndPath"}));
}

TEST(RendererPaths, StrokeSettingsInDeviceUnits) {
  TRendererFixture f;
  f.renderer.Resolution = 144;  // two device pixels a point
  f.Render("3 w 1 J 2 j 4 M [6 3 1] 2 d 0 0 m 10 0 l S", "<< >>", "/MediaBox [0 0 100 100]");
  EXPECT_TRUE(f.Has("SetLineWidth 6"));
  // The odd array repeats once more; lengths and phase in line widths.
  EXPECT_TRUE(f.Has("SetDash [2 1 0.3333 2 1 0.3333] 0.6667"));
  EXPECT_TRUE(f.Has("SetLineCap 1"));
  EXPECT_TRUE(f.Has("SetLineJoin 2"));
  EXPECT_TRUE(f.Has("SetMiterLimit 4"));
}

TEST(RendererPaths, ZeroWidthIsOneDevicePixelAndEmptyDashIsSolid) {
  for (double dpi : {72.0, 300.0}) {
    TRendererFixture f;
    f.renderer.Resolution = dpi;
    f.Render("[4 4] 0 d [] 0 d 0 w 0 0 m 10 0 l S");
    EXPECT_TRUE(f.Has("SetLineWidth 1")) << dpi;
    EXPECT_TRUE(f.Has("SetDash [] 0")) << dpi;
  }
  TRendererFixture f;
  f.Render("[3] 0 d 0 0 m 1 0 l S");
  EXPECT_TRUE(f.Has("SetDash [3 3] 0"));
}

TEST(RendererPaths, WidthFollowsTheTransformation) {
  TRendererFixture f;
  f.Render("2 0 0 2 0 0 cm 1.5 w 0 0 m 1 0 l S q 0 3 -3 0 0 0 cm 0 0 m 1 0 l S Q");
  EXPECT_EQ(f.Starting("SetLineWidth"), (Lines{"SetLineWidth 3", "SetLineWidth 9"}));
}

TEST(RendererPaths, ClipIsMarkedAndAppliedByTheNextPaintOrEnd) {
  TRendererFixture f(false);
  f.Render("10 10 20 20 re W n 0 0 m 5 5 l W* S");
  EXPECT_EQ(f.Lines(), (Lines{"BeginPath", "MoveTo 10 90", "LineTo 30 90", "LineTo 30 70",
                               "LineTo 10 70", "ClosePath", "SetClip 1", "EndPath", "BeginPath",
                               "MoveTo 0 100", "LineTo 5 95", "SetClip 2", "StrokePath"}));
}

TEST(RendererPaths, SaveRestoreRestoresStateClipAndMatrix) {
  TRendererFixture f;
  f.Render("q 1 0 0 RG 5 w 1 0 0 1 10 10 cm 0 0 50 50 re W n 0 0 m 1 1 l S Q 0 0 m 1 1 l S");
  // The second stroke is black again, one unit wide, at the page matrix, with the clip of the
  // save restored.
  EXPECT_EQ(f.Starting("SetStrokeColor"), (Lines{"SetStrokeColor 0x0000FF", "SetStrokeColor 0x000000"}));
  EXPECT_EQ(f.Starting("SetLineWidth"), (Lines{"SetLineWidth 5", "SetLineWidth 1"}));
  EXPECT_EQ(f.Starting("MoveTo").back(), "MoveTo 0 100");
  EXPECT_EQ(f.Starting("SaveClip"), (Lines{"SaveClip -> 1"}));
  EXPECT_EQ(f.Starting("RestoreClip"), (Lines{"RestoreClip 1"}));
}

TEST(RendererPaths, UnmatchedRestoreChangesNothing) {
  TRendererFixture f;
  f.Render("1 0 0 RG Q Q 0 0 m 1 1 l S");
  EXPECT_EQ(f.Starting("SetStrokeColor"), (Lines{"SetStrokeColor 0x0000FF"}));
}

TEST(RendererPaths, UnknownOperatorsAreOperands) {
  TRendererFixture f(false);
  // ET is not acted on: it is pushed and ignored, and the line is stroked.
  f.Render("5 5 m ET 10 10 l S");
  EXPECT_EQ(f.Lines(), (Lines{"BeginPath", "MoveTo 5 95", "LineTo 10 90", "StrokePath"}));
}

TEST(RendererPaths, MissingOperandsReadAsZero) {
  TRendererFixture f(false);
  f.Render("7 l m S");
  EXPECT_EQ(f.Lines(), (Lines{"BeginPath", "MoveTo 0 100", "StrokePath"}));
}

TEST(RendererPaths, OperandsLeftOverDoNotDisturbLaterOperators) {
  TRendererFixture f(false);
  f.Render("1 2 3 4 5 6 7 8 10 20 m 30 40 l S");
  EXPECT_EQ(f.Starting("MoveTo"), (Lines{"MoveTo 10 80"}));
  EXPECT_EQ(f.Starting("LineTo"), (Lines{"LineTo 30 60"}));
}

TEST(RendererPaths, ContentArrayPartsAreSeparateTokens) {
  TRendererFixture f(false);
  f.AddStream(20, "<< >>", "0 0 m 10 10 l S 0 0 m 5 5 l f");
  f.AddStream(21, "<< >>", "0 0 m 3 3 l S");
  f.renderer.PageDictionary = As<TPDFDictionary>(
      f.Add(22, "<< /MediaBox [0 0 100 100] /Contents [20 0 R 21 0 R] >>"));
  f.renderer.RenderPageOn(f.canvas);
  // "f" at the end of the first part and "0" at the start of the second stay apart.
  EXPECT_EQ(f.Count("FillPath"), 1u);
  EXPECT_EQ(f.Count("StrokePath"), 2u);
}

TEST(RendererPaths, ExtGStateSetsLineStateAndAlpha) {
  TRendererFixture f;
  f.Render("/G1 gs 0 0 m 1 1 l B",
           "<< /ExtGState << /G1 << /Type /ExtGState /LW 4 /LC 2 /LJ 1 /ML 3 /CA 0.25 /ca 0.5 "
           "/D [[2 1] 1] >> >> >>");
  EXPECT_TRUE(f.Has("SetLineWidth 4"));
  EXPECT_TRUE(f.Has("SetLineCap 2"));
  EXPECT_TRUE(f.Has("SetLineJoin 1"));
  EXPECT_TRUE(f.Has("SetMiterLimit 3"));
  EXPECT_TRUE(f.Has("SetStrokeAlpha 0.25"));
  EXPECT_TRUE(f.Has("SetFillAlpha 0.5"));
  EXPECT_TRUE(f.Has("SetDash [0.5 0.25] 0.25"));
}

TEST(RendererPaths, ExtGStateOfAnotherTypeOrMissingIsIgnored) {
  TRendererFixture f;
  f.Render("/G1 gs /G2 gs /Nope gs 0 0 m 1 1 l S",
           "<< /ExtGState << /G1 << /Type /Font /LW 9 >> /G2 5 >> >>");
  EXPECT_TRUE(f.Has("SetLineWidth 1"));
}

TEST(RendererPaths, OptionalContentSwitchedOffDrawsNothing) {
  TRendererFixture f(false);
  f.Add(10, "<< /Type /OCG /Name (Off) >>");
  f.UseOptionalContent("<< /OCProperties << /OCGs [10 0 R] /D << /OFF [10 0 R] >> >> >>");
  f.Render("/OC /oc1 BDC 0 0 m 1 1 l S EMC 0 0 m 2 2 l S EMC 0 0 m 3 3 l S",
           "<< /Properties << /oc1 10 0 R >> >>");
  // Inside: the path is ended, not painted; after EMC (and a stray EMC) drawing resumes.
  EXPECT_EQ(f.Count("EndPath"), 1u);
  EXPECT_EQ(f.Count("StrokePath"), 2u);
}

}  // namespace
}  // namespace kestrel::testing
