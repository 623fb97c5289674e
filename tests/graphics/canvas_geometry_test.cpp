#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "engine/graphics/canvas_geometry.h"
#include "engine/graphics/canvas_path.h"

namespace kestrel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TPolyline Line(std::vector<TPDFPoint> pts, bool closed = false) { return {std::move(pts), closed}; }

double Length(const TPolyline& l) {
  double s = 0;
  for (std::size_t i = 1; i < l.points.size(); ++i) {
    s += std::hypot(l.points[i].x - l.points[i - 1].x, l.points[i].y - l.points[i - 1].y);
  }
  return s;
}

// Dash ops back as polylines (a dot, Move and Line to the same point, has one point).
std::optional<std::vector<TPolyline>> Dash(const std::vector<TPolyline>& lines,
                                           std::span<const double> pattern, double phase,
                                           const TBox& box, std::size_t maxSteps) {
  const auto ops = DashPolylines(lines, pattern, phase, box, maxSteps);
  if (!ops) return std::nullopt;
  std::vector<TPolyline> out;
  for (const TPathOp& op : *ops) {
    switch (op.kind) {
      case TPathOpKind::Move: out.push_back({{op.p[0]}, false}); break;
      case TPathOpKind::Line:
        if (out.empty()) ADD_FAILURE() << "line without a move";
        else if (!(out.back().points.back() == op.p[0])) out.back().points.push_back(op.p[0]);
        break;
      case TPathOpKind::Close: out.back().closed = true; break;
      case TPathOpKind::Curve: ADD_FAILURE() << "dashes are straight"; break;
    }
  }
  return out;
}

// Winding number of a closed polygon around p.
int Winding(const std::vector<TPDFPoint>& poly, TPDFPoint p) {
  int w = 0;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const TPDFPoint a = poly[i], b = poly[(i + 1) % poly.size()];
    const double cross = (b.x - a.x) * (p.y - a.y) - (p.x - a.x) * (b.y - a.y);
    if (a.y <= p.y && b.y > p.y && cross > 0) ++w;
    if (a.y > p.y && b.y <= p.y && cross < 0) --w;
  }
  return w;
}

TEST(CanvasPathTest, DropsSegmentsWithNonFinitePoints) {
  TCanvasPath path;
  path.MoveTo({0, 0});
  path.LineTo({0, 0}, {10, 0});
  path.LineTo({10, 0}, {kNaN, 5});        // dropped
  path.LineTo({kNaN, 5}, {10, 10});       // no start point: begins a new figure at its end
  path.CurveTo({10, 10}, {kInf, 0}, {0, 0}, {0, 10});  // dropped, continues from its end
  path.LineTo({0, 10}, {5, 5});
  for (const TPathOp& op : path.Ops()) {
    for (const TPDFPoint& p : op.p) {
      EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    }
  }
  ASSERT_EQ(path.Ops().size(), 4u);
  EXPECT_EQ(path.Ops()[2].kind, TPathOpKind::Move);
  EXPECT_EQ(path.Ops()[2].p[0], (TPDFPoint{0, 10}));
  EXPECT_EQ(path.Ops()[3].kind, TPathOpKind::Line);
  EXPECT_EQ(path.Bounds().maxX, 10);
}

TEST(CanvasPathTest, CountsPointsAsAFigureLibraryDoes) {
  TCanvasPath path;
  path.MoveTo({0, 0});
  path.LineTo({0, 0}, {1, 0});
  EXPECT_EQ(path.PointCount(), 2u);
  path.LineTo({1, 0}, {1, 1});
  EXPECT_EQ(path.PointCount(), 3u);
  path.CurveTo({1, 1}, {2, 2}, {3, 3}, {4, 4});
  EXPECT_EQ(path.PointCount(), 6u);
  path.ClosePath();
  path.ClosePath();  // a second close adds nothing
  EXPECT_EQ(path.Ops().back().kind, TPathOpKind::Close);
  EXPECT_EQ(path.Ops().size(), 5u);
  EXPECT_EQ(path.FigureStart(), (TPDFPoint{0, 0}));
}

TEST(CanvasPathTest, SegmentAfterCloseStartsANewFigure) {
  TCanvasPath path;
  path.MoveTo({0, 0});
  path.LineTo({0, 0}, {5, 0});
  path.ClosePath();
  path.LineTo({0, 0}, {0, 5});
  ASSERT_EQ(path.Ops().size(), 5u);
  EXPECT_EQ(path.Ops()[3].kind, TPathOpKind::Move);
  EXPECT_EQ(path.Ops()[3].p[0], (TPDFPoint{0, 0}));
}

