// Fills, pens, dashes, alpha and anti-aliasing of the raster canvas, checked on pixels.
#include <gtest/gtest.h>

#include <cmath>

#include "output/raster/raster_canvas_test_support.h"

namespace kestrel {
namespace {

using namespace testing;

// Which pixels of row y from x0 to x1 (exclusive) are black, as a string of '#' and '.'.
std::string Row(const TCanvasFixture& f, int y, int x0, int x1) {
  std::string s;
  for (int x = x0; x < x1; ++x) s += f.At(x, y) == kBlack ? '#' : '.';
  return s;
}

void AddStar(TPDFGenericCanvas& c, double cx, double cy, double r) {
  for (int i = 0; i < 5; ++i) {
    const double angle = -M_PI / 2 + i * 4 * M_PI / 5;  // every second point of a pentagon
    const double x = cx + r * std::cos(angle), y = cy + r * std::sin(angle);
    if (i == 0) {
      c.MoveTo(x, y);
    } else {
      c.LineTo(x, y);
    }
  }
  c.ClosePath();
}

TEST(PicassoFillTest, NonZeroFillsTheCentreOfASelfCrossingStar) {
  auto f = MakeCanvas(100, 100);
  f.canvas->SetFillRule(kFillRuleNonZero);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  AddStar(*f.canvas, 50, 50, 45);
  f.canvas->FillPath();
  EXPECT_EQ(f.At(50, 50), kBlack);  // winding number 2
  EXPECT_EQ(f.At(50, 10), kBlack);  // top arm, winding number 1
  EXPECT_EQ(f.At(5, 95), kWhite);
}

TEST(PicassoFillTest, EvenOddLeavesTheCentreOfTheStarEmpty) {
  auto f = MakeCanvas(100, 100);
  f.canvas->SetFillRule(kFillRuleEvenOdd);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  AddStar(*f.canvas, 50, 50, 45);
  f.canvas->FillPath();
  EXPECT_EQ(f.At(50, 50), kWhite);
  EXPECT_EQ(f.At(50, 10), kBlack);
}

TEST(PicassoFillTest, PathRuleCanChangeAfterBeginPathAndDefaultsToEvenOdd) {
  auto f = MakeCanvas(100, 100);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();  // no rule set yet: alternate
  AddStar(*f.canvas, 50, 50, 45);
  f.canvas->FillPath();
  EXPECT_EQ(f.At(50, 50), kWhite);

  f.canvas->BeginPath();
  AddStar(*f.canvas, 50, 50, 45);
  f.canvas->SetFillRule(kFillRuleNonZero);  // changes the existing path
  f.canvas->FillPath();
  EXPECT_EQ(f.At(50, 50), kBlack);
}

TEST(PicassoFillTest, FillsWithTheFillColourInRGBOrder) {
  auto f = MakeCanvas(20, 20);
  FillRect(*f.canvas, 0, 0, 10, 20, kPackedRed);
  FillRect(*f.canvas, 10, 0, 20, 20, kPackedBlue);
  EXPECT_EQ(f.At(5, 5), kRed);
  EXPECT_EQ(f.At(15, 5), kBlue);
}

TEST(PicassoFillTest, ACurveFillsItsInside) {
  auto f = MakeCanvas(100, 100);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  // A circle of radius 40 around (50, 50) from four cubic arcs.
  const double k = 40 * 0.5523;
  f.canvas->MoveTo(90, 50);
  f.canvas->CurveTo(90, 50 + k, 50 + k, 90, 50, 90);
  f.canvas->CurveTo(50 - k, 90, 10, 50 + k, 10, 50);
  f.canvas->CurveTo(10, 50 - k, 50 - k, 10, 50, 10);
  f.canvas->CurveTo(50 + k, 10, 90, 50 - k, 90, 50);
  f.canvas->ClosePath();
  f.canvas->FillPath();
  EXPECT_EQ(f.At(50, 50), kBlack);
  EXPECT_EQ(f.At(52, 12), kBlack);
  EXPECT_EQ(f.At(14, 14), kWhite);  // corner of the bounding square, outside the circle
  const int area = CountColour(f, kBlack);
  EXPECT_NEAR(area, M_PI * 40 * 40, 60);
}

TEST(PicassoFillTest, QuadToIsTheCubicWithTwoThirdControls) {
  auto quad = MakeCanvas(40, 40);
  quad.canvas->SetFillColor(0);
  quad.canvas->BeginPath();
  quad.canvas->MoveTo(0, 0);
  quad.canvas->QuadTo(30, 30, 36, 0);
  quad.canvas->FillPath();

  auto cubic = MakeCanvas(40, 40);
  cubic.canvas->SetFillColor(0);
  cubic.canvas->BeginPath();
  cubic.canvas->MoveTo(0, 0);
  cubic.canvas->CurveTo(20, 20, 32, 20, 36, 0);  // P0 + (Q - P0) 2/3, Q + (P - Q) / 3
  cubic.canvas->FillPath();

  EXPECT_GT(CountColour(quad, kBlack), 100);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) ASSERT_EQ(quad.At(x, y), cubic.At(x, y)) << x << "," << y;
  }
  EXPECT_EQ(quad.canvas->CurrentX(), 36);
  EXPECT_EQ(quad.canvas->CurrentY(), 0);
}

