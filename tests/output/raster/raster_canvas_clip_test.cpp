// Clipping by intersection and clip snapshots of the raster canvas.
#include <gtest/gtest.h>

#include "output/raster/raster_canvas_test_support.h"

namespace kestrel {
namespace {

using namespace testing;

void ClipToRect(TPDFGenericCanvas& c, double x0, double y0, double x1, double y1,
                int rule = kFillRuleNonZero) {
  c.BeginPath();
  AddRect(c, x0, y0, x1, y1);
  c.SetClip(rule);
  c.EndPath();  // n
}

TEST(RasterCanvasClipTest, ClipIntersectsWithTheCurrentClip) {
  auto f = MakeCanvas(100, 100);
  ClipToRect(*f.canvas, 10, 10, 60, 60);
  ClipToRect(*f.canvas, 40, 40, 90, 90);
  FillRect(*f.canvas, 0, 0, 100, 100, 0);
  EXPECT_EQ(f.At(50, 50), kBlack);
  EXPECT_EQ(f.At(20, 20), kWhite);
  EXPECT_EQ(f.At(80, 80), kWhite);
  EXPECT_EQ(CountColour(f, kBlack), 20 * 20);
}

TEST(RasterCanvasClipTest, ClipOfSeveralBoxesWithAnEdgeBetweenPixels) {
  // Cairo 1.16 aborts filling through a clip of several boxes when one edge is off the pixel
  // grid, unless the clip is kept as a path.
  auto f = MakeCanvas(32, 24, /*antiAlias=*/true);
  f.canvas->BeginPath();
  AddRect(*f.canvas, 0, -6, 15, 9);
  AddRect(*f.canvas, 0, 23, 50, 24);
  AddRect(*f.canvas, 0, 20, 1.5, 24);
  f.canvas->SetClip(kFillRuleNonZero);
  f.canvas->EndPath();
  f.canvas->SetFillColor(0);
  f.canvas->BeginPath();
  AddRect(*f.canvas, -10, -6, 5, 9);
  AddRect(*f.canvas, -10, 23, 40, 24);
  f.canvas->FillPath();
  EXPECT_EQ(f.At(2, 2), kBlack);
  EXPECT_EQ(f.At(10, 2), kWhite);   // outside the fill
  EXPECT_EQ(f.At(20, 23), kBlack);  // the thin box
  EXPECT_EQ(f.At(20, 12), kWhite);  // between the boxes
}

TEST(RasterCanvasClipTest, PendingClipAppliesAfterPainting) {
  // W f: the path is filled unclipped, then becomes the clip.
  auto f = MakeCanvas(100, 100);
  f.canvas->SetFillColor(kPackedRed);
  f.canvas->BeginPath();
  AddRect(*f.canvas, 20, 20, 50, 50);
  f.canvas->SetClip(kFillRuleNonZero);
  f.canvas->FillPath();
  EXPECT_EQ(f.At(30, 30), kRed);
  FillRect(*f.canvas, 0, 0, 100, 100, kPackedBlue);
  EXPECT_EQ(f.At(30, 30), kBlue);
  EXPECT_EQ(f.At(10, 10), kWhite);
}

TEST(RasterCanvasClipTest, EvenOddClipLeavesAHole) {
  auto f = MakeCanvas(100, 100);
  f.canvas->BeginPath();
  AddRect(*f.canvas, 10, 10, 90, 90);
  AddRect(*f.canvas, 30, 30, 70, 70);
  f.canvas->SetClip(kFillRuleEvenOdd);
  f.canvas->EndPath();
  FillRect(*f.canvas, 0, 0, 100, 100, 0);
  EXPECT_EQ(f.At(20, 20), kBlack);
  EXPECT_EQ(f.At(50, 50), kWhite);
}

TEST(RasterCanvasClipTest, NestedClipsRestoreFromSnapshots) {
  auto f = MakeCanvas(100, 100);
  TPDFPicasso& c = *f.canvas;
  const TClipHandle outer = c.SaveClip();  // q
  ClipToRect(c, 10, 10, 90, 90);
  const TClipHandle inner = c.SaveClip();  // q
  ClipToRect(c, 40, 40, 60, 60);
  FillRect(c, 0, 0, 100, 100, kPackedGreen);
  EXPECT_EQ(CountColour(f, kGreen), 20 * 20);

  c.RestoreClip(inner);  // Q: back to the 10..90 clip
  FillRect(c, 0, 0, 100, 30, kPackedRed);
  EXPECT_EQ(f.At(50, 20), kRed);
  EXPECT_EQ(f.At(50, 5), kWhite);
  EXPECT_EQ(f.At(5, 20), kWhite);

  c.RestoreClip(outer);  // Q: no clip
  FillRect(c, 0, 95, 100, 100, kPackedBlue);
  EXPECT_EQ(CountColour(f, kBlue), 100 * 5);
  EXPECT_EQ(f.At(50, 50), kGreen);
}

TEST(RasterCanvasClipTest, RestoreCanJumpToAnotherBranch) {
  auto f = MakeCanvas(100, 100);
  TPDFPicasso& c = *f.canvas;
  const TClipHandle none = c.SaveClip();
  ClipToRect(c, 0, 0, 50, 100);  // left half
  const TClipHandle left = c.SaveClip();
  c.RestoreClip(none);
  ClipToRect(c, 50, 0, 100, 100);  // right half
  ClipToRect(c, 50, 0, 100, 50);   // top right quarter
  const TClipHandle topRight = c.SaveClip();
  c.RestoreClip(left);
  FillRect(c, 0, 0, 100, 100, kPackedRed);
  EXPECT_EQ(CountColour(f, kRed), 50 * 100);
  c.RestoreClip(topRight);
  FillRect(c, 0, 0, 100, 100, kPackedBlue);
  EXPECT_EQ(CountColour(f, kBlue), 50 * 50);
  EXPECT_EQ(f.At(75, 75), kWhite);
  EXPECT_EQ(c.BackendErrorCount(), 0u);
}

TEST(RasterCanvasClipTest, SnapshotsAreOnlyTakenAfterAClipChange) {
  auto f = MakeCanvas(20, 20);
  TPDFPicasso& c = *f.canvas;
  const TClipHandle first = c.SaveClip();  // the first q records the initial clip
  EXPECT_NE(first, 0u);
  EXPECT_EQ(c.ClipSnapshotCount(), 1u);
  for (int i = 0; i < 10; ++i) {           // q q Q Q without clipping
    EXPECT_EQ(c.SaveClip(), first);
    c.RestoreClip(first);
  }
  EXPECT_EQ(c.ClipSnapshotCount(), 1u);
  ClipToRect(c, 0, 0, 10, 10);
  const TClipHandle second = c.SaveClip();
  EXPECT_NE(second, first);
  EXPECT_EQ(c.ClipSnapshotCount(), 2u);
  c.RestoreClip(first);
  EXPECT_EQ(c.SaveClip(), first);  // back at a snapshot: no new one
  EXPECT_EQ(c.ClipSnapshotCount(), 2u);
}

TEST(RasterCanvasClipTest, UnknownHandlesAreIgnored) {
  auto f = MakeCanvas(20, 20);
  TPDFPicasso& c = *f.canvas;
  ClipToRect(c, 0, 0, 10, 20);
  c.RestoreClip(0);
  c.RestoreClip(12345);
  FillRect(c, 0, 0, 20, 20, 0);
  EXPECT_EQ(CountColour(f, kBlack), 10 * 20);
}

TEST(RasterCanvasClipTest, ClipStrokesAndBitmapsToo) {
  auto f = MakeCanvas(40, 40);
  TPDFPicasso& c = *f.canvas;
  ClipToRect(c, 0, 0, 20, 40);
  c.SetStrokeColor(0);
  c.SetLineWidth(4);
  c.BeginPath();
  c.MoveTo(0, 10);
  c.LineTo(40, 10);
  c.StrokePath();
  EXPECT_EQ(f.At(10, 10), kBlack);
  EXPECT_EQ(f.At(30, 10), kWhite);

  TCanvasBitmap red{1, 1, {0xFFFF0000u}, std::nullopt};
  c.DrawBitmap(red, 0, 20, 40, 20, 0, 40, TImageSampling::Default);
  EXPECT_EQ(f.At(10, 30), kRed);
  EXPECT_EQ(f.At(30, 30), kWhite);
}

TEST(RasterCanvasClipTest, DeepClipNestingIsBounded) {
  auto f = MakeCanvas(20, 20);
  TPDFPicasso& c = *f.canvas;
  for (int i = 0; i < 2000; ++i) ClipToRect(c, 0, 0, 20, 20);
  FillRect(c, 0, 0, 20, 20, 0);
  EXPECT_EQ(CountColour(f, kBlack), 400);
  EXPECT_EQ(c.BackendErrorCount(), 0u);
}

TEST(RasterCanvasClipTest, AttachingAgainStartsUnclipped) {
  auto f = MakeCanvas(20, 20);
  const TClipHandle h = f.canvas->SaveClip();
  ClipToRect(*f.canvas, 0, 0, 5, 5);
  std::optional<TRasterImage> second = TRasterImage::Create(20, 20, 96, kWhite);
  ASSERT_TRUE(second);
  ASSERT_TRUE(f.canvas->AttachLibrary(*second, Settings(false)));
  f.canvas->RestoreClip(h);  // a snapshot of the old surface: ignored
  FillRect(*f.canvas, 0, 0, 20, 20, 0);
  EXPECT_EQ(second->Pixel(15, 15) & 0xFFFFFF, kBlack);
  EXPECT_EQ(f.canvas->ClipSnapshotCount(), 0u);
  EXPECT_EQ(f.canvas->BackendErrorCount(), 0u);
}

TEST(RasterCanvasClipTest, PlainModeDoesNotClip) {
  std::optional<TRasterImage> raster = TRasterImage::Create(20, 20, 96, kWhite);
  ASSERT_TRUE(raster);
  TPDFPicasso c;
  ASSERT_TRUE(c.AttachGDI(*raster));
  EXPECT_EQ(c.SaveClip(), 0u);
  ClipToRect(c, 0, 0, 5, 5);
  FillRect(c, 0, 0, 20, 20, 0);
  EXPECT_EQ(raster->Pixel(15, 15) & 0xFFFFFF, kBlack);
}

}  // namespace
}  // namespace kestrel