TEST(CanvasGeometryTest, FlattensCurvesWithinTolerance) {
  std::vector<TPathOp> ops = {{TPathOpKind::Move, {{0, 0}}},
                              {TPathOpKind::Curve, {{0, 55.2285}, {44.7715, 100}, {100, 100}}}};
  const auto lines = FlattenPath(ops, 0.1);
  ASSERT_EQ(lines.size(), 1u);
  const auto& pts = lines[0].points;
  ASSERT_GT(pts.size(), 10u);
  EXPECT_EQ(pts.front(), (TPDFPoint{0, 0}));
  EXPECT_EQ(pts.back(), (TPDFPoint{100, 100}));
  // The curve is nearly a quarter circle of radius 100 around (100, 0).
  for (const TPDFPoint& p : pts) EXPECT_NEAR(std::hypot(p.x - 100, p.y), 100, 0.2);
}

TEST(CanvasGeometryTest, HugeCurvesBecomeABoundedNumberOfSegments) {
  std::vector<TPathOp> ops = {{TPathOpKind::Move, {{0, 0}}},
                              {TPathOpKind::Curve, {{1e30, -1e30}, {-1e30, 1e30}, {5, 5}}}};
  const auto lines = FlattenPath(ops, 0.1);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_LE(lines[0].points.size(), kMaxCurveSegments + 1);
}

TEST(CanvasGeometryTest, PolygonClippingKeepsWindingInsideTheBox) {
  // A self-crossing star reaching far beyond the box; winding numbers inside must not change.
  std::vector<TPDFPoint> star;
  for (int i = 0; i < 5; ++i) {
    const double angle = -M_PI / 2 + i * 4 * M_PI / 5;
    star.push_back({50 + 1e9 * std::cos(angle), 50 + 1e9 * std::sin(angle)});
  }
  const TBox box{0, 0, 100, 100};
  const auto clipped = ClipPolygons({Line(star, true)}, box);
  ASSERT_EQ(clipped.size(), 1u);
  for (const TPDFPoint& p : clipped[0].points) {
    EXPECT_GE(p.x, box.minX - 1e-6);
    EXPECT_LE(p.x, box.maxX + 1e-6);
  }
  for (TPDFPoint probe : {TPDFPoint{50, 50}, TPDFPoint{10, 90}, TPDFPoint{95, 5}}) {
    EXPECT_EQ(Winding(clipped[0].points, probe), Winding(star, probe));
  }
}

TEST(CanvasGeometryTest, PolylineClippingCutsAtTheBox) {
  const TBox box{0, 0, 10, 10};
  const auto parts = ClipPolylines({Line({{-10, 5}, {20, 5}, {20, 6}, {5, 6}})}, box);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].points.front(), (TPDFPoint{0, 5}));
  EXPECT_EQ(parts[0].points.back(), (TPDFPoint{10, 5}));
  EXPECT_EQ(parts[1].points.front(), (TPDFPoint{10, 6}));
  EXPECT_EQ(parts[1].points.back(), (TPDFPoint{5, 6}));
  // A closed outline wholly inside stays closed.
  const auto inside = ClipPolylines({Line({{1, 1}, {9, 1}, {9, 9}}, true)}, box);
  ASSERT_EQ(inside.size(), 1u);
  EXPECT_TRUE(inside[0].closed);
}

TEST(CanvasGeometryTest, DashesHaveTheirLengths) {
  const double pattern[] = {6, 4};
  const TBox box{-100, -100, 1000, 1000};
  const auto dashes = Dash({Line({{0, 0}, {50, 0}})}, pattern, 0, box, 1000);
  ASSERT_TRUE(dashes.has_value());
  ASSERT_EQ(dashes->size(), 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ((*dashes)[i].points.front().x, 10.0 * i);
    EXPECT_DOUBLE_EQ(Length((*dashes)[i]), 6);
  }
}

TEST(CanvasGeometryTest, DashPhaseShiftsThePattern) {
  const double pattern[] = {6, 4};
  const TBox box{-100, -100, 1000, 1000};
  const auto dashes = Dash({Line({{0, 0}, {20, 0}})}, pattern, 2, box, 1000);
  ASSERT_TRUE(dashes.has_value());
  // On 0..4 (the first dash had 2 of its 6 used up), 8..14 and 18..20.
  ASSERT_EQ(dashes->size(), 3u);
  EXPECT_DOUBLE_EQ(Length((*dashes)[0]), 4);
  EXPECT_DOUBLE_EQ((*dashes)[1].points.front().x, 8);
  EXPECT_DOUBLE_EQ(Length((*dashes)[1]), 6);
  EXPECT_DOUBLE_EQ(Length((*dashes)[2]), 2);
}

TEST(CanvasGeometryTest, OddDashArraysSwapRolesEachRound) {
  const double pattern[] = {3};
  const TBox box{-100, -100, 1000, 1000};
  const auto dashes = Dash({Line({{0, 0}, {12, 0}})}, pattern, 0, box, 1000);
  ASSERT_TRUE(dashes.has_value());
  ASSERT_EQ(dashes->size(), 2u);
  EXPECT_DOUBLE_EQ((*dashes)[1].points.front().x, 6);
}

