// The TrueType parser and rasteriser on fonts made at test time.
#include <gtest/gtest.h>

#include "engine/fonts/truetype_rasterizer.h"
#include "support/recording_canvas.h"
#include "fonts/test_fonts.h"

namespace kestrel::testing {
namespace {

// Glyph indexes of the shapes fonts (make_test_fonts.py).
enum { kNotdef, kA, kB, kC, kD, kE, kF, kAacute };

std::vector<std::string> Draw(TPDFTrueTypeRasterizer2& r, const std::string& name,
                              double x = 0) {
  TRecordingCanvas canvas(false);
  EXPECT_TRUE(r.DrawGlyph(canvas, TPDFMatrix{}, x, 0, name));
  return canvas.Lines();
}

TEST(TrueTypeParser, ReadsTheTables) {
  const std::string& font = TestFont("shapes-unicode.ttf");
  REQUIRE_FONT(font);
  TPDFTrueTypeParser p;
  p.LoadFromBytes(font);
  EXPECT_EQ(p.UnitsPerEm(), 1000);
  EXPECT_EQ(p.GlyphCount(), 8);
  EXPECT_EQ(p.CFFTableOffset(), 0u);
  EXPECT_EQ(p.GetGlyph(kA).ContourCount, 1);
  EXPECT_EQ(p.GetGlyph(kA).Points.size(), 4u);
  EXPECT_EQ(p.GetGlyph(kNotdef).ContourCount, 0);
  const TPDFTTglyfTable e = p.GetGlyph(kE);
  ASSERT_EQ(e.Components.size(), 2u);
  EXPECT_EQ(e.Components[0].GlyphIndex, kD);
  EXPECT_EQ(e.Components[0].Arg2, 300);
  EXPECT_EQ(e.Components[1].XScale, 0.5);
  EXPECT_EQ(p.GetGlyph(-1).Points.size(), 0u);
  EXPECT_EQ(p.GetGlyph(99).Components.size(), 0u);
  EXPECT_EQ(p.GlyphIndexOfName("Aacute"), kAacute);
  EXPECT_EQ(p.GlyphIndexOfName("Z"), -1);
  EXPECT_EQ(p.AdvanceWidth(kB), 700);
  EXPECT_EQ(p.AdvanceWidth(500), 700);
  const TPDFTTEncodingRecord* cmap = p.CmapSubtable(p.FindCmapSubtable(3, 1));
  ASSERT_NE(cmap, nullptr);
  EXPECT_EQ(cmap->Format, 4);
  EXPECT_EQ(p.FindCmapSubtable(3, 0), -1);
  // A collection header is not a font.
  TPDFTrueTypeParser ttc;
  ttc.LoadFromBytes("ttcf" + font.substr(4));
  EXPECT_EQ(ttc.GlyphCount(), 0);
}

TEST(TrueTypeParser, GlyphsStoredOutOfOrderAreFound) {
  const std::string& font = TestFont("shapes-unicode.ttf");
  const std::string& backwards = TestFont("shapes-backwards.ttf");
  REQUIRE_FONT(backwards);
  TPDFTrueTypeParser p, q;
  p.LoadFromBytes(font);
  q.LoadFromBytes(backwards);
  ASSERT_EQ(q.GlyphCount(), 8);
  for (int g = kNotdef; g <= kAacute; ++g) {
    EXPECT_EQ(q.GetGlyph(g).ContourCount, p.GetGlyph(g).ContourCount) << g;
    EXPECT_EQ(q.GetGlyph(g).Points.size(), p.GetGlyph(g).Points.size()) << g;
    EXPECT_EQ(q.GetGlyph(g).Components.size(), p.GetGlyph(g).Components.size()) << g;
  }
  EXPECT_EQ(q.GetGlyph(kA).Points.size(), 4u);
}

TEST(TrueTypeParser, CutFontsStayInsideTheirData) {
  // Every cut of the font parses, and every glyph of it can be asked for.
  const std::string& font = TestFont("dejavu-subset.ttf");
  REQUIRE_FONT(font);
  for (std::size_t n = 0; n < font.size(); n += 13) {
    TPDFTrueTypeRasterizer2 r;
    r.Parser.LoadFromBytes(std::string_view(font).substr(0, n));
    TRecordingCanvas canvas(false);
    for (int g = 0; g < r.Parser.GlyphCount(); ++g) r.DrawGlyph(canvas, {}, 0, 0, "GID:" + std::to_string(g));
  }
}

TEST(TrueTypeRasterizer, OutlinesOfSimpleAndCompositeGlyphs) {
  const std::string& font = TestFont("shapes-unicode.ttf");
  REQUIRE_FONT(font);
  TPDFTrueTypeRasterizer2 r;
  r.Parser.LoadFromBytes(font);
  // Found through the (3,1) cmap by the glyph list, at the advance given.
  EXPECT_EQ(Draw(r, "A", 1000), (std::vector<std::string>{"MoveTo 1100 0", "LineTo 1100 700",
                                                            "LineTo 1600 700", "LineTo 1600 0",
                                                            "ClosePath"}));
  // Four off-curve points: the contour starts midway between the last and the first, and
  // runs through the midpoints of the others.
  EXPECT_EQ(Draw(r, "C"), (std::vector<std::string>{"MoveTo 175 175", "QuadTo 350 0 525 175",
                                                     "QuadTo 700 350 525 525",
                                                     "QuadTo 350 700 175 525",
                                                     "QuadTo 0 350 175 175", "ClosePath"}));
  // D is A at half size; E holds D (itself composite) moved up 300 and B at half size.
  EXPECT_EQ(Draw(r, "D")[0], "MoveTo 50 0");
  const std::vector<std::string> e = Draw(r, "E");
  ASSERT_EQ(e.size(), 9u);
  EXPECT_EQ(e[0], "MoveTo 50 300");
  EXPECT_EQ(e[5], "MoveTo 325 0");
  // F contains itself: the cycle is cut, its other component is drawn.
  EXPECT_EQ(Draw(r, "F")[0], "MoveTo 50 0");
  // By index, and by post name when no cmap has the glyph.
  EXPECT_EQ(Draw(r, "GID:2")[0], "MoveTo 50 0");
  EXPECT_EQ(Draw(r, "uni0042")[0], "MoveTo 50 0");
  EXPECT_TRUE(Draw(r, "nosuchglyph").empty());  // .notdef is empty
}

TEST(TrueTypeRasterizer, SymbolicAndMacCmaps) {
  const std::string& symbol = TestFont("shapes-symbol.ttf");
  const std::string& mac = TestFont("shapes-mac.ttf");
  REQUIRE_FONT(symbol);
  TPDFTrueTypeRasterizer2 s;
  s.Parser.LoadFromBytes(symbol);
  s.Symbolic = true;
  // Code 66 finds F042 in the (3,0) subtable.
  EXPECT_EQ(Draw(s, "CID:66")[0], "MoveTo 50 0");
  TPDFTrueTypeRasterizer2 m;
  m.Parser.LoadFromBytes(mac);
  // No post names: Aacute is MacRoman code 231 of the (1,0) subtable.
  EXPECT_EQ(m.Parser.GlyphIndexOfName("Aacute"), -1);
  EXPECT_EQ(Draw(m, "Aacute").size(), 9u);
  EXPECT_EQ(Draw(m, "B")[0], "MoveTo 50 0");
}

}  // namespace
}  // namespace kestrel::testing
