// Built-in tables: encodings, Differences, the glyph list and CID widths.
#include <gtest/gtest.h>

#include "engine/fonts/font_record.h"
#include "engine/fonts/glyph_names.h"
#include "engine/syntax/structure.h"

namespace kestrel::testing {
namespace {

TEST(FontTables, GlyphListMapsNames) {
  const std::pair<const char*, std::uint16_t> cases[] = {
      {"A", 0x41},         {"space", 0x20},      {"Euro", 0x20AC},    {"zcaron", 0x17E},
      {"afii10017", 0x410}, {"alefhebrew", 0x5D0}, {"zukatakana", 0x30BA}, {"minus", 0x2212},
      {"nosuchglyph", 0},  {"", 0},              {"~tilde", 0},       {"a1", 0}};
  for (const auto& [name, value] : cases) EXPECT_EQ(GlyphNameToUnicode(name), value) << name;
}

TEST(FontTables, BaseEncodings) {
  const TPDFCharsetNames win = FillBaseEncoding(kWinAnsiEncoding);
  EXPECT_EQ(win[128], "Euro");
  EXPECT_EQ(win[149], "bullet");
  EXPECT_EQ(win[160], "space");
  EXPECT_EQ(win[173], "hyphen");
  EXPECT_EQ(win[129], "bullet");
  EXPECT_EQ(win[31], ".notdef");
  EXPECT_EQ(win[39], "quotesingle");
  const TPDFCharsetNames std = FillBaseEncoding(kStandardEncoding);
  EXPECT_EQ(std[39], "quoteright");
  EXPECT_EQ(std[0xE1], "AE");
  EXPECT_EQ(std[128], ".notdef");
  const TPDFCharsetNames mac = FillBaseEncoding(kMacRomanEncoding);
  EXPECT_EQ(mac[231], "Aacute");
  EXPECT_EQ(mac[202], "space");
  EXPECT_EQ(mac[219], "currency");
  const TPDFCharsetNames pdf = FillBaseEncoding(kPDFDocEncoding);
  EXPECT_EQ(pdf[0x18], "breve");
  EXPECT_EQ(pdf[0xA0], "Euro");
  EXPECT_EQ(BaseEncodingNumber("MacRomanEncoding"), kMacRomanEncoding);
  EXPECT_EQ(BaseEncodingNumber("Identity-H"), -1);
  EXPECT_EQ(FindLatinGlyph("minus")->Unicode, 0x2D);
}

TEST(FontTables, DifferencesAndCIDWidths) {
  TPDFStructure pool;
  TPDFCharsetNames names = FillBaseEncoding(kStandardEncoding);
  ApplyDifferences(names, *As<TPDFArray>(pool.ParseObject("[32 /space /a 65 /B 300 /x -4 /y 255 /last /over]")));
  EXPECT_EQ(names[32], "space");
  EXPECT_EQ(names[33], "a");
  EXPECT_EQ(names[65], "B");
  EXPECT_EQ(names[66], "B");  // untouched
  EXPECT_EQ(names[255], "last");
  EXPECT_EQ(names[0], ".notdef");

  auto id = [](TPDFObject* o) { return o; };
  auto w = ParseCIDWidths(As<TPDFArray>(pool.ParseObject("[1 [500 600] 10 12 700 11 11 999 20 (x)]")), 800, id);
  EXPECT_EQ(w->WidthOf(1), 500);
  EXPECT_EQ(w->WidthOf(2), 600);
  EXPECT_EQ(w->WidthOf(10), 700);
  EXPECT_EQ(w->WidthOf(11), 700);  // the first width given wins
  EXPECT_EQ(w->WidthOf(12), 700);
  EXPECT_EQ(w->WidthOf(3), 800);
  EXPECT_EQ(w->WidthOf(20), 800);  // the walk ends at the string
  // A range over every 32-bit CID is cut to the 16-bit ones.
  auto wide = ParseCIDWidths(As<TPDFArray>(pool.ParseObject("[0 4000000000 5]")), 1000, id);
  EXPECT_EQ(wide->WidthOf(65535), 5);
  EXPECT_EQ(wide->WidthOf(70000), 1000);
}

}  // namespace
}  // namespace kestrel::testing
