// Clip paths that are not rectangles on a Windows metafile: the canvas cuts fills, outlines and
// pictures to them itself, since the format clips only to rectangles.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "canvas_shapes.h"
#include "engine/output/metafile/metafile.h"
#include "engine/output/metafile/metafile_canvas.h"
#include "engine/output/metafile/metafile_clip.h"
#include "engine/output/metafile/metafile_nonzero.h"
#include "fuzz/harness/metafile.h"

namespace kestrel {
namespace {

int WindingAt(const std::vector<TPolyline>& polys, double x, double y) {
  int w = 0;
  for (const TPolyline& p : polys) {
    const std::size_t n = p.points.size();
    for (std::size_t i = 0; i < n; ++i) {
      const TPDFPoint a = p.points[i], b = p.points[(i + 1) % n];
      if ((a.y <= y) != (b.y <= y)) {
        const double cx = a.x + (y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (cx > x) w += b.y > a.y ? 1 : -1;
      }
    }
  }
  return w;
}

double Area(const std::vector<TPolyline>& polys) {
  double total = 0;
  for (const TPolyline& p : polys) {
    double a = 0;
    const std::size_t n = p.points.size();
    for (std::size_t i = 0; i < n; ++i) {
      const TPDFPoint u = p.points[i], v = p.points[(i + 1) % n];
      a += u.x * v.y - v.x * u.y;
    }
    total += std::fabs(a) / 2;
  }
  return total;
}

std::vector<TPolyline> Polygon(std::initializer_list<TPDFPoint> pts) {
  return {TPolyline{std::vector<TPDFPoint>(pts), true}};
}

std::vector<TPolyline> RecordFigures(const TKestrelMetafile& meta, const TMetafileRecord& r) {
  std::vector<TPolyline> out;
  for (std::uint32_t i = 0; i < r.FigureCount; ++i) {
    const TMetafileFigure& f = meta.Figures()[r.FirstFigure + i];
    TPolyline p;
    p.closed = f.Closed;
    for (std::uint32_t k = 0; k < f.Count; ++k)
      p.points.push_back({meta.Points()[f.First + k].x, meta.Points()[f.First + k].y});
    out.push_back(p);
  }
  return out;
}

const TMetafileRecord* Last(const TKestrelMetafile& meta, TMetafileOp op) {
  for (auto it = meta.Records().rbegin(); it != meta.Records().rend(); ++it)
    if (it->Op == op) return &*it;
  return nullptr;
}

TEST(MetafileIntersect, PiecesCoverExactlyWhatBothRulesCover) {
  // Subject: two overlapping squares, non-zero (winding 2 where they meet) or even-odd (a hole).
  std::vector<TPolyline> subject = Polygon({{0, 0}, {60, 0}, {60, 60}, {0, 60}});
  subject.push_back({{{30, 30}, {100, 30}, {100, 90}, {30, 90}}, true});
  // Clip: a ring made of two outlines turning the same way, read even-odd.
  std::vector<TPolyline> ring = Polygon({{10, 10}, {90, 10}, {90, 80}, {10, 80}});
  ring.push_back({{{40, 20}, {70, 20}, {70, 50}, {40, 50}}, true});
  for (bool subjectEvenOdd : {false, true}) {
    const auto pieces = IntersectAsDisjoint(subject, subjectEvenOdd, ring, true);
    ASSERT_TRUE(pieces);
    for (double y = 0.5; y < 95; y += 2.9) {
      for (double x = 0.5; x < 105; x += 3.1) {
        const int ws = WindingAt(subject, x, y), wc = WindingAt(ring, x, y);
        const bool inSubject = subjectEvenOdd ? (ws & 1) : ws != 0;
        const bool expected = inSubject && (wc & 1);
        const int w = WindingAt(*pieces, x, y);
        EXPECT_LE(std::abs(w), 1) << x << "," << y;
        EXPECT_EQ(w != 0, expected) << subjectEvenOdd << " at " << x << "," << y;
      }
    }
  }
  // A triangle cut by a square: exact area, edges crossing inside bands included.
  const auto tri = IntersectAsDisjoint(Polygon({{0, 0}, {100, 0}, {0, 100}}), false,
                                       Polygon({{20, -10}, {120, -10}, {120, 90}, {20, 90}}), false);
  ASSERT_TRUE(tri);
  EXPECT_NEAR(Area(*tri), 80.0 * 80.0 / 2, 1.0);
  // Sets that do not meet give no pieces at all.
  const auto apart = IntersectAsDisjoint(Polygon({{0, 0}, {10, 0}, {10, 10}}), false,
                                         Polygon({{50, 50}, {60, 50}, {60, 60}}), false);
  ASSERT_TRUE(apart);
  EXPECT_TRUE(apart->empty());
}

TEST(MetafileClipRegion, OutlinesAreCutWhereTheyCrossAndClosedOnesStayJoined) {
  TClipRegion diamond;
  diamond.polygons = Polygon({{50, 0}, {100, 50}, {50, 100}, {0, 50}});
  UpdateClipBounds(diamond);
  std::size_t work = 0;
  const std::vector<TPolyline> lines{{{{-10, 50}, {110, 50}}, false},
                                     {{{40, 40}, {60, 40}, {60, 60}, {40, 60}}, true},
                                     {{{200, 200}}, false}};
  const auto cut = ClipPolylinesToRegion(lines, diamond, work, 1'000'000);
  ASSERT_TRUE(cut);
  ASSERT_EQ(cut->size(), 2u);
  EXPECT_NEAR((*cut)[0].points.front().x, 0, 1e-9);
  EXPECT_NEAR((*cut)[0].points.back().x, 100, 1e-9);
  EXPECT_TRUE((*cut)[1].closed);
  EXPECT_EQ((*cut)[1].points.size(), 4u);
  // A closed square crossing the corner at x=100: the cut piece wraps through its start.
  const std::vector<TPolyline> square{{{{80, 40}, {120, 40}, {120, 60}, {80, 60}}, true}};
  const auto wrapped = ClipPolylinesToRegion(square, diamond, work, 1'000'000);
  ASSERT_TRUE(wrapped);
  ASSERT_EQ(wrapped->size(), 1u);
  EXPECT_FALSE((*wrapped)[0].closed);
  for (const TPDFPoint& p : (*wrapped)[0].points) EXPECT_LE(p.x, 90 + 1e-9);
  // The work bound holds.
  work = 0;
  EXPECT_FALSE(ClipPolylinesToRegion(lines, diamond, work, 3));
  const auto spans = RegionRowSpans(diamond, 25, work, 1'000'000);
  ASSERT_TRUE(spans);
  ASSERT_EQ(spans->size(), 1u);
  EXPECT_NEAR((*spans)[0].first, 25, 1e-9);
  EXPECT_NEAR((*spans)[0].second, 75, 1e-9);
}

using testing::Box;
using testing::Circle;

class MetafileClipTest : public ::testing::Test {
 protected:
  void ClipCircle(TMetafileCanvas& c) {
    c.BeginPath();
    Circle(c, 100, 50, 40);
    c.SetClip(kFillRuleNonZero);
    c.EndPath();
  }
  void FillPage(TMetafileCanvas& c) {
    c.SetFillRule(kFillRuleNonZero);
    c.BeginPath();
    Box(c, -5, -5, 210, 110);
    c.FillPath();
  }
  TKestrelMetafile meta;
};

TEST_F(MetafileClipTest, FillsUnderACircleClipStayInsideIt) {
  meta.Reset(false, 200, 100);
  TMetafileCanvas c(meta);
  ClipCircle(c);
  FillPage(c);
  const TMetafileRecord* fill = Last(meta, TMetafileOp::Fill);
  ASSERT_NE(fill, nullptr);
  const auto pieces = RecordFigures(meta, *fill);
  for (const TPolyline& p : pieces)
    for (const TPDFPoint& q : p.points) EXPECT_LE(std::hypot(q.x - 100, q.y - 50), 40.05);
  EXPECT_NEAR(Area(pieces), std::numbers::pi * 40 * 40, 0.01 * std::numbers::pi * 40 * 40);
  EXPECT_EQ(meta.Dropped(), 0u);
  EXPECT_TRUE(fuzzharness::WalkWindowsMetafile(meta.Write()).ok);

  // The enhanced metafile clips to the path itself: the fill is recorded whole.
  TKestrelMetafile emf;
  emf.Reset(true, 200, 100);
  TMetafileCanvas e(emf);
  ClipCircle(e);
  FillPage(e);
  const TMetafileRecord* whole = Last(emf, TMetafileOp::Fill);
  ASSERT_NE(whole, nullptr);
  EXPECT_NEAR(Area(RecordFigures(emf, *whole)), 210.0 * 110, 1);
}

TEST_F(MetafileClipTest, NestedTriangleAndEvenOddRingClipsIntersect) {
  meta.Reset(false, 200, 100);
  TMetafileCanvas c(meta);
  // A triangle, then inside it a ring read even-odd (both outlines turn the same way).
  c.BeginPath();
  c.MoveTo(0, 0);
  c.LineTo(200, 0);
  c.LineTo(0, 100);
  c.ClosePath();
  c.SetClip(kFillRuleNonZero);
  c.EndPath();
  const TClipHandle triangle = c.SaveClip();
  c.BeginPath();
  Box(c, 10, 10, 120, 60);
  Box(c, 30, 20, 40, 20);
  c.SetClip(kFillRuleEvenOdd);
  c.EndPath();
  c.SetFillColor(PackRGB(0, 0, 255));
  FillPage(c);
  const TMetafileRecord* fill = Last(meta, TMetafileOp::Fill);
  ASSERT_NE(fill, nullptr);
  const auto pieces = RecordFigures(meta, *fill);
  for (double y = 1; y < 100; y += 2.3) {
    for (double x = 1; x < 200; x += 2.7) {
      const bool inTriangle = x / 200 + y / 100 < 1;
      const bool inOuter = x > 10 && x < 130 && y > 10 && y < 70;
      const bool inHole = x > 30 && x < 70 && y > 20 && y < 40;
      EXPECT_EQ(WindingAt(pieces, x, y) != 0, inTriangle && inOuter && !inHole) << x << "," << y;
    }
  }
  // Back to the triangle alone: a fill is then cut to the triangle only.
  c.RestoreClip(triangle);
  FillPage(c);
  const auto cut = RecordFigures(meta, *Last(meta, TMetafileOp::Fill));
  EXPECT_NEAR(Area(cut), 200.0 * 100 / 2, 1);
  EXPECT_EQ(WindingAt(cut, 120, 20) != 0, true);
  EXPECT_EQ(WindingAt(cut, 180, 80), 0);
  EXPECT_TRUE(fuzzharness::WalkWindowsMetafile(meta.Write()).ok);
}

TEST_F(MetafileClipTest, OutlinesAndPicturesAreCutToTheClip) {
  meta.Reset(false, 200, 100);
  TMetafileCanvas c(meta);
  const TClipHandle page = c.SaveClip();
  ClipCircle(c);
  c.SetLineWidth(2);
  c.BeginPath();
  c.MoveTo(0, 50);
  c.LineTo(200, 50);
  c.StrokePath();
  const TMetafileRecord* stroke = Last(meta, TMetafileOp::Stroke);
  ASSERT_NE(stroke, nullptr);
  const auto lines = RecordFigures(meta, *stroke);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NEAR(lines[0].points.front().x, 60, 0.05);
  EXPECT_NEAR(lines[0].points.back().x, 140, 0.05);

  // A picture over the whole circle: pixels outside it are masked, those inside kept.
  TCanvasBitmap b;
  b.Width = 80;
  b.Height = 80;
  b.Pixels.assign(80 * 80, 0xFF336699);
  c.DrawBitmap(b, 60, 10, 140, 10, 60, 90, TImageSampling::Nearest);
  ASSERT_EQ(meta.Images().size(), 1u);
  const TMetafileImage& image = meta.Images()[0];
  ASSERT_EQ(image.Mask.size(), 80u * 80u);
  std::size_t kept = 0;
  for (int y = 0; y < 80; ++y) {
    for (int x = 0; x < 80; ++x) {
      const double d = std::hypot(x + 0.5 - 40, y + 0.5 - 40);
      const bool on = image.Mask[static_cast<std::size_t>(y) * 80 + x] != 0;
      if (d < 39) {
        EXPECT_TRUE(on) << x << "," << y;
      }
      if (d > 41) {
        EXPECT_FALSE(on) << x << "," << y;
      }
      kept += on;
    }
  }
  EXPECT_NEAR(static_cast<double>(kept), std::numbers::pi * 40 * 40, 60);
  // Wholly outside the clip: nothing recorded.
  c.DrawBitmap(b, 0, 0, 10, 0, 0, 10, TImageSampling::Nearest);
  EXPECT_EQ(meta.Images().size(), 1u);

  // Back outside every clip, and under a plain rectangle: drawing is recorded as it is.
  c.RestoreClip(page);
  c.BeginPath();
  Box(c, 20, 20, 50, 50);
  c.SetClip(kFillRuleNonZero);
  c.EndPath();
  FillPage(c);
  EXPECT_NEAR(Area(RecordFigures(meta, *Last(meta, TMetafileOp::Fill))), 210.0 * 110, 1);
  EXPECT_EQ(meta.Dropped(), 0u);
  EXPECT_TRUE(fuzzharness::WalkWindowsMetafile(meta.Write()).ok);
}

TEST_F(MetafileClipTest, AClipTooComplexToCutFallsBackToItsBoundingBox) {
  meta.Reset(false, 200, 100);
  TMetafileCanvas c(meta);
  // A comb of more (slanted) edges than one cut may take.
  c.BeginPath();
  const int n = static_cast<int>(kMaxNonZeroEdges) + 10;
  c.MoveTo(20, 20);
  for (int i = 1; i < n; ++i) c.LineTo(20 + 160.0 * i / n, i % 2 ? 80 : 20);
  c.ClosePath();
  c.SetClip(kFillRuleNonZero);
  c.EndPath();
  FillPage(c);
  EXPECT_EQ(meta.Dropped(), 1u);
  const TMetafileRecord* fill = Last(meta, TMetafileOp::Fill);
  ASSERT_NE(fill, nullptr);
  EXPECT_NEAR(Area(RecordFigures(meta, *fill)), 210.0 * 110, 1);
  EXPECT_TRUE(fuzzharness::WalkWindowsMetafile(meta.Write()).ok);
}

}  // namespace
}  // namespace kestrel
