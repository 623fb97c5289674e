// Text operators take their operands and keep the text state.
#include <gtest/gtest.h>

#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

using Lines = std::vector<std::string>;

TEST(RendererText, OperatorsTakeExactlyTheirOperands) {
  TRendererFixture f(false);
  // After each text operator a path operator shows what was left on the stack: the numbers it
  // pops must be its own, not the text operator's.
  f.Render("BT /F1 12 Tf 1 2 m 0.5 Tc 3 4 l 1 Tw 5 6 l 14 TL 7 8 l 0 Ts 9 10 l 90 Tz 11 12 l "
           "2 Tr 13 14 l 5 5 Td 15 16 l 1 -14 TD 17 18 l 1 0 0 1 50 50 Tm 19 20 l T* 21 22 l "
           "(abc) Tj 23 24 l [(a) -120 (b)] TJ 25 26 l (x) ' 27 28 l 1 2 (y) \" 29 30 l ET S");
  EXPECT_EQ(f.Starting("LineTo"),
            (Lines{"LineTo 3 96", "LineTo 5 94", "LineTo 7 92", "LineTo 9 90", "LineTo 11 88",
                   "LineTo 13 86", "LineTo 15 84", "LineTo 17 82", "LineTo 19 80", "LineTo 21 78",
                   "LineTo 23 76", "LineTo 25 74", "LineTo 27 72", "LineTo 29 70"}));
  EXPECT_TRUE(f.renderer.ErrorText().empty());
}

TEST(RendererText, FontNotFoundDrawsNothing) {
  TRendererFixture f(false);
  f.Render("BT /F1 12 Tf 3 Tr (Hello) Tj 7 Tr (Clip) Tj ET 0 0 m 1 1 l S");
  EXPECT_EQ(f.Lines(), (Lines{"BeginPath", "MoveTo 0 100", "LineTo 1 99", "StrokePath"}));
}

TEST(RendererText, ExtGStateFontEntryIsAccepted) {
  TRendererFixture f(false);
  f.Add(70, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
  f.Render("/GF gs BT (x) Tj ET 0 0 m 1 1 l S",
           "<< /ExtGState << /GF << /Font [70 0 R 9] >> >> >>");
  EXPECT_EQ(f.Count("StrokePath"), 1u);
  EXPECT_TRUE(f.renderer.ErrorText().empty());
}

}  // namespace
}  // namespace kestrel::testing
