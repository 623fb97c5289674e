// The raster canvas against coordinates and settings no page should contain: nothing may
// reach Cairo that puts it into an error state, crashes it or makes it work without end.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "output/raster/raster_canvas_test_support.h"

namespace kestrel {
namespace {

using namespace testing;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(RasterCanvasRobustnessTest, NaNSegmentsAreDropped) {
  auto f = MakeCanvas(100, 100);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  f.canvas->MoveTo(10, 10);
  f.canvas->LineTo(kNaN, 50);   // dropped, and the figure restarts at the next point
  f.canvas->LineTo(90, 10);
  f.canvas->LineTo(90, 90);
  f.canvas->LineTo(10, 90);
  f.canvas->ClosePath();
  f.canvas->FillPath();
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
  EXPECT_EQ(f.At(80, 80), kBlack);  // inside the triangle (90,10) (90,90) (10,90)
  EXPECT_EQ(f.At(20, 20), kWhite);
}

TEST(RasterCanvasRobustnessTest, PathsOfOnlyNonFinitePointsDrawNothing) {
  auto f = MakeCanvas(50, 50);
  f.canvas->SetFillColor(0);
  f.canvas->SetStrokeColor(0);
  f.canvas->BeginPath();
  f.canvas->MoveTo(kNaN, kNaN);
  f.canvas->LineTo(kInf, 3);
  f.canvas->CurveTo(1, kNaN, 2, 2, -kInf, 4);
  f.canvas->QuadTo(kNaN, 1, 2, kNaN);
  f.canvas->ClosePath();
  f.canvas->FillStrokePath();
  EXPECT_EQ(CountColour(f, kWhite), 2500);
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
}

TEST(RasterCanvasRobustnessTest, NonFiniteStateValuesAreTamed) {
  auto f = MakeCanvas(50, 50);
  f.canvas->SetFillAlpha(kNaN);
  f.canvas->SetStrokeAlpha(-kInf);
  f.canvas->SetLineWidth(kInf);
  f.canvas->SetMiterLimit(kNaN);
  f.canvas->SetDash({1, 1}, kNaN);
  f.canvas->SetStrokeColor(0);
  f.canvas->BeginPath();
  f.canvas->MoveTo(10, 10);
  f.canvas->LineTo(40, 40);
  f.canvas->StrokePath();
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
  f.canvas->SetLineWidth(1e300);
  f.canvas->SetMiterLimit(1e300);
  f.canvas->SetDash({}, 0);
  f.canvas->SetStrokeAlpha(1);
  f.canvas->SetLineCap(TLineCap::Round);
  f.canvas->BeginPath();
  f.canvas->MoveTo(10, 10);
  f.canvas->LineTo(40, 40);
  f.canvas->LineTo(10, 41);
  f.canvas->StrokePath();
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
  EXPECT_EQ(CountColour(f, kBlack), 2500);  // a round pen that wide covers the page
}

TEST(RasterCanvasRobustnessTest, HugeFillsAreClippedToTheSurface) {
  auto f = MakeCanvas(100, 100);
  FillRect(*f.canvas, -1e30, -1e30, 1e30, 50, 0);
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
  EXPECT_EQ(CountColour(f, kBlack), 100 * 50);
  EXPECT_EQ(f.At(50, 49), kBlack);
  EXPECT_EQ(f.At(50, 50), kWhite);
}

TEST(RasterCanvasRobustnessTest, FarVerticesKeepTheVisibleEdgesInPlace) {
  // Edges from (10, 10) and (10, 90) towards a vertex 1e12 pixels away are nearly horizontal.
  auto f = MakeCanvas(100, 100);
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  f.canvas->MoveTo(10, 10);
  f.canvas->LineTo(1e12, 50);
  f.canvas->LineTo(10, 90);
  f.canvas->ClosePath();
  f.canvas->FillPath();
  EXPECT_EQ(f.At(50, 11), kBlack);
  EXPECT_EQ(f.At(50, 9), kWhite);
  EXPECT_EQ(f.At(50, 88), kBlack);
  EXPECT_EQ(f.At(50, 90), kWhite);
  EXPECT_EQ(f.At(5, 50), kWhite);
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
}

TEST(RasterCanvasRobustnessTest, CoordinatesBetweenTheLimitsStayExact) {
  // Beyond the direct range but well inside doubles: the clipped path must match.
  auto f = MakeCanvas(100, 100);
  FillRect(*f.canvas, -2e7, 20, 2e7, 30, 0);
  EXPECT_EQ(CountColour(f, kBlack), 100 * 10);
}

TEST(RasterCanvasRobustnessTest, HugeStrokesAndCurves) {
  auto f = MakeCanvas(100, 100);
  f.canvas->SetStrokeColor(0);
  f.canvas->SetLineWidth(4);
  f.canvas->BeginPath();
  f.canvas->MoveTo(-1e30, 50);
  f.canvas->LineTo(1e30, 50);
  f.canvas->StrokePath();
  EXPECT_EQ(CountColour(f, kBlack), 100 * 4);

  f.canvas->SetDash({1, 1}, 0);  // 4-pixel dashes along a 2e30 line
  f.canvas->SetStrokeColor(kPackedRed);
  f.canvas->BeginPath();
  f.canvas->MoveTo(-1e30, 10);
  f.canvas->LineTo(1e30, 10);
  f.canvas->StrokePath();
  const int red = CountColour(f, kRed);
  EXPECT_GE(red, 4 * 44);
  EXPECT_LE(red, 4 * 56);

  f.canvas->SetDash({}, 0);
  f.canvas->SetFillColor(kPackedBlue);
  f.canvas->BeginPath();
  f.canvas->MoveTo(0, 90);
  f.canvas->CurveTo(1e30, -1e30, -1e30, 1e30, 100, 90);
  f.canvas->LineTo(100, 100);
  f.canvas->LineTo(0, 100);
  f.canvas->FillStrokePath();
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
}

TEST(RasterCanvasRobustnessTest, FineDashPatternsDoNotStall) {
  auto f = MakeCanvas(200, 200);
  f.canvas->SetStrokeColor(0);
  f.canvas->SetLineWidth(1);
  f.canvas->SetDash({1e-7f, 1e-7f}, 0);
  f.canvas->BeginPath();
  for (int i = 0; i < 50; ++i) {
    f.canvas->MoveTo(0, i * 4 + 0.5);
    f.canvas->LineTo(200, i * 4 + 0.5);
  }
  f.canvas->StrokePath();  // too fine to walk: drawn solid
  EXPECT_EQ(CountColour(f, kBlack), 50 * 200);
}

TEST(RasterCanvasRobustnessTest, NotAttachedDoesNothing) {
  TPDFPicasso c;
  EXPECT_EQ(c.Mode(), TPDFPicasso::TMode::NotAttached);
  c.BeginPath();
  c.MoveTo(1, 2);
  c.LineTo(3, 4);
  c.FillStrokePath();
  c.SetClip(1);
  c.EndPath();
  EXPECT_EQ(c.SaveClip(), 0u);
  c.RestoreClip(1);
  TCanvasBitmap b{1, 1, {0xFF000000u}, std::nullopt};
  c.DrawBitmap(b, 0, 0, 1, 0, 0, 1, TImageSampling::Default);
  EXPECT_EQ(c.BackendErrorCount(), 0u);
}

TEST(RasterCanvasRobustnessTest, UnusableBuffersAreRefused) {
  alignas(4) std::uint8_t bytes[64] = {};
  TPDFPicasso c;
  const TGDIPlusSettings s;
  EXPECT_TRUE(c.AttachLibrary(TPixelBuffer{bytes, sizeof bytes, 4, 4, 16}, s));
  TPDFPicasso tooSmall;
  EXPECT_FALSE(tooSmall.AttachLibrary(TPixelBuffer{bytes, sizeof bytes, 4, 5, 16}, s));
  TPDFPicasso oddStride;
  EXPECT_FALSE(oddStride.AttachLibrary(TPixelBuffer{bytes, sizeof bytes, 2, 2, 10}, s));
  TPDFPicasso narrowStride;
  EXPECT_FALSE(narrowStride.AttachLibrary(TPixelBuffer{bytes, sizeof bytes, 4, 2, 12}, s));
  TPDFPicasso null;
  EXPECT_FALSE(null.AttachGDI(TPixelBuffer{nullptr, 64, 4, 4, 16}));
  EXPECT_EQ(null.Mode(), TPDFPicasso::TMode::NotAttached);
}

TEST(RasterCanvasRobustnessTest, SettingsWithoutTheLibraryGivePlainMode) {
  std::optional<TRasterImage> raster = TRasterImage::Create(60, 60, 96, kWhite);
  ASSERT_TRUE(raster);
  TGDIPlusSettings s;
  s.UseLibrary = false;
  TPDFPicasso c;
  ASSERT_TRUE(c.AttachLibrary(*raster, s));
  EXPECT_EQ(c.Mode(), TPDFPicasso::TMode::GDI);
  // Plain mode: no alpha, no smoothing, no dashes.
  c.SetFillAlpha(0.25);
  c.SetFillColor(kPackedRed);
  c.BeginPath();
  c.MoveTo(30, 3);
  c.CurveTo(70, 10, 40, 60, 3, 40);
  c.ClosePath();
  c.FillPath();
  c.SetDash({1, 1}, 0);
  c.SetStrokeColor(kPackedRed);
  c.SetLineWidth(2.4);  // rounded to 2
  c.BeginPath();
  c.MoveTo(0, 55);
  c.LineTo(60, 55);
  c.StrokePath();
  std::set<std::uint32_t> colours;
  int rowRed = 0;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 60; ++x) colours.insert(raster->Pixel(x, y) & 0xFFFFFF);
  }
  for (int x = 0; x < 60; ++x) rowRed += (raster->Pixel(x, 55) & 0xFFFFFF) == kRed;
  EXPECT_EQ(colours, (std::set<std::uint32_t>{kRed, kWhite}));
  EXPECT_EQ(rowRed, 60);
}

