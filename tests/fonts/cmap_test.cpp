#include <gtest/gtest.h>

#include <filesystem>

#include "engine/fonts/cmap/cmap_encoding.h"
#include "engine/fonts/cmap/cmap_predefined.h"
#include "engine/fonts/cmap/cmap_unicode.h"

namespace kestrel {
namespace {

constexpr const char* kCodespace2 = "1 begincodespacerange <0000> <FFFF> endcodespacerange\n";

TEST(ToUnicodeCMapTest, RangesArraysAndUnits) {
  const TBfCMapResult r = ParseBfCMap(
      std::string(kCodespace2) +
      "2 beginbfrange <0041> <0043> <0061>\n<0010> <0011> [<0058> <0059>]\nendbfrange\n"
      "2 beginbfchar <0020> <00660069> <0021> /space endbfchar\n"
      "1 beginbfrange <0030> <0031> <00660069> endbfrange\n");
  EXPECT_FALSE(r.OneByte);
  EXPECT_EQ(r.Map.TextOfCode(0x42), u"b");
  EXPECT_EQ(r.Map.TextOfCode(0x10), u"X");
  EXPECT_EQ(r.Map.TextOfCode(0x11), u"Y");
  EXPECT_EQ(r.Map.TextOfCode(0x20), u"fi");
  EXPECT_EQ(r.Map.TextOfCode(0x31), u"fj");  // the last unit counts up
  EXPECT_EQ(r.Map.TextOfCode(0x44), u"");
  EXPECT_TRUE(ParseBfCMap("begincodespacerange <00> <FF> endcodespacerange").OneByte);
  EXPECT_TRUE(ParseBfCMap("1 beginbfchar <01> <0041> endbfchar").Map.Entries.empty());
}

// An embedded encoding CMap with one- and two-byte codespace ranges, cidrange, cidchar and a
// notdefrange; strings split by the codespace, whatever the ToUnicode map says.
TEST(EncodingCMapTest, EmbeddedCMapSplitsAndMapsCodes) {
  const auto cmap = TPDFEncodingCMap::Parse(
      "/CMapName /Test-H def /WMode 0 def\n"
      "2 begincodespacerange <00> <7F> <8140> <9FFC> endcodespacerange\n"
      "1 begincidrange <8140> <817E> 633 endcidrange\n"
      "1 begincidchar <41> 34 endcidchar\n"
      "1 beginnotdefrange <00> <1F> 1 endnotdefrange\n");
  EXPECT_EQ(cmap->Name(), "Test-H");
  std::vector<TCharCode> codes;
  cmap->Split(std::string("A\x81\x41\x05\x81\x7E\xA0", 7), codes);
  ASSERT_EQ(codes.size(), 5u);
  const std::vector<std::tuple<std::uint32_t, std::uint32_t, int>> want = {
      {0x41, 34, 1}, {0x8141, 634, 2}, {0x05, 1, 1}, {0x817E, 695, 2}, {0xA0, 0, 1}};
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(codes[i].Code, std::get<0>(want[i])) << i;
    EXPECT_EQ(codes[i].CID, std::get<1>(want[i])) << i;
    EXPECT_EQ(codes[i].Length, std::get<2>(want[i])) << i;
  }
}

TEST(EncodingCMapTest, IdentityTakesBytePairs) {
  bool recognised = false;
  const auto codes = SplitPredefinedCodes("Identity-H", std::string("\x00\x41\x12\x34\x56", 5), recognised);
  EXPECT_TRUE(recognised);
  ASSERT_EQ(codes.size(), 2u);
  EXPECT_EQ(codes[1].Code, 0x1234u);
  EXPECT_EQ(codes[1].CID, 0x1234u);
  EXPECT_EQ(PredefinedCMap("Identity-V")->WMode(), 1);
  SplitPredefinedCodes("No-Such-CMap", "ab", recognised);
  EXPECT_FALSE(recognised);
  SplitPredefinedCodes("../../etc/passwd", "ab", recognised);
  EXPECT_FALSE(recognised);
}

class PredefinedCMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists("/usr/share/poppler/cMap/Adobe-Japan1/90ms-RKSJ-H"))
      GTEST_SKIP() << "poppler-data is not installed";
  }
};

// Shift-JIS strings mix one- and two-byte codes; the CMap's codespace decides.
TEST_F(PredefinedCMapTest, RksjMixesOneAndTwoByteCodes) {
  bool recognised = false;
  const std::string text("\x82\xA0\x41\xB1\x82\x9F", 6);
  const auto codes = SplitPredefinedCodes("90ms-RKSJ-H", text, recognised);
  ASSERT_TRUE(recognised);
  ASSERT_EQ(codes.size(), 4u);
  EXPECT_EQ(codes[0].Code, 0x82A0u);
  EXPECT_EQ(codes[0].CID, 843u);
  EXPECT_EQ(codes[1].Code, 0x41u);
  EXPECT_EQ(codes[1].CID, 264u);
  EXPECT_EQ(codes[2].Length, 1);  // half-width katakana
  EXPECT_EQ(codes[3].CID, 842u);
  // The proportional CMap maps ASCII to the proportional CIDs.
  EXPECT_EQ(SplitPredefinedCodes("90msp-RKSJ-H", "A", recognised)[0].CID, 34u);
  EXPECT_EQ(PredefinedUnicode("Adobe-Japan1-6", 843), u"\u3042");
  EXPECT_EQ(PredefinedUnicode("Adobe-Identity-0", 0x41), u"A");
  EXPECT_EQ(CollectionLanguage("Adobe-GB1-5"), "zh-cn");
  EXPECT_EQ(CollectionLanguage("Adobe-Identity-0"), "");
}

// An embedded CMap building on a predefined one overrides single codes and inherits the rest,
// codespace included; the chains of the GB and Korean collections resolve too.
TEST_F(PredefinedCMapTest, UseCMapInheritsAndOverrides) {
  const auto cmap = TPDFEncodingCMap::Parse("/90ms-RKSJ-H usecmap\n1 begincidchar <41> 7 endcidchar\n");
  std::vector<TCharCode> codes;
  cmap->Split(std::string("A\x82\xA0", 3), codes);
  ASSERT_EQ(codes.size(), 2u);
  EXPECT_EQ(codes[0].CID, 7u);
  EXPECT_EQ(codes[1].CID, 843u);
  for (const char* name : {"GBK-EUC-V", "UniGB-UCS2-H", "UniKS-UCS2-H", "UniJIS-UTF16-H", "B5pc-V"}) {
    const auto predefined = PredefinedCMap(name);
    ASSERT_TRUE(predefined) << name;
    codes.clear();
    predefined->Split(std::string("\x4E\x2D", 2), codes);  // U+4E2D in the UCS-2 ones
    ASSERT_FALSE(codes.empty()) << name;
    EXPECT_NE(codes[0].CID, 0u) << name;
  }
}

}  // namespace
}  // namespace kestrel
