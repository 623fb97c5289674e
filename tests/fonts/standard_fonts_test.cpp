// Standard-font names, widths and built-in encodings, and the choice of installed stand-ins.
#include <gtest/gtest.h>

#include "engine/fonts/standard/standard_fonts.h"
#include "engine/fonts/system/system_font_choice.h"

namespace kestrel {
namespace {

TEST(StandardFonts, IndexFollowsTheAliasLists) {
  const std::pair<const char*, int> cases[] = {
      {"Helvetica", 5},         {"Arial,Bold", 6},        {"Courier", 1},
      {"CourierNewPS,BoldMT", 2}, {"Times-BoldItalic", 12}, {"TimesNewRomanPS-ItalicMT", 11},
      {"Symbol", 13},           {"ZapfDingbats", 14},     {"", 14},
      {"Helvetica-Narrow", 0},  {"helvetica", 0},         {"ABCDEF+Helvetica", 0},
  };
  for (const auto& [name, row] : cases) EXPECT_EQ(StandardFontIndex(name), row) << name;
  EXPECT_EQ(StandardFontSubstitute(7), "Arial,BoldItalic");
  EXPECT_EQ(StandardFontMetrics(9).Ascent, 683);
  EXPECT_EQ(StandardFontMetrics(5).Descent, -207);
}

TEST(StandardFonts, WidthsComeFromTheCoreMetrics) {
  EXPECT_EQ(StandardGlyphWidth(5, "A"), 667);
  EXPECT_EQ(StandardGlyphWidth(6, "A"), 722);
  EXPECT_EQ(StandardGlyphWidth(9, "f"), 333);
  EXPECT_EQ(StandardGlyphWidth(12, "W"), 889);
  EXPECT_EQ(StandardGlyphWidth(3, "W"), 600);
  EXPECT_EQ(StandardGlyphWidth(5, "Euro"), 556);  // the width of "zero"
  EXPECT_EQ(StandardGlyphWidth(13, "alpha"), 631);
  EXPECT_EQ(StandardGlyphWidth(14, "a1"), 974);
  EXPECT_EQ(StandardGlyphWidth(5, "a1"), -1);
  EXPECT_EQ(StandardGlyphWidth(0, "A"), -1);

  std::array<std::string, 256> names;
  names.fill(".notdef");
  names[65] = "A";
  names[66] = "nosuchglyph";
  std::array<double, 256> widths{};
  StandardFontWidths(5, names, widths);
  EXPECT_EQ(widths[65], 667);
  EXPECT_EQ(widths[66], 750);
  // Symbol and ZapfDingbats fall back to their own glyph at a code their names miss.
  StandardFontWidths(13, names, widths);
  EXPECT_EQ(widths[65], 722);  // Alpha
  StandardFontWidths(14, StandardFontBuiltInEncoding(14), widths);
  EXPECT_EQ(widths[33], 974);  // a1
  EXPECT_EQ(widths[32], 278);  // space
  widths.fill(1);
  StandardFontWidths(0, names, widths);
  EXPECT_EQ(widths[65], 1);
}

TEST(StandardFonts, SymbolAndDingbatsHaveBuiltInEncodings) {
  const auto symbol = StandardFontBuiltInEncoding(13);
  EXPECT_EQ(symbol[97], "alpha");
  EXPECT_EQ(symbol[34], "universal");
  EXPECT_EQ(symbol[0], ".notdef");
  const auto dingbats = StandardFontBuiltInEncoding(14);
  EXPECT_EQ(dingbats[33], "a1");
  EXPECT_EQ(dingbats[254], "a191");
  EXPECT_EQ(StandardFontBuiltInEncoding(5)[65], ".notdef");
}

TEST(ChooseSystemFont, NameRules) {
  const std::vector<std::string> families = {"Arial", "Courier New", "Gill Sans", "Times",
                                             "Times New Roman", "Verdana"};
  struct Case {
    const char* Name;
    int Flags;
    const char* Family;
    bool Bold, Italic;
  } cases[] = {
      {"ABCDEF+Arial-BoldMT", 0, "Arial", true, false},
      {"CourierNewPS-BoldMT", 0, "Courier New", true, false},
      {"Helvetica-BoldOblique", 0, "Arial", true, true},
      {"Times-Italic", 0, "Times New Roman", false, true},
      {"Verdana-Italic", 0, "Verdana", false, true},
      {"Verdana,Bold", 0, "Verdana", true, false},
      {"GillSans", 0, "Gill Sans", false, false},
      {"VerdanaItalic", 0, "Verdana", false, true},
      {"Verdana+XYZ", 0, "Verdana", false, false},
      {"NoSuchFont", 66, "Times New Roman", false, true},
      {"NoSuchFont", 1, "Courier", false, false},
      {"NoSuchFont", 3, "Times New Roman", false, false},
      {"NoSuchFont-Bold", 0, "Arial", true, false},
      {"NoSuchFont-BoldItalic", 2, "Times New Roman", true, true},
      {"NoSuchFont-BoldOblique", 2, "Times New Roman", false, false},  // "-Bold" goes first
      {"Times,Bold", 0, "Times", true, false},
      {"abcdef+Verdana", 0, "Arial", false, false},  // not a subset tag: cut at "+"
  };
  for (const Case& c : cases) {
    const TSystemFont font = ChooseSystemFont(c.Name, c.Flags, families);
    EXPECT_EQ(font.Family, c.Family) << c.Name;
    EXPECT_EQ(font.Bold, c.Bold) << c.Name;
    EXPECT_EQ(font.Italic, c.Italic) << c.Name;
  }
}

}  // namespace
}  // namespace kestrel