// A scene touching every kind of operation, for comparing tiled and untiled drawing.
void DrawScene(TPDFPicasso& c) {
  c.SetFillColor(kPackedBlue);
  c.BeginPath();
  c.MoveTo(5, 5);
  c.CurveTo(60, 0, 30, 40, 58, 44);
  c.LineTo(3, 40);
  c.ClosePath();
  c.FillPath();
  const TClipHandle h = c.SaveClip();
  c.BeginPath();
  c.MoveTo(32, 2);
  c.LineTo(62, 24);
  c.LineTo(32, 46);
  c.LineTo(2, 24);
  c.ClosePath();
  c.SetClip(kFillRuleNonZero);
  c.EndPath();
  c.SetStrokeColor(kPackedRed);
  c.SetStrokeAlpha(0.6);
  c.SetLineWidth(3.3);
  c.SetDash({2, 1}, 0.5);
  c.SetLineCap(TLineCap::Round);
  c.BeginPath();
  c.MoveTo(0, 0);
  c.LineTo(64, 48);
  c.MoveTo(64, 0);
  c.LineTo(0, 48);
  c.StrokePath();
  TCanvasBitmap b{3, 2, {0xFFFF0000u, 0x8000FF00u, 0xFF0000FFu, 0xFF00FFFFu, 0xFFFFFFFFu,
                         0x40000000u}, std::nullopt};
  c.DrawBitmap(b, 20, 10, 50, 20, 15, 35, TImageSampling::Smooth);
  c.RestoreClip(h);
  c.SetDash({}, 0);
  c.SetStrokeAlpha(1);
  c.SetLineWidth(1.5);
  c.BeginPath();
  c.MoveTo(1, 47);
  c.LineTo(63, 30);
  c.StrokePath();
}