TEST(CanvasGeometryTest, DashesFollowCornersAndJoinAcrossTheStartOfClosedOutlines) {
  const double pattern[] = {15, 5};
  const TBox box{-100, -100, 1000, 1000};
  // A 10 x 10 square: perimeter 40, so dashes at 0-15 and 20-35, and 35-40 wraps into 0-15.
  const auto dashes =
      Dash({Line({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true)}, pattern, 20, box, 1000);
  ASSERT_TRUE(dashes.has_value());
  // phase 20: starts on a dash of 15 covering 0..15, off 15..20, dash 20..35, off 35..40.
  ASSERT_EQ(dashes->size(), 2u);
  EXPECT_DOUBLE_EQ(Length((*dashes)[0]), 15);
  EXPECT_EQ((*dashes)[0].points.size(), 3u);  // it bends round the corner at (10, 0)
  EXPECT_DOUBLE_EQ(Length((*dashes)[1]), 15);

  const auto wrap =
      Dash({Line({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, true)}, pattern, 10, box, 1000);
  ASSERT_TRUE(wrap.has_value());
  // Phase 10: dash 0..5, off 5..10, dash 10..25, off 25..30, dash 30..40 which runs over the
  // start into the first dash: together one dash of 15 starting at (0, 10).
  ASSERT_EQ(wrap->size(), 2u);
  EXPECT_EQ((*wrap)[0].points.front(), (TPDFPoint{10, 0}));
  EXPECT_DOUBLE_EQ(Length((*wrap)[0]), 15);
  EXPECT_EQ(wrap->back().points.front(), (TPDFPoint{0, 10}));
  EXPECT_EQ(wrap->back().points.back(), (TPDFPoint{5, 0}));
  EXPECT_DOUBLE_EQ(Length(wrap->back()), 15);
}

TEST(CanvasGeometryTest, ASingleDashLongerThanAClosedOutlineKeepsItClosed) {
  const double pattern[] = {100, 1};
  const TBox box{-100, -100, 1000, 1000};
  const auto dashes =
      Dash({Line({{0, 0}, {10, 0}, {10, 10}}, true)}, pattern, 0, box, 1000);
  ASSERT_TRUE(dashes.has_value());
  ASSERT_EQ(dashes->size(), 1u);
  EXPECT_TRUE((*dashes)[0].closed);
  EXPECT_EQ((*dashes)[0].points.size(), 3u);
}

TEST(CanvasGeometryTest, UnusableDashPatternsAreRefused) {
  const TBox box{0, 0, 10, 10};
  const std::vector<TPolyline> line = {Line({{0, 0}, {10, 0}})};
  const double zeros[] = {0, 0};
  const double negative[] = {3, -1};
  const double nan[] = {3, kNaN};
  EXPECT_FALSE(Dash(line, zeros, 0, box, 1000).has_value());
  EXPECT_FALSE(Dash(line, negative, 0, box, 1000).has_value());
  EXPECT_FALSE(Dash(line, nan, 0, box, 1000).has_value());
  EXPECT_FALSE(Dash(line, {}, 0, box, 1000).has_value());
}

TEST(CanvasGeometryTest, TooFinePatternsGiveUpInsteadOfStalling) {
  const TBox box{0, 0, 100, 100};
  const std::vector<TPolyline> line = {Line({{0, 5}, {100, 5}})};
  // A period below half a pixel is not worth walking.
  const double tiny[] = {1e-9, 1e-9};
  EXPECT_FALSE(Dash(line, tiny, 0, box, 10000).has_value());
  const double subPixel[] = {0.2, 0.2};
  EXPECT_FALSE(Dash(line, subPixel, 0, box, 10000).has_value());
  // Fine enough to draw, but more boundaries than the budget allows.
  const double fine[] = {0.5, 0.5};
  EXPECT_TRUE(Dash(line, fine, 0, box, 10000).has_value());
  EXPECT_FALSE(Dash(line, fine, 0, box, 150).has_value());
}

TEST(CanvasGeometryTest, ZeroLengthDashesBecomeDots) {
  const double pattern[] = {0, 5};
  const TBox box{-10, -10, 100, 100};
  const auto dots = Dash({Line({{0, 0}, {20, 0}})}, pattern, 0, box, 1000);
  ASSERT_TRUE(dots.has_value());
  // At 0, 5, 10 and 15; a dash that would begin exactly at the end has no length to draw.
  ASSERT_EQ(dots->size(), 4u);
  for (const TPolyline& d : *dots) EXPECT_EQ(d.points.size(), 1u);
}

TEST(CanvasGeometryTest, DashesFarOutsideTheBoxCostNothing) {
  const double pattern[] = {2, 2};
  const TBox box{0, 0, 100, 100};
  // 1e30 long: only the part in the box is walked; the rest advances arithmetically.
  const auto dashes =
      Dash({Line({{-1e30, 50}, {1e30, 50}})}, pattern, 0, box, 10000);
  ASSERT_TRUE(dashes.has_value());
  EXPECT_GE(dashes->size(), 20u);
  EXPECT_LE(dashes->size(), 30u);
  for (const TPolyline& d : *dashes) {
    EXPECT_GE(d.points.front().x, 0);
    EXPECT_LE(d.points.back().x, 100);
  }
}

}  // namespace
}  // namespace kestrel