TEST(PicassoFillTest, SegmentsAfterPaintingNeedANewPath) {
  auto f = MakeCanvas(20, 20);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  AddRect(*f.canvas, 0, 0, 5, 5);
  f.canvas->FillPath();
  AddRect(*f.canvas, 10, 10, 20, 20);  // no path: ignored
  f.canvas->FillPath();
  EXPECT_EQ(f.At(2, 2), kBlack);
  EXPECT_EQ(f.At(15, 15), kWhite);
}

TEST(PicassoFillTest, LineAfterCloseStartsAtTheSubpathStart) {
  auto f = MakeCanvas(40, 40);
  f.canvas->SetStrokeColor(0);
  f.canvas->SetLineWidth(2);
  f.canvas->BeginPath();
  f.canvas->MoveTo(5, 5);
  f.canvas->LineTo(35, 5);
  f.canvas->ClosePath();
  EXPECT_EQ(f.canvas->CurrentX(), 5);
  f.canvas->LineTo(5, 35);  // from (5, 5), as PDF says
  f.canvas->StrokePath();
  EXPECT_EQ(f.At(5, 20), kBlack);
  EXPECT_EQ(f.At(20, 20), kWhite);  // not from (35, 5)
}

TCanvasFixture StrokeHorizontal(int cap, double width) {
  auto f = MakeCanvas(100, 100);
  f.canvas->SetStrokeColor(0);
  f.canvas->SetLineWidth(width);
  f.canvas->SetLineCap(LineCapFrom(cap));
  f.canvas->BeginPath();
  f.canvas->MoveTo(20, 50);
  f.canvas->LineTo(80, 50);
  f.canvas->StrokePath();
  return f;
}

TEST(PicassoStrokeTest, WidthCoversHalfOnEachSide) {
  auto f = StrokeHorizontal(0, 10);
  EXPECT_EQ(f.At(50, 45), kBlack);
  EXPECT_EQ(f.At(50, 54), kBlack);
  EXPECT_EQ(f.At(50, 44), kWhite);
  EXPECT_EQ(f.At(50, 55), kWhite);
  EXPECT_EQ(CountColour(f, kBlack), 60 * 10);
}

TEST(PicassoStrokeTest, CapsButtSquareRound) {
  auto butt = StrokeHorizontal(0, 10);
  EXPECT_EQ(butt.At(20, 50), kBlack);
  EXPECT_EQ(butt.At(19, 50), kWhite);
  EXPECT_EQ(butt.At(80, 50), kWhite);

  auto square = StrokeHorizontal(2, 10);
  EXPECT_EQ(square.At(15, 50), kBlack);
  EXPECT_EQ(square.At(15, 45), kBlack);  // square corner
  EXPECT_EQ(square.At(14, 50), kWhite);
  EXPECT_EQ(square.At(84, 54), kBlack);
  EXPECT_EQ(CountColour(square, kBlack), 70 * 10);

  auto round = StrokeHorizontal(1, 10);
  EXPECT_EQ(round.At(16, 50), kBlack);
  EXPECT_EQ(round.At(16, 45), kWhite);  // outside the cap's circle
  EXPECT_EQ(round.At(14, 50), kWhite);
  const int roundCount = CountColour(round, kBlack);
  EXPECT_GT(roundCount, 600);
  EXPECT_LT(roundCount, 700);
}

