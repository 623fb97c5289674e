// Hostile content: deep nesting, piles of operands, huge dash arrays and paths, overflowing
// numbers. Nothing may crash, hang or grow without bound, and NaN never reaches the canvas.
#include <gtest/gtest.h>

#include <string>

#include "engine/graphics/graphics_limits.h"
#include "engine/render/renderer_limits.h"
#include "renderer_test_support.h"

namespace kestrel::testing {
namespace {

std::string Repeat(const std::string& s, int n) {
  std::string out;
  out.reserve(s.size() * n);
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

bool AnyNonFinite(const std::vector<std::string>& lines) {
  for (const std::string& l : lines)
    if (l.find("nan") != std::string::npos || l.find("inf") != std::string::npos) return true;
  return false;
}

TEST(RendererRobustness, DeepSaveNestingStaysBalanced) {
  TRendererFixture f;
  // Red inside one q, then 10000 q and 10000 Q: the saves past the limit are ignored with as
  // many Q, so after them the state is the red one, and only the last Q brings black back.
  f.Render("q 1 0 0 RG " + Repeat("q ", 10000) + Repeat("Q ", 10000) +
           "0 0 m 1 1 l S Q 0 0 m 1 1 l S");
  const auto colours = f.Starting("SetStrokeColor");
  ASSERT_EQ(colours.size(), 2u);
  EXPECT_EQ(colours[0], "SetStrokeColor 0x0000FF");
  EXPECT_EQ(colours[1], "SetStrokeColor 0x000000");
  EXPECT_LE(f.Count("SaveClip -> 1"), limits::kMaxStateDepth);
}

TEST(RendererRobustness, ThousandsOfOperands) {
  TRendererFixture f(false);
  f.Render(Repeat("1 ", 200000) + "10 20 m 30 40 l S");
  EXPECT_EQ(f.Starting("MoveTo"), (std::vector<std::string>{"MoveTo 10 80"}));
  // A text array far larger than the stack keeps only its newest items, without failing.
  TRendererFixture g(false);
  g.Render("[" + Repeat("(a) 5 ", 100000) + "] TJ 0 0 m 1 1 l S");
  EXPECT_EQ(g.Count("StrokePath"), 1u);
}

TEST(RendererRobustness, HugeDashArraysAreCut) {
  TRendererFixture f;
  f.Render("[" + Repeat("1 2 ", 50000) + "] 0 d 0 0 m 50 0 l S");
  const auto dashes = f.Starting("SetDash");
  ASSERT_EQ(dashes.size(), 1u);
  const std::size_t entries = std::count(dashes[0].begin(), dashes[0].end(), ' ') - 1;
  EXPECT_EQ(entries, limits::kMaxDashEntries);
}

TEST(RendererRobustness, EnormousPathsAreBounded) {
  TRendererFixture f(false);
  f.canvas = TRecordingCanvas(false, 2'000'000);
  f.Render("0 0 m " + Repeat("1 1 l ", 1'100'000) + "S");
  EXPECT_LE(f.Starting("LineTo").size(), limits::kMaxPathSegments);
  EXPECT_EQ(f.Count("StrokePath"), 1u);
}

TEST(RendererRobustness, OverflowingNumbersNeverReachTheCanvas) {
  TRendererFixture f(false);
  const std::string big(400, '9');
  f.Render(big + " 0 0 " + big + " 0 0 cm 1 1 m 2 2 l S " + big + " " + big + " m " + big +
           " 0 l 0 0 " + big + " 5 5 " + big + " c S 1e9 w 0 0 m 10 10 l S");
  EXPECT_FALSE(AnyNonFinite(f.Lines())) << f.canvas.Text();
  TRendererFixture g;
  g.Render(big + " w [" + big + " 1] " + big + " d 0 0 m 1 1 l S");
  EXPECT_FALSE(AnyNonFinite(g.Lines())) << g.canvas.Text();
}

TEST(RendererRobustness, TooMuchWorkEndsThePageWithAnError) {
  TRendererFixture f(false);
  // Forms that draw the next one twice: 2^20 drawings, far more than the page may do.
  for (int i = 0; i < 20; ++i) {
    f.AddStream(100 + i, "<< /Subtype /Form /Resources << /XObject << /N " +
                             std::to_string(101 + i) + " 0 R >> >> >>",
                "0 0 m 1 1 l S /N Do /N Do");
  }
  f.renderer.TokenBudget = 50'000;
  f.canvas = TRecordingCanvas(false, 10);
  f.Render("/N Do 5 5 m 6 6 l S", "<< /XObject << /N 100 0 R >> >>");
  EXPECT_NE(f.renderer.ErrorText().find("too many operations"), std::string::npos)
      << f.renderer.ErrorText();
  EXPECT_EQ(f.renderer.TokenBudget, 0u);
}

TEST(RendererRobustness, UnbalancedAndTruncatedContent) {
  for (const char* content :
       {"Q Q Q EMC EMC ] ] TJ Tj ' \" d d gs cs scn sh Do BI", "[ 1 2 3", "(unterminated",
        "BI /W 10 /H 10 ID", "<< /A (x", "q 0 0 m 1 1 l W n q W* n Q", "/X cs 1 2 3 scn",
        "BT /F1 12 Tf 1 0 0 1 5 5 Tm (x) Tj [(a) -5 (b)] TJ 2 TL T* (c) ' 1 2 (d) \" ET"}) {
    TRendererFixture f(false);
    f.Render(content);
    EXPECT_TRUE(f.renderer.ErrorText().empty()) << content;
  }
}

TEST(RendererRobustness, RecursiveColourSpacesAndResources) {
  TRendererFixture f(false);
  f.Add(60, "[/Indexed 60 0 R 255 <00>]");
  f.Add(61, "[/Pattern 61 0 R]");
  f.Add(62, "<< /ColorSpace << /A 60 0 R /B 61 0 R /C 63 0 R >> /ExtGState 62 0 R >>");
  f.Add(63, "63 0 R");
  f.Render("/A cs 3 sc /B cs /P scn /C cs 1 sc 0 0 m 1 1 l f /ExtGState gs", "62 0 R");
  EXPECT_EQ(f.Count("FillPath"), 1u);
}

}  // namespace
}  // namespace kestrel::testing
