// Snapping of axis-aligned rectangles and lines to whole pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/render/interpreter/renderer_stroke_adjust.h"
#include "renderer_test_support.h"

namespace kestrel {
namespace {

std::vector<TPathOp> Poly(std::initializer_list<TPDFPoint> points, bool close) {
  std::vector<TPathOp> ops;
  bool first = true;
  for (const TPDFPoint& p : points) {
    ops.push_back({first ? TPathOpKind::Move : TPathOpKind::Line, {p}});
    first = false;
  }
  if (close) ops.push_back({TPathOpKind::Close, {}});
  return ops;
}

TEST(StrokeAdjust, RectangleEdgesRoundToPixels) {
  std::vector<TPathOp> out;
  ASSERT_TRUE(AdjustFillRectangle(Poly({{10.3, 10.3}, {30.7, 10.3}, {30.7, 30.7}, {10.3, 30.7}}, true), out));
  EXPECT_EQ(out[0].p[0], (TPDFPoint{10, 10}));
  EXPECT_EQ(out[2].p[0], (TPDFPoint{31, 31}));
  EXPECT_EQ(out.back().kind, TPathOpKind::Close);
  // Starting with a vertical side, and closed by a fourth line instead of h.
  ASSERT_TRUE(AdjustFillRectangle(
      Poly({{5.5, 2.2}, {5.5, 8.6}, {1.4, 8.6}, {1.4, 2.2}, {5.5, 2.2}}, false), out));
  EXPECT_EQ(out[0].p[0], (TPDFPoint{6, 2}));
  EXPECT_EQ(out[2].p[0], (TPDFPoint{1, 9}));
  EXPECT_EQ(out[4].p[0], (TPDFPoint{6, 2}));
}

TEST(StrokeAdjust, ThinRectanglesKeepOnePixel) {
  std::vector<TPathOp> out;
  ASSERT_TRUE(AdjustFillRectangle(Poly({{10.1, 5}, {10.3, 5}, {10.3, 50}, {10.1, 50}}, true), out));
  EXPECT_EQ(out[0].p[0].x, 10);
  EXPECT_EQ(out[1].p[0].x, 11);
}

TEST(StrokeAdjust, OtherShapesAreNotRectangles) {
  std::vector<TPathOp> out;
  EXPECT_FALSE(AdjustFillRectangle(Poly({{0, 0}, {10, 1}, {10, 10}, {0, 10}}, true), out));
  EXPECT_FALSE(AdjustFillRectangle(Poly({{0, 0}, {10, 0}, {10, 10}}, true), out));
  // Two rectangles (a frame) are left alone, as is a rectangle that does not close on itself.
  auto two = Poly({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true);
  auto inner = Poly({{2, 2}, {8, 2}, {8, 8}, {2, 8}}, true);
  two.insert(two.end(), inner.begin(), inner.end());
  EXPECT_FALSE(AdjustFillRectangle(two, out));
  EXPECT_FALSE(AdjustFillRectangle(Poly({{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 5}}, false), out));
  EXPECT_TRUE(out.empty());
}

TEST(StrokeAdjust, LinesGetWholePixelSides) {
  std::vector<TPathOp> out;
  // A 1-pixel vertical line at x = 40.3 covers pixel 40 exactly.
  auto width = AdjustStrokeLines(Poly({{40.3, 10}, {40.3, 50}}, false), 1.0, out);
  ASSERT_TRUE(width);
  EXPECT_EQ(*width, 1);
  EXPECT_EQ(out[0].p[0].x, 40.5);
  EXPECT_EQ(out[1].p[0].y, 50);  // along the line nothing moves
  // Hairlines become one pixel; wider lines span the pixels their sides round to.
  width = AdjustStrokeLines(Poly({{10, 20.2}, {90, 20.2}}, false), 0.3, out);
  EXPECT_EQ(*width, 1);
  EXPECT_EQ(out[0].p[0].y, 20.5);
  width = AdjustStrokeLines(Poly({{40, 10}, {40, 50}}, false), 1.5, out);
  EXPECT_EQ(*width, 2);
  EXPECT_EQ(out[0].p[0].x, 40);
  // A corner shared by a horizontal and a vertical line snaps both ways.
  width = AdjustStrokeLines(Poly({{70.2, 50.2}, {90.2, 50.2}, {90.2, 70.2}}, false), 1, out);
  EXPECT_EQ(out[1].p[0], (TPDFPoint{90.5, 50.5}));
}

TEST(StrokeAdjust, SlantedLinesAndCurvesAreLeftAlone) {
  std::vector<TPathOp> out;
  EXPECT_FALSE(AdjustStrokeLines(Poly({{0, 0}, {10, 10}}, false), 1, out));
  std::vector<TPathOp> curve = Poly({{0, 0}}, false);
  curve.push_back({TPathOpKind::Curve, {{1, 0}, {2, 0}, {3, 0}}});
  EXPECT_FALSE(AdjustStrokeLines(curve, 1, out));
  EXPECT_FALSE(AdjustStrokeLines(Poly({{0, 0}}, false), 1, out));
  EXPECT_FALSE(AdjustStrokeLines(Poly({{0, 0}, {5, 0}}, false), std::nan(""), out));
  EXPECT_TRUE(out.empty());
}

TEST(StrokeAdjust, RendererSnapsRulesButNotClips) {
  testing::TRendererFixture f(false);
  f.renderer.StrokeAdjust = true;
  f.Render("10.3 10.3 20.4 20.4 re f 0 0 m 50 0.3 l S 10.3 40.3 20.4 20.4 re W n 5.2 5.2 m 5.2 9 l S");
  EXPECT_TRUE(f.Has("MoveTo 10 90"));      // rectangle corner (10.3, 89.7) snapped
  EXPECT_TRUE(f.Has("LineTo 50 99.7"));    // slanted: as it is
  EXPECT_TRUE(f.Has("MoveTo 10.3 59.7"));  // the clip rectangle: as it is
  EXPECT_TRUE(f.Has("MoveTo 5.5 94.8"));   // vertical rule: centred on pixel 5
}

TEST(StrokeAdjust, FillAndStrokeOfARectangleAreSnappedSeparately) {
  testing::TRendererFixture f(false);
  f.renderer.StrokeAdjust = true;
  f.Render("10.3 10.3 20.4 20.4 re B");
  EXPECT_EQ(f.Count("FillPath"), 1u);
  EXPECT_EQ(f.Count("StrokePath"), 1u);
  EXPECT_EQ(f.Count("FillStrokePath"), 0u);
  EXPECT_TRUE(f.Has("MoveTo 10 90"));
  EXPECT_TRUE(f.Has("MoveTo 10.5 89.5"));
}

}  // namespace
}  // namespace kestrel