TCanvasFixture StrokeWedge(int join, double miterLimit) {
  auto f = MakeCanvas(100, 100);
  f.canvas->SetStrokeColor(0);
  f.canvas->SetLineWidth(10);
  f.canvas->SetLineJoin(LineJoinFrom(join));
  f.canvas->SetMiterLimit(miterLimit);
  f.canvas->BeginPath();
  f.canvas->MoveTo(20, 80);
  f.canvas->LineTo(50, 20);
  f.canvas->LineTo(80, 80);
  f.canvas->StrokePath();
  return f;
}

TEST(PicassoStrokeTest, JoinsMiterRoundBevel) {
  // Outer edge of the apex: the miter reaches y = 8.8, the round join 15, the bevel 17.8.
  auto miter = StrokeWedge(0, 10);
  EXPECT_EQ(miter.At(50, 11), kBlack);
  EXPECT_EQ(miter.At(50, 7), kWhite);
  auto round = StrokeWedge(1, 10);
  EXPECT_EQ(round.At(50, 11), kWhite);
  EXPECT_EQ(round.At(50, 16), kBlack);
  auto bevel = StrokeWedge(2, 10);
  EXPECT_EQ(bevel.At(50, 16), kWhite);
  EXPECT_EQ(bevel.At(50, 19), kBlack);
}

TEST(PicassoStrokeTest, MiterLimitTurnsSharpMitersIntoBevels) {
  // The apex's miter ratio is 1 / sin(26.6 degrees) = 2.24.
  auto limited = StrokeWedge(0, 2);
  EXPECT_EQ(limited.At(50, 11), kWhite);
  EXPECT_EQ(limited.At(50, 16), kWhite);
  auto allowed = StrokeWedge(0, 2.3);
  EXPECT_EQ(allowed.At(50, 11), kBlack);
}

TCanvasFixture DashedLine(double width, TGPDashArray dash, double phase, int cap = 0) {
  auto f = MakeCanvas(100, 20);
  f.canvas->SetStrokeColor(0);
  f.canvas->SetLineWidth(width);
  f.canvas->SetLineCap(LineCapFrom(cap));
  f.canvas->SetDash(dash, phase);
  f.canvas->BeginPath();
  f.canvas->MoveTo(10, 10);
  f.canvas->LineTo(40, 10);
  f.canvas->StrokePath();
  return f;
}

TEST(PicassoStrokeTest, DashesAreMeasuredInLineWidths) {
  // [3 2] at width 2: 6 pixels on, 4 off.
  auto thin = DashedLine(2, {3, 2}, 0);
  EXPECT_EQ(Row(thin, 10, 10, 40), "######....######....######....");
  // The same array at width 4: 12 on, 8 off.
  auto thick = DashedLine(4, {3, 2}, 0);
  EXPECT_EQ(Row(thick, 10, 10, 40), "############........##########");
}

TEST(PicassoStrokeTest, DashPhaseIsInLineWidthsToo) {
  // Phase 1 at width 2 skips 2 pixels of the first dash.
  auto f = DashedLine(2, {3, 2}, 1);
  EXPECT_EQ(Row(f, 10, 10, 40), "####....######....######....##");
}

TEST(PicassoStrokeTest, DashesGetCaps) {
  // Square caps of half the width grow every 6-pixel dash by one pixel at each end.
  auto f = DashedLine(2, {3, 2}, 0, 2);
  EXPECT_EQ(Row(f, 10, 9, 40), "########..########..########...");
}

TEST(PicassoStrokeTest, UnusableDashArraysDrawSolidLines) {
  for (const TGPDashArray& bad : {TGPDashArray{0, 0}, TGPDashArray{3, -1},
                                  TGPDashArray{NAN, 1}, TGPDashArray{INFINITY, 1}}) {
    auto f = DashedLine(2, bad, 0);
    EXPECT_EQ(Row(f, 10, 10, 40), std::string(30, '#'));
    EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
  }
  auto emptyArray = DashedLine(2, {}, 0);
  EXPECT_EQ(Row(emptyArray, 10, 10, 40), std::string(30, '#'));
}

