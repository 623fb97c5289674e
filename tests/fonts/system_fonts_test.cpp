// Installed fonts through fontconfig and FreeType. These need the URW base 35 fonts
// (fonts-urw-base35) and skip without them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/fonts/standard/builtin_fonts.h"
#include "engine/fonts/system/simple_truetype_rasterizer.h"
#include "engine/fonts/standard/standard_fonts.h"
#include "engine/fonts/system/system_font_rasterizer.h"
#include "engine/fonts/system/system_fonts.h"
#include "engine/fonts/system/ttf_to_vector.h"
#include "support/recording_canvas.h"

namespace kestrel {
namespace {

bool HasUrwFonts() {
  const auto& families = ListFontFamilies();
  return std::find(families.begin(), families.end(), "Nimbus Sans") != families.end();
}

#define REQUIRE_URW() \
  if (!HasUrwFonts()) GTEST_SKIP() << "fonts-urw-base35 is not installed"

std::string FileName(const std::shared_ptr<const TSystemFontData>& data) {
  return data ? data->Path.substr(data->Path.rfind('/') + 1) : "(none)";
}

TEST(SystemFonts, FamiliesAreSortedOnceIgnoringCase) {
  REQUIRE_URW();
  const auto& families = ListFontFamilies();
  for (std::size_t i = 1; i < families.size(); ++i)
    EXPECT_LT(strcasecmp(families[i - 1].c_str(), families[i].c_str()), 0) << families[i];
  const auto& matchable = MatchableFontFamilies();
  for (const char* core : {"Arial", "Courier New", "Times New Roman", "Symbol", "ZapfDingbats"})
    EXPECT_NE(std::find(matchable.begin(), matchable.end(), core), matchable.end()) << core;
  EXPECT_EQ(&ListFontFamilies(), &ListFontFamilies(1));
}

TEST(SystemFonts, CoreFamiliesResolveToTheUrwFonts) {
  REQUIRE_URW();
  struct Case {
    TSystemFont Font;
    const char* File;
  } cases[] = {
      {{"Arial", false, false}, "NimbusSans-Regular.otf"},
      {{"Arial", true, true}, "NimbusSans-BoldItalic.otf"},
      {{"Courier New", true, false}, "NimbusMonoPS-Bold.otf"},
      {{"Courier", false, true}, "NimbusMonoPS-Italic.otf"},
      {{"Times New Roman", false, true}, "NimbusRoman-Italic.otf"},
      {{"Symbol", false, false}, "StandardSymbolsPS.otf"},
      {{"ZapfDingbats", false, false}, "D050000L.otf"},
      {{"Nimbus Roman", true, false}, "NimbusRoman-Bold.otf"},
  };
  for (const Case& c : cases) {
    const auto data = GetSystemFontData(c.Font);
    EXPECT_EQ(FileName(data), c.File) << c.Font.Family;
    if (data) EXPECT_TRUE(data->Sfnt && data->CffFlavoured);
  }
  // Once per family and style: the same data comes back.
  EXPECT_EQ(GetSystemFontData({"Arial", true, false}), GetSystemFontData({"ARIAL", true, false}));
  // Anything else gets fontconfig's best match.
  EXPECT_NE(GetSystemFontData({"No Such Family 12345", false, false}), nullptr);
  // Names that end at the same file share it.
  EXPECT_EQ(GetSystemFontData({"No Such Family 1", false, false}),
            GetSystemFontData({"No Such Family 2", false, false}));
}

TEST(SystemFonts, CollectionMembersCarryTheirOffset) {
  const auto data = GetSystemFontData({"WenQuanYi Micro Hei", false, false});
  if (!data || data->File.size() < 4 || std::memcmp(data->File.data(), "ttcf", 4) != 0)
    GTEST_SKIP() << "no font collection installed";
  EXPECT_GT(data->OffsetBias(), 0);
  EXPECT_EQ(data->Bytes().size() + data->OffsetBias(), data->File.size());
  EXPECT_EQ(data->Bytes()[0], 0);  // a TrueType table directory (0x00010000)
  EXPECT_EQ(data->Bytes()[1], 1);
}

TEST(SystemFontRasterizer, DrawsAndMeasuresByGlyphName) {
  REQUIRE_URW();
  TPDFSystemFontRasterizer helvetica(GetSystemFontData({"Arial", false, false}));
  ASSERT_TRUE(helvetica.HasGlyphs());
  for (const char* glyph : {"A", "W", "f", "space", "Euro", "germandbls"})
    EXPECT_EQ(helvetica.AdvanceWidthOfName(glyph), StandardGlyphWidth(5, glyph)) << glyph;
  EXPECT_EQ(helvetica.AdvanceWidthOfName("uni0410"), helvetica.AdvanceWidthOfName("afii10017"));
  EXPECT_EQ(helvetica.AdvanceWidthOfName("nosuchglyph"), -1);

  TRecordingCanvas canvas(false);
  // "A" at 12 units scale, advanced by 500 units: points land in [6, 6 + 667 * 0.012].
  EXPECT_TRUE(helvetica.DrawGlyph(canvas, TPDFMatrix{0.012, 0, 0, 0.012, 0, 0}, 500, 0, "A"));
  ASSERT_FALSE(canvas.Lines().empty());
  EXPECT_EQ(canvas.Lines().front().rfind("MoveTo ", 0), 0u);
  EXPECT_EQ(canvas.Lines().back(), "ClosePath");
  for (const std::string& line : canvas.Lines()) {
    if (line.rfind("LineTo ", 0) != 0) continue;
    const double x = std::stod(line.substr(7));
    EXPECT_GE(x, 6.0) << line;
    EXPECT_LE(x, 6.0 + 667 * 0.012) << line;
  }
  const std::size_t once = canvas.Lines().size();
  helvetica.DrawGlyph(canvas, TPDFMatrix{}, 0, 0, "A");  // from the glyph cache
  EXPECT_EQ(canvas.Lines().size(), 2 * once);
}

TEST(SystemFontRasterizer, BuiltInDingbatsByNameAndSymbolicCode) {
  TPDFSystemFontRasterizer dingbats(DingbatsFontAsSystemFont());
  ASSERT_TRUE(dingbats.HasGlyphs());
  dingbats.Symbolic = true;
  const auto encoding = StandardFontBuiltInEncoding(kZapfDingbats);
  for (int code : {33, 65, 110, 254}) {
    EXPECT_EQ(dingbats.GlyphIndexOfName("CID:" + std::to_string(code)),
              dingbats.GlyphIndexOfName(encoding[code]))
        << code;
    EXPECT_EQ(dingbats.AdvanceWidthOfName(encoding[code]),
              StandardGlyphWidth(kZapfDingbats, encoding[code]))
        << code;
  }
  EXPECT_EQ(dingbats.GlyphIndexOfName("GID:3"), 3u);
  EXPECT_EQ(dingbats.GlyphIndexOfName("GID:99999"), 0u);
}

TEST(SystemFontOutlines, ConverterAndSimpleRasterizerWorkByCharacter) {
  REQUIRE_URW();
  TTTFToVectorConverter converter;
  converter.AssignFont({"Arial", false, false});
  converter.ConvertGlyph('A');
  EXPECT_EQ(converter.CharWidth, 667);
  ASSERT_FALSE(converter.Curves.StartPoints.empty());
  EXPECT_EQ(converter.Curves.StartPoints.size(), converter.Curves.Parts.size());
  converter.Curves.Clear();
  converter.ConvertGlyph(0xE000);  // a private-use character the font lacks
  EXPECT_TRUE(converter.Curves.Parts.empty());
  EXPECT_EQ(converter.CharWidth, 0);

  TPDFSimpleTrueTypeRasterizer simple;
  simple.SystemFont = {"Arial", false, false};
  TRecordingCanvas canvas(false);
  EXPECT_TRUE(simple.DrawGlyph(canvas, TPDFMatrix{}, 0, 0, "CID:65"));
  EXPECT_FALSE(canvas.Lines().empty());
  EXPECT_FALSE(simple.DrawGlyph(canvas, TPDFMatrix{}, 0, 0, "A"));
  EXPECT_FALSE(simple.DrawGlyph(canvas, TPDFMatrix{}, 0, 0, "GID:x"));
}

}  // namespace
}  // namespace kestrel
