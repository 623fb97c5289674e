#include <gtest/gtest.h>

#include <limits>

#include "support/recording_canvas.h"

namespace kestrel {
namespace {

TEST(RecordingCanvasTest, WritesPathOperationsAndState) {
  TRecordingCanvas c;
  c.SetFillColor(0x0000FF);
  c.SetStrokeAlpha(0.5);
  c.SetLineWidth(2.25);
  c.SetLineCap(TLineCap::Round);
  c.SetLineJoin(TLineJoin::Bevel);
  c.SetMiterLimit(10);
  c.SetDash({3, 1.5f}, 0.5);
  c.SetFillRule(2);
  c.BeginPath();
  c.MoveTo(1, 2);
  c.LineTo(3.14159, -4);
  c.CurveTo(1, 2, 3, 4, 5, 6);
  c.QuadTo(1, 1, 2, 0);
  c.ClosePath();
  c.FillStrokePath();
  c.EndPath();
  const std::string expected =
      "SetFillColor 0x0000FF\nSetStrokeAlpha 0.5\nSetLineWidth 2.25\nSetLineCap 1\n"
      "SetLineJoin 2\nSetMiterLimit 10\nSetDash [3 1.5] 0.5\nSetFillRule 2\nBeginPath\n"
      "MoveTo 1 2\nLineTo 3.1416 -4\nCurveTo 1 2 3 4 5 6\nQuadTo 1 1 2 0\nClosePath\n"
      "FillStrokePath\nEndPath\n";
  EXPECT_EQ(c.Text(), expected);
}

TEST(RecordingCanvasTest, StateSettersCanBeLeftOut) {
  TRecordingCanvas c(false);
  c.SetFillColor(1);
  c.SetLineWidth(3);
  c.BeginPath();
  c.SetClip(1);
  c.EndPath();
  EXPECT_EQ(c.Text(), "BeginPath\nSetClip 1\nEndPath\n");
}

TEST(RecordingCanvasTest, WritesBitmapsWithSamplingAndKey) {
  TRecordingCanvas c;
  TCanvasBitmap b;
  b.Width = 4;
  b.Height = 3;
  b.Pixels.assign(12, 0xFF000000);
  c.DrawBitmap(b, 0, 0, 10, 0, 0, 5, TImageSampling::Nearest);
  b.ColorKey = TCanvasColorKey{{1, 2, 3}, {4, 5, 6}};
  c.DrawBitmap(b, 0, 0, 10, 0, 0, 5, TImageSampling::Smooth);
  ASSERT_EQ(c.Lines().size(), 2u);
  EXPECT_EQ(c.Lines()[0], "DrawBitmap 4x3 0 0 10 0 0 5 nearest");
  EXPECT_EQ(c.Lines()[1], "DrawBitmap 4x3 0 0 10 0 0 5 smooth key 1,2,3-4,5,6");
}

TEST(RecordingCanvasTest, NonFiniteNumbersAreNamed) {
  TRecordingCanvas c;
  c.MoveTo(std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(c.Lines().at(0), "MoveTo nan -inf");
}

TEST(RecordingCanvasTest, ClipSnapshotsFollowClipChanges) {
  TRecordingCanvas c(false);
  const TClipHandle first = c.SaveClip();   // q
  EXPECT_EQ(c.SaveClip(), first);           // q without a clip change: same snapshot
  c.RestoreClip(first);                     // Q to the current snapshot: not written
  c.SetClip(1);                             // W n
  c.EndPath();
  const TClipHandle second = c.SaveClip();  // q
  EXPECT_NE(second, first);
  c.RestoreClip(first);                     // Q
  const std::vector<std::string> expected = {"SaveClip -> 1", "SaveClip -> 1", "SetClip 1",
                                             "EndPath", "SaveClip -> 2", "RestoreClip 1"};
  EXPECT_EQ(c.Lines(), expected);
}

TEST(RecordingCanvasTest, StopsKeepingLinesAtItsLimit) {
  TRecordingCanvas c(true, 3);
  for (int i = 0; i < 5; ++i) c.BeginPath();
  EXPECT_EQ(c.Lines().size(), 3u);
  EXPECT_EQ(c.Dropped(), 2u);
  c.Clear();
  EXPECT_TRUE(c.Lines().empty());
  EXPECT_EQ(c.Dropped(), 0u);
}

}  // namespace
}  // namespace kestrel
