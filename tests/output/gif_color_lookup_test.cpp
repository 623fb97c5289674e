// The cached nearest-colour lookup: the first entry found for a cell answers the whole cell.
#include "engine/output/gif/gif_color_lookup.h"

#include <gtest/gtest.h>

#include <vector>

namespace kestrel {
namespace {

TEST(GIFColorLookup, CellsStartWithTheFirstEntryInThem) {
  // Both entries fall in cell 0; the first one answers even for the second one's own colour.
  const std::vector<TGIFColor> palette = {{0, 0, 0}, {6, 6, 6}, {200, 10, 10}};
  TFastColorLookup lookup(palette);
  EXPECT_EQ(lookup.Lookup(6, 6, 6), 0);
  EXPECT_EQ(lookup.Lookup(7, 7, 7), 0);
  EXPECT_EQ(lookup.Lookup(200, 10, 10), 2);
  EXPECT_EQ(lookup.Lookup(207, 15, 15), 2);
}

TEST(GIFColorLookup, FirstSearchedColourDecidesTheCell) {
  const std::vector<TGIFColor> palette = {{0, 0, 0}, {20, 20, 20}};
  TFastColorLookup lookup(palette);
  // (14,14,14) lies in an empty cell: nearest is entry 1 (distance 18 against 42).
  EXPECT_EQ(lookup.Lookup(14, 14, 14), 1);
  // (9,9,9) shares that cell; entry 0 would be nearer (27 against 33) but the cell answers 1.
  EXPECT_EQ(lookup.Lookup(9, 9, 9), 1);
  // Without the earlier look-up the search finds entry 0.
  TFastColorLookup fresh(palette);
  EXPECT_EQ(fresh.Lookup(9, 9, 9), 0);
  EXPECT_EQ(fresh.Lookup(14, 14, 14), 0);
}

TEST(GIFColorLookup, DistanceIsSumOfAbsoluteDifferencesAndTiesGoToTheFirst) {
  const std::vector<TGIFColor> palette = {{100, 0, 0}, {0, 60, 60}, {0, 0, 0}};
  // (40, 40, 40): distances 60+40+40=140, 40+20+20=80, 120.
  EXPECT_EQ(TFastColorLookup(palette).Lookup(40, 40, 40), 1);
  // Squared distance would pick entry 0 for (60, 30, 30): 1600+900+900 against 3600+900+900;
  // absolute: 40+30+30=100 against 60+30+30=120.
  EXPECT_EQ(TFastColorLookup(palette).Lookup(60, 30, 30), 0);
  const std::vector<TGIFColor> tie = {{0, 0, 0}, {20, 20, 20}};
  EXPECT_EQ(TFastColorLookup(tie).Lookup(10, 10, 10), 0);
  const std::vector<TGIFColor> tieSwapped = {{20, 20, 20}, {0, 0, 0}};
  EXPECT_EQ(TFastColorLookup(tieSwapped).Lookup(10, 10, 10), 0);
}

TEST(GIFColorLookup, CellIndexAndEmptyPalette) {
  EXPECT_EQ(TFastColorLookup::CellOf(0, 0, 0), 0);
  EXPECT_EQ(TFastColorLookup::CellOf(255, 0, 0), 31);
  EXPECT_EQ(TFastColorLookup::CellOf(0, 255, 0), 31 * 32);
  EXPECT_EQ(TFastColorLookup::CellOf(0, 0, 255), 31 * 1024);
  EXPECT_EQ(TFastColorLookup::CellOf(8, 16, 24), 3 * 1024 + 2 * 32 + 1);
  TFastColorLookup none({});
  EXPECT_EQ(none.Count(), 0);
  EXPECT_EQ(none.Lookup(1, 2, 3), 0);
}

TEST(GIFColorLookup, OnlyRealEntriesAreEverAnswered) {
  std::vector<TGIFColor> palette = {{255, 255, 255}, {128, 0, 0}, {0, 0, 128}};
  TFastColorLookup lookup(palette);
  for (int r = 0; r < 256; r += 5) {
    for (int g = 0; g < 256; g += 7) {
      for (int b = 0; b < 256; b += 11) {
        ASSERT_LT(lookup.Lookup(std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)), 3);
      }
    }
  }
}

}  // namespace
}  // namespace kestrel