TEST(PicassoStrokeTest, HairlinesStayOnePixelWide) {
  for (double width : {0.0, 0.2, -3.0, double{NAN}}) {
    auto f = MakeCanvas(100, 100);
    f.canvas->SetStrokeColor(0);
    f.canvas->SetLineWidth(width);
    f.canvas->BeginPath();
    f.canvas->MoveTo(20, 50.5);
    f.canvas->LineTo(80, 50.5);
    f.canvas->StrokePath();
    EXPECT_EQ(CountColour(f, kBlack), 60) << width;
    EXPECT_EQ(Row(f, 50, 20, 80), std::string(60, '#'));
  }
}

TEST(PicassoStrokeTest, FillStrokeFillsThenStrokes) {
  auto f = MakeCanvas(40, 40);
  f.canvas->SetFillColor(kPackedRed);
  f.canvas->SetStrokeColor(kPackedBlue);
  f.canvas->SetLineWidth(4);
  f.canvas->BeginPath();
  AddRect(*f.canvas, 10, 10, 30, 30);
  f.canvas->FillStrokePath();
  EXPECT_EQ(f.At(20, 20), kRed);
  EXPECT_EQ(f.At(10, 20), kBlue);  // the pen covers the fill's edge
  EXPECT_EQ(f.At(8, 20), kBlue);
  EXPECT_EQ(f.At(7, 20), kWhite);
}

TEST(PicassoAlphaTest, ARGBRoundsAlphaHalfToEven) {
  EXPECT_EQ(PackedToARGB(0x0000FF, 0.5), 0x80FF0000u);  // Round(127.5) = 128
  EXPECT_EQ(PackedToARGB(0x123456, 1), 0xFF563412u);
  EXPECT_EQ(PackedToARGB(0x123456, 0), 0x00563412u);
  EXPECT_EQ(PackedToARGB(0x123456, 7), 0xFF563412u);
  EXPECT_EQ(PackedToARGB(0x123456, NAN), 0xFF563412u);
}

TEST(PicassoAlphaTest, FillAlphaBlendsOverTheBackground) {
  auto f = MakeCanvas(20, 20);
  f.canvas->SetFillAlpha(0.5);
  FillRect(*f.canvas, 0, 0, 20, 20, kPackedRed);
  const std::uint32_t p = f.At(10, 10);
  EXPECT_EQ(Channel(p, 16), 255);
  EXPECT_NEAR(Channel(p, 8), 127, 1);  // 255 * (1 - 128/255)
  EXPECT_NEAR(Channel(p, 0), 127, 1);

  f.canvas->SetFillAlpha(0);
  FillRect(*f.canvas, 0, 0, 20, 20, 0);
  EXPECT_EQ(f.At(10, 10), p);
}

TEST(PicassoAlphaTest, StrokeAlphaIsSeparateFromFillAlpha) {
  auto f = MakeCanvas(40, 40);
  f.canvas->SetFillAlpha(1);
  f.canvas->SetStrokeAlpha(0.25);
  f.canvas->SetStrokeColor(0);
  f.canvas->SetFillColor(0);
  f.canvas->SetLineWidth(4);
  f.canvas->BeginPath();
  AddRect(*f.canvas, 10, 10, 30, 30);
  f.canvas->FillStrokePath();
  EXPECT_EQ(f.At(20, 20), kBlack);
  const std::uint32_t outer = f.At(9, 20);  // stroke only, over white
  EXPECT_NEAR(Channel(outer, 16), 191, 1);  // 255 * (1 - 64/255)
}

TEST(PicassoAntialiasTest, OffGivesOnlyTwoColours) {
  auto f = MakeCanvas(60, 60, false);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  AddStar(*f.canvas, 30, 30, 27);
  f.canvas->FillPath();
  f.canvas->SetStrokeColor(0);
  f.canvas->SetLineWidth(1.3);
  f.canvas->BeginPath();
  f.canvas->MoveTo(2, 58);
  f.canvas->CurveTo(20, 10, 40, 70, 58, 3);
  f.canvas->StrokePath();
  EXPECT_EQ(Colours(f), (std::set<std::uint32_t>{kBlack, kWhite}));
}

TEST(PicassoAntialiasTest, OnSmoothsEdges) {
  auto f = MakeCanvas(60, 60, true);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  AddStar(*f.canvas, 30, 30, 27);
  f.canvas->FillPath();
  EXPECT_GT(Colours(f).size(), 10u);
}

}  // namespace
}  // namespace kestrel
