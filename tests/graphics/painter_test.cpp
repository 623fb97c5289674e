#include <gtest/gtest.h>

#include "support/painter.h"

namespace kestrel {
namespace {

TEST(PainterTest, StartsWithTheDefaultStateTexts) {
  TPDFPainter p;
  EXPECT_EQ(p.Precision(), 4);
  EXPECT_EQ(p.StateText(TPainterState::FillColor), "0 0 0 rg");
  EXPECT_EQ(p.StateText(TPainterState::SecondFillColor), "1 1 1 rg");
  EXPECT_EQ(p.StateText(TPainterState::StrokeColor), "0 0 0 RG");
  EXPECT_EQ(p.StateText(TPainterState::LineWidth), "1 w");
  EXPECT_EQ(p.StateText(TPainterState::Dash), "[] 0 d");
  EXPECT_EQ(p.StateText(TPainterState::HorizontalScaling), "100 Tz");
  EXPECT_EQ(p.StateText(TPainterState::TextRise), "0 Ts");
  EXPECT_EQ(p.StateText(TPainterState::Spacing), "0 Tw 0 Tc");
  EXPECT_EQ(p.StateText(TPainterState::GreyFill), "0.5 0.5 0.5 rg");
  EXPECT_EQ(p.StateText(TPainterState::SecondStrokeColor), "0 0 0 RG");
  EXPECT_EQ(p.StateText(TPainterState::Font), "");
  EXPECT_EQ(p.HorizontalScaling(), 100);
  EXPECT_TRUE(p.Pending(TPainterState::FillColor));
  EXPECT_TRUE(p.Pending(TPainterState::Font));
  EXPECT_FALSE(p.Pending(TPainterState::SecondStrokeColor));
}

TEST(PainterTest, FontAndSizeMakeTheFontOperator) {
  TPDFPainter p;
  p.SetFontAndSize("F1", 12);
  EXPECT_EQ(p.StateText(TPainterState::Font), "/F1 12 Tf");
  p.SetFontAndSize("F2", 9.123456);
  EXPECT_EQ(p.StateText(TPainterState::Font), "/F2 9.1235 Tf");
  TPDFPainter twoPlaces(2);
  twoPlaces.SetFontAndSize("F3", 9.125);
  EXPECT_EQ(twoPlaces.StateText(TPainterState::Font), "/F3 9.12 Tf");
}

TEST(PainterTest, SizeNotAboveZeroBecomesOne) {
  TPDFPainter p;
  p.SetFontAndSize("F1", 0);
  EXPECT_EQ(p.FontSize(), 1);
  EXPECT_EQ(p.StateText(TPainterState::Font), "/F1 1 Tf");
  p.SetFontAndSize("F1", -3);
  EXPECT_EQ(p.FontSize(), 1);
}

TEST(PainterTest, ContentTextRules) {
  TPDFPainter p;
  p.LoadContent("BT");
  EXPECT_EQ(p.GetContent(), "BT \n");
  p.LoadContent("q");
  p.LoadContent("");
  EXPECT_EQ(p.GetContent(), "\n");
  p.LoadContent("q ");
  EXPECT_EQ(p.GetContent(), "q \n");
  p.WriteText("Q", '\n');
  EXPECT_EQ(p.GetContent(), "q Q\n");
  p.WriteText("", 0);
  p.WriteText("1 0 0 1 5 5 cm", 0);
  EXPECT_EQ(p.GetContent(), "q Q\n1 0 0 1 5 5 cm\n");
}

TEST(PainterTest, ResetRestoresAndNotifies) {
  TPDFPainter p;
  int calls = 0;
  TPDFPainter* seen = nullptr;
  p.SetChangeCallback([&](TPDFPainter& who) {
    ++calls;
    seen = &who;
  });
  p.SetFontAndSize("F1", 12);
  p.LoadContent("BT");
  p.BeginUpdate();  // a reset clears the suspend counter, so it still notifies
  p.Reset();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(seen, &p);
  EXPECT_EQ(p.FontSize(), 0);
  EXPECT_EQ(p.FontName(), "");
  EXPECT_EQ(p.StateText(TPainterState::Font), "");
  EXPECT_EQ(p.GetContent(), "\n");
}

}  // namespace
}  // namespace kestrel