TEST(RasterCanvasRobustnessTest, TiledDrawingMatchesUntiledDrawing) {
  // Without smoothing the tiles give the same pixels. Cairo's anti-aliasing depends slightly
  // on the surface's extent, so smoothed edges may differ a little; a tile drawn in the wrong
  // place or not at all would differ by far more.
  for (bool antialias : {false, true}) {
    auto whole = MakeCanvas(64, 48, antialias, antialias);
    auto tiled = MakeCanvas(64, 48, antialias, antialias, 7);
    DrawScene(*whole.canvas);
    DrawScene(*tiled.canvas);
    int differing = 0;
    int largest = 0;
    for (int y = 0; y < 48; ++y) {
      for (int x = 0; x < 64; ++x) {
        const std::uint32_t a = whole.At(x, y), b = tiled.At(x, y);
        differing += a != b;
        for (int shift : {0, 8, 16}) {
          largest = std::max(largest, std::abs(Channel(a, shift) - Channel(b, shift)));
        }
      }
    }
    if (antialias) {
      EXPECT_LE(largest, 24);
      EXPECT_LT(differing, 64 * 48 / 10);
    } else {
      EXPECT_EQ(differing, 0);
    }
    EXPECT_GT(Colours(whole).size(), 4u);
    EXPECT_EQ(tiled.canvas->BackendErrorCount(), 0u);
  }
}

}  // namespace
}  // namespace kestrel
