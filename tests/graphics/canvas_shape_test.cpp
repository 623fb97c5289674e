#include <gtest/gtest.h>

#include "engine/graphics/canvas_shape.h"
#include "support/recording_canvas.h"

namespace kestrel {
namespace {

TEST(GenericShapeTest, CapacityGrowsInStepsOfTwenty) {
  TPDFGenericShape shape;
  EXPECT_EQ(shape.Capacity(), 20u);
  for (int i = 0; i < 20; ++i) shape.AddLineTo(i, i);
  EXPECT_EQ(shape.Capacity(), 20u);
  shape.AddLineTo(20, 20);  // the 21st command finds room
  EXPECT_EQ(shape.Capacity(), 40u);
  EXPECT_EQ(shape.Count(), 21u);
}

TEST(GenericShapeTest, KeepsOneHundredCommandsInOrder) {
  TPDFGenericShape shape;
  for (int i = 0; i < 100; ++i) shape.AddMoveTo(i, -i);
  ASSERT_EQ(shape.Count(), 100u);
  EXPECT_EQ(shape.Capacity(), 100u);
  for (int i = 0; i < 100; ++i) {
    EXPECT_EQ(shape.Commands()[i].x1, i);
    EXPECT_EQ(shape.Commands()[i].y1, -i);
  }
}

TEST(GenericShapeTest, ReplayMapsEveryPointThroughTheMatrix) {
  TPDFGenericShape shape;
  shape.AddMoveTo(0, 0);
  shape.AddLineTo(1, 1);
  shape.AddCurveTo(1, 0, 2, 0, 3, 1);
  shape.AddQuadTo(4, 4, 5, 0);
  shape.AddClosePath();
  TRecordingCanvas canvas;
  ReplayShape(canvas, shape, TPDFMatrix{2, 0, 0, -2, 10, 100});
  const std::vector<std::string> expected = {
      "MoveTo 10 100", "LineTo 12 98", "CurveTo 12 100 14 100 16 98", "QuadTo 18 92 20 100",
      "ClosePath"};
  EXPECT_EQ(canvas.Lines(), expected);
}

TEST(GenericShapeTest, ReplayRunsPaintingKindsAndSkipsUnknownOnes) {
  TPDFGenericShape shape;
  shape.AddCommand({0});
  shape.AddMoveTo(1, 2);
  shape.AddCommand({9, 5, 5});  // unknown kind
  shape.AddCommand({255});
  shape.AddCommand({6});
  shape.AddCommand({7});
  shape.AddCommand({8});
  TRecordingCanvas canvas;
  ReplayShape(canvas, shape, TPDFMatrix{});
  const std::vector<std::string> expected = {"BeginPath", "MoveTo 1 2", "StrokePath", "FillPath",
                                             "FillStrokePath"};
  EXPECT_EQ(canvas.Lines(), expected);
}

TEST(GenericShapeTest, ReplayNeitherBeginsNorPaints) {
  TPDFGenericShape shape;
  shape.AddMoveTo(0, 0);
  shape.AddLineTo(5, 0);
  TRecordingCanvas canvas;
  canvas.BeginPath();
  ReplayShape(canvas, shape, TPDFMatrix{});
  ReplayShape(canvas, shape, TPDFMatrix{1, 0, 0, 1, 0, 10});
  ASSERT_EQ(canvas.Lines().size(), 5u);
  EXPECT_EQ(canvas.Lines()[0], "BeginPath");
  EXPECT_EQ(canvas.Lines()[4], "LineTo 5 10");
}

}  // namespace
}  // namespace kestrel
