// The metafile canvas: what it records for fills, strokes, dashes, alpha, clips and pictures,
// and the rewrite of overlapping non-zero fills.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/output/metafile/metafile.h"
#include "engine/output/metafile/metafile_canvas.h"
#include "engine/output/metafile/metafile_nonzero.h"
#include "fuzz/harness/metafile.h"

namespace kestrel {
namespace {

void Rect(TPDFGenericCanvas& c, double x, double y, double w, double h, bool reverse = false) {
  c.MoveTo(x, y);
  if (reverse) {
    c.LineTo(x, y + h);
    c.LineTo(x + w, y + h);
    c.LineTo(x + w, y);
  } else {
    c.LineTo(x + w, y);
    c.LineTo(x + w, y + h);
    c.LineTo(x, y + h);
  }
  c.ClosePath();
}

int Winding(const std::vector<TPolyline>& polys, double x, double y) {
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

TEST(MetafileNonZero, OverlapsBecomeDisjointPiecesCoveringTheSameArea) {
  const std::vector<TPolyline> squares{
      {{{0, 0}, {60, 0}, {60, 60}, {0, 60}}, true},
      {{{30, 30}, {100, 30}, {100, 70}, {30, 70}}, true},
      // A pentagram: its centre has winding 2.
      {{{150, 0}, {180, 90}, {105, 35}, {195, 35}, {120, 90}}, true}};
  const auto pieces = NonZeroAsDisjoint(squares);
  ASSERT_TRUE(pieces);
  for (double y = 0.5; y < 95; y += 3.7) {
    for (double x = 0.5; x < 200; x += 3.3) {
      const bool nonZero = Winding(squares, x, y) != 0;
      const int w = Winding(*pieces, x, y);
      EXPECT_LE(std::abs(w), 1) << x << "," << y;
      EXPECT_EQ(w != 0, nonZero) << x << "," << y;
    }
  }
}

TEST(MetafileNonZero, FiguresWithoutOverlapAreLeftAlone) {
  // A ring whose hole turns the other way: winding 0 in the hole, 1 in the ring.
  const std::vector<TPolyline> ring{{{{0, 0}, {90, 0}, {90, 90}, {0, 90}}, true},
                                    {{{30, 30}, {30, 60}, {60, 60}, {60, 30}}, true}};
  EXPECT_FALSE(NonZeroAsDisjoint(ring));
  EXPECT_FALSE(NonZeroAsDisjoint({}));
}

class MetafileCanvasTest : public ::testing::Test {
 protected:
  MetafileCanvasTest() { meta.Reset(true, 200, 100); }
  TKestrelMetafile meta;
};

TEST_F(MetafileCanvasTest, NonZeroOverlapIsRecordedSoThatEvenOddReadsTheSame) {
  TMetafileCanvas c(meta);
  c.SetFillRule(kFillRuleNonZero);
  c.BeginPath();
  Rect(c, 10, 10, 50, 50);
  Rect(c, 30, 30, 50, 50);
  c.FillPath();
  ASSERT_EQ(meta.Records().size(), 1u);
  // Re-read the recorded figures: each point is covered at most once.
  std::vector<TPolyline> figures;
  for (const TMetafileFigure& f : meta.Figures()) {
    TPolyline p;
    for (std::uint32_t i = 0; i < f.Count; ++i)
      p.points.push_back({meta.Points()[f.First + i].x, meta.Points()[f.First + i].y});
    figures.push_back(p);
  }
  EXPECT_EQ(std::abs(Winding(figures, 45, 45)), 1);
  EXPECT_EQ(std::abs(Winding(figures, 15, 15)), 1);
  EXPECT_EQ(std::abs(Winding(figures, 75, 75)), 1);
  EXPECT_EQ(Winding(figures, 75, 15), 0);
  // Even-odd keeps the two squares as they are.
  c.SetFillRule(kFillRuleEvenOdd);
  c.BeginPath();
  Rect(c, 10, 10, 50, 50);
  Rect(c, 30, 30, 50, 50);
  c.FillPath();
  ASSERT_EQ(meta.Records().size(), 2u);
  EXPECT_TRUE(meta.Records()[1].EvenOdd);
  EXPECT_EQ(meta.Records()[1].FigureCount, 2u);
}

TEST_F(MetafileCanvasTest, AlphaMixesWithWhiteAndZeroAlphaDrawsNothing) {
  TMetafileCanvas c(meta);
  c.SetFillColor(PackRGB(255, 0, 0));
  c.SetFillAlpha(0.5);
  c.BeginPath();
  Rect(c, 0, 0, 10, 10);
  c.FillPath();
  ASSERT_EQ(meta.Records().size(), 1u);
  EXPECT_EQ(meta.Records()[0].Color, PackRGB(255, 128, 128));
  c.SetFillAlpha(0);
  c.BeginPath();
  Rect(c, 0, 0, 10, 10);
  c.FillPath();
  EXPECT_EQ(meta.Records().size(), 1u);
  EXPECT_EQ(OpaqueOverWhite(PackRGB(0, 0, 0), std::nan("")), PackRGB(0, 0, 0));
}

TEST_F(MetafileCanvasTest, DashesBecomeSeparateOutlinesWithThePen) {
  TMetafileCanvas c(meta);
  c.SetLineWidth(2);
  c.SetLineCap(TLineCap::Round);
  c.SetLineJoin(TLineJoin::Bevel);
  c.SetDash({2, 1}, 0);  // 4 px on, 2 px off
  c.BeginPath();
  c.MoveTo(10, 50);
  c.LineTo(70, 50);
  c.StrokePath();
  ASSERT_EQ(meta.Records().size(), 1u);
  const TMetafileRecord& r = meta.Records()[0];
  EXPECT_EQ(r.Op, TMetafileOp::Stroke);
  EXPECT_EQ(r.FigureCount, 10u);
  EXPECT_EQ(r.Pen.Cap, 1);
  EXPECT_EQ(r.Pen.Join, 2);
  EXPECT_DOUBLE_EQ(r.Pen.Width, 2);
  const TMetafileFigure& first = meta.Figures()[r.FirstFigure];
  EXPECT_FLOAT_EQ(meta.Points()[first.First].x, 10);
  EXPECT_FLOAT_EQ(meta.Points()[first.First + first.Count - 1].x, 14);
  // Thin lines are drawn a pixel wide; a closed outline stays closed.
  c.SetDash({}, 0);
  c.SetLineWidth(0.1);
  c.BeginPath();
  Rect(c, 5, 5, 20, 20);
  c.StrokePath();
  ASSERT_EQ(meta.Records().size(), 2u);
  EXPECT_DOUBLE_EQ(meta.Records()[1].Pen.Width, 1);
  EXPECT_TRUE(meta.Figures()[meta.Records()[1].FirstFigure].Closed);
}

TEST_F(MetafileCanvasTest, ClipSnapshotsBecomeBalancedPushesAndPops) {
  TMetafileCanvas c(meta);
  const TClipHandle outside = c.SaveClip();
  c.BeginPath();
  Rect(c, 0, 0, 100, 100);
  c.SetClip(kFillRuleNonZero);
  c.EndPath();
  const TClipHandle first = c.SaveClip();
  c.BeginPath();
  Rect(c, 10, 10, 20, 20);
  c.SetClip(kFillRuleNonZero);
  c.EndPath();
  EXPECT_EQ(c.AppliedClipDepth(), 2u);
  c.RestoreClip(first);
  EXPECT_EQ(c.AppliedClipDepth(), 1u);
  // A sibling of the inner clip.
  c.BeginPath();
  Rect(c, 50, 50, 20, 20);
  c.SetClip(kFillRuleNonZero);
  c.EndPath();
  const TClipHandle sibling = c.SaveClip();
  c.RestoreClip(outside);
  EXPECT_EQ(c.AppliedClipDepth(), 0u);
  // Back to the sibling: both of its levels are pushed again.
  c.RestoreClip(sibling);
  EXPECT_EQ(c.AppliedClipDepth(), 2u);
  EXPECT_EQ(meta.ClipDepth(), 2u);
  int pushes = 0, pops = 0;
  for (const TMetafileRecord& r : meta.Records()) {
    pushes += r.Op == TMetafileOp::PushClip;
    pops += r.Op == TMetafileOp::PopClip;
  }
  EXPECT_EQ(pushes, 5);
  EXPECT_EQ(pops, 3);
  // An empty clip path clips everything: a push without figures.
  c.BeginPath();
  c.SetClip(kFillRuleNonZero);
  c.EndPath();
  EXPECT_EQ(meta.Records().back().Op, TMetafileOp::PushClip);
  EXPECT_EQ(meta.Records().back().FigureCount, 0u);
  EXPECT_TRUE(fuzzharness::WalkEnhancedMetafile(meta.Write()).ok);
}

TCanvasBitmap Pixels(int w, int h, std::uint32_t argb) {
  TCanvasBitmap b;
  b.Width = w;
  b.Height = h;
  b.Pixels.assign(static_cast<std::size_t>(w) * h, argb);
  return b;
}

TEST_F(MetafileCanvasTest, UprightPicturesPassWholeOthersAreResampledAndMasked) {
  TMetafileCanvas c(meta);
  TCanvasBitmap b = Pixels(2, 2, 0xFF102030);
  b.Pixels[1] = 0xFF0000FF;
  // Mirrored horizontally: upper-right left of upper-left.
  c.DrawBitmap(b, 40, 10, 20, 10, 40, 30, TImageSampling::Default);
  ASSERT_EQ(meta.Images().size(), 1u);
  const TMetafileImage& upright = meta.Images()[0];
  EXPECT_EQ(upright.Width, 2);
  EXPECT_TRUE(upright.Mask.empty());
  EXPECT_DOUBLE_EQ(upright.X, 20);
  EXPECT_DOUBLE_EQ(upright.W, 20);
  EXPECT_EQ(upright.Bgr[0], 0xFF);  // the blue pixel moved to the left
  EXPECT_EQ(upright.Bgr[3], 0x30);
  // Half-transparent and keyed pixels: left out (below half) or mixed with white.
  b = Pixels(2, 1, 0x40FF0000);
  b.Pixels[1] = 0xC0000000;
  c.DrawBitmap(b, 0, 0, 20, 0, 0, 10, TImageSampling::Nearest);
  ASSERT_EQ(meta.Images().size(), 2u);
  EXPECT_EQ(meta.Images()[1].Mask, (std::vector<std::uint8_t>{0, 1}));
  EXPECT_EQ(meta.Images()[1].Bgr[3], 0x3F);
  // Turned by 45 degrees: resampled on the page grid, corners outside masked.
  c.DrawBitmap(Pixels(4, 4, 0xFF00FF00), 50, 20, 70, 40, 30, 40, TImageSampling::Nearest);
  ASSERT_EQ(meta.Images().size(), 3u);
  const TMetafileImage& turned = meta.Images()[2];
  EXPECT_EQ(turned.Width, 40);
  EXPECT_EQ(turned.Height, 40);
  EXPECT_EQ(turned.Mask[0], 0);
  EXPECT_EQ(turned.Mask[20 * 40 + 20], 1);
  // Degenerate or non-finite placements record nothing.
  c.DrawBitmap(Pixels(2, 2, 0xFF000000), 0, 0, 10, 0, 20, 0, TImageSampling::Nearest);
  c.DrawBitmap(Pixels(2, 2, 0xFF000000), std::nan(""), 0, 10, 0, 0, 10, TImageSampling::Nearest);
  EXPECT_EQ(meta.Images().size(), 3u);
}

TEST_F(MetafileCanvasTest, NonFiniteAndAbsurdCoordinatesNeverReachTheFile) {
  TMetafileCanvas c(meta);
  const double inf = std::numeric_limits<double>::infinity();
  c.SetLineWidth(std::nan(""));
  c.SetMiterLimit(inf);
  c.BeginPath();
  c.MoveTo(std::nan(""), 0);
  c.LineTo(10, 10);
  c.LineTo(1e300, -1e300);
  c.CurveTo(inf, 0, 0, -inf, 50, 50);
  c.LineTo(20, 80);
  c.ClosePath();
  c.FillStrokePath();
  for (const TMetafilePoint& p : meta.Points()) {
    EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
    EXPECT_LE(std::fabs(p.x), 200 + GuardMargin(meta));
  }
  EXPECT_TRUE(fuzzharness::WalkWindowsMetafile(WriteWindowsMetafile(meta)).ok);
  EXPECT_TRUE(fuzzharness::WalkEnhancedMetafile(meta.Write()).ok);
}

TEST_F(MetafileCanvasTest, APathOfMillionsOfSegmentsStaysBounded) {
  TMetafileCanvas c(meta);
  c.BeginPath();
  c.MoveTo(0, 0);
  // Each curve flattens to the most segments allowed: 2500 of them pass the point bound.
  for (int i = 0; i < 2500; ++i) c.CurveTo(1e5, -1e5, -1e5, 1e5, i % 200, 50);
  c.StrokePath();
  EXPECT_EQ(meta.Dropped(), 1u);
  EXPECT_LE(meta.Points().size(), metafile_limits::kMaxPoints);
  EXPECT_LT(meta.Write().size(), std::size_t{64} << 20);
}

}  // namespace
}  // namespace kestrel
